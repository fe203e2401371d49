// Application entry and main loop: registers and creates the one fixed-size
// game window, brings every module up in a fixed order, runs a message loop
// that starts a frame at most once every 1/60 s (busy-waiting with Sleep(0),
// never making up a late frame), measures the frame rate, and shuts the
// modules down after the window is destroyed.
//
// State: the frame counters and the last measured frame rate, and the clock
// time at which the last frame began. All zero at program start; Init resets them.
//
// Lifetime: WinMain (app/winmain.cpp) owns the whole run: window, Init, loop
// until WM_QUIT, Uninit. If Init fails the program ends at once and the
// operating system takes back whatever was made. Everything runs on the thread
// of WinMain.
#include "app/main.h"
#include "app/main_testing.h"

#include "app/debugtext.h"
#include "app/fade.h"
#include "app/renderer.h"
#include "app/scene.h"
#include "app/timer.h"
#include "device/keyboard.h"
#include "device/sound.h"
#include "game/fish.h"
#include "ui2d/sprite.h"
#include "ui2d/texture.h"
#include "world3d/model.h"

#define CLASS_NAME "GameWindow"
#define WINDOW_NAME "ゲームウィンドウ"
// WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX: no sizing border, no maximise box.
#define WINDOW_STYLE (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX)

#define FRAME_PERIOD (1.0 / 60.0)
#define FPS_INTERVAL (1.0)
#define CLEAR_COLOR (0xFF018CFF)

static int g_frameCount = 0;
static int g_fpsFrameCount = 0;
static double g_fpsTime = 0.0;
static float g_fps = 0.0f;
static double g_lastFrameTime = 0.0;

bool RegisterGameWindowClass(HINSTANCE hInstance) {
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.style = 0;
    windowClass.lpfnWndProc = WndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = hInstance;
    windowClass.hIcon = NULL;
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_BACKGROUND + 1);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = CLASS_NAME;
    return RegisterClassA(&windowClass) != 0;
}

// Centres a window of the given size on a screen axis; never placed left of
// or above the screen's edge.
int GetCenteredWindowPosition(int screenSize, int windowSize) {
    int position = (screenSize - windowSize) / 2;
    if (position <= 0) {
        position = 0;
    }
    return position;
}

// Creates the window with a 1680 by 900 client area, centred on the screen.
HWND CreateGameWindow(HINSTANCE hInstance) {
    RECT rect = {0, 0, SCREEN_WIDTH, SCREEN_HEIGHT};
    AdjustWindowRect(&rect, WINDOW_STYLE, FALSE);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = GetCenteredWindowPosition(GetSystemMetrics(SM_CXSCREEN), width);
    int y = GetCenteredWindowPosition(GetSystemMetrics(SM_CYSCREEN), height);
    return CreateWindowExA(0, CLASS_NAME, WINDOW_NAME, WINDOW_STYLE, x, y, width, height, NULL, NULL, hInstance, NULL);
}

// Drains waiting messages before anything else; when none waits and a frame is
// due, runs one Update and one Draw. Returns the exit code carried by WM_QUIT.
int RunMessageLoop(void) {
    MSG msg;
    ZeroMemory(&msg, sizeof(msg));
    while (msg.message != WM_QUIT) {
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (!StartFrameIfDue(GetTimerSeconds())) {
            Sleep(0);
            continue;
        }
        Update();
        Draw();
    }
    return (int)msg.wParam;
}

// A frame is due 1/60 s after the last one began; the time read becomes the
// new start, so a late frame is never followed by catch-up frames.
bool StartFrameIfDue(double now) {
    if (now - g_lastFrameTime < FRAME_PERIOD) {
        return false;
    }
    g_lastFrameTime = now;
    return true;
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            SendMessageA(hWnd, WM_CLOSE, 0, 0);
        }
        break;
    case WM_CLOSE:
        if (MessageBoxA(hWnd, "本当に終了してよろしいですか？", "確認", MB_OKCANCEL | MB_DEFBUTTON2) == IDOK) {
            DestroyWindow(hWnd);
        }
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

bool Init(HINSTANCE hInstance, HWND hWnd) {
    if (!InitRenderer(hWnd)) {
        return false;
    }
    if (!InitKeyboard(hInstance, hWnd)) {
        return false;
    }
    if (LoadTextures() > 0) {
        MessageBoxA(hWnd, "いくつか読み込めなかったテクスチャファイルがあります", "エラー", MB_OK);
    }
    InitTimer();
    StartTimer();
    InitDebugText();
    ResetFrameRate(GetTimerSeconds());
    InitSprite();
    SetScene(SCENE_TITLE);
    InitFade();
    LoadModel(MODEL_TITLE);
    // The game runs on without sound; the sound module reports its own failure.
    InitSound(hWnd);
    return true;
}

// Shuts the modules down. The title model, made from the device, goes before
// the renderer; the sound module is released last.
void Uninit(void) {
    UninitScene();
    UninitFade();
    UninitSprite();
    ReleaseTextures();
    UninitKeyboard();
    UninitDebugText();
    if (IsModelLoaded(MODEL_TITLE)) {
        ReleaseModel(MODEL_TITLE);
    }
    UninitRenderer();
    UninitSound();
}

void Update(void) {
    UpdateKeyboard();
    UpdateScene();
    UpdateFade();
    UpdateFrameRate(GetTimerSeconds());
}

void Draw(void) {
    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL) {
        return;
    }
    ClearFrame(device);
    device->BeginScene();
    DrawFrameContents();
    device->EndScene();
    device->Present(NULL, NULL, NULL, NULL);
}

// Clears the back buffer to the game's blue and the depth buffer to the far plane.
void ClearFrame(LPDIRECT3DDEVICE9 device) {
    device->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, CLEAR_COLOR, 1.0f, 0);
}

// Everything a frame shows, in layering order: the scene, the fade over it and
// the frame-rate line over both, so the line stays readable on a black screen.
void DrawFrameContents(void) {
    DrawScene();
    DrawFade();
    DrawDebugText(8, 8, "FPS : %.2f", (double)g_fps);
}

// Starts the frame counters and the frame-rate measurement at the given time.
void ResetFrameRate(double now) {
    g_frameCount = 0;
    g_fpsFrameCount = 0;
    g_fpsTime = now;
    g_fps = 0.0f;
    g_lastFrameTime = now;
}

// Counts one frame; once a second has passed since the last measurement, the
// frames counted since then over the time passed become the frame rate.
void UpdateFrameRate(double now) {
    g_frameCount++;
    if (now - g_fpsTime >= FPS_INTERVAL) {
        g_fps = (float)((double)(g_frameCount - g_fpsFrameCount) / (now - g_fpsTime));
        g_fpsTime = now;
        g_fpsFrameCount = g_frameCount;
    }
}

int GetScore(void) { return GetCatchScore(); }

float GetFps(void) { return g_fps; }

int GetFrameCount(void) { return g_frameCount; }
