// The scripted keyboard of scripted_keyboard.h: every function of
// device/keyboard.h, so the linker takes these and never the DirectInput
// module from the game's library (a new function there must be added here).
// UpdateKeyboard derives the went-down and went-up keys from the held ones
// exactly as the game's module does from a DirectInput read.
//
// State: the held keys as set, and the three arrays of the latest update
// (held, went down, went up), for the process's lifetime; main thread only.
#include "scripted_keyboard.h"

#include "device/keyboard.h"

static BYTE g_scripted[NUM_KEY_MAX] = {0};
static BYTE g_keyState[NUM_KEY_MAX] = {0};
static BYTE g_keyStateTrigger[NUM_KEY_MAX] = {0};
static BYTE g_keyStateRelease[NUM_KEY_MAX] = {0};

static bool IsValidKey(int key) { return key >= 0 && key < NUM_KEY_MAX; }

void ScriptedKeyboard_Set(int key, bool down) {
    if (IsValidKey(key)) g_scripted[key] = down ? 0x80 : 0;
}

void ScriptedKeyboard_ReleaseAll(void) {
    for (int key = 0; key < NUM_KEY_MAX; key++) g_scripted[key] = 0;
}

bool InitInput(HINSTANCE) { return true; }
void UninitInput(void) {}
bool InitKeyboard(HINSTANCE, HWND) { return true; }
void UninitKeyboard(void) {}

void UpdateKeyboard(void) {
    for (int key = 0; key < NUM_KEY_MAX; key++) {
        BYTE changed = (BYTE)(g_keyState[key] ^ g_scripted[key]);
        g_keyStateTrigger[key] = (BYTE)(changed & g_scripted[key]);
        g_keyStateRelease[key] = (BYTE)(changed & g_keyState[key]);
        g_keyState[key] = g_scripted[key];
    }
}

bool GetKeyboardPress(int key) { return IsValidKey(key) && (g_keyState[key] & 0x80) != 0; }
bool GetKeyboardTrigger(int key) { return IsValidKey(key) && (g_keyStateTrigger[key] & 0x80) != 0; }
bool GetKeyboardRelease(int key) { return IsValidKey(key) && (g_keyStateRelease[key] & 0x80) != 0; }
