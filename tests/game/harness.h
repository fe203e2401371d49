// A harness that runs the real game in-process, frame by frame: the window,
// Init, then Update and Draw per frame with scripted key states fed through
// the keyboard layer, and Uninit. The same script gives the same frames.
#pragma once

#include <windows.h>

#include <stdlib.h>

#include <initializer_list>
#include <string>
#include <vector>

// The keys a frame holds (DIK codes). Every other key is up in that frame.
typedef std::vector<BYTE> KeySet;

class GameHarness {
public:
    // How the game's frames are drawn: by the GL back end, pixels and all, or
    // by the null back end, which keeps every Direct3D result but draws
    // nothing (for tests of the game's logic).
    enum Drawing { kNoPixels, kPixels };
    // Creates the game window and runs Init in the run directory (assets),
    // with message boxes answered OK without a window. False when there is no
    // display, device or sound driver to run on.
    bool Start(Drawing drawing = kNoPixels, const char* runDirectory = GAME_RUN_DIR);
    // Runs Uninit and destroys the window.
    void Stop();
    // Ends the run as the program does: the window's close box (the quit box
    // answered OK), the message loop until WM_QUIT, then Uninit. Returns the
    // loop's exit code.
    int CloseAndFinish();
    HWND Window() const { return m_hWnd; }
    ~GameHarness();

    // Holds exactly these keys (all others up), as key events of the window,
    // and records them as this frame's keys. Frame() does this, then runs
    // Update and Draw; module tests call it and then the module's own update.
    void SetKeys(const KeySet& held);
    // One frame: the keys given are held, all others up; then Update and Draw.
    void Frame(const KeySet& held);
    void Frame(std::initializer_list<BYTE> held) { Frame(KeySet(held)); }
    // Several frames with the same keys.
    void Frames(int count, const KeySet& held);
    // A fresh press: one frame down, then one frame up.
    void Tap(BYTE key);

    // Every frame's keys since Start, for replaying.
    const std::vector<KeySet>& Script() const { return m_script; }
    // Drops the recorded script (long runs that replay nothing).
    void ForgetScript() { std::vector<KeySet>().swap(m_script); }
    int FrameCount() const { return (int)m_script.size(); }
    const std::string& RankingPath() const { return m_rankingPath; }

private:
    HWND m_hWnd = nullptr;
    bool m_running = false;
    std::vector<KeySet> m_script;
    KeySet m_held;
    std::string m_rankingPath;
};

// A scene's name for test messages: "title", "game1", ...
const char* SceneName(int scene);
