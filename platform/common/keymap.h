// Key translation tables of our Windows layer: SDL scancodes to DirectInput key
// codes (set-1 scan codes, +0x80 for the extended keys) and to Windows
// virtual-key codes. Used by the DirectInput keyboard and by the Win32 message
// pump (the scan code and extended bit of WM_KEYDOWN's lParam).
#pragma once

#include <stdint.h>

namespace winapi {

// The DIK code of an SDL scancode, 0 for keys DirectInput has no code for.
uint8_t DikFromScancode(int scancode);

// The virtual-key code for a key event: letters and digits follow the layout
// (the SDL keycode), every other key its position (the scancode). 0 if none.
uint8_t VirtualKeyFromSdl(int scancode, int keycode);

}  // namespace winapi
