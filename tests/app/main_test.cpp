// Main module: window placement, frame pacing without catch-up, the frame-rate
// measurement, the quit confirmation of the window procedure and the message
// loop's exit code.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include "app/main.h"
#include "win32_testing.h"

namespace {

TEST(WindowPlacement, CentresAndNeverLeavesTheScreen) {
    EXPECT_EQ(GetCenteredWindowPosition(1920, 1686), 117);
    EXPECT_EQ(GetCenteredWindowPosition(1921, 1686), 117);
    EXPECT_EQ(GetCenteredWindowPosition(1080, 929), 75);
    EXPECT_EQ(GetCenteredWindowPosition(1686, 1686), 0);
    // Smaller screens put the window at 0 on that axis, including the case
    // where truncation toward zero of a negative half gives 0 or -1.
    EXPECT_EQ(GetCenteredWindowPosition(1685, 1686), 0);
    EXPECT_EQ(GetCenteredWindowPosition(1684, 1686), 0);
    EXPECT_EQ(GetCenteredWindowPosition(800, 1686), 0);
}

TEST(FramePacing, AFrameIsDueEverySixtiethAndLateFramesAreNotMadeUp) {
    ResetFrameRate(100.0);
    EXPECT_FALSE(StartFrameIfDue(100.0));
    EXPECT_FALSE(StartFrameIfDue(100.0166));
    EXPECT_TRUE(StartFrameIfDue(100.0167));
    EXPECT_FALSE(StartFrameIfDue(100.0168));
    EXPECT_FALSE(StartFrameIfDue(100.0333));
    EXPECT_TRUE(StartFrameIfDue(100.0334));

    // Half a second late: one frame at once, then the next only a full period
    // after the late one began.
    const double late = 100.5334;
    EXPECT_TRUE(StartFrameIfDue(late));
    EXPECT_FALSE(StartFrameIfDue(late + 0.001));
    EXPECT_FALSE(StartFrameIfDue(late + 0.0166));
    EXPECT_TRUE(StartFrameIfDue(late + 0.0167));
}

TEST(FrameRate, MeasuredOncePerSecondFromTheFramesCounted) {
    ResetFrameRate(10.0);
    EXPECT_EQ(GetFps(), 0.0f);
    EXPECT_EQ(GetFrameCount(), 0);

    // The first second shows 0.
    for (int i = 0; i < 59; i++) UpdateFrameRate(10.0 + 0.016 * i);
    EXPECT_EQ(GetFps(), 0.0f);
    EXPECT_EQ(GetFrameCount(), 59);

    UpdateFrameRate(11.0);
    EXPECT_FLOAT_EQ(GetFps(), 60.0f);

    // Slow frames: 20 frames over 1.5 s, the last one late.
    for (int i = 1; i < 20; i++) UpdateFrameRate(11.0 + 0.05 * i);
    EXPECT_FLOAT_EQ(GetFps(), 60.0f);
    UpdateFrameRate(12.5);
    EXPECT_FLOAT_EQ(GetFps(), (float)(20.0 / 1.5));
    EXPECT_EQ(GetFrameCount(), 80);

    // An uneven span, computed in double and stored as float.
    for (int i = 0; i < 6; i++) UpdateFrameRate(12.9);
    UpdateFrameRate(13.6);
    EXPECT_FLOAT_EQ(GetFps(), (float)(7.0 / 1.1));
}

class QuitConfirmationTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!getenv("DISPLAY") && !getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
        RegisterGameWindowClass(NULL);
        window_ = CreateGameWindow(NULL);
        if (!window_) GTEST_SKIP() << "no window can be made here";
        WinapiTest_DrainMessages();
        WinapiTest_ClearMessageBoxes();
    }
    void TearDown() override {
        WinapiTest_RemoveMessageBoxHook();
        if (window_ && !destroyed_) DestroyWindow(window_);
        WinapiTest_DrainMessages();
    }

    // Takes every waiting message; true if one was WM_QUIT (its code in *code).
    bool TakeQuit(WPARAM* code) {
        MSG msg;
        bool quit = false;
        for (int i = 0; i < 1000 && PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE); i++) {
            if (msg.message == WM_QUIT) {
                quit = true;
                *code = msg.wParam;
            }
        }
        return quit;
    }

    void ExpectOneConfirmation() {
        const std::vector<WinapiMessageBoxRecord>& boxes = WinapiTest_MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "本当に終了してよろしいですか？");
        EXPECT_EQ(boxes[0].caption, "確認");
        EXPECT_EQ(boxes[0].flags, (UINT)(MB_OKCANCEL | MB_DEFBUTTON2));
    }

    HWND window_ = NULL;
    bool destroyed_ = false;
};

TEST_F(QuitConfirmationTest, EscapeAnsweredWithCancelKeepsRunning) {
    WinapiTest_InstallMessageBoxHook(IDCANCEL);
    SendMessageA(window_, WM_KEYDOWN, VK_ESCAPE, 0);
    ExpectOneConfirmation();
    WPARAM code = 99;
    EXPECT_FALSE(TakeQuit(&code));
    RECT client;
    EXPECT_TRUE(GetClientRect(window_, &client));
}

TEST_F(QuitConfirmationTest, OtherKeysAskNothing) {
    WinapiTest_InstallMessageBoxHook(IDOK);
    SendMessageA(window_, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(window_, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(WinapiTest_MessageBoxes().empty());
    WPARAM code = 99;
    EXPECT_FALSE(TakeQuit(&code));
}

TEST_F(QuitConfirmationTest, CloseAnsweredWithOkDestroysAndQuitsWithZero) {
    WinapiTest_InstallMessageBoxHook(IDOK);
    EXPECT_EQ(SendMessageA(window_, WM_CLOSE, 0, 0), 0);
    destroyed_ = true;
    ExpectOneConfirmation();
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuit(&code));
    EXPECT_EQ(code, 0u);
    RECT client;
    EXPECT_FALSE(GetClientRect(window_, &client));
}

TEST_F(QuitConfirmationTest, EscapeAnsweredWithOkQuits) {
    WinapiTest_InstallMessageBoxHook(IDOK);
    SendMessageA(window_, WM_KEYDOWN, VK_ESCAPE, 0);
    destroyed_ = true;
    ExpectOneConfirmation();
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuit(&code));
    EXPECT_EQ(code, 0u);
}

TEST_F(QuitConfirmationTest, WindowHasTheFixedClientArea) {
    RECT client;
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(client.right - client.left, SCREEN_WIDTH);
    EXPECT_EQ(client.bottom - client.top, SCREEN_HEIGHT);
}

TEST_F(QuitConfirmationTest, LoopDrainsMessagesBeforeAnyFrameAndReturnsTheQuitCode) {
    int frames = GetFrameCount();
    PostQuitMessage(7);
    EXPECT_EQ(RunMessageLoop(), 7);
    EXPECT_EQ(GetFrameCount(), frames);
}

}  // namespace
