// Test hooks of the DirectInput 8 layer.
#pragma once

#include <windows.h>

// Sets a key (DIK code) down or up, exactly as a key event from the window would.
// The state is read by GetDeviceState at the moment of the call.
void WinapiTest_SetKey(BYTE dik, bool down);
void WinapiTest_ReleaseAllKeys();

// Overrides the foreground test: forced = true makes keyboard devices behave as if
// their window had (focused = true) or lacked (false) the keyboard focus.
// Forcing the focus away counts as a loss: devices must be acquired again and
// every key is up afterwards. While forced, window focus events are ignored.
// Without forcing, a foreground device follows the SDL window focus events that
// PeekMessageA pumps (ShowWindow gives the window the focus; with the
// offscreen video driver it posts that event itself), so a test that relies
// on real focus pumps messages after ShowWindow before acquiring.
void WinapiTest_ForceKeyboardFocus(bool forced, bool focused);

// Stands in for the physical keyboard (256 bytes, 0x80 = held) that is asked
// when a window of ours gains the focus and, while a key held through that
// change is down, before each read. Null asks the X server again.
void WinapiTest_SetPhysicalKeys(const BYTE* keys);
