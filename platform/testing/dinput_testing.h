// Test hooks of the DirectInput 8 layer.
#pragma once

#include <windows.h>

// Sets a key (DIK code) down or up, exactly as a key event from the window would.
void WinapiTest_SetKey(BYTE dik, bool down);
void WinapiTest_ReleaseAllKeys();

// Overrides the foreground test: forced = true makes keyboard devices behave as if
// their window had (focused = true) or lacked (false) the keyboard focus.
void WinapiTest_ForceKeyboardFocus(bool forced, bool focused);
