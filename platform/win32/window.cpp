// Win32 window classes and windows over SDL windows.
//
// State (process-wide, used from the thread that runs the game):
// - the registered classes, by name, from RegisterClassA until program end;
// - the live windows: each handle maps to a record with its SDL window, its
//   procedure and its client size, from CreateWindowExA to DestroyWindow;
// - SDL windows whose handle was destroyed while an OpenGL context was still
//   current on them: they are hidden at once and freed as soon as no context
//   is current on them any more, so a renderer released after its window
//   never touches freed memory.
// Handle values count up and are never reused.
#include "common/winapi_internal.h"
#include "win32/win32_internal.h"

#include <windows.h>

#include <SDL2/SDL.h>
#include <stdio.h>
#include <strings.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace winapi {
namespace {

struct WindowClass {
    std::string name;
    ATOM atom;
    WNDPROC proc;
    UINT style;
    HINSTANCE instance;
};

std::vector<WindowClass> g_classes;
ATOM g_nextAtom = 0xC000;  // the range Windows uses for registered classes

std::map<uintptr_t, std::unique_ptr<WindowRecord>> g_windows;
uintptr_t g_nextWindowHandle = 0x00010010;
std::vector<SDL_Window*> g_destroyedSdlWindows;

const DWORD kErrorResourceTypeNotFound = 1813;

// The frame our windows pretend to have, so that AdjustWindowRect and
// CreateWindowExA agree exactly: 3-pixel dialog borders and a 23-pixel caption
// (the sizes of a fixed window on Windows 10 at 96 dpi), 8-pixel borders for a
// sizing frame, 20 pixels for a menu bar.
struct Frame {
    LONG left, top, right, bottom;
};

Frame FrameFor(DWORD style, bool menu) {
    Frame f = {0, 0, 0, 0};
    LONG border = 0;
    if (style & WS_THICKFRAME)
        border = 8;
    else if (style & (WS_DLGFRAME | WS_BORDER))
        border = (style & WS_DLGFRAME) ? 3 : 1;
    f.left = f.right = f.top = f.bottom = border;
    if ((style & WS_CAPTION) == WS_CAPTION) f.top += 23;
    if (menu) f.top += 20;
    return f;
}

WindowClass* FindClass(LPCSTR name) {
    if (!name) return nullptr;
    if ((uintptr_t)name < 0x10000) {  // MAKEINTATOM
        for (WindowClass& c : g_classes)
            if (c.atom == (ATOM)(uintptr_t)name) return &c;
        return nullptr;
    }
    for (WindowClass& c : g_classes)
        if (strcasecmp(c.name.c_str(), name) == 0) return &c;  // class names ignore case
    return nullptr;
}

ATOM Register(LPCSTR name, WNDPROC proc, UINT style, HINSTANCE instance) {
    if (!name || !proc || ((uintptr_t)name >= 0x10000 && !*name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if ((uintptr_t)name < 0x10000) {  // registering by atom is not supported here
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (FindClass(name)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass c;
    c.name = name;
    c.atom = g_nextAtom++;
    c.proc = proc;
    c.style = style;
    c.instance = instance;
    g_classes.push_back(c);
    return c.atom;
}

void SetGlAttributes() {
    // The Direct3D layer makes an OpenGL 3.3 core context on our windows.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
}

// Tells the layer's listeners that a window has the keyboard now, where no
// window system exists to say so (the offscreen driver has no focus at all).
void AnnounceHeadlessFocus(SDL_Window* window) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    e.window.windowID = SDL_GetWindowID(window);
    e.window.timestamp = SDL_GetTicks();
    SDL_PushEvent(&e);
}

}  // namespace

WindowRecord* FindWindowRecord(HWND hwnd) {
    auto it = g_windows.find((uintptr_t)hwnd);
    if (it == g_windows.end()) return nullptr;
    return it->second.get();
}

HWND WindowFromSdlId(uint32_t id) {
    if (id == 0) return nullptr;
    for (auto& entry : g_windows)
        if (entry.second->sdlId == id && !entry.second->destroying) return entry.second->hwnd;
    return nullptr;
}

std::vector<HWND> LiveWindows() {
    std::vector<HWND> list;
    for (auto& entry : g_windows)
        if (!entry.second->destroying) list.push_back(entry.second->hwnd);
    return list;
}

void ReapDestroyedWindows() {
    if (g_destroyedSdlWindows.empty()) return;
    SDL_Window* glWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext glContext = SDL_GL_GetCurrentContext();
    for (size_t i = 0; i < g_destroyedSdlWindows.size();) {
        SDL_Window* w = g_destroyedSdlWindows[i];
        if (w == glWindow && glContext) {
            ++i;
            continue;
        }
        SDL_DestroyWindow(w);
        g_destroyedSdlWindows.erase(g_destroyedSdlWindows.begin() + (long)i);
    }
}

}  // namespace winapi

using winapi::WindowRecord;

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (!lpWndClass) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return winapi::Register(lpWndClass->lpszClassName, lpWndClass->lpfnWndProc, lpWndClass->style,
                            lpWndClass->hInstance);
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpWndClass) {
    if (!lpWndClass || lpWndClass->cbSize != sizeof(WNDCLASSEXA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return winapi::Register(lpWndClass->lpszClassName, lpWndClass->lpfnWndProc, lpWndClass->style,
                            lpWndClass->hInstance);
}

BOOL WINAPI AdjustWindowRect(LPRECT lpRect, DWORD dwStyle, BOOL bMenu) {
    if (!lpRect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    winapi::Frame f = winapi::FrameFor(dwStyle, bMenu != FALSE);
    lpRect->left -= f.left;
    lpRect->top -= f.top;
    lpRect->right += f.right;
    lpRect->bottom += f.bottom;
    return TRUE;
}

int WINAPI GetSystemMetrics(int nIndex) {
    if (nIndex != SM_CXSCREEN && nIndex != SM_CYSCREEN) return 0;
    if (!winapi::EnsureVideo()) return 0;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
    return nIndex == SM_CXSCREEN ? mode.w : mode.h;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
    // Only the system cursors exist here; the window shows SDL's arrow anyway.
    (void)lpCursorName;
    if (hInstance) {
        SetLastError(winapi::kErrorResourceTypeNotFound);  // the program has no cursor resources
        return nullptr;
    }
    static struct HICON__ systemArrow;
    return &systemArrow;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
    winapi::WindowClass* cls = winapi::FindClass(lpClassName);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (hWndParent && !winapi::FindWindowRecord(hWndParent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (!winapi::EnsureVideo()) {
        SetLastError(ERROR_GEN_FAILURE);
        return nullptr;
    }
    winapi::ReapDestroyedWindows();

    // The outer size includes the frame AdjustWindowRect would add; the SDL
    // window is the client area alone.
    winapi::Frame f = winapi::FrameFor(dwStyle, hMenu != nullptr);
    int clientW = 640, clientH = 480;
    if (nWidth != CW_USEDEFAULT) clientW = nWidth - f.left - f.right;
    if (nHeight != CW_USEDEFAULT && nWidth != CW_USEDEFAULT) clientH = nHeight - f.top - f.bottom;
    if (clientW < 1) clientW = 1;
    if (clientH < 1) clientH = 1;
    int x = X == CW_USEDEFAULT ? (int)SDL_WINDOWPOS_UNDEFINED : X + f.left;
    int y = X == CW_USEDEFAULT ? (int)SDL_WINDOWPOS_UNDEFINED : Y + f.top;

    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (dwStyle & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((dwStyle & WS_CAPTION) != WS_CAPTION && !(dwStyle & (WS_BORDER | WS_DLGFRAME | WS_THICKFRAME)))
        flags |= SDL_WINDOW_BORDERLESS;
    const char* title = lpWindowName ? lpWindowName : "";

    winapi::SetGlAttributes();
    SDL_Window* sdl = SDL_CreateWindow(title, x, y, clientW, clientH, flags | SDL_WINDOW_OPENGL);
    if (!sdl) {
        // Without OpenGL the window still opens; the renderer reports its own failure.
        fprintf(stderr, "%s: window without OpenGL support (%s)\n", winapi::ProgramName(), SDL_GetError());
        sdl = SDL_CreateWindow(title, x, y, clientW, clientH, flags);
    }
    if (!sdl) {
        fprintf(stderr, "%s: cannot open a window: %s\n", winapi::ProgramName(), SDL_GetError());
        SetLastError(ERROR_GEN_FAILURE);
        return nullptr;
    }

    winapi::SetUtf8WindowName(sdl, title);

    std::unique_ptr<WindowRecord> rec(new WindowRecord());
    rec->hwnd = (HWND)winapi::g_nextWindowHandle;
    winapi::g_nextWindowHandle += 0x10;
    rec->sdl = sdl;
    rec->sdlId = SDL_GetWindowID(sdl);
    rec->proc = cls->proc;
    rec->style = dwStyle;
    rec->exStyle = dwExStyle;
    rec->clientWidth = clientW;
    rec->clientHeight = clientH;
    rec->destroying = false;
    HWND hwnd = rec->hwnd;
    WNDPROC proc = rec->proc;
    winapi::RegisterWindowHandle(hwnd, rec->sdl);
    winapi::g_windows[(uintptr_t)hwnd] = std::move(rec);

    CREATESTRUCTA cs;
    cs.lpCreateParams = lpParam;
    cs.hInstance = hInstance;
    cs.hMenu = hMenu;
    cs.hwndParent = hWndParent;
    cs.cy = nHeight;
    cs.cx = nWidth;
    cs.y = Y;
    cs.x = X;
    cs.style = (LONG)dwStyle;
    cs.lpszName = lpWindowName;
    cs.lpszClass = lpClassName;
    cs.dwExStyle = dwExStyle;
    if (proc(hwnd, WM_CREATE, 0, (LPARAM)&cs) == -1) {  // the procedure refused the window
        DestroyWindow(hwnd);
        SetLastError(ERROR_GEN_FAILURE);
        return nullptr;
    }
    if (!winapi::FindWindowRecord(hwnd)) return nullptr;  // destroyed during WM_CREATE
    if (dwStyle & WS_VISIBLE) ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    WindowRecord* rec = winapi::FindWindowRecord(hWnd);
    if (!rec) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasVisible = (SDL_GetWindowFlags(rec->sdl) & SDL_WINDOW_SHOWN) ? TRUE : FALSE;
    if (nCmdShow == SW_HIDE) {
        SDL_HideWindow(rec->sdl);
        return wasVisible;
    }
    SDL_ShowWindow(rec->sdl);
    // Showing a top-level window activates it, as on Windows: it takes the
    // keyboard (also where no window manager hands focus out).
    SDL_RaiseWindow(rec->sdl);
    if (winapi::VideoIsHeadless()) {
        if (!wasVisible) winapi::AnnounceHeadlessFocus(rec->sdl);
    } else {
        SDL_SetWindowInputFocus(rec->sdl);
    }
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
    // Nothing is ever invalid: the renderer draws whole frames itself.
    if (!winapi::FindWindowRecord(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    WindowRecord* rec = winapi::FindWindowRecord(hWnd);
    if (!rec || rec->destroying) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    rec->destroying = true;
    SDL_HideWindow(rec->sdl);
    WNDPROC proc = rec->proc;
    proc(hWnd, WM_DESTROY, 0, 0);

    rec = winapi::FindWindowRecord(hWnd);
    if (!rec) return TRUE;
    SDL_Window* sdl = rec->sdl;
    winapi::g_windows.erase((uintptr_t)hWnd);
    winapi::ForgetWindowHandle(hWnd);
    winapi::PurgeMessagesFor(hWnd);
    if (SDL_GL_GetCurrentWindow() == sdl && SDL_GL_GetCurrentContext())
        winapi::g_destroyedSdlWindows.push_back(sdl);  // freed once the context moves off it
    else
        SDL_DestroyWindow(sdl);
    return TRUE;
}

// The style and extended style a window was created with (WS_VISIBLE added
// while it is shown); no other index is kept.
LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    WindowRecord* rec = winapi::FindWindowRecord(hWnd);
    if (!rec) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (nIndex == GWL_STYLE) {
        const bool shown = (SDL_GetWindowFlags(rec->sdl) & SDL_WINDOW_SHOWN) != 0;
        return (LONG)((rec->style & ~(DWORD)WS_VISIBLE) | (shown ? WS_VISIBLE : 0));
    }
    if (nIndex == GWL_EXSTYLE) return (LONG)rec->exStyle;
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    WindowRecord* rec = winapi::FindWindowRecord(hWnd);
    if (!rec || !lpRect) {
        SetLastError(rec ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    int w = rec->clientWidth, h = rec->clientHeight;
    if (rec->style & WS_THICKFRAME) SDL_GetWindowSize(rec->sdl, &w, &h);  // only sizable windows change
    lpRect->left = 0;
    lpRect->top = 0;
    lpRect->right = w;
    lpRect->bottom = h;
    return TRUE;
}

}  // extern "C"
