// The Win32 message queue of a thread and the pump that feeds it from SDL.
//
// State:
// - per thread: the queue of posted messages (PostMessageA, and the messages
//   made from SDL events) and the quit flag with its exit code
//   (PostQuitMessage). WM_QUIT is handed out, as on Windows, once no other
//   message is waiting. Both live as long as the thread.
// PeekMessageA first takes every waiting SDL event, offers it to the layer's
// listeners (the DirectInput keyboard among them), turns it into messages,
// calls the window procedures for the sent ones (focus changes), and then
// returns the first queued message that passes the filters.
#include "common/keymap.h"
#include "common/winapi_internal.h"
#include "testing/win32_testing.h"
#include "win32/win32_internal.h"

#include <windows.h>

#include <SDL2/SDL.h>

#include <deque>
#include <vector>

namespace winapi {
namespace {

struct ThreadQueue {
    std::deque<MSG> posted;
    bool quitPending = false;
    int quitCode = 0;
};

thread_local ThreadQueue t_queue;

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m;
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    m.pt.x = 0;
    m.pt.y = 0;
    return m;
}

bool CloseQueuedFor(HWND hwnd) {
    for (const MSG& m : t_queue.posted)
        if (m.hwnd == hwnd && m.message == WM_CLOSE) return true;
    return false;
}

// One close request per window while the last one is still waiting: SDL
// reports a click on the close box both as a window event and, for the last
// window, as SDL_QUIT. A disabled window (the owner of an open message box)
// ignores its close box, as on Windows.
void QueueCloseRequest(HWND hwnd) {
    if (!hwnd || CloseQueuedFor(hwnd)) return;
    const WindowRecord* rec = FindWindowRecord(hwnd);
    if (rec && rec->disabled) return;
    t_queue.posted.push_back(MakeMessage(hwnd, WM_CLOSE, 0, 0));
}

// The window that gets keyboard messages: the one SDL names, or, when SDL
// names none, the window that had the keyboard last.
HWND g_keyboardWindow = nullptr;

HWND KeyboardTarget(uint32_t windowId) {
    HWND hwnd = WindowFromSdlId(windowId);
    if (hwnd) return hwnd;
    if (g_keyboardWindow && FindWindowRecord(g_keyboardWindow) && !FindWindowRecord(g_keyboardWindow)->destroying)
        return g_keyboardWindow;
    return nullptr;
}

// lParam of WM_KEYDOWN / WM_KEYUP: repeat count 1, the scan code, the
// extended-key bit, the Alt context bit, the previous state and the transition.
LPARAM KeyLParam(const SDL_KeyboardEvent& key, bool down) {
    uint8_t dik = DikFromScancode(key.keysym.scancode);
    uint32_t l = 1;
    l |= (uint32_t)(dik & 0x7F) << 16;
    if (dik & 0x80) l |= 1u << 24;
    if (key.keysym.mod & KMOD_ALT) l |= 1u << 29;
    if (!down || key.repeat) l |= 1u << 30;
    if (!down) l |= 1u << 31;
    return (LPARAM)l;
}

bool MatchesFilter(const MSG& m, HWND hwnd, UINT minMsg, UINT maxMsg) {
    if (hwnd == (HWND)(LONG_PTR)-1) {
        if (m.hwnd) return false;  // only thread messages
    } else if (hwnd && m.hwnd != hwnd) {
        return false;
    }
    if (minMsg == 0 && maxMsg == 0) return true;
    return m.message >= minMsg && m.message <= maxMsg;
}

void PumpSdlEvents() {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
    std::vector<PendingSend> sends;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        OfferEventToListeners(e);
        TranslateSdlEvent(e, false, sends);
    }
    DeliverSends(sends);
    ReapDestroyedWindows();
}

}  // namespace

void TranslateSdlEvent(const SDL_Event& e, bool modal, std::vector<PendingSend>& sends) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        if (modal) return;  // the modal loop has the keyboard
        HWND hwnd = KeyboardTarget(e.key.windowID);
        if (!hwnd) return;
        bool down = e.type == SDL_KEYDOWN;
        uint8_t vk = VirtualKeyFromSdl(e.key.keysym.scancode, e.key.keysym.sym);
        if (vk == 0) return;
        // Alt, F10 and everything typed with Alt held are system keys.
        bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
        bool system = vk == VK_MENU || vk == VK_F10 || alt;
        UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
        t_queue.posted.push_back(MakeMessage(hwnd, message, vk, KeyLParam(e.key, down)));
        return;
    }
    case SDL_WINDOWEVENT: {
        HWND hwnd = WindowFromSdlId(e.window.windowID);
        if (!hwnd) return;
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: QueueCloseRequest(hwnd); return;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            g_keyboardWindow = hwnd;
            sends.push_back({hwnd, WM_SETFOCUS, 0, 0});
            return;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (g_keyboardWindow == hwnd) g_keyboardWindow = nullptr;
            sends.push_back({hwnd, WM_KILLFOCUS, 0, 0});
            return;
        default: return;
        }
    }
    case SDL_QUIT:
        // The last window was closed, or the session is ending: every
        // window is asked to close, once.
        for (HWND hwnd : LiveWindows()) QueueCloseRequest(hwnd);
        return;
    default: return;
    }
}

void DeliverSends(std::vector<PendingSend>& sends) {
    for (const PendingSend& s : sends) {
        WindowRecord* rec = FindWindowRecord(s.hwnd);
        if (rec && !rec->destroying) rec->proc(s.hwnd, s.message, s.wParam, s.lParam);
    }
    sends.clear();
}

void PurgeMessagesFor(HWND hwnd) {
    std::deque<MSG>& q = t_queue.posted;
    for (auto it = q.begin(); it != q.end();) {
        if (it->hwnd == hwnd)
            it = q.erase(it);
        else
            ++it;
    }
    if (g_keyboardWindow == hwnd) g_keyboardWindow = nullptr;
}

}  // namespace winapi

using winapi::WindowRecord;

extern "C" {

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    winapi::PumpSdlEvents();
    std::deque<MSG>& q = winapi::t_queue.posted;
    for (auto it = q.begin(); it != q.end(); ++it) {
        if (!winapi::MatchesFilter(*it, hWnd, wMsgFilterMin, wMsgFilterMax)) continue;
        *lpMsg = *it;
        if (wRemoveMsg & PM_REMOVE) q.erase(it);
        return TRUE;
    }
    // WM_QUIT comes once nothing else is waiting, whatever the filters.
    if (winapi::t_queue.quitPending) {
        *lpMsg = winapi::MakeMessage(nullptr, WM_QUIT, (WPARAM)(INT_PTR)winapi::t_queue.quitCode, 0);
        if (wRemoveMsg & PM_REMOVE) winapi::t_queue.quitPending = false;
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    // Key messages are not turned into WM_CHAR: nothing here reads text.
    (void)lpMsg;
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (!lpMsg || !lpMsg->hwnd) return 0;
    WindowRecord* rec = winapi::FindWindowRecord(lpMsg->hwnd);
    if (!rec || rec->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return rec->proc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    switch (Msg) {
    case WM_CLOSE: DestroyWindow(hWnd); return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 asks the window to close, as the system menu does.
        if (wParam == VK_F4 && (lParam & (1 << 29))) SendMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    default: return 0;
    }
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    WindowRecord* rec = winapi::FindWindowRecord(hWnd);
    if (!rec) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return rec->proc(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd) {
        WindowRecord* rec = winapi::FindWindowRecord(hWnd);
        if (!rec || rec->destroying) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
    }
    winapi::t_queue.posted.push_back(winapi::MakeMessage(hWnd, Msg, wParam, lParam));
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
    winapi::t_queue.quitPending = true;
    winapi::t_queue.quitCode = nExitCode;
}

}  // extern "C"

void WinapiTest_DrainMessages() {
    winapi::PumpSdlEvents();
    winapi::t_queue.posted.clear();
    winapi::t_queue.quitPending = false;
    winapi::t_queue.quitCode = 0;
}
