// bench_scenes: times whole frames (Update + Draw + Present) of each scene of
// the game, driven through the game's own functions in-process, and prints
// one machine-readable line per measurement for bench/run.sh to tabulate:
//
//   startup <seconds from BENCH_T0 (run.sh's clock at exec) to the first presented frame>
//   scene <name> <frames> <median ms> <p99 ms> <heap allocations per frame> <of those, ours>
//   water <median ms of one WaterSurface::Update>
//   vmhwm <peak resident set in kB>
//
// Scenes: title; game1 (stage one, nobody moving); game2 (stage two mid-fight,
// the tension gauge up, Down held so power and tension stay put); cutin (the
// frames after the strike: the cut-in lasts 61, so fewer than asked); warning (the break
// warning, tension held at or above the warning level); result. With
// WINAPI_D3D9_FLOOR=1 in the environment the GL back end draws the same calls
// as the scene's fill floor (see gl_backend.h); with BENCH_SHORTCUTS=0 the
// drawing layer's shortcuts are off. run.sh runs us three times.
//
// Heap allocations are counted by the malloc hook (alloc_count.cpp) only while
// timed frames run; "ours" are those the game or our Windows layer asked for,
// the rest the GL driver's, X's and SDL's. State: the game harness and the counters, for the run.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "alloc_count.h"
#include "app/main.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "d3d9_testing.h"
#include "device/keyboard.h"
#include "dinput_testing.h"
#include "game/player.h"
#include "game/player_testing.h"
#include "harness.h"
#include "world3d/water.h"

namespace {

GameHarness g_harness;
std::vector<double> g_samples;  // reserved up front: no allocation while timing

double NowSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + ts.tv_nsec * 1e-9;
}

double WallSeconds() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (double)ts.tv_sec + ts.tv_nsec * 1e-9;
}

// One frame as the game's loop runs it, with the keys left as they are.
void RawFrame() {
    Update();
    Draw();
}

// Times frames until `frames` are done or `keepGoing(i)` turns false (it may
// also set the keys of frame i); prints one scene line.
template <typename Pred>
void TimeFrames(const char* name, int frames, Pred keepGoing) {
    g_samples.clear();
    ResetAllocCount();
    SetAllocCounting(true);
    for (int i = 0; i < frames; i++) {
        if (!keepGoing(i)) break;
        const double t = NowSeconds();
        RawFrame();
        g_samples.push_back((NowSeconds() - t) * 1000.0);
    }
    SetAllocCounting(false);
    const long allocs = AllocCount(), own = OwnAllocCount();
    const size_t n = g_samples.size();
    if (n == 0) {
        printf("scene %s 0 - - - -\n", name);
        return;
    }
    std::sort(g_samples.begin(), g_samples.end());
    const double median = g_samples[n / 2];
    const double p99 = g_samples[std::min(n - 1, (size_t)(n * 0.99))];
    printf("scene %s %zu %.2f %.2f %.2f %.2f\n", name, n, median, p99, (double)allocs / (double)n,
           (double)own / (double)n);
    fflush(stdout);
}

void Frames(int n, const KeySet& keys) {
    g_harness.SetKeys(keys);
    for (int i = 0; i < n; i++) RawFrame();
}

void Enter(int scene) {
    SetNextScene(scene);
    Frames(1, {});
}

bool InFight() { return GetScene() == SCENE_GAME2 && GetNextScene() == SCENE_GAME2 && GetHookFlag(); }

// Sets the keys of a fight frame straight through the keyboard layer (the
// harness's SetKeys records a script, which allocates): with `pull`, Down and
// the side that pulls against the fish; without, nothing held, which drops
// the reel power and eases the tension by one.
void FightKeys(bool pull) {
    const bool right = GetFishTurned();
    WinapiTest_SetKey(DIK_DOWN, pull);
    WinapiTest_SetKey(DIK_LEFT, pull && !right);
    WinapiTest_SetKey(DIK_RIGHT, pull && right);
}

// Raises the tension to `target` with runs of good pulls, each cut short
// before the reel power reaches 1, so the fish loses no HP and the fight goes on.
void ReelUpTo(int target) {
    for (int i = 0; i < 4000 && InFight() && GetTension() < target; i++) {
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
        const double t = NowSeconds();
        water.Update();
        g_samples.push_back((NowSeconds() - t) * 1000.0);
    }
    std::sort(g_samples.begin(), g_samples.end());
    return g_samples[g_samples.size() / 2];
}

long PeakRssKb() {
    FILE* f = fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    while (fgets(line, sizeof line, f)) {
        if (strncmp(line, "VmHWM:", 6) == 0) kb = atol(line + 6);
    }
    fclose(f);
    return kb;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? atoi(argv[1]) : 600;
    if (frames < 1) {
        fprintf(stderr, "usage: bench_scenes [frames per scene, default 600]\n");
        return 2;
    }
    g_samples.reserve((size_t)frames + 16);
    // BENCH_SHORTCUTS=0: the drawing layer's pixel-preserving shortcuts off, to measure what they save.
    const char* shortcuts = getenv("BENCH_SHORTCUTS");
    if (shortcuts && strcmp(shortcuts, "0") == 0) D3D9Testing_AllowDrawShortcuts(false);
    if (!g_harness.Start(GameHarness::kPixels)) {
        fprintf(stderr, "bench_scenes: no display or device to run the game on\n");
        return 1;
    }
    Frames(1, {});
    const char* t0 = getenv("BENCH_T0");
    if (t0) printf("startup %.3f\n", WallSeconds() - atof(t0));

    // The title once its fade-in is over.
    Frames(60, {});
    TimeFrames("title", frames, [](int) { return true; });

    Enter(SCENE_GAME1);
    Frames(30, {});
    TimeFrames("game1", frames, [](int) { return GetScene() == SCENE_GAME1; });

    // Stage two: charge and cast, wait for the bite, strike; the cut-in runs
    // from the strike on.
    Enter(SCENE_GAME2);
    Frames(201, {DIK_UP});
    g_harness.SetKeys({});
    for (int i = 0; i < 3000 && GetNibbleCount() < 3; i++) RawFrame();
    Frames(1, {DIK_SPACE});
    g_harness.SetKeys({});
    TimeFrames("cutin", frames, [](int) { return InFight() && GetHookTimer() <= 60; });

    // Mid-fight: tension up on the gauge, then held there.
    ReelUpTo(100);
    TimeFrames("game2", frames, HoldFight);

    // The break warning: tension above the warning level, held there.
    ReelUpTo(170);
    TimeFrames("warning", frames, [](int i) { return HoldFight(i) && GetTension() >= 160; });

    WinapiTest_ReleaseAllKeys();
    g_harness.SetKeys({});
    Enter(SCENE_RESULT);
    Frames(30, {});
    TimeFrames("result", frames, [](int) { return GetScene() == SCENE_RESULT; });

    printf("water %.3f\n", WaterMedian(frames));
    printf("vmhwm %ld\n", PeakRssKb());
    g_harness.Stop();
    return 0;
}
