// The game-window set-up of the tests (see game_window.h). State: whether the
// game's window class is registered, for the life of the test process, and
// each GameKeyboard's window.
#include "game_window.h"

#include <winapi_testing.h>

#include "app/main.h"
#include "device/keyboard.h"
#include "test_device.h"

namespace testsupport {

HWND OpenGameWindow(HINSTANCE instance) {
    static bool registered = false;
    UseHeadlessDrivers();
    if (!registered) registered = RegisterGameWindowClass(instance) != FALSE;
    return CreateGameWindow(instance);
}

void CloseGameWindow(HWND window) {
    if (!window) return;
    DestroyWindow(window);
    WinapiTest_DrainMessages();
}

bool GameKeyboard::Open(HINSTANCE instance) {
    Close();
    WinapiTest_InstallMessageBoxHook(IDOK);
    m_hWnd = OpenGameWindow(instance);
    if (!m_hWnd) {
        WinapiTest_RemoveMessageBoxHook();
        return false;
    }
    WinapiTest_ForceKeyboardFocus(true, true);
    WinapiTest_ReleaseAllKeys();
    m_keyboard = InitKeyboard(instance, m_hWnd);
    WinapiTest_RemoveMessageBoxHook();
    if (m_keyboard) UpdateKeyboard();
    return m_keyboard;
}

void GameKeyboard::Close() {
    if (!m_hWnd) return;
    if (m_keyboard) UninitKeyboard();
    m_keyboard = false;
    WinapiTest_ReleaseAllKeys();
    WinapiTest_ForceKeyboardFocus(false, false);
    CloseGameWindow(m_hWnd);
    m_hWnd = nullptr;
}

void GameKeyboard::Reset() {
    WinapiTest_ForceKeyboardFocus(true, true);
    WinapiTest_ReleaseAllKeys();
    UpdateKeyboard();
}

void GameKeyboard::Frame(std::initializer_list<BYTE> held) {
    WinapiTest_ReleaseAllKeys();
    for (BYTE key : held) WinapiTest_SetKey(key, true);
    UpdateKeyboard();
}

}  // namespace testsupport
