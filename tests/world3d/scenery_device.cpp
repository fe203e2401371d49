// Shared set-up for the scenery tests (see scenery_device.h).
#include "scenery_device.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "app/main.h"
#include "app/renderer.h"
#include "ci_skip.h"
#include "device/keyboard.h"
#include "test_device.h"
#include "winapi_testing.h"

namespace {

HWND g_window = nullptr;
bool g_tried = false;
bool g_keyboardTried = false;
bool g_keyboardReady = false;

}  // namespace

bool EnsureSceneryDevice() {
    if (g_tried) {
        return GetDevice() != nullptr;
    }
    g_tried = true;
    testsupport::UseHeadlessDrivers();
    WinapiTest_InstallMessageBoxHook(IDOK);
    g_window = testsupport::MakeTestWindow(SCREEN_WIDTH, SCREEN_HEIGHT);
    if (g_window == nullptr) {
        fprintf(stderr, "scenery tests: no window could be made\n");
        return false;
    }
    if (!InitRenderer(g_window)) {
        fprintf(stderr, "scenery tests: no Direct3D device could be made\n");
        return false;
    }
    WinapiTest_ClearMessageBoxes();
    return true;
}

HWND SceneryWindow() { return g_window; }

bool EnsureSceneryKeyboard() {
    if (!EnsureSceneryDevice()) {
        return false;
    }
    if (!g_keyboardTried) {
        g_keyboardTried = true;
        WinapiTest_ForceKeyboardFocus(true, true);
        g_keyboardReady = InitKeyboard((HINSTANCE)1, g_window);
        WinapiTest_ClearMessageBoxes();
    }
    return g_keyboardReady;
}

void SceneryDeviceTest::SetUp() {
    if (!EnsureSceneryDevice()) {
        SKIP_OR_FAIL_IN_CI() << "no Direct3D device can be made here";
    }
    WinapiTest_ClearMessageBoxes();
}

LPDIRECT3DDEVICE9 SceneryDeviceTest::Device() const { return GetDevice(); }

void BeginTestFrame(D3DCOLOR clearColor) {
    GetDevice()->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clearColor, 1.0f, 0);
    GetDevice()->BeginScene();
}

void EndTestFrame() { GetDevice()->EndScene(); }

uint32_t ReadPixel(int x, int y) {
    uint32_t pixel = 0;
    EXPECT_TRUE(WinapiTest_ReadBackBuffer(GetDevice(), x, y, 1, 1, &pixel));
    return pixel;
}

bool ProjectToScreen(const D3DXVECTOR3& world, const D3DXMATRIX& view, const D3DXMATRIX& projection, int* x, int* y) {
    D3DXMATRIX viewProjection = view * projection;
    const float cx =
        world.x * viewProjection._11 + world.y * viewProjection._21 + world.z * viewProjection._31 + viewProjection._41;
    const float cy =
        world.x * viewProjection._12 + world.y * viewProjection._22 + world.z * viewProjection._32 + viewProjection._42;
    const float cw =
        world.x * viewProjection._14 + world.y * viewProjection._24 + world.z * viewProjection._34 + viewProjection._44;
    if (cw <= 0.0f) {
        return false;
    }
    *x = (int)((cx / cw * 0.5f + 0.5f) * SCREEN_WIDTH);
    *y = (int)((0.5f - cy / cw * 0.5f) * SCREEN_HEIGHT);
    return true;
}

namespace {
std::string g_startDirectory;
}

std::string EnterTempWorkingDirectory() {
    if (g_startDirectory.empty()) {
        g_startDirectory = std::filesystem::current_path().string();
    }
    char dir[] = "/tmp/scenery-test-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        ADD_FAILURE() << "no temporary directory";
        return std::string();
    }
    if (chdir(dir) != 0) {
        ADD_FAILURE() << "cannot enter " << dir;
    }
    return dir;
}

void RemoveTempWorkingDirectory(const std::string& dir) {
    if (dir.empty()) {
        return;
    }
    if (!g_startDirectory.empty() && chdir(g_startDirectory.c_str()) != 0) {
        ADD_FAILURE() << "cannot go back to " << g_startDirectory;
    }
    std::error_code error;
    std::filesystem::remove_all(dir, error);
}

void WriteTextFile(const std::string& path, const std::string& text) {
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}
