// Key translation tables: SDL scancodes (USB HID usage ids) to DirectInput key
// codes and to Windows virtual keys. Constant data only; no state.
#include "common/keymap.h"

#include <SDL2/SDL.h>
#include <dinput.h>
#include <windows.h>

namespace winapi {
namespace {

// One entry per SDL scancode 0..255; scancodes above 255 (media and browser
// keys) are handled in DikFromScancode.
struct DikTable {
    uint8_t dik[256];
    DikTable() : dik() {
        const uint8_t letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                     0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
        for (int i = 0; i < 26; ++i) dik[SDL_SCANCODE_A + i] = letters[i];
        for (int i = 0; i < 9; ++i) dik[SDL_SCANCODE_1 + i] = (uint8_t)(DIK_1 + i);
        dik[SDL_SCANCODE_0] = DIK_0;

        dik[SDL_SCANCODE_RETURN] = DIK_RETURN;
        dik[SDL_SCANCODE_ESCAPE] = DIK_ESCAPE;
        dik[SDL_SCANCODE_BACKSPACE] = DIK_BACK;
        dik[SDL_SCANCODE_TAB] = DIK_TAB;
        dik[SDL_SCANCODE_SPACE] = DIK_SPACE;
        dik[SDL_SCANCODE_MINUS] = DIK_MINUS;
        dik[SDL_SCANCODE_EQUALS] = DIK_EQUALS;
        dik[SDL_SCANCODE_LEFTBRACKET] = DIK_LBRACKET;
        dik[SDL_SCANCODE_RIGHTBRACKET] = DIK_RBRACKET;
        dik[SDL_SCANCODE_BACKSLASH] = DIK_BACKSLASH;
        dik[SDL_SCANCODE_NONUSHASH] = DIK_BACKSLASH;  // the same key position on ISO keyboards
        dik[SDL_SCANCODE_SEMICOLON] = DIK_SEMICOLON;
        dik[SDL_SCANCODE_APOSTROPHE] = DIK_APOSTROPHE;
        dik[SDL_SCANCODE_GRAVE] = DIK_GRAVE;
        dik[SDL_SCANCODE_COMMA] = DIK_COMMA;
        dik[SDL_SCANCODE_PERIOD] = DIK_PERIOD;
        dik[SDL_SCANCODE_SLASH] = DIK_SLASH;
        dik[SDL_SCANCODE_CAPSLOCK] = DIK_CAPITAL;

        for (int i = 0; i < 10; ++i) dik[SDL_SCANCODE_F1 + i] = (uint8_t)(DIK_F1 + i);
        dik[SDL_SCANCODE_F11] = DIK_F11;
        dik[SDL_SCANCODE_F12] = DIK_F12;
        dik[SDL_SCANCODE_F13] = DIK_F13;
        dik[SDL_SCANCODE_F14] = DIK_F14;
        dik[SDL_SCANCODE_F15] = DIK_F15;
        // F16..F24 have no DIK names; these are their set-1 scan codes.
        const uint8_t f16to24[9] = {0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x76};
        for (int i = 0; i < 9; ++i) dik[SDL_SCANCODE_F16 + i] = f16to24[i];

        dik[SDL_SCANCODE_PRINTSCREEN] = DIK_SYSRQ;
        dik[SDL_SCANCODE_SYSREQ] = DIK_SYSRQ;
        dik[SDL_SCANCODE_SCROLLLOCK] = DIK_SCROLL;
        dik[SDL_SCANCODE_PAUSE] = DIK_PAUSE;
        dik[SDL_SCANCODE_INSERT] = DIK_INSERT;
        dik[SDL_SCANCODE_HOME] = DIK_HOME;
        dik[SDL_SCANCODE_PAGEUP] = DIK_PRIOR;
        dik[SDL_SCANCODE_DELETE] = DIK_DELETE;
        dik[SDL_SCANCODE_END] = DIK_END;
        dik[SDL_SCANCODE_PAGEDOWN] = DIK_NEXT;
        dik[SDL_SCANCODE_RIGHT] = DIK_RIGHT;
        dik[SDL_SCANCODE_LEFT] = DIK_LEFT;
        dik[SDL_SCANCODE_DOWN] = DIK_DOWN;
        dik[SDL_SCANCODE_UP] = DIK_UP;

        dik[SDL_SCANCODE_NUMLOCKCLEAR] = DIK_NUMLOCK;
        dik[SDL_SCANCODE_KP_DIVIDE] = DIK_DIVIDE;
        dik[SDL_SCANCODE_KP_MULTIPLY] = DIK_MULTIPLY;
        dik[SDL_SCANCODE_KP_MINUS] = DIK_SUBTRACT;
        dik[SDL_SCANCODE_KP_PLUS] = DIK_ADD;
        dik[SDL_SCANCODE_KP_ENTER] = DIK_NUMPADENTER;
        dik[SDL_SCANCODE_KP_1] = DIK_NUMPAD1;
        dik[SDL_SCANCODE_KP_2] = DIK_NUMPAD2;
        dik[SDL_SCANCODE_KP_3] = DIK_NUMPAD3;
        dik[SDL_SCANCODE_KP_4] = DIK_NUMPAD4;
        dik[SDL_SCANCODE_KP_5] = DIK_NUMPAD5;
        dik[SDL_SCANCODE_KP_6] = DIK_NUMPAD6;
        dik[SDL_SCANCODE_KP_7] = DIK_NUMPAD7;
        dik[SDL_SCANCODE_KP_8] = DIK_NUMPAD8;
        dik[SDL_SCANCODE_KP_9] = DIK_NUMPAD9;
        dik[SDL_SCANCODE_KP_0] = DIK_NUMPAD0;
        dik[SDL_SCANCODE_KP_PERIOD] = DIK_DECIMAL;
        dik[SDL_SCANCODE_KP_EQUALS] = DIK_NUMPADEQUALS;
        dik[SDL_SCANCODE_KP_COMMA] = DIK_NUMPADCOMMA;

        dik[SDL_SCANCODE_NONUSBACKSLASH] = DIK_OEM_102;
        dik[SDL_SCANCODE_APPLICATION] = DIK_APPS;
        dik[SDL_SCANCODE_POWER] = DIK_POWER;
        dik[SDL_SCANCODE_MUTE] = DIK_MUTE;
        dik[SDL_SCANCODE_VOLUMEUP] = DIK_VOLUMEUP;
        dik[SDL_SCANCODE_VOLUMEDOWN] = DIK_VOLUMEDOWN;

        // Japanese and Brazilian keyboards.
        dik[SDL_SCANCODE_INTERNATIONAL1] = DIK_ABNT_C1;    // ろ / ABNT "/?"
        dik[SDL_SCANCODE_INTERNATIONAL2] = DIK_KANA;       // カタカナ/ひらがな
        dik[SDL_SCANCODE_INTERNATIONAL3] = DIK_YEN;        // ￥
        dik[SDL_SCANCODE_INTERNATIONAL4] = DIK_CONVERT;    // 変換
        dik[SDL_SCANCODE_INTERNATIONAL5] = DIK_NOCONVERT;  // 無変換

        dik[SDL_SCANCODE_LCTRL] = DIK_LCONTROL;
        dik[SDL_SCANCODE_LSHIFT] = DIK_LSHIFT;
        dik[SDL_SCANCODE_LALT] = DIK_LMENU;
        dik[SDL_SCANCODE_LGUI] = DIK_LWIN;
        dik[SDL_SCANCODE_RCTRL] = DIK_RCONTROL;
        dik[SDL_SCANCODE_RSHIFT] = DIK_RSHIFT;
        dik[SDL_SCANCODE_RALT] = DIK_RMENU;
        dik[SDL_SCANCODE_RGUI] = DIK_RWIN;
    }
};

const DikTable& Table() {
    static const DikTable table;
    return table;
}

}  // namespace

uint8_t DikFromScancode(int scancode) {
    if (scancode >= 0 && scancode < 256) return Table().dik[scancode];
    switch (scancode) {
    case SDL_SCANCODE_MODE: return DIK_RMENU;  // AltGr reported as a mode switch
    case SDL_SCANCODE_AUDIONEXT: return DIK_NEXTTRACK;
    case SDL_SCANCODE_AUDIOPREV: return DIK_PREVTRACK;
    case SDL_SCANCODE_AUDIOSTOP: return DIK_MEDIASTOP;
    case SDL_SCANCODE_AUDIOPLAY: return DIK_PLAYPAUSE;
    case SDL_SCANCODE_AUDIOMUTE: return DIK_MUTE;
    case SDL_SCANCODE_MEDIASELECT: return DIK_MEDIASELECT;
    case SDL_SCANCODE_MAIL: return DIK_MAIL;
    case SDL_SCANCODE_CALCULATOR: return DIK_CALCULATOR;
    case SDL_SCANCODE_COMPUTER: return DIK_MYCOMPUTER;
    case SDL_SCANCODE_AC_SEARCH: return DIK_WEBSEARCH;
    case SDL_SCANCODE_AC_HOME: return DIK_WEBHOME;
    case SDL_SCANCODE_AC_BACK: return DIK_WEBBACK;
    case SDL_SCANCODE_AC_FORWARD: return DIK_WEBFORWARD;
    case SDL_SCANCODE_AC_STOP: return DIK_WEBSTOP;
    case SDL_SCANCODE_AC_REFRESH: return DIK_WEBREFRESH;
    case SDL_SCANCODE_AC_BOOKMARKS: return DIK_WEBFAVORITES;
    case SDL_SCANCODE_SLEEP: return DIK_SLEEP;
    default: return 0;
    }
}

uint8_t VirtualKeyFromSdl(int scancode, int keycode) {
    if (keycode >= 'a' && keycode <= 'z') return (uint8_t)(keycode - 'a' + 'A');
    if (keycode >= '0' && keycode <= '9') return (uint8_t)keycode;
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return (uint8_t)('A' + scancode - SDL_SCANCODE_A);
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return (uint8_t)('1' + scancode - SDL_SCANCODE_1);
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return (uint8_t)(VK_F1 + scancode - SDL_SCANCODE_F1);
    if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24)
        return (uint8_t)(0x7C + scancode - SDL_SCANCODE_F13);
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
        return (uint8_t)(VK_NUMPAD0 + 1 + scancode - SDL_SCANCODE_KP_1);
    switch (scancode) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_RETURN: return VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return VK_BACK;
    case SDL_SCANCODE_TAB: return VK_TAB;
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
    case SDL_SCANCODE_NONUSHASH: return VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
    case SDL_SCANCODE_GRAVE: return VK_OEM_3;
    case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return VK_OEM_2;
    case SDL_SCANCODE_CAPSLOCK: return VK_CAPITAL;
    case SDL_SCANCODE_PRINTSCREEN: return VK_SNAPSHOT;
    case SDL_SCANCODE_SCROLLLOCK: return VK_SCROLL;
    case SDL_SCANCODE_PAUSE: return VK_PAUSE;
    case SDL_SCANCODE_INSERT: return VK_INSERT;
    case SDL_SCANCODE_HOME: return VK_HOME;
    case SDL_SCANCODE_PAGEUP: return VK_PRIOR;
    case SDL_SCANCODE_DELETE: return VK_DELETE;
    case SDL_SCANCODE_END: return VK_END;
    case SDL_SCANCODE_PAGEDOWN: return VK_NEXT;
    case SDL_SCANCODE_RIGHT: return VK_RIGHT;
    case SDL_SCANCODE_LEFT: return VK_LEFT;
    case SDL_SCANCODE_DOWN: return VK_DOWN;
    case SDL_SCANCODE_UP: return VK_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR: return VK_NUMLOCK;
    case SDL_SCANCODE_KP_DIVIDE: return VK_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return VK_ADD;
    case SDL_SCANCODE_KP_ENTER: return VK_RETURN;
    case SDL_SCANCODE_KP_0: return VK_NUMPAD0;
    case SDL_SCANCODE_KP_PERIOD: return VK_DECIMAL;
    case SDL_SCANCODE_KP_COMMA: return 0x6C;  // VK_SEPARATOR
    case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
    case SDL_SCANCODE_APPLICATION: return VK_APPS;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return VK_CONTROL;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return VK_SHIFT;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT:
    case SDL_SCANCODE_MODE: return VK_MENU;
    case SDL_SCANCODE_LGUI: return VK_LWIN;
    case SDL_SCANCODE_RGUI: return VK_RWIN;
    case SDL_SCANCODE_INTERNATIONAL1: return VK_OEM_102;
    case SDL_SCANCODE_INTERNATIONAL2: return 0x15;  // VK_KANA
    case SDL_SCANCODE_INTERNATIONAL3: return VK_OEM_5;
    case SDL_SCANCODE_INTERNATIONAL4: return 0x1C;  // VK_CONVERT
    case SDL_SCANCODE_INTERNATIONAL5: return 0x1D;  // VK_NONCONVERT
    case SDL_SCANCODE_MUTE:
    case SDL_SCANCODE_AUDIOMUTE: return 0xAD;
    case SDL_SCANCODE_VOLUMEDOWN: return 0xAE;
    case SDL_SCANCODE_VOLUMEUP: return 0xAF;
    case SDL_SCANCODE_AUDIONEXT: return 0xB0;
    case SDL_SCANCODE_AUDIOPREV: return 0xB1;
    case SDL_SCANCODE_AUDIOSTOP: return 0xB2;
    case SDL_SCANCODE_AUDIOPLAY: return 0xB3;
    case SDL_SCANCODE_MAIL: return 0xB4;
    case SDL_SCANCODE_MEDIASELECT: return 0xB5;
    case SDL_SCANCODE_AC_BACK: return 0xA6;
    case SDL_SCANCODE_AC_FORWARD: return 0xA7;
    case SDL_SCANCODE_AC_REFRESH: return 0xA8;
    case SDL_SCANCODE_AC_STOP: return 0xA9;
    case SDL_SCANCODE_AC_SEARCH: return 0xAA;
    case SDL_SCANCODE_AC_BOOKMARKS: return 0xAB;
    case SDL_SCANCODE_AC_HOME: return 0xAC;
    case SDL_SCANCODE_SLEEP: return 0x5F;
    default: return 0;
    }
}

}  // namespace winapi
