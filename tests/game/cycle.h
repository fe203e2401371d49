// One whole game on the harness with scripted keys, as the robustness tests
// play it: title, stage one (steering to the fish nearest the boat), stage two (cast,
// wait for the bite, strike, let the fish get away), the result screen (name
// AAA) and back to the title. Over a thousand frames. The game's clock is the
// fake performance counter, one 1/64 s step a frame, so that every cycle sees
// the same frame times (and shows the same frame-rate text).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "harness.h"

struct CycleResult {
    std::vector<int> scenes;  // each scene in the order it was entered, from the title
    int frames = 0;
    bool backAtTitle = false;  // the cycle ended on the title, its fade-in over
};

// While one lives, the game's clock is the cycles' fake counter. Make it
// before the harness starts the game, so that its clock starts on a whole frame.
class FrameClock {
public:
    FrameClock();
    ~FrameClock();
};

// Plays one cycle from the title; gives up (backAtTitle false) when a step
// does not end within its bound. `afterFrame`, if given, runs after every frame.
CycleResult PlayCycle(GameHarness& h, const std::function<void()>& afterFrame = {});
// The same cycle cut short after the first frame in `scene` (its scene
// trail then ends there, and backAtTitle stays false).
CycleResult PlayCycleUntil(GameHarness& h, int scene, const std::function<void()>& afterFrame = {});
// The same cycle, but after the strike it reels against the fish until the
// fight ends: the tension gauge, the break warning and a broken line (or a
// catch) instead of the fish getting away. Shorter: some 900 frames.
CycleResult PlayCycleReeling(GameHarness& h);

// The keys that steer the boat towards (x, z) this frame: turn until the
// target is within 0.1 degrees of ahead, and go once it is within 2.
KeySet SteerKeys(float x, float z);

// "title>game1>game2>result>title" for test messages.
std::string SceneTrail(const std::vector<int>& scenes);
