// Test hooks of the Win32 layer.
#pragma once

#include <stdint.h>
#include <string>
#include <vector>
#include <windows.h>

struct WinapiMessageBoxRecord {
    std::string text;     // UTF-8, as passed
    std::string caption;  // UTF-8, as passed
    UINT flags;
};

// While installed, MessageBoxA opens no window: it records the call and returns `answer`.
void WinapiTest_InstallMessageBoxHook(int answer);
void WinapiTest_RemoveMessageBoxHook();
const std::vector<WinapiMessageBoxRecord>& WinapiTest_MessageBoxes();
void WinapiTest_ClearMessageBoxes();

// Called once a real message box is on screen, before it waits for input:
// its SDL window id, its size and its buttons in window coordinates, so a test
// can answer it with SDL_PushEvent (keys or clicks into that window id).
struct WinapiMessageBoxWindow {
    uint32_t windowId;
    int width, height;
    int focusedButton;  // IDOK or IDCANCEL: the button Enter would press
    RECT okButton;
    RECT cancelButton;  // all zero without a Cancel button
};
typedef void (*WinapiMessageBoxShownCallback)(const WinapiMessageBoxWindow& box, void* user);
void WinapiTest_SetMessageBoxShownCallback(WinapiMessageBoxShownCallback callback, void* user);

// While enabled, QueryPerformanceCounter returns `ticks` (frequency unchanged),
// so clock code can be tested deterministically.
void WinapiTest_SetFakeCounter(bool enabled, LONGLONG ticks);

// The messages waiting in the thread's queue (posted or made from SDL events), dropped.
void WinapiTest_DrainMessages();
