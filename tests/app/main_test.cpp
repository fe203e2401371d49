// Main module: window placement, pacing without catch-up frames, the
// frame-rate measurement and its text, the quit confirmation and the loop's
// exit code.
#include <gtest/gtest.h>

#include <string>

#include "app/debugtext.h"
#include "app/debugtext_testing.h"
#include "app/main.h"
#include "app/main_testing.h"
#include "ci_skip.h"
#include "game_window.h"
#include "win32_testing.h"

namespace {

TEST(MainLoop, WindowIsCentredButNeverPlacedOffTheScreen) {
    EXPECT_EQ(GetCenteredWindowPosition(1920, 1686), 117);
    EXPECT_EQ(GetCenteredWindowPosition(1921, 1686), 117);
    EXPECT_EQ(GetCenteredWindowPosition(1686, 1686), 0);
    EXPECT_EQ(GetCenteredWindowPosition(1684, 1686), 0);  // -1 after truncation
    EXPECT_EQ(GetCenteredWindowPosition(800, 1686), 0);
}

TEST(MainLoop, FramesAreDueEverySixtiethWithoutCatchUp) {
    ResetFrameRate(100.0);
    EXPECT_FALSE(StartFrameIfDue(100.0166));
    EXPECT_TRUE(StartFrameIfDue(100.0167));
    EXPECT_FALSE(StartFrameIfDue(100.0333));
    EXPECT_TRUE(StartFrameIfDue(100.5));     // late: one frame at once...
    EXPECT_FALSE(StartFrameIfDue(100.501));  // ...and no second one to make up
    EXPECT_FALSE(StartFrameIfDue(100.5166));
    EXPECT_TRUE(StartFrameIfDue(100.5167));
}

TEST(MainLoop, FrameRateIsMeasuredOncePerSecond) {
    ResetFrameRate(10.0);
    for (int i = 0; i < 59; i++) UpdateFrameRate(10.0 + 0.016 * i);
    EXPECT_EQ(GetFps(), 0.0f);  // the first second shows 0
    UpdateFrameRate(11.0);
    EXPECT_FLOAT_EQ(GetFps(), 60.0f);
    for (int i = 1; i < 20; i++) UpdateFrameRate(11.0 + 0.05 * i);
    EXPECT_FLOAT_EQ(GetFps(), 60.0f);
    UpdateFrameRate(12.5);  // 20 frames in 1.5 s
    EXPECT_FLOAT_EQ(GetFps(), (float)(20.0 / 1.5));
    EXPECT_EQ(GetFrameCount(), 80);
}

TEST(MainLoop, FrameRateTextHasTwoDecimalsAndIsCutAt255) {
    DrawDebugText(8, 8, "FPS : %.2f", (double)59.98f);
    EXPECT_STREQ(GetDebugText(), "FPS : 59.98");
    std::string text(300, 'x');
    text[254] = 'b';
    DrawDebugText(0, 0, "%s", text.c_str());
    EXPECT_EQ(std::string(GetDebugText()), text.substr(0, 255));
}

class QuitTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = testsupport::OpenGameWindow(NULL);
        if (!window_) SKIP_OR_FAIL_IN_CI() << "no window can be made here";
        WinapiTest_DrainMessages();
        WinapiTest_ClearMessageBoxes();
    }
    void TearDown() override {
        WinapiTest_RemoveMessageBoxHook();
        RECT r;
        if (window_ && GetClientRect(window_, &r)) DestroyWindow(window_);
        WinapiTest_DrainMessages();
    }
    // Asks with the given answer; returns the WM_QUIT code posted, or -1.
    int Ask(int answer, UINT message, WPARAM wParam) {
        WinapiTest_InstallMessageBoxHook(answer);
        SendMessageA(window_, message, wParam, 0);
        MSG msg;
        int code = -1;
        for (int i = 0; i < 1000 && PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE); i++) {
            if (msg.message == WM_QUIT) code = (int)msg.wParam;
        }
        return code;
    }
    void ExpectAsked(size_t times) {
        const std::vector<WinapiMessageBoxRecord>& boxes = WinapiTest_MessageBoxes();
        ASSERT_EQ(boxes.size(), times);
        for (const WinapiMessageBoxRecord& box : boxes) {
            EXPECT_EQ(box.text, "本当に終了してよろしいですか？");
            EXPECT_EQ(box.caption, "確認");
            EXPECT_EQ(box.flags, (UINT)(MB_OKCANCEL | MB_DEFBUTTON2));
        }
    }
    HWND window_ = NULL;
};

TEST_F(QuitTest, CancelKeepsTheWindowAndOkQuitsWithZero) {
    RECT r;
    ASSERT_TRUE(GetClientRect(window_, &r));
    EXPECT_EQ(r.right - r.left, SCREEN_WIDTH);
    EXPECT_EQ(r.bottom - r.top, SCREEN_HEIGHT);
    // A caption with the close and minimise boxes; no sizing border, no maximise box.
    const DWORD style = (DWORD)GetWindowLongA(window_, GWL_STYLE) & ~(DWORD)WS_VISIBLE;
    EXPECT_EQ(style, (DWORD)0x00CA0000);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(Ask(IDOK, WM_KEYDOWN, VK_SPACE), -1);
    ExpectAsked(0);
    EXPECT_EQ(Ask(IDCANCEL, WM_KEYDOWN, VK_ESCAPE), -1);
    EXPECT_EQ(Ask(IDCANCEL, WM_CLOSE, 0), -1);
    ExpectAsked(2);
    EXPECT_TRUE(GetClientRect(window_, &r));
    EXPECT_EQ(Ask(IDOK, WM_KEYDOWN, VK_ESCAPE), 0);
    ExpectAsked(3);
    EXPECT_FALSE(GetClientRect(window_, &r));
}

TEST_F(QuitTest, CloseBoxWithOkQuitsAndTheLoopReturnsTheCode) {
    EXPECT_EQ(Ask(IDOK, WM_CLOSE, 0), 0);
    ExpectAsked(1);
    int frames = GetFrameCount();
    PostQuitMessage(7);
    EXPECT_EQ(RunMessageLoop(), 7);  // waiting messages come before any frame
    EXPECT_EQ(GetFrameCount(), frames);
}

}  // namespace
