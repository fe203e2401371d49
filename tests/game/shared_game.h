// A fixture whose tests share one running game: started (on the null back
// end, or drawing for real) before the suite's first test and stopped after
// its last. Each test fails in CI, and skips elsewhere, when it could not
// start; SetUpEach runs before every test that has a game.
#pragma once

#include <gtest/gtest.h>

#include "ci_skip.h"
#include "harness.h"

template <GameHarness::Drawing kDrawing = GameHarness::kNoPixels>
class SharedGameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_started = s_harness.Start(kDrawing); }
    static void TearDownTestSuite() { s_harness.Stop(); }
    void SetUp() override {
        if (!s_started) SKIP_OR_FAIL_IN_CI() << "no display or device to run the game on";
        SetUpEach();
    }
    virtual void SetUpEach() {}

    static GameHarness s_harness;
    static bool s_started;
};

template <GameHarness::Drawing kDrawing>
GameHarness SharedGameTest<kDrawing>::s_harness;
template <GameHarness::Drawing kDrawing>
bool SharedGameTest<kDrawing>::s_started = false;
