// Suites whose tests share one game keyboard (see GameKeyboard): opened once
// for the suite, back in the foreground with every key up before each test,
// every key released after it. Tests skip (fail in CI) where no window or
// keyboard device can be made.
#pragma once

#include <gtest/gtest.h>

#include "ci_skip.h"
#include "game_window.h"
#include "win32_testing.h"

class GameKeyboardSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_ready = s_keys.Open(NULL); }
    static void TearDownTestSuite() { s_keys.Close(); }
    void SetUp() override {
        if (!s_ready) SKIP_OR_FAIL_IN_CI() << "no window or keyboard device can be made here";
        s_keys.Reset();
        SetUpEach();
    }
    void TearDown() override {
        WinapiTest_ReleaseAllKeys();
        TearDownEach();
    }
    virtual void SetUpEach() {}
    virtual void TearDownEach() {}

    inline static testsupport::GameKeyboard s_keys;
    inline static bool s_ready = false;
};
