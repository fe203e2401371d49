// Shared plumbing of our Windows layer: bringing SDL's video subsystem up once,
// the window handles win32/ made, and the list of listeners that see every SDL
// event the Win32 layer pumps.
//
// State: whether video was tried and how it went (kept for the life of the
// process: a missing display does not appear later), the handle-to-window
// map (an entry from CreateWindowExA to the end of DestroyWindow), and the
// listener list.
// Both are touched only from the thread that runs the game.
#include "common/winapi_internal.h"

#include <SDL2/SDL.h>
// The X11 members of SDL_SysWMinfo, whatever SDL_config.h says.
#ifndef SDL_VIDEO_DRIVER_X11
#define SDL_VIDEO_DRIVER_X11 1
#endif
#include <SDL2/SDL_syswm.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <vector>

namespace winapi {
namespace {

enum class VideoState { NotTried, Up, Failed };
VideoState g_videoState = VideoState::NotTried;
bool g_videoHeadless = false;

struct Listener {
    EventListener fn;
    void* user;
};

std::map<HWND, SDL_Window*>& WindowHandles() {
    static std::map<HWND, SDL_Window*> handles;
    return handles;
}

std::vector<Listener>& Listeners() {
    static std::vector<Listener> listeners;
    return listeners;
}

bool DriverIsHeadless(const char* driver) {
    return driver && (SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0);
}

}  // namespace

SDL_Window* SdlWindowFromHwnd(HWND hwnd) {
    auto it = WindowHandles().find(hwnd);
    return it == WindowHandles().end() ? nullptr : it->second;
}

void RegisterWindowHandle(HWND hwnd, SDL_Window* window) { WindowHandles()[hwnd] = window; }

void ForgetWindowHandle(HWND hwnd) { WindowHandles().erase(hwnd); }

const char* ProgramName() {
    const char* name = program_invocation_short_name;
    return (name && *name) ? name : "program";
}

bool EnsureVideo() {
    if (g_videoState == VideoState::Up) return true;
    if (g_videoState == VideoState::Failed) return false;

    // Ctrl-C and SIGTERM end the program as for any other Linux program,
    // instead of turning into a close request nobody may be there to confirm.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // SDL quietly falls back to a driver that draws nowhere when there is no
    // display. That is wanted only when asked for by name (tests do so).
    const char* requested = getenv("SDL_VIDEODRIVER");
    const bool displayNamed = getenv("DISPLAY") || getenv("WAYLAND_DISPLAY");
    const bool headlessRequested = requested && DriverIsHeadless(requested);
    const char* driver = nullptr;
    bool unwantedFallback = false;
    // A display that is named but refuses the connection is tried again a few
    // times, 0.7 s in all: an X server may close a connection it has just
    // accepted while another client connects (Xvfb does, now and then).
    for (int attempt = 0;; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            fprintf(stderr, "%s: cannot open a window: no display (%s)\n", ProgramName(), SDL_GetError());
            g_videoState = VideoState::Failed;
            return false;
        }
        driver = SDL_GetCurrentVideoDriver();
        unwantedFallback = DriverIsHeadless(driver) && !headlessRequested;
        if (!unwantedFallback || !displayNamed || attempt == 7) break;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_Delay(25 * (attempt + 1));
    }
    if (unwantedFallback) {
        fprintf(stderr,
                "%s: cannot open a window: no display (only the '%s' video driver is available; "
                "set DISPLAY or WAYLAND_DISPLAY)\n",
                ProgramName(), driver);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        g_videoState = VideoState::Failed;
        return false;
    }
    g_videoHeadless = DriverIsHeadless(driver);
    // The game reads keys, never text: keep input methods out of the way.
    SDL_StopTextInput();
    g_videoState = VideoState::Up;
    return true;
}

bool VideoIsHeadless() { return g_videoState == VideoState::Up && g_videoHeadless; }

void SetUtf8WindowName(SDL_Window* window, const char* title) {
    if (!window || !title) return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    // libX11 is already loaded by SDL's X11 driver; take the three calls from it.
    typedef Atom (*InternAtomFn)(Display*, const char*, Bool);
    typedef int (*ChangePropertyFn)(Display*, Window, Atom, Atom, int, int, const unsigned char*, int);
    typedef int (*FlushFn)(Display*);
    static void* x11 = SDL_LoadObject("libX11.so.6");
    if (!x11) return;
    InternAtomFn internAtom = (InternAtomFn)SDL_LoadFunction(x11, "XInternAtom");
    ChangePropertyFn changeProperty = (ChangePropertyFn)SDL_LoadFunction(x11, "XChangeProperty");
    FlushFn flush = (FlushFn)SDL_LoadFunction(x11, "XFlush");
    if (!internAtom || !changeProperty || !flush) return;
    Display* display = info.info.x11.display;
    Atom utf8 = internAtom(display, "UTF8_STRING", False);
    Atom wmName = internAtom(display, "WM_NAME", False);
    Atom wmIconName = internAtom(display, "WM_ICON_NAME", False);
    int len = (int)strlen(title);
    changeProperty(display, info.info.x11.window, wmName, utf8, 8, PropModeReplace, (const unsigned char*)title, len);
    changeProperty(display, info.info.x11.window, wmIconName, utf8, 8, PropModeReplace, (const unsigned char*)title,
                   len);
    flush(display);
}

void AddEventListener(EventListener listener, void* user) {
    if (!listener) return;
    std::vector<Listener>& list = Listeners();
    for (const Listener& l : list)
        if (l.fn == listener && l.user == user) return;
    list.push_back({listener, user});
}

void RemoveEventListener(EventListener listener, void* user) {
    std::vector<Listener>& list = Listeners();
    list.erase(
        std::remove_if(list.begin(), list.end(), [&](const Listener& l) { return l.fn == listener && l.user == user; }),
        list.end());
}

void OfferEventToListeners(const SDL_Event& event) {
    // A copy, so that a listener may add or remove listeners while being called.
    std::vector<Listener> list = Listeners();
    for (const Listener& l : list) l.fn(event, l.user);
}

}  // namespace winapi
