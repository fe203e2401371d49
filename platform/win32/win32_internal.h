// Private plumbing shared by the files of the Win32 layer. Nothing outside
// win32/ sees it; what other folders share with win32/ is in common/.
#pragma once

#include <stdint.h>
#include <string>
#include <vector>
#include <windows.h>

#include "common/winapi_internal.h"

struct SDL_Window;
union SDL_Event;

namespace winapi {

// ---- win32/window.cpp ----

struct WindowRecord {
    HWND hwnd;
    SDL_Window* sdl;
    uint32_t sdlId;
    WNDPROC proc;
    DWORD style;
    DWORD exStyle;
    int clientWidth;
    int clientHeight;
    bool destroying;
    bool disabled;  // owner of an open message box: close requests are dropped
};

// The live window behind a handle (null for unknown or destroyed handles).
WindowRecord* FindWindowRecord(HWND hwnd);
// The window made from an SDL window id (null if none of ours).
HWND WindowFromSdlId(uint32_t id);
// Every live window, in creation order.
std::vector<HWND> LiveWindows();
// Frees SDL windows whose destruction was put off while a GL context was current on them.
void ReapDestroyedWindows();

// ---- win32/messages.cpp ----

// A message to be sent (not posted) to a window procedure once the SDL event
// batch being translated is finished.
struct PendingSend {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Turns one SDL event into window messages: posted ones go to the thread's
// queue, sent ones are appended to `sends`. While a modal loop runs (`modal`),
// keyboard input is left to that loop and not turned into messages.
void TranslateSdlEvent(const SDL_Event& event, bool modal, std::vector<PendingSend>& sends);
// Calls the window procedures for the collected sent messages.
void DeliverSends(std::vector<PendingSend>& sends);
// Drops every queued message addressed to a window (it is being destroyed).
void PurgeMessagesFor(HWND hwnd);

}  // namespace winapi
