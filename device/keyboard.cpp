// Keyboard input: the whole keyboard read once per frame through DirectInput 8
// in immediate mode, and per key whether it is held, went down this frame or
// went up this frame.
//
// State: the DirectInput object and the keyboard device (null until created and
// after release), and three 256-byte arrays indexed by DirectInput key code: the
// states of the latest successful read (bit 0x80 = down), the keys that went
// down with that read and the keys that went up with it. A failed read (window
// in the background, device lost) leaves all three as they were.
//
// Lifetime: InitKeyboard second at start-up, UpdateKeyboard first in every
// frame, UninitKeyboard at shutdown. Main thread only; nothing is allocated per frame.
#include "device/keyboard.h"

static LPDIRECTINPUT8 g_input = NULL;
static LPDIRECTINPUTDEVICE8 g_keyboard = NULL;
static BYTE g_keyState[NUM_KEY_MAX] = {0};
static BYTE g_keyStateTrigger[NUM_KEY_MAX] = {0};
static BYTE g_keyStateRelease[NUM_KEY_MAX] = {0};

bool InitInput(HINSTANCE hInstance) {
    if (g_input != NULL) {
        return true;
    }
    HRESULT hr = DirectInput8Create(hInstance, DIRECTINPUT_VERSION, IID_IDirectInput8A, (void**)&g_input, NULL);
    if (FAILED(hr)) {
        g_input = NULL;
        return false;
    }
    return true;
}

void UninitInput(void) {
    if (g_input != NULL) {
        g_input->Release();
        g_input = NULL;
    }
}

// Creates and acquires the system keyboard for the window; each failing step
// shows its own warning and returns false.
bool InitKeyboard(HINSTANCE hInstance, HWND hWnd) {
    if (!InitInput(hInstance)) {
        MessageBoxA(hWnd, "DirectInputオブジェクトが作れねぇ！", "警告！", MB_ICONWARNING);
        return false;
    }
    if (FAILED(g_input->CreateDevice(GUID_SysKeyboard, &g_keyboard, NULL))) {
        g_keyboard = NULL;
        MessageBoxA(hWnd, "キーボードがねぇ！", "警告！", MB_ICONWARNING);
        return false;
    }
    if (FAILED(g_keyboard->SetDataFormat(&c_dfDIKeyboard))) {
        MessageBoxA(hWnd, "キーボードのデータフォーマットを設定できませんでした。", "警告！", MB_ICONWARNING);
        return false;
    }
    if (FAILED(g_keyboard->SetCooperativeLevel(hWnd, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE))) {
        MessageBoxA(hWnd, "キーボードの協調モードを設定できませんでした。", "警告！", MB_ICONWARNING);
        return false;
    }
    // A failed acquire is retried by the first read.
    g_keyboard->Acquire();
    return true;
}

void UninitKeyboard(void) {
    if (g_keyboard != NULL) {
        g_keyboard->Unacquire();
        g_keyboard->Release();
        g_keyboard = NULL;
    }
    UninitInput();
}

// Reads the keyboard and derives this frame's went-down and went-up keys.
void UpdateKeyboard(void) {
    if (g_keyboard == NULL) {
        return;
    }
    BYTE keyState[NUM_KEY_MAX];
    if (FAILED(g_keyboard->GetDeviceState(sizeof(keyState), keyState))) {
        g_keyboard->Acquire();
        return;
    }
    for (int key = 0; key < NUM_KEY_MAX; key++) {
        BYTE changed = (BYTE)(g_keyState[key] ^ keyState[key]);
        g_keyStateTrigger[key] = (BYTE)(changed & keyState[key]);
        g_keyStateRelease[key] = (BYTE)(changed & g_keyState[key]);
        g_keyState[key] = keyState[key];
    }
}

// A key code outside 0..255 is no key: every query answers false for it.
static bool IsValidKey(int key) { return key >= 0 && key < NUM_KEY_MAX; }

bool GetKeyboardPress(int key) { return IsValidKey(key) && (g_keyState[key] & 0x80) != 0; }

bool GetKeyboardTrigger(int key) { return IsValidKey(key) && (g_keyStateTrigger[key] & 0x80) != 0; }

bool GetKeyboardRelease(int key) { return IsValidKey(key) && (g_keyStateRelease[key] & 0x80) != 0; }
