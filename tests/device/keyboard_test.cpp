// Keyboard: held, went-down and went-up keys derived frame by frame from a real
// keyboard device for a game window, and what a read in the background keeps.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "app/main.h"
#include "device/keyboard.h"
#include "dinput_testing.h"
#include "win32_testing.h"

namespace {

class KeyboardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!getenv("DISPLAY") && !getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
        WinapiTest_InstallMessageBoxHook(IDOK);
        WinapiTest_ClearMessageBoxes();
        RegisterGameWindowClass(NULL);
        window_ = CreateGameWindow(NULL);
        ready_ = window_ != NULL && InitKeyboard(NULL, window_);
        WinapiTest_RemoveMessageBoxHook();
    }
    static void TearDownTestSuite() {
        UninitKeyboard();
        WinapiTest_ForceKeyboardFocus(false, false);
        if (window_) DestroyWindow(window_);
        WinapiTest_DrainMessages();
    }

    void SetUp() override {
        if (!ready_) GTEST_SKIP() << "no window or keyboard device can be made here";
        WinapiTest_ForceKeyboardFocus(true, true);
        WinapiTest_ReleaseAllKeys();
        UpdateKeyboard();
        UpdateKeyboard();
    }
    void TearDown() override {
        WinapiTest_ReleaseAllKeys();
        WinapiTest_ForceKeyboardFocus(true, true);
    }

    void ExpectKey(int key, bool press, bool trigger, bool release, const char* when) {
        EXPECT_EQ(GetKeyboardPress(key), press) << "press of " << key << " " << when;
        EXPECT_EQ(GetKeyboardTrigger(key), trigger) << "trigger of " << key << " " << when;
        EXPECT_EQ(GetKeyboardRelease(key), release) << "release of " << key << " " << when;
    }

    static HWND window_;
    static bool ready_;
};
HWND KeyboardTest::window_ = NULL;
bool KeyboardTest::ready_ = false;

TEST_F(KeyboardTest, HeldKeyGoesDownOnceAndUpOnce) {
    ExpectKey(DIK_SPACE, false, false, false, "before");

    WinapiTest_SetKey(DIK_SPACE, true);
    UpdateKeyboard();
    ExpectKey(DIK_SPACE, true, true, false, "in the first frame down");
    for (int frame = 0; frame < 3; frame++) {
        UpdateKeyboard();
        ExpectKey(DIK_SPACE, true, false, false, "while held");
    }

    WinapiTest_SetKey(DIK_SPACE, false);
    UpdateKeyboard();
    ExpectKey(DIK_SPACE, false, false, true, "in the first frame up");
    UpdateKeyboard();
    ExpectKey(DIK_SPACE, false, false, false, "after");
}

TEST_F(KeyboardTest, KeysAreIndependent) {
    WinapiTest_SetKey(DIK_W, true);
    UpdateKeyboard();
    WinapiTest_SetKey(DIK_D, true);
    UpdateKeyboard();
    ExpectKey(DIK_W, true, false, false, "W held");
    ExpectKey(DIK_D, true, true, false, "D new");
    ExpectKey(DIK_A, false, false, false, "A untouched");

    WinapiTest_SetKey(DIK_W, false);
    WinapiTest_SetKey(DIK_UP, true);
    UpdateKeyboard();
    ExpectKey(DIK_W, false, false, true, "W let go");
    ExpectKey(DIK_D, true, false, false, "D held");
    ExpectKey(DIK_UP, true, true, false, "Up new");
}

TEST_F(KeyboardTest, KeyPressedAndReleasedBetweenReadsIsNotSeen) {
    WinapiTest_SetKey(DIK_C, true);
    WinapiTest_SetKey(DIK_C, false);
    UpdateKeyboard();
    ExpectKey(DIK_C, false, false, false, "after a tap between reads");
}

TEST_F(KeyboardTest, BackgroundReadsKeepTheLastSuccessfulState) {
    WinapiTest_SetKey(DIK_A, true);
    UpdateKeyboard();
    ExpectKey(DIK_A, true, true, false, "A down in the foreground");

    // The window loses the keyboard: nothing new is read, the arrays stay.
    WinapiTest_ForceKeyboardFocus(true, false);
    WinapiTest_SetKey(DIK_A, false);
    WinapiTest_SetKey(DIK_S, true);
    for (int frame = 0; frame < 3; frame++) {
        UpdateKeyboard();
        ExpectKey(DIK_A, true, true, false, "A in the background");
        ExpectKey(DIK_S, false, false, false, "S in the background");
    }

    // Back in the foreground the lost device is acquired again by the first
    // read; from the next one on the difference to the last successful read shows.
    WinapiTest_ForceKeyboardFocus(true, true);
    UpdateKeyboard();
    UpdateKeyboard();
    ExpectKey(DIK_A, false, false, true, "A after focus returns");
    ExpectKey(DIK_S, true, true, false, "S after focus returns");
}

TEST_F(KeyboardTest, KeyHeldAcrossTheBackgroundIsNotTriggeredAgain) {
    WinapiTest_SetKey(DIK_DOWN, true);
    UpdateKeyboard();
    UpdateKeyboard();
    ExpectKey(DIK_DOWN, true, false, false, "held before");

    WinapiTest_ForceKeyboardFocus(true, false);
    UpdateKeyboard();
    WinapiTest_ForceKeyboardFocus(true, true);
    // The key is (still, or again) down when the window has the keyboard back.
    WinapiTest_SetKey(DIK_DOWN, true);
    for (int frame = 0; frame < 3; frame++) {
        UpdateKeyboard();
        ExpectKey(DIK_DOWN, true, false, false, "still held after focus returns");
    }
    WinapiTest_SetKey(DIK_DOWN, false);
    UpdateKeyboard();
    ExpectKey(DIK_DOWN, false, false, true, "let go after focus returned");
}

TEST_F(KeyboardTest, KeyCodesOutsideTheTableAreNoKeys) {
    WinapiTest_SetKey(0xFF, true);
    UpdateKeyboard();
    ExpectKey(0xFF, true, true, false, "last code");
    ExpectKey(-1, false, false, false, "below the table");
    ExpectKey(NUM_KEY_MAX, false, false, false, "past the table");
    ExpectKey(100000, false, false, false, "far past the table");
}

TEST_F(KeyboardTest, ReleasedAndCreatedAgainStartsFromTheKeptState) {
    WinapiTest_SetKey(DIK_LEFT, true);
    UpdateKeyboard();
    UninitKeyboard();
    // Without a device a read changes nothing.
    UpdateKeyboard();
    ExpectKey(DIK_LEFT, true, true, false, "without a device");

    WinapiTest_InstallMessageBoxHook(IDOK);
    ready_ = InitKeyboard(NULL, window_);
    WinapiTest_RemoveMessageBoxHook();
    ASSERT_TRUE(ready_);
    WinapiTest_ForceKeyboardFocus(true, true);
    UpdateKeyboard();
    ExpectKey(DIK_LEFT, true, false, false, "after the new device's first read");
}

}  // namespace
