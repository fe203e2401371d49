// The tests' window-and-device set-up (see test_device.h). No state of its
// own beyond each TestDevice's window, factory and device.
#include "test_device.h"

#include <d3d9_testing.h>
#include <winapi_testing.h>

#include <stdlib.h>

namespace testsupport {

void UseHeadlessDrivers() {
    if (!getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY") && !getenv("SDL_VIDEODRIVER"))
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (!getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
}

HWND MakePlainWindow(const char* title, DWORD style, int x, int y, int width, int height) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc;
        ZeroMemory(&wc, sizeof wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "TestWindow";
        registered = RegisterClassA(&wc) != 0;
    }
    return CreateWindowExA(0, "TestWindow", title, style, x, y, width, height, nullptr, nullptr, nullptr, nullptr);
}

HWND MakeTestWindow(int width, int height, std::string* why) {
    UseHeadlessDrivers();
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    RECT r = {0, 0, width, height};
    AdjustWindowRect(&r, style, FALSE);
    HWND hwnd = MakePlainWindow("test", style, 0, 0, r.right - r.left, r.bottom - r.top);
    if (hwnd)
        ShowWindow(hwnd, SW_SHOW);
    else if (why)
        *why = "no window can be opened here";
    return hwnd;
}

D3DPRESENT_PARAMETERS TestParams(UINT width, UINT height) {
    D3DPRESENT_PARAMETERS pp;
    ZeroMemory(&pp, sizeof pp);
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_UNKNOWN;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

bool TestDevice::Open(int width, int height, Drawing drawing, D3DPRESENT_PARAMETERS* params) {
    Close();
    m_hwnd = MakeTestWindow(width, height, &m_why);
    if (!m_hwnd) return false;
    m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!m_d3d) {
        m_why = "Direct3DCreate9 failed";
        return false;
    }
    D3DPRESENT_PARAMETERS def = TestParams((UINT)width, (UINT)height);
    D3D9Testing_UseNullBackend(drawing == Drawing::kNoPixels);
    const HRESULT hr = m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_hwnd,
                                           D3DCREATE_HARDWARE_VERTEXPROCESSING, params ? params : &def, &m_device);
    D3D9Testing_UseNullBackend(false);
    if (FAILED(hr) || !m_device) {
        m_device = nullptr;
        m_why = drawing == Drawing::kPixels ? "no OpenGL 3.3 device can be made here" : "CreateDevice failed";
        return false;
    }
    return true;
}

void TestDevice::Close() {
    if (m_device) m_device->Release();
    if (m_d3d) m_d3d->Release();
    if (m_hwnd) DestroyWindow(m_hwnd);
    if (m_device || m_d3d || m_hwnd) WinapiTest_DrainMessages();
    m_device = nullptr;
    m_d3d = nullptr;
    m_hwnd = nullptr;
}

}  // namespace testsupport
