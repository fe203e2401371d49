// tideangler-scenes: brings one scene of the game up through the game's own
// start-up and scene functions, runs a fixed number of frames as fast as it
// can, and then keeps the last presented frame on screen, drawing nothing
// more, until the window is closed. The same source builds on Linux and with
// mingw-w64, so the two builds' pictures of a scene can be compared pixel by
// pixel (scripts/compare-scenes.sh).
//
//   tideangler-scenes <title|game1|game2|result> [frames]
//
// The frame-rate line always reads 0.00 (its measurement is restarted before
// every frame), so the pictures do not depend on the machine's speed. No key
// is pressed and nothing is written: when the window is closed the program
// ends without the game's shutdown, so the result scene appends no record.
// When the frames are done, "scene-done.txt" in the working directory holds
// the scene, the frame count and the seconds they took.
//
// State: none beyond the game's own modules; everything lives for the run.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/main.h"
#include "app/scene.h"
#include "app/timer.h"

namespace {

struct SceneChoice {
    const char* name;
    int scene;
    int defaultFrames;
};

// The title once its fade-in is over; the stages and the result screen a few
// frames after they were switched to.
const SceneChoice kScenes[] = {
    {"title", SCENE_TITLE, 60},
    {"game1", SCENE_GAME1, 3},
    {"game2", SCENE_GAME2, 30},
    {"result", SCENE_RESULT, 30},
};

const SceneChoice* FindScene(const char* name) {
    for (const SceneChoice& choice : kScenes) {
        if (strcmp(choice.name, name) == 0) return &choice;
    }
    return NULL;
}

void ShowUsage(void) {
    MessageBoxA(NULL, "usage: tideangler-scenes <title|game1|game2|result> [frames]", "tideangler-scenes", MB_OK);
}

// One frame as the game's loop runs it, with the frame-rate line held at 0.
void RunFrame(void) {
    ResetFrameRate(GetTimerSeconds());
    Update();
    Draw();
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    char args[256] = {0};
    strncpy(args, lpCmdLine != NULL ? lpCmdLine : "", sizeof(args) - 1);
    const char* sceneName = strtok(args, " \t");
    const char* framesText = strtok(NULL, " \t");
    const SceneChoice* choice = sceneName != NULL ? FindScene(sceneName) : NULL;
    if (choice == NULL) {
        ShowUsage();
        return 2;
    }
    int frames = choice->defaultFrames;
    if (framesText != NULL) {
        frames = atoi(framesText);
        if (frames < 1) {
            ShowUsage();
            return 2;
        }
    }

    RegisterGameWindowClass(hInstance);
    HWND hWnd = CreateGameWindow(hInstance);
    if (hWnd == NULL) {
        return 1;
    }
    ShowWindow(hWnd, nCmdShow);
    if (!Init(hInstance, hWnd)) {
        return 1;
    }

    // The switch as the game makes it: the title's Uninit, then the scene's Init.
    if (choice->scene != SCENE_TITLE) {
        SetNextScene(choice->scene);
        ChangeScene();
    }
    const double start = GetCounterSeconds();
    for (int i = 0; i < frames; i++) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return 0;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        RunFrame();
    }
    const double seconds = GetCounterSeconds() - start;
    FILE* done = fopen("scene-done.txt", "w");
    if (done != NULL) {
        fprintf(done, "%s %d %.3f\n", choice->name, frames, seconds);
        fclose(done);
    }

    // Keep the last frame up: only messages from here on.
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return 0;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}
