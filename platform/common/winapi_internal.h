// Shared plumbing between the API folders of our Windows layer. Nothing in
// the game includes this; it only lets d3d9/ and dinput/ find the SDL window
// and the events that win32/ pumps.
#pragma once

#include <windows.h>
#include <stdint.h>

struct SDL_Window;
union SDL_Event;

namespace winapi {

// The SDL window behind a window handle made by CreateWindowExA (null if none).
SDL_Window* SdlWindowFromHwnd(HWND hwnd);

// Brings SDL's video subsystem up once; false (with a message on stderr) when
// there is no display to open windows on.
bool EnsureVideo();

// win32/ pumps SDL events in PeekMessageA and in its message boxes. Each event
// is offered to every listener before it is turned into window messages.
typedef void (*EventListener)(const SDL_Event& event, void* user);
void AddEventListener(EventListener listener, void* user);
void RemoveEventListener(EventListener listener, void* user);

}  // namespace winapi
