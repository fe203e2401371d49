// A window and a Direct3D 9 device of our layer for the D3DX tests that
// need real drawing. Without a display it asks SDL for the offscreen driver
// (a real GL context without a screen); where no device can be made at all,
// `device` stays null and `why` says why, so the test can skip.
#pragma once

#include <d3d9.h>
#include <windows.h>

#include <stdlib.h>

#include <string>

namespace realdevice {

inline LRESULT CALLBACK TestWndProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

struct Context {
    explicit Context(UINT width = 320, UINT height = 200) {
        if (!getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = TestWndProc;
            wc.lpszClassName = "D3DXTestWindow";
            registered = RegisterClassA(&wc) != 0;
        }
        hwnd = CreateWindowExA(0, "D3DXTestWindow", "d3dx test", WS_OVERLAPPEDWINDOW, 0, 0, static_cast<int>(width),
                               static_cast<int>(height), NULL, NULL, NULL, NULL);
        if (!hwnd) {
            why = "no window could be created";
            return;
        }
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!d3d) {
            why = "Direct3DCreate9 failed";
            return;
        }
        D3DPRESENT_PARAMETERS pp = {};
        pp.BackBufferWidth = width;
        pp.BackBufferHeight = height;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.hDeviceWindow = hwnd;
        pp.Windowed = TRUE;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                     &device)))
            device = NULL;
        if (!device) why = "no Direct3D device (no GL 3.3 context)";
    }
    ~Context() {
        if (device) device->Release();
        if (d3d) d3d->Release();
        if (hwnd) DestroyWindow(hwnd);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    HWND hwnd = NULL;
    IDirect3D9* d3d = NULL;
    IDirect3DDevice9* device = NULL;
    std::string why;
};

}  // namespace realdevice
