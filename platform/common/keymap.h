// Key translation tables of our Windows layer: SDL scancodes to DirectInput key
// codes (set-1 scan codes, +0x80 for the extended keys) and to Windows
// virtual-key codes. Used by the DirectInput keyboard and by the Win32 message
// pump (the scan code and extended bit of WM_KEYDOWN's lParam).
#pragma once

#include <stdint.h>

struct SDL_Window;

namespace winapi {

// The DIK code of an SDL scancode, 0 for keys DirectInput has no code for.
uint8_t DikFromScancode(int scancode);

// The virtual-key code for a key event: letters and digits follow the layout
// (the SDL keycode), every other key its position (the scancode). 0 if none.
uint8_t VirtualKeyFromSdl(int scancode, int keycode);

// ---- dinput/x11_keys.cpp ----

// The DIK code of a Linux input key number (an X key code minus 8), 0 if none.
uint8_t DikFromLinuxKeycode(unsigned code);
// The DIK key state (0x80 = down) of an X keymap: 32 bytes, one bit per X key code.
void DikStateFromKeymap(const char keymap[32], uint8_t keys[256]);
// Fills `keys` with the keys held on the physical keyboard, as the X server of
// the window sees them. False where that cannot be known (no X11 window:
// Wayland, the offscreen driver); `keys` is then untouched.
bool ReadPhysicalKeys(SDL_Window* window, uint8_t keys[256]);

}  // namespace winapi
