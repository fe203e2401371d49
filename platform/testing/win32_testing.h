// Test hooks of the Win32 layer.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

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

// While enabled, QueryPerformanceCounter returns `ticks` (frequency unchanged),
// so clock code can be tested deterministically.
void WinapiTest_SetFakeCounter(bool enabled, LONGLONG ticks);

// The messages waiting in the thread's queue (posted or made from SDL events), dropped.
void WinapiTest_DrainMessages();
