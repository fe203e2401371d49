// Keyboard: held, went-down and went-up keys derived read by read from a real
// keyboard device for a game window, and what a read in the background keeps.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "app/main.h"
#include "ci_skip.h"
#include "device/keyboard.h"
#include "dinput_testing.h"
#include "game_keyboard_suite.h"
#include "win32_testing.h"

namespace {

class KeyboardTest : public GameKeyboardSuite {
protected:
    void SetUpEach() override { UpdateKeyboard(); }
    // "PTR": press, trigger, release; '-' where the query is false.
    static std::string State(int key) {
        return std::string(GetKeyboardPress(key) ? "P" : "-") + (GetKeyboardTrigger(key) ? "T" : "-") +
               (GetKeyboardRelease(key) ? "R" : "-");
    }
};

TEST_F(KeyboardTest, HeldKeyGoesDownOnceAndUpOnceIndependentlyOfOthers) {
    const char* expected[] = {"PT-", "P--", "P--", "--R", "---"};
    const bool down[] = {true, true, true, false, false};
    for (int frame = 0; frame < 5; frame++) {
        WinapiTest_SetKey(DIK_SPACE, down[frame]);
        WinapiTest_SetKey(DIK_W, frame == 1);
        UpdateKeyboard();
        EXPECT_EQ(State(DIK_SPACE), expected[frame]) << "frame " << frame;
    }
    EXPECT_EQ(State(DIK_W), "---");
    EXPECT_EQ(State(DIK_A), "---");
    WinapiTest_SetKey(0xFF, true);
    UpdateKeyboard();
    EXPECT_EQ(State(0xFF), "PT-");
    EXPECT_EQ(State(-1), "---");  // codes outside the table are no keys
    EXPECT_EQ(State(NUM_KEY_MAX), "---");
}

TEST_F(KeyboardTest, TapBetweenTwoReadsIsNotSeen) {
    WinapiTest_SetKey(DIK_C, true);
    WinapiTest_SetKey(DIK_C, false);
    UpdateKeyboard();
    EXPECT_EQ(State(DIK_C), "---");
}

TEST_F(KeyboardTest, BackgroundKeepsTheLastSuccessfulRead) {
    WinapiTest_SetKey(DIK_A, true);
    WinapiTest_SetKey(DIK_DOWN, true);
    UpdateKeyboard();
    WinapiTest_ForceKeyboardFocus(true, false);
    WinapiTest_SetKey(DIK_S, true);
    for (int frame = 0; frame < 3; frame++) {
        UpdateKeyboard();
        EXPECT_EQ(State(DIK_A), "PT-");
        EXPECT_EQ(State(DIK_S), "---");
    }
    // Back in the foreground, with Down (still or again) held: the first read
    // acquires the device again, the next shows the change since the last read.
    WinapiTest_ForceKeyboardFocus(true, true);
    WinapiTest_SetKey(DIK_DOWN, true);
    UpdateKeyboard();
    UpdateKeyboard();
    EXPECT_EQ(State(DIK_A), "--R");
    EXPECT_EQ(State(DIK_S), "PT-");
    EXPECT_EQ(State(DIK_DOWN), "P--");
}

}  // namespace
