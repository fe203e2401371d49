// Per-frame costs: the water surface's update (10100 vertices, ten ripple
// slots, the 4.3 MB buffer rewritten), its draw, and whole frames of each
// scene through the real Update and Draw. The game's budget is 1/60 s a frame.
#include <benchmark/benchmark.h>

#include "app/main.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "game/game1.h"
#include "harness.h"
#include "world3d/water.h"

namespace {

GameHarness g_harness;
bool g_started = false;

bool Started() {
    if (!g_started) g_started = g_harness.Start(GameHarness::kPixels);  // frames drawn for real
    return g_started;
}

// Enters a scene directly, as the scene manager would after a request.
void EnterScene(int scene) {
    if (GetScene() == scene) return;
    SetNextScene(scene);
    g_harness.Frame({});
}

void BM_WaterUpdate(benchmark::State& state) {
    if (!Started()) {
        state.SkipWithError("no display or device");
        return;
    }
    WaterSurface water(100, 100);
    water.AddRipple(-10, 0, 0.006f, 1);
    for (auto _ : state) water.Update();
}
BENCHMARK(BM_WaterUpdate)->Unit(benchmark::kMillisecond);

void BM_FrameTitle(benchmark::State& state) {
    if (!Started()) {
        state.SkipWithError("no display or device");
        return;
    }
    EnterScene(SCENE_TITLE);
    for (auto _ : state) g_harness.Frame({});
}
BENCHMARK(BM_FrameTitle)->Unit(benchmark::kMillisecond);

void BM_FrameStageOne(benchmark::State& state) {
    if (!Started()) {
        state.SkipWithError("no display or device");
        return;
    }
    EnterScene(SCENE_GAME1);
    for (auto _ : state) g_harness.Frame({});
}
BENCHMARK(BM_FrameStageOne)->Unit(benchmark::kMillisecond);

void BM_FrameStageTwo(benchmark::State& state) {
    if (!Started()) {
        state.SkipWithError("no display or device");
        return;
    }
    EnterScene(SCENE_GAME2);
    for (auto _ : state) g_harness.Frame({});
}
BENCHMARK(BM_FrameStageTwo)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    g_harness.Stop();
    benchmark::Shutdown();
    return 0;
}
