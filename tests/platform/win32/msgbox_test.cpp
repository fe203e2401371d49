// MessageBoxA: the test hook, the answer without a display, and real boxes on
// a display (run under xvfb-run; skipped elsewhere), answered by events pushed
// into the box's window as soon as it is shown.
#include <gtest/gtest.h>
#include <windows.h>

#include <SDL2/SDL.h>
#include <SDL2/SDL_ttf.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "ci_skip.h"
#include "platform/common/winapi_internal.h"
#include "sdl_events.h"
#include "test_device.h"
#include "win32_testing.h"

namespace {

const bool g_driverChosen = [] {
    if (!getenv("SDL_VIDEODRIVER") && !getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY"))
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    return true;
}();

bool OnRealDisplay() {
    if (!winapi::EnsureVideo()) return false;
    const char* d = SDL_GetCurrentVideoDriver();
    return d && (strcmp(d, "x11") == 0 || strcmp(d, "wayland") == 0);
}

void PushClick(uint32_t id, Uint32 type, int x, int y) {
    SDL_Event e;
    SDL_zero(e);
    e.type = type;
    e.button.windowID = id;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
}

int CentreX(const RECT& r) { return (r.left + r.right) / 2; }
int CentreY(const RECT& r) { return (r.top + r.bottom) / 2; }

// Runs one real box; `answer` pushes the events that answer it.
struct Shown {
    WinapiMessageBoxWindow box;
    std::string title;
    std::function<void(const WinapiMessageBoxWindow&)> answer;
    int calls = 0;
};

void OnShown(const WinapiMessageBoxWindow& box, void* user) {
    Shown* s = (Shown*)user;
    s->box = box;
    s->calls++;
    SDL_Window* w = SDL_GetWindowFromID(box.windowId);
    s->title = w ? SDL_GetWindowTitle(w) : "";
    s->answer(box);
}

class RealMessageBox : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OnRealDisplay()) SKIP_OR_FAIL_IN_CI() << "needs a display (run under xvfb-run)";
        WinapiTest_RemoveMessageBoxHook();
        WinapiTest_DrainMessages();
    }
    void TearDown() override { WinapiTest_SetMessageBoxShownCallback(nullptr, nullptr); }

    int Run(const char* text, const char* caption, UINT type, std::function<void(const WinapiMessageBoxWindow&)> answer,
            HWND owner = NULL) {
        shown_.answer = answer;
        shown_.calls = 0;
        WinapiTest_SetMessageBoxShownCallback(OnShown, &shown_);
        int result = MessageBoxA(owner, text, caption, type);
        EXPECT_EQ(shown_.calls, 1);
        return result;
    }

    Shown shown_;
};

HWND MakeOwner() {
    HWND h = testsupport::MakePlainWindow("owner", 0x00CA0000, 50, 50, 400, 300);
    if (h) ShowWindow(h, SW_SHOWDEFAULT);
    return h;
}

}  // namespace

// ---- without a window ----

TEST(MessageBoxHook, RecordsEveryCallAndGivesTheAnswer) {
    WinapiTest_ClearMessageBoxes();
    WinapiTest_InstallMessageBoxHook(IDOK);
    EXPECT_EQ(MessageBoxA(NULL, "本当に終了してよろしいですか？", "確認", MB_OKCANCEL | MB_DEFBUTTON2), IDOK);
    WinapiTest_InstallMessageBoxHook(IDCANCEL);
    EXPECT_EQ(MessageBoxA(NULL, "キーボードがねぇ！", "警告！", MB_ICONWARNING), IDCANCEL);
    EXPECT_EQ(MessageBoxA(NULL, NULL, NULL, MB_OK), IDCANCEL);

    const std::vector<WinapiMessageBoxRecord>& boxes = WinapiTest_MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "本当に終了してよろしいですか？");
    EXPECT_EQ(boxes[0].caption, "確認");
    EXPECT_EQ(boxes[0].flags, (UINT)(MB_OKCANCEL | MB_DEFBUTTON2));
    EXPECT_EQ(boxes[1].caption, "警告！");
    EXPECT_EQ(boxes[1].flags, (UINT)MB_ICONWARNING);
    EXPECT_EQ(boxes[2].text, "");
    EXPECT_EQ(boxes[2].caption, "Error");

    WinapiTest_ClearMessageBoxes();
    EXPECT_TRUE(WinapiTest_MessageBoxes().empty());
    WinapiTest_RemoveMessageBoxHook();
    if (!OnRealDisplay()) {  // without a display the call no longer goes to the hook
        EXPECT_EQ(MessageBoxA(NULL, "text", "caption", MB_OK), IDOK);
        EXPECT_TRUE(WinapiTest_MessageBoxes().empty());
    }
}

TEST(MessageBoxWithoutDisplay, AnswersTheSafeButtonAtOnce) {
    if (OnRealDisplay()) {  // run this test again in a child that has no display
        char exe[4096] = {};
        ASSERT_GT(readlink("/proc/self/exe", exe, sizeof(exe) - 1), 0);
        const std::string self = std::string("SDL_VIDEODRIVER=offscreen '") + exe +
                                 "' --gtest_filter=MessageBoxWithoutDisplay.AnswersTheSafeButtonAtOnce >/dev/null 2>&1";
        EXPECT_EQ(system(self.c_str()), 0) << "the test failed without a display";
        return;
    }
    WinapiTest_RemoveMessageBoxHook();
    EXPECT_EQ(MessageBoxA(NULL, "本当に終了してよろしいですか？", "確認", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(MessageBoxA(NULL, "ok?", "確認", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(NULL, "エラー", "エラー", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(NULL, "warn", "警告！", MB_ICONWARNING), IDOK);
}

// ---- real boxes ----

TEST_F(RealMessageBox, EnterPressesTheDefaultButton) {
    int r =
        Run("本当に終了してよろしいですか？", "確認", MB_OKCANCEL | MB_DEFBUTTON2,
            [](const WinapiMessageBoxWindow& b) { testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_RETURN); });
    EXPECT_EQ(r, IDCANCEL);
    EXPECT_EQ(shown_.box.focusedButton, IDCANCEL);
    EXPECT_EQ(shown_.title, "確認");
    EXPECT_GT(shown_.box.cancelButton.left, shown_.box.okButton.right);  // [OK] [Cancel]

    r = Run("本当に終了してよろしいですか？", "確認", MB_OKCANCEL,
            [](const WinapiMessageBoxWindow& b) { testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_KP_ENTER); });
    EXPECT_EQ(r, IDOK);
    EXPECT_EQ(shown_.box.focusedButton, IDOK);
}

// The game's debug font holds SDL_ttf while the first box opens, and lets it
// go at the end: the box's font must keep the library up.
TEST_F(RealMessageBox, ItsFontOutlivesAnotherUserOfTheFontLibrary) {
    ASSERT_EQ(TTF_Init(), 0);
    auto enter = [](const WinapiMessageBoxWindow& b) {
        testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_RETURN);
    };
    EXPECT_EQ(Run("first", "font", MB_OK, enter), IDOK);
    TTF_Quit();
    EXPECT_GT(TTF_WasInit(), 0) << "the box's font was left in a library that has quit";
    EXPECT_EQ(Run("second", "font", MB_OK, enter), IDOK);
}

TEST_F(RealMessageBox, ArrowsAndTabMoveTheFocus) {
    EXPECT_EQ(Run("q", "確認", MB_OKCANCEL | MB_DEFBUTTON2,
                  [](const WinapiMessageBoxWindow& b) {
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_LEFT);
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_RETURN);
                  }),
              IDOK);
    EXPECT_EQ(Run("q", "確認", MB_OKCANCEL | MB_DEFBUTTON2,
                  [](const WinapiMessageBoxWindow& b) {
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_TAB);
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_RETURN);
                  }),
              IDOK);
    EXPECT_EQ(Run("q", "確認", MB_OKCANCEL | MB_DEFBUTTON2,
                  [](const WinapiMessageBoxWindow& b) {
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_TAB);
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_TAB);
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_RETURN);
                  }),
              IDCANCEL);
    EXPECT_EQ(Run("q", "確認", MB_OKCANCEL,
                  [](const WinapiMessageBoxWindow& b) {
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_RIGHT);
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_SPACE);
                  }),
              IDCANCEL);
}

TEST_F(RealMessageBox, EscapeAndTheCloseBoxAnswerCancelOrOk) {
    // Escape means Cancel even with OK focused; a box with only OK answers OK.
    EXPECT_EQ(
        Run("q", "確認", MB_OKCANCEL,
            [](const WinapiMessageBoxWindow& b) { testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_ESCAPE); }),
        IDCANCEL);
    EXPECT_EQ(
        Run("エラー", "エラー", MB_OK,
            [](const WinapiMessageBoxWindow& b) { testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_ESCAPE); }),
        IDOK);
    EXPECT_EQ(shown_.box.cancelButton.right, 0);
    EXPECT_EQ(Run("q", "確認", MB_OKCANCEL,
                  [](const WinapiMessageBoxWindow& b) {
                      testsupport::PushSdlWindowEvent(b.windowId, SDL_WINDOWEVENT_CLOSE);
                  }),
              IDCANCEL);
    EXPECT_EQ(Run("w", "警告！", MB_ICONWARNING,
                  [](const WinapiMessageBoxWindow& b) {
                      testsupport::PushSdlWindowEvent(b.windowId, SDL_WINDOWEVENT_CLOSE);
                  }),
              IDOK);
}

TEST_F(RealMessageBox, RepeatsOfAKeyHeldWhenItOpenedAreIgnored) {
    // The Escape that asked to quit repeats into the box; only a fresh press counts.
    EXPECT_EQ(Run("本当に終了してよろしいですか？", "確認", MB_OKCANCEL,
                  [](const WinapiMessageBoxWindow& b) {
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_ESCAPE, 1);
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_ESCAPE, 1);
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_RETURN);
                  }),
              IDOK);
}

TEST_F(RealMessageBox, ClickingAButtonAnswersIt) {
    EXPECT_EQ(Run("q", "確認", MB_OKCANCEL | MB_DEFBUTTON2,
                  [](const WinapiMessageBoxWindow& b) {
                      PushClick(b.windowId, SDL_MOUSEBUTTONDOWN, CentreX(b.okButton), CentreY(b.okButton));
                      PushClick(b.windowId, SDL_MOUSEBUTTONUP, CentreX(b.okButton), CentreY(b.okButton));
                  }),
              IDOK);
    // Pressed on one button and let go elsewhere: nothing, as on Windows.
    EXPECT_EQ(Run("q", "確認", MB_OKCANCEL,
                  [](const WinapiMessageBoxWindow& b) {
                      PushClick(b.windowId, SDL_MOUSEBUTTONDOWN, CentreX(b.okButton), CentreY(b.okButton));
                      PushClick(b.windowId, SDL_MOUSEBUTTONUP, 2, 2);
                      testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_ESCAPE);
                  }),
              IDCANCEL);
}

TEST_F(RealMessageBox, SizeFollowsTheText) {
    auto enter = [](const WinapiMessageBoxWindow& b) {
        testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_RETURN);
    };
    Run("一行", "エラー", MB_OK, enter);
    WinapiMessageBoxWindow one = shown_.box;
    Run("一行目\n二行目\n三行目", "エラー", MB_OK, enter);
    WinapiMessageBoxWindow three = shown_.box;
    Run(std::string(300, 'x').c_str(), "エラー", MB_OK, enter);
    WinapiMessageBoxWindow wide = shown_.box;
    EXPECT_GT(three.height, one.height);
    EXPECT_LE(wide.width, 1000);  // long lines wrap instead of widening the box past the screen
    EXPECT_GT(wide.height, one.height);
}

TEST_F(RealMessageBox, TheOwnerIsDisabledWhileTheBoxIsOpen) {
    HWND owner = MakeOwner();
    ASSERT_NE(owner, nullptr);
    uint32_t ownerId = SDL_GetWindowID(winapi::SdlWindowFromHwnd(owner));
    WinapiTest_DrainMessages();
    int r = Run(
        "本当に終了してよろしいですか？", "確認", MB_OKCANCEL | MB_DEFBUTTON2,
        [ownerId](const WinapiMessageBoxWindow& b) {
            testsupport::PushSdlWindowEvent(ownerId, SDL_WINDOWEVENT_CLOSE);
            testsupport::PushSdlWindowEvent(ownerId, SDL_WINDOWEVENT_CLOSE);
            testsupport::PushSdlKey(ownerId, true, SDL_SCANCODE_RETURN);  // the box has the keyboard
        },
        owner);
    EXPECT_EQ(r, IDCANCEL);
    int closes = 0, keys = 0;
    MSG m;
    while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
        if (m.message == WM_CLOSE && m.hwnd == owner) ++closes;
        if (m.message == WM_KEYDOWN) ++keys;
    }
    EXPECT_EQ(closes, 0);  // its close box did nothing: no second box after Cancel
    EXPECT_EQ(keys, 0);
    DestroyWindow(owner);
}

TEST_F(RealMessageBox, OpenGlContextIsCurrentAgainAfterwards) {
    HWND owner = MakeOwner();
    ASSERT_NE(owner, nullptr);
    SDL_Window* w = winapi::SdlWindowFromHwnd(owner);
    SDL_GLContext ctx = SDL_GL_CreateContext(w);
    if (!ctx) SKIP_OR_FAIL_IN_CI() << "no OpenGL here: " << SDL_GetError();
    ASSERT_EQ(SDL_GL_MakeCurrent(w, ctx), 0);
    Run(
        "いくつか読み込めなかったテクスチャファイルがあります", "エラー", MB_OK,
        [](const WinapiMessageBoxWindow& b) { testsupport::PushSdlKey(b.windowId, true, SDL_SCANCODE_RETURN); }, owner);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), ctx);
    EXPECT_EQ(SDL_GL_GetCurrentWindow(), w);
    EXPECT_NE(winapi::SdlWindowFromHwnd(owner), nullptr);
    // The window is destroyed while the context is current on it; the SDL
    // window must stay usable until the context moves off.
    EXPECT_TRUE(DestroyWindow(owner));
    EXPECT_EQ(SDL_GL_MakeCurrent(w, ctx), 0);
    SDL_GL_MakeCurrent(NULL, NULL);
    SDL_GL_DeleteContext(ctx);
}
