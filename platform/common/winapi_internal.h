// What the API folders of our Windows layer share, so that none of them
// depends on another: bringing SDL's video up, the window handles win32/
// makes and their SDL windows, the SDL events win32/ pumps, and the program's
// name. Nothing in the game includes this. (The key tables are in keymap.h.)
#pragma once

#include <stdint.h>
#include <windows.h>

struct SDL_Window;
union SDL_Event;

namespace winapi {

// The SDL window behind a window handle made by CreateWindowExA (null if none,
// or once the window is destroyed). win32/ registers and forgets its windows.
SDL_Window* SdlWindowFromHwnd(HWND hwnd);
void RegisterWindowHandle(HWND hwnd, SDL_Window* window);
void ForgetWindowHandle(HWND hwnd);

// Brings SDL's video subsystem up once; false (with a message on stderr) when
// there is no display to open windows on.
bool EnsureVideo();

// win32/ pumps SDL events in PeekMessageA and in its message boxes. Each event
// is offered to every listener before it is turned into window messages.
typedef void (*EventListener)(const SDL_Event& event, void* user);
void AddEventListener(EventListener listener, void* user);
void RemoveEventListener(EventListener listener, void* user);

// Calls every listener registered with AddEventListener for this event.
void OfferEventToListeners(const SDL_Event& event);

// True when the video driver that came up draws nowhere (offscreen or dummy,
// selected on purpose through SDL_VIDEODRIVER): windows exist, nobody sees them.
bool VideoIsHeadless();

// The short name of the running program, for messages on stderr.
const char* ProgramName();

// Gives an X11 window its title as UTF-8 in every title property. SDL writes
// WM_NAME in the program's locale, and in the C locale that turns Japanese
// into mojibake for window managers and tools that read only WM_NAME.
// Does nothing on other window systems.
void SetUtf8WindowName(SDL_Window* window, const char* title);

}  // namespace winapi
