// Events pushed on SDL's queue as the display would deliver them, for the
// tests of our Win32 and DirectInput layers, which read that queue.
#pragma once

#include <SDL.h>

namespace testsupport {

// A key going down or up on a window; the key code is the scan code's in the
// current layout.
inline void PushSdlKey(Uint32 window, bool down, SDL_Scancode sc, Uint8 repeat = 0, Uint16 mod = 0) {
    SDL_Event e;
    SDL_zero(e);
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = window;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
}

// A window event (SDL_WINDOWEVENT_FOCUS_GAINED, ..._CLOSE, ...) on a window.
inline void PushSdlWindowEvent(Uint32 window, Uint8 event) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window;
    e.window.event = event;
    SDL_PushEvent(&e);
}

}  // namespace testsupport
