// bench_scenes: times whole frames (Update + Draw + Present) of each scene of
// the game, driven through the game's own functions in-process, and prints
// one machine-readable line per measurement for bench/run.sh to tabulate:
//
//   startup <seconds from BENCH_T0 (run.sh's clock at exec) to the first presented frame>
//   scene <name> <frames> <median ms> <p99 ms> <heap allocations per frame> <of those, ours>
//   water <median ms of one WaterSurface::Update>
//   vmhwm <peak resident set in kB (Linux VmHWM; Windows: the peak working set)>
//
// The same source builds on Linux (our Direct3D 9 layer) and with mingw-w64
// (the system's Direct3D 9; run.sh runs it under Wine), so the two columns
// time the same frames. Start it in the run directory (model/, asset/, SE/):
//
//   bench_scenes [frames per scene, default 600]
//
// Scenes: title; game1 (stage one, nobody moving); game2 (stage two mid-fight,
// the tension gauge up, held there by alternating a good pull and a frame
// off); cutin (the frames after the strike: the cut-in lasts 61, so fewer
// than asked); warning (the break warning, tension held at or above the
// warning level); result. Keys come from the scripted keyboard
// (scripted_keyboard.h), set between frames. Window messages are handled
// between frames, outside the timed part, as the game's loop does. Presented
// without vsync on both systems: the game asks for D3DPRESENT_INTERVAL_IMMEDIATE.
//
// Linux only: with WINAPI_D3D9_FLOOR=1 in the environment the GL back end
// draws the same calls as the scene's fill floor (see gl_backend.h); with
// BENCH_SHORTCUTS=0 the drawing layer's shortcuts are off; heap allocations
// are counted by the malloc hook (alloc_count.cpp) while timed frames run,
// "ours" being those the game or our Windows layer asked for, the rest the
// GL driver's, X's and SDL's. The Windows build prints "-" for both counts.
//
// The result scene's records are written by its Uninit, which is never run:
// the program ends after the last scene without the game's shutdown, so no
// ranking file is touched. State: the samples, for the run.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <vector>

#include "alloc_count.h"
#include "app/main.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "app/timer.h"
#include "bench_system.h"
#include "device/keyboard.h"
#include "game/player.h"
#include "game/player_testing.h"
#include "scripted_keyboard.h"
#include "world3d/water.h"

namespace {

std::vector<double> g_samples;  // reserved up front: no allocation while timing

double WallSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Handles the window's messages; false once the window was closed.
bool PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return false;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

// One frame as the game's loop runs it, with the keys left as they are.
void RawFrame() {
    Update();
    Draw();
}

// Holds exactly these keys (DIK codes) from the next frame on.
void HoldKeys(std::initializer_list<int> keys) {
    ScriptedKeyboard_ReleaseAll();
    for (int key : keys) ScriptedKeyboard_Set(key, true);
}

// Times frames until `frames` are done or `keepGoing(i)` turns false (it may
// also set the keys of frame i); prints one scene line.
template <typename Pred>
void TimeFrames(const char* name, int frames, Pred keepGoing) {
    g_samples.clear();
    ResetAllocCount();
    SetAllocCounting(true);
    for (int i = 0; i < frames; i++) {
        if (!PumpMessages() || !keepGoing(i)) break;
        const double t = GetCounterSeconds();
        RawFrame();
        g_samples.push_back((GetCounterSeconds() - t) * 1000.0);
    }
    SetAllocCounting(false);
    const long allocs = AllocCount(), own = OwnAllocCount();
    const size_t n = g_samples.size();
    if (n == 0) {
        printf("scene %s 0 - - - -\n", name);
        fflush(stdout);
        return;
    }
    std::sort(g_samples.begin(), g_samples.end());
    const double median = g_samples[n / 2];
    const double p99 = g_samples[std::min(n - 1, (size_t)(n * 0.99))];
    if (allocs < 0) {
        printf("scene %s %zu %.2f %.2f - -\n", name, n, median, p99);
    } else {
        printf("scene %s %zu %.2f %.2f %.2f %.2f\n", name, n, median, p99, (double)allocs / (double)n,
               (double)own / (double)n);
    }
    fflush(stdout);
}

void Frames(int n) {
    for (int i = 0; i < n && PumpMessages(); i++) RawFrame();
}

void Enter(int scene) {
    HoldKeys({});
    SetNextScene(scene);
    Frames(1);
}

bool InFight() { return GetScene() == SCENE_GAME2 && GetNextScene() == SCENE_GAME2 && GetHookFlag(); }

// The keys of a fight frame: with `pull`, Down and the side that pulls
// against the fish; without, nothing held, which drops the reel power and
// eases the tension by one.
void FightKeys(bool pull) {
    const bool right = GetFishTurned();
    ScriptedKeyboard_Set(DIK_DOWN, pull);
    ScriptedKeyboard_Set(DIK_LEFT, pull && !right);
    ScriptedKeyboard_Set(DIK_RIGHT, pull && right);
}

// Raises the tension to `target` with runs of good pulls, each cut short
// before the reel power reaches 1, so the fish loses no HP and the fight goes on.
void ReelUpTo(int target) {
    for (int i = 0; i < 4000 && InFight() && GetTension() < target && PumpMessages(); i++) {
        FightKeys(i % 16 != 15);
        RawFrame();
    }
}

// Holds the fight where it is: a good pull, then a frame off (tension +1, -1;
// the fish turns every sixty frames, so it drifts neither near nor away).
bool HoldFight(int frame) {
    FightKeys(frame % 2 == 0);
    return InFight();
}

double WaterMedian(int runs) {
    WaterSurface water(100, 100);
    water.AddRipple(-10, 0, 0.006f, 1);
    g_samples.clear();
    for (int i = 0; i < runs; i++) {
        const double t = GetCounterSeconds();
        water.Update();
        g_samples.push_back((GetCounterSeconds() - t) * 1000.0);
    }
    std::sort(g_samples.begin(), g_samples.end());
    return g_samples[g_samples.size() / 2];
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow) {
    const int frames = (lpCmdLine != NULL && lpCmdLine[0] != '\0') ? atoi(lpCmdLine) : 600;
    if (frames < 1) {
        fprintf(stderr, "usage: bench_scenes [frames per scene, default 600]\n");
        return 2;
    }
    g_samples.reserve((size_t)frames + 16);
    // BENCH_SHORTCUTS=0: the drawing layer's pixel-preserving shortcuts off, to measure what they save.
    const char* shortcuts = getenv("BENCH_SHORTCUTS");
    if (shortcuts && strcmp(shortcuts, "0") == 0 && !BenchSystem_AllowDrawShortcuts(false)) {
        fprintf(stderr, "bench_scenes: BENCH_SHORTCUTS=0 has no effect here (the system's Direct3D draws)\n");
    }

    // The game's own window and start-up, as WinMain makes them.
    RegisterGameWindowClass(hInstance);
    HWND hWnd = CreateGameWindow(hInstance);
    if (hWnd == NULL) {
        fprintf(stderr, "bench_scenes: no game window (no display?)\n");
        return 1;
    }
    ShowWindow(hWnd, SW_SHOWNORMAL);
    if (!Init(hInstance, hWnd)) {
        fprintf(stderr, "bench_scenes: the game did not start (no device, or not started in the run directory?)\n");
        return 1;
    }
    Frames(1);
    const char* t0 = getenv("BENCH_T0");
    if (t0) printf("startup %.3f\n", WallSeconds() - atof(t0));

    // The title once its fade-in is over.
    Frames(60);
    TimeFrames("title", frames, [](int) { return true; });

    Enter(SCENE_GAME1);
    Frames(30);
    TimeFrames("game1", frames, [](int) { return GetScene() == SCENE_GAME1; });

    // Stage two: charge and cast, wait for the bite, strike; the cut-in runs
    // from the strike on.
    Enter(SCENE_GAME2);
    HoldKeys({DIK_UP});
    Frames(201);
    HoldKeys({});
    for (int i = 0; i < 3000 && GetNibbleCount() < 3 && PumpMessages(); i++) RawFrame();
    HoldKeys({DIK_SPACE});
    Frames(1);
    HoldKeys({});
    TimeFrames("cutin", frames, [](int) { return InFight() && GetHookTimer() <= 60; });

    // Mid-fight: tension up on the gauge, then held there.
    ReelUpTo(100);
    TimeFrames("game2", frames, HoldFight);

    // The break warning: tension above the warning level, held there.
    ReelUpTo(170);
    TimeFrames("warning", frames, [](int i) { return HoldFight(i) && GetTension() >= 160; });

    Enter(SCENE_RESULT);
    Frames(30);
    TimeFrames("result", frames, [](int) { return GetScene() == SCENE_RESULT; });

    printf("water %.3f\n", WaterMedian(frames));
    printf("vmhwm %ld\n", BenchSystem_PeakMemoryKb());
    fflush(stdout);
    // No Uninit: the result scene's would append a record to the ranking file.
    return 0;
}
