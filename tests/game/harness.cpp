// The in-process game harness (see harness.h).
#include "harness.h"

#include "app/main.h"
#include "app/scene.h"
#include "d3d9_testing.h"
#include "device/keyboard.h"
#include "game_window.h"
#include "ui2d/result.h"
#include "ui2d/result_testing.h"
#include "winapi_testing.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

const char* SceneName(int scene) {
    switch (scene) {
    case SCENE_TITLE: return "title";
    case SCENE_GAME1: return "game1";
    case SCENE_GAME2: return "game2";
    case SCENE_RESULT: return "result";
    default: return "?";
    }
}

bool GameHarness::Start(Drawing drawing, const char* runDirectory) {
    // The game reads model/, asset/texture/ and SE/ from the working directory.
    if (chdir(runDirectory) != 0) return false;

    char rankingTemplate[] = "/tmp/tideangler-ranking-XXXXXX";
    const int fd = mkstemp(rankingTemplate);
    if (fd < 0) return false;
    close(fd);
    unlink(rankingTemplate);
    m_rankingPath = rankingTemplate;
    SetRankingPath(m_rankingPath.c_str());

    WinapiTest_InstallMessageBoxHook(IDOK);
    WinapiTest_ClearMessageBoxes();
    WinapiTest_ReleaseAllKeys();
    WinapiTest_ForceKeyboardFocus(true, true);

    // The game's own window class and window, as WinMain makes them.
    HINSTANCE instance = (HINSTANCE)1;
    m_hWnd = testsupport::OpenGameWindow(instance);
    if (!m_hWnd) return false;
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
    D3D9Testing_UseNullBackend(drawing == kNoPixels);
    const bool started = Init(instance, m_hWnd);
    D3D9Testing_UseNullBackend(false);
    if (!started) {
        DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
        return false;
    }
    // The game plays on without a sound engine, but then nothing a test hears
    // is checked: no sound driver counts as no device (a failure in CI).
    for (const WinapiMessageBoxRecord& box : WinapiTest_MessageBoxes()) {
        if (box.text == "XAudio2オブジェクトの作成に失敗！" || box.text == "マスターボイスの生成に失敗！") {
            m_running = true;
            Stop();
            return false;
        }
    }
    m_running = true;
    m_script.clear();
    m_held.clear();
    return true;
}

void GameHarness::Stop() {
    if (m_running) {
        Uninit();
        m_running = false;
    }
    testsupport::CloseGameWindow(m_hWnd);
    m_hWnd = nullptr;
    WinapiTest_ReleaseAllKeys();
    WinapiTest_ForceKeyboardFocus(false, false);
    WinapiTest_RemoveMessageBoxHook();
    if (!m_rankingPath.empty()) unlink(m_rankingPath.c_str());
}

int GameHarness::CloseAndFinish() {
    WinapiTest_InstallMessageBoxHook(IDOK);
    if (m_hWnd) PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    const int code = RunMessageLoop();
    m_hWnd = nullptr;  // destroyed by the close
    if (m_running) {
        Uninit();
        m_running = false;
    }
    return code;
}

GameHarness::~GameHarness() { Stop(); }

void GameHarness::SetKeys(const KeySet& held) {
    for (BYTE key : m_held) {
        if (std::find(held.begin(), held.end(), key) == held.end()) WinapiTest_SetKey(key, false);
    }
    for (BYTE key : held) WinapiTest_SetKey(key, true);
    m_held = held;
    m_script.push_back(held);
}

void GameHarness::Frame(const KeySet& held) {
    SetKeys(held);
    Update();
    Draw();
}

void GameHarness::Frames(int count, const KeySet& held) {
    for (int i = 0; i < count; i++) Frame(held);
}

void GameHarness::Tap(BYTE key) {
    Frame({key});
    Frame({});
}
