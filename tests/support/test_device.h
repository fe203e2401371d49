// The one window-and-device set-up of the tests: a window made through our
// Win32 layer and a Direct3D device on it, drawing with the GL back end
// (pixels to read back) or the null one (every Direct3D result, no pixels).
// Tests that only need Direct3D's behaviour use the null back end.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <string>

namespace testsupport {

enum class Drawing { kNoPixels, kPixels };

// Points SDL at the offscreen video driver and the dummy audio driver when
// nothing else is chosen, so tests run without a display or sound card.
void UseHeadlessDrivers();

// A shown window whose client area is width x height, made with a class of
// DefWindowProcA; null (with the reason in *why) when none can be made.
HWND MakeTestWindow(int width, int height, std::string* why = nullptr);

// A hidden window of that same class, as CreateWindowExA makes it with no
// parent, menu or instance; null when none can be made.
HWND MakePlainWindow(const char* title, DWORD style, int x, int y, int width, int height);

// Windowed presentation parameters with a D16 depth buffer and no vsync.
D3DPRESENT_PARAMETERS TestParams(UINT width, UINT height);

// A window and a device on it. Close (or the destructor) releases both.
class TestDevice {
public:
    ~TestDevice() { Close(); }
    // False with Why() set when either cannot be made. `params` (may be
    // null: TestParams of the window's size) is handed to CreateDevice.
    bool Open(int width, int height, Drawing drawing, D3DPRESENT_PARAMETERS* params = nullptr);
    void Close();
    HWND Window() const { return m_hwnd; }
    IDirect3D9* Direct3D() const { return m_d3d; }
    IDirect3DDevice9* Device() const { return m_device; }
    // Gives up the caller's reference: Close will not release the device.
    void ForgetDevice() { m_device = nullptr; }
    // Hands window, factory and device over to the caller, who frees them.
    void Detach() { m_hwnd = nullptr, m_d3d = nullptr, m_device = nullptr; }
    const std::string& Why() const { return m_why; }

private:
    HWND m_hwnd = nullptr;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    std::string m_why;
};

}  // namespace testsupport
