// The keyboard as the hardware has it right now, asked of the X server. SDL
// forgets every key when a window loses the focus and on regaining it
// re-announces only the modifiers; DirectInput instead reads the physical
// state, so a key held all through a focus change reads as held. Stateless.
//
// Kept apart from the rest of the layer because the X headers and <windows.h>
// cannot share a file (Window, Bool, Status, ...).
#include "common/keymap.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <string.h>

namespace winapi {

// X servers on Linux number the keys as the kernel does, plus 8; the
// kernel's numbers 1..88 are the set-1 scan codes, which the DIK codes are.
uint8_t DikFromLinuxKeycode(unsigned code) {
    if (code >= 1 && code <= 83) return (uint8_t)code;
    switch (code) {
    case 86: return 0x56;   // the key left of Z on ISO keyboards
    case 87: return 0x57;   // F11
    case 88: return 0x58;   // F12
    case 89: return 0x73;   // ろ / ABNT "/?"
    case 92: return 0x79;   // 変換
    case 93: return 0x70;   // カタカナ/ひらがな
    case 94: return 0x7B;   // 無変換
    case 96: return 0x9C;   // keypad Enter
    case 97: return 0x9D;   // right Ctrl
    case 98: return 0xB5;   // keypad /
    case 99: return 0xB7;   // Print Screen
    case 100: return 0xB8;  // right Alt
    case 102: return 0xC7;  // Home
    case 103: return 0xC8;  // Up
    case 104: return 0xC9;  // Page Up
    case 105: return 0xCB;  // Left
    case 106: return 0xCD;  // Right
    case 107: return 0xCF;  // End
    case 108: return 0xD0;  // Down
    case 109: return 0xD1;  // Page Down
    case 110: return 0xD2;  // Insert
    case 111: return 0xD3;  // Delete
    case 117: return 0x8D;  // keypad =
    case 119: return 0xC5;  // Pause
    case 124: return 0x7D;  // ￥
    case 125: return 0xDB;  // left Windows key
    case 126: return 0xDC;  // right Windows key
    case 127: return 0xDD;  // menu key
    default: return 0;
    }
}

void DikStateFromKeymap(const char keymap[32], uint8_t keys[256]) {
    memset(keys, 0, 256);
    for (unsigned x = 8; x < 256; ++x) {
        if (!(keymap[x / 8] & (1 << (x % 8)))) continue;
        uint8_t dik = DikFromLinuxKeycode(x - 8);
        if (dik) keys[dik] = 0x80;
    }
}

bool ReadPhysicalKeys(SDL_Window* window, uint8_t keys[256]) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    char keymap[32];
    XQueryKeymap(info.info.x11.display, keymap);
    DikStateFromKeymap(keymap, keys);
    return true;
}

}  // namespace winapi
