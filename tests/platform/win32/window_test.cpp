// Windows and the message queue of the Win32 layer: the game window's exact
// client area, screen metrics, creation and destruction messages, the queue's
// order and filters, and SDL events turned into window messages.
//
// Window tests need a video driver: a display (xvfb-run) or, when there is
// none, SDL's offscreen driver, chosen here before anything starts SDL.
#include <gtest/gtest.h>
#include <windows.h>

#include <SDL2/SDL.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "ci_skip.h"
#include "platform/common/winapi_internal.h"
#include "sdl_events.h"
#include "win32_testing.h"

namespace {

const DWORD kGameStyle = 0x00CA0000;  // WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
const UINT kAppMessage = 0x0400;      // WM_USER

const bool g_driverChosen = [] {
    if (!getenv("SDL_VIDEODRIVER") && !getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY"))
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    return true;
}();

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;
std::string g_createName;
bool g_refuseCreate = false;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back({hwnd, message, wParam, lParam});
    if (message == WM_CREATE) {
        const CREATESTRUCTA* cs = (const CREATESTRUCTA*)lParam;
        g_createName = cs && cs->lpszName ? cs->lpszName : "";
        if (g_refuseCreate) return -1;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int CountSeen(HWND hwnd, UINT message) {
    int n = 0;
    for (const Seen& s : g_seen)
        if (s.hwnd == hwnd && s.message == message) ++n;
    return n;
}

const char* RecordingClass() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc;
        memset(&wc, 0, sizeof(wc));
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_BACKGROUND + 1);
        wc.lpszClassName = "GameWindow";
        registered = RegisterClassA(&wc) != 0;
    }
    return "GameWindow";
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!winapi::EnsureVideo()) SKIP_OR_FAIL_IN_CI() << "no video driver";
        RecordingClass();
        WinapiTest_DrainMessages();
        g_seen.clear();
        g_refuseCreate = false;
    }
    void TearDown() override {
        for (HWND h : made_) DestroyWindow(h);
        WinapiTest_DrainMessages();
    }
    HWND Make(int clientW = 320, int clientH = 200, int x = 40, int y = 30, const char* title = "test") {
        RECT r = {0, 0, clientW, clientH};
        AdjustWindowRect(&r, kGameStyle, FALSE);
        HWND h = CreateWindowExA(0, RecordingClass(), title, kGameStyle, x, y, r.right - r.left, r.bottom - r.top, NULL,
                                 NULL, NULL, NULL);
        if (h) made_.push_back(h);
        return h;
    }
    uint32_t IdOf(HWND h) { return SDL_GetWindowID(winapi::SdlWindowFromHwnd(h)); }
    std::vector<MSG> Take() {
        std::vector<MSG> out;
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) out.push_back(m);
        return out;
    }

    std::vector<HWND> made_;
};

}  // namespace

// ---- the window ----

TEST_F(WindowTest, GameWindowGetsExactlyItsClientArea) {
    RECT r = {0, 0, 1680, 900};
    ASSERT_TRUE(AdjustWindowRect(&r, kGameStyle, FALSE));
    EXPECT_LT(r.left, 0);
    EXPECT_LT(r.top, r.left);  // the caption is taller than the side border
    EXPECT_GT(r.right, 1680);
    EXPECT_GT(r.bottom, 900);

    HWND h = CreateWindowExA(0, RecordingClass(), "ゲームウィンドウ", kGameStyle, 0, 0, r.right - r.left,
                             r.bottom - r.top, NULL, NULL, NULL, NULL);
    ASSERT_NE(h, nullptr);
    made_.push_back(h);

    RECT client;
    ASSERT_TRUE(GetClientRect(h, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 1680);
    EXPECT_EQ(client.bottom, 900);

    SDL_Window* w = winapi::SdlWindowFromHwnd(h);
    ASSERT_NE(w, nullptr);
    int sw = 0, sh = 0;
    SDL_GetWindowSize(w, &sw, &sh);
    EXPECT_EQ(sw, 1680);
    EXPECT_EQ(sh, 900);
    EXPECT_STREQ(SDL_GetWindowTitle(w), "ゲームウィンドウ");
    Uint32 flags = SDL_GetWindowFlags(w);
    EXPECT_FALSE(flags & SDL_WINDOW_RESIZABLE);
    EXPECT_FALSE(flags & SDL_WINDOW_SHOWN);  // hidden until ShowWindow
    EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);

    EXPECT_FALSE(ShowWindow(h, SW_SHOWDEFAULT));  // was hidden
    EXPECT_TRUE(SDL_GetWindowFlags(w) & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(ShowWindow(h, SW_SHOWDEFAULT));
    EXPECT_TRUE(UpdateWindow(h));
}

TEST_F(WindowTest, WindowTakesTheRenderersOpenGlContext) {
    HWND h = Make();
    ASSERT_NE(h, nullptr);
    SDL_Window* w = winapi::SdlWindowFromHwnd(h);
    SDL_GLContext ctx = SDL_GL_CreateContext(w);
    if (!ctx) SKIP_OR_FAIL_IN_CI() << "no OpenGL here: " << SDL_GetError();
    int major = 0, minor = 0, profile = 0, dbl = 0, depth = 0, stencil = 0;
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &major);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &minor);
    SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile);
    SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &dbl);
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
    SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencil);
    SDL_GL_DeleteContext(ctx);
    EXPECT_GE(major * 10 + minor, 33);
    EXPECT_EQ(profile, (int)SDL_GL_CONTEXT_PROFILE_CORE);
    // Offscreen surfaces (EGL pbuffers) have no back buffer; real windows do.
    if (strcmp(SDL_GetCurrentVideoDriver(), "offscreen") != 0) {
        EXPECT_EQ(dbl, 1);
    }
    EXPECT_GE(depth, 24);
    EXPECT_GE(stencil, 8);
}

TEST_F(WindowTest, PositionIsWhereTheFrameStarts) {
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRect(&frame, kGameStyle, FALSE);
    HWND h = Make(300, 200, 120, 70);
    ASSERT_NE(h, nullptr);
    int x = -1, y = -1;
    SDL_GetWindowPosition(winapi::SdlWindowFromHwnd(h), &x, &y);
    EXPECT_EQ(x, 120 - frame.left);
    EXPECT_EQ(y, 70 - frame.top);
}

TEST_F(WindowTest, ScreenMetricsAreTheDesktopSize) {
    SDL_DisplayMode mode;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), mode.w);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), mode.h);
    EXPECT_GT(mode.w, 0);
}

TEST_F(WindowTest, CreationAndDestructionTellTheProcedure) {
    HWND h = Make(320, 200, 10, 10, "named");
    ASSERT_NE(h, nullptr);
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen.front().message, (UINT)WM_CREATE);
    EXPECT_EQ(g_createName, "named");

    PostMessageA(h, kAppMessage, 1, 2);
    ASSERT_TRUE(DestroyWindow(h));
    made_.clear();
    EXPECT_EQ(CountSeen(h, WM_DESTROY), 1);
    EXPECT_EQ(winapi::SdlWindowFromHwnd(h), nullptr);
    RECT r;
    EXPECT_FALSE(GetClientRect(h, &r));
    EXPECT_FALSE(DestroyWindow(h));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_TRUE(Take().empty());  // what was posted to it went with it
    EXPECT_FALSE(PostMessageA(h, kAppMessage, 0, 0));

    g_refuseCreate = true;
    EXPECT_EQ(Make(), nullptr);  // WM_CREATE answered -1
}

TEST_F(WindowTest, ClassesAreRegisteredOnceAndFoundByName) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "gamewindow";  // class names ignore case
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);

    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", kGameStyle, 0, 0, 100, 100, NULL, NULL, NULL, NULL), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CANNOT_FIND_WND_CLASS);

    WNDCLASSEXA wcx;
    memset(&wcx, 0, sizeof(wcx));
    wcx.lpfnWndProc = RecordingProc;
    wcx.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassExA(&wcx), 0);  // cbSize not filled in
    wcx.cbSize = sizeof(wcx);
    EXPECT_NE(RegisterClassExA(&wcx), 0);
    HWND h = CreateWindowExA(0, "OTHER", "x", kGameStyle, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    EXPECT_NE(h, nullptr);
    if (h) made_.push_back(h);
    EXPECT_NE(LoadCursorA(NULL, IDC_ARROW), nullptr);
}

// ---- the queue ----

TEST(MessageQueue, QuitComesLastWithItsExitCode) {
    WinapiTest_DrainMessages();
    ASSERT_TRUE(PostMessageA(NULL, kAppMessage, 1, 0));
    PostQuitMessage(7);
    ASSERT_TRUE(PostMessageA(NULL, kAppMessage, 2, 0));

    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, kAppMessage);
    EXPECT_EQ(m.wParam, 1u);
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE));  // looking leaves it there
    EXPECT_EQ(m.message, (UINT)WM_QUIT);
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, (UINT)WM_QUIT);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_EQ(m.hwnd, nullptr);
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(&m), 0);
}

TEST(MessageQueue, FiltersLeaveOtherMessagesWaiting) {
    WinapiTest_DrainMessages();
    PostMessageA(NULL, kAppMessage, 0, 0);
    PostMessageA(NULL, kAppMessage + 5, 0, 0);
    PostQuitMessage(3);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, NULL, kAppMessage + 1, kAppMessage + 9, PM_REMOVE));
    EXPECT_EQ(m.message, kAppMessage + 5);
    ASSERT_TRUE(PeekMessageA(&m, NULL, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
    EXPECT_EQ(m.message, (UINT)WM_QUIT);  // WM_QUIT passes any filter
    ASSERT_TRUE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, kAppMessage);
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, SendCallsAtOnceAndPostWaitsForDispatch) {
    HWND h = Make();
    ASSERT_NE(h, nullptr);
    g_seen.clear();
    SendMessageA(h, kAppMessage, 11, 0);
    EXPECT_EQ(CountSeen(h, kAppMessage), 1);
    PostMessageA(h, kAppMessage, 22, 0);
    EXPECT_EQ(CountSeen(h, kAppMessage), 1);
    std::vector<MSG> got = Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].hwnd, h);
    DispatchMessageA(&got[0]);
    ASSERT_EQ(CountSeen(h, kAppMessage), 2);
    EXPECT_EQ(g_seen.back().wParam, 22u);
}

TEST_F(WindowTest, DefaultProcessingOfCloseDestroysTheWindow) {
    HWND h = Make();
    ASSERT_NE(h, nullptr);
    SendMessageA(h, WM_CLOSE, 0, 0);  // RecordingProc hands it to DefWindowProcA
    EXPECT_EQ(CountSeen(h, WM_DESTROY), 1);
    EXPECT_EQ(winapi::SdlWindowFromHwnd(h), nullptr);
    made_.clear();
}

// ---- SDL events turned into messages ----

TEST_F(WindowTest, CloseRequestBecomesOneWmClose) {
    HWND h = Make();
    ASSERT_NE(h, nullptr);
    testsupport::PushSdlWindowEvent(IdOf(h), SDL_WINDOWEVENT_CLOSE);
    SDL_Event quit;
    SDL_zero(quit);
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);  // SDL adds this when the last window is closed
    int closes = 0;
    for (const MSG& m : Take())
        if (m.message == WM_CLOSE && m.hwnd == h) ++closes;
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(CountSeen(h, WM_DESTROY), 0);  // a request only
}

TEST_F(WindowTest, KeysBecomeKeyMessagesWithScanCodes) {
    HWND h = Make();
    ASSERT_NE(h, nullptr);
    uint32_t id = IdOf(h);
    testsupport::PushSdlKey(id, true, SDL_SCANCODE_ESCAPE);
    testsupport::PushSdlKey(id, true, SDL_SCANCODE_ESCAPE, 1);
    testsupport::PushSdlKey(id, false, SDL_SCANCODE_ESCAPE);
    testsupport::PushSdlKey(id, true, SDL_SCANCODE_RIGHT);
    testsupport::PushSdlKey(id, true, SDL_SCANCODE_A);
    std::vector<MSG> got = Take();
    ASSERT_EQ(got.size(), 5u);

    EXPECT_EQ(got[0].message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(got[0].hwnd, h);
    EXPECT_EQ(got[0].wParam, (WPARAM)VK_ESCAPE);
    EXPECT_EQ(got[0].lParam & 0xFFFF, 1);           // repeat count
    EXPECT_EQ((got[0].lParam >> 16) & 0xFF, 0x01);  // scan code of Escape
    EXPECT_EQ((got[0].lParam >> 30) & 3, 0);        // was up, going down
    EXPECT_EQ((got[1].lParam >> 30) & 1, 1);        // auto-repeat: was already down
    EXPECT_EQ(got[2].message, (UINT)WM_KEYUP);
    EXPECT_EQ((uint32_t)got[2].lParam >> 30, 3u);  // was down, going up
    EXPECT_EQ(got[3].wParam, (WPARAM)VK_RIGHT);
    EXPECT_EQ((got[3].lParam >> 16) & 0xFF, 0x4D);
    EXPECT_EQ((got[3].lParam >> 24) & 1, 1);  // an extended key
    EXPECT_EQ(got[4].wParam, (WPARAM)'A');

    g_seen.clear();
    DispatchMessageA(&got[0]);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(g_seen[0].wParam, (WPARAM)VK_ESCAPE);
}

TEST_F(WindowTest, AltF4AsksTheWindowToClose) {
    HWND h = Make();
    ASSERT_NE(h, nullptr);
    testsupport::PushSdlKey(IdOf(h), true, SDL_SCANCODE_F4, 0, KMOD_LALT);
    std::vector<MSG> got = Take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, (UINT)WM_SYSKEYDOWN);
    DispatchMessageA(&got[0]);  // default processing sends WM_CLOSE, which destroys it
    EXPECT_EQ(CountSeen(h, WM_CLOSE), 1);
    EXPECT_EQ(CountSeen(h, WM_DESTROY), 1);
    made_.clear();
}

TEST_F(WindowTest, FocusChangesAreSentToTheProcedure) {
    HWND h = Make();
    ASSERT_NE(h, nullptr);
    WinapiTest_DrainMessages();
    g_seen.clear();
    testsupport::PushSdlWindowEvent(IdOf(h), SDL_WINDOWEVENT_FOCUS_LOST);
    testsupport::PushSdlWindowEvent(IdOf(h), SDL_WINDOWEVENT_FOCUS_GAINED);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));  // nothing queued: they were sent
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].message, (UINT)WM_KILLFOCUS);
    EXPECT_EQ(g_seen[1].message, (UINT)WM_SETFOCUS);
}

TEST_F(WindowTest, ListenersSeeEachPumpedEventOnce) {
    static int count = 0;
    count = 0;
    auto listener = [](const SDL_Event& e, void* user) {
        if (e.type == SDL_USEREVENT && e.user.code == 42) ++*(int*)user;
    };
    winapi::AddEventListener(listener, &count);
    winapi::AddEventListener(listener, &count);  // the same pair only once
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_USEREVENT;
    e.user.code = 42;
    SDL_PushEvent(&e);
    MSG m;
    PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(count, 1);
    winapi::RemoveEventListener(listener, &count);
    SDL_PushEvent(&e);
    PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(count, 1);
}

TEST_F(WindowTest, DrainDropsWaitingAndPendingMessages) {
    HWND h = Make();
    ASSERT_NE(h, nullptr);
    PostMessageA(h, kAppMessage, 0, 0);
    PostQuitMessage(1);
    testsupport::PushSdlKey(IdOf(h), true, SDL_SCANCODE_SPACE);
    WinapiTest_DrainMessages();
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, NULL, 0, 0, PM_REMOVE));
}
