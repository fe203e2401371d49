// The game's own window for the tests that need it, made as WinMain makes it
// (the game's window class, registered once per process, with the headless
// drivers chosen when nothing else is), and that window with the game's
// keyboard on it.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace testsupport {

// The game window, not yet shown; null when none can be made (no display and
// no offscreen driver).
HWND OpenGameWindow(HINSTANCE instance = (HINSTANCE)1);

// Destroys a window from OpenGameWindow (null does nothing) and delivers the
// messages that posts, so the next test starts with an empty queue.
void CloseGameWindow(HWND window);

// A game window with the keyboard on it, in the foreground with every key up.
// Message boxes raised while it opens are answered OK without showing.
class GameKeyboard {
public:
    ~GameKeyboard() { Close(); }
    // False when no window or keyboard device can be made here.
    bool Open(HINSTANCE instance = (HINSTANCE)1);
    // Releases the keyboard, every key and the window; the window loses the focus.
    void Close();
    HWND Window() const { return m_hWnd; }
    // Back in the foreground with every key up, read once: a test's fresh start.
    void Reset();
    // One game frame's read with exactly the given keys held.
    void Frame(std::initializer_list<BYTE> held);

private:
    HWND m_hWnd = nullptr;
    bool m_keyboard = false;
};

}  // namespace testsupport
