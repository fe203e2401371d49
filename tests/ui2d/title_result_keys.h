// A game window with the keyboard on it, for the title and result tests that
// press real keys: each Frame holds exactly the given keys and reads the
// keyboard once, as the start of a game frame does.
#pragma once

#include <stdlib.h>

#include <initializer_list>
#include <vector>

#include "app/main.h"
#include "device/keyboard.h"
#include "test_device.h"
#include "winapi_testing.h"

class SceneKeyboard {
public:
    // False when no window can be made (no display and no offscreen driver).
    bool Open() {
        testsupport::UseHeadlessDrivers();
        HINSTANCE instance = (HINSTANCE)1;
        RegisterGameWindowClass(instance);  // fails harmlessly when already registered
        m_hWnd = CreateGameWindow(instance);
        if (!m_hWnd) return false;
        WinapiTest_ForceKeyboardFocus(true, true);
        WinapiTest_ReleaseAllKeys();
        if (!InitKeyboard(instance, m_hWnd)) return false;
        UpdateKeyboard();
        return true;
    }
    ~SceneKeyboard() {
        UninitKeyboard();
        WinapiTest_ReleaseAllKeys();
        WinapiTest_ForceKeyboardFocus(false, false);
        if (m_hWnd) {
            DestroyWindow(m_hWnd);
            WinapiTest_DrainMessages();
        }
    }
    void Frame(std::initializer_list<BYTE> held) {
        WinapiTest_ReleaseAllKeys();
        for (BYTE key : held) WinapiTest_SetKey(key, true);
        UpdateKeyboard();
    }

private:
    HWND m_hWnd = nullptr;
};
