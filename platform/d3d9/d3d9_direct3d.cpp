// Direct3DCreate9 and the IDirect3D9 factory: adapter queries and device
// creation on a window made by our Win32 layer. The object has no state but
// its reference count; it lives until its last Release (devices hold one).
#include "common/winapi_internal.h"
#include "d3d9_private.h"

#include <SDL.h>
#include <new>
#include <stdio.h>

namespace d3d9 {

UINT Direct3D9::GetAdapterCount() {
    if (!winapi::EnsureVideo()) return 0;
    const int n = SDL_GetNumVideoDisplays();
    return n > 0 ? (UINT)n : 0;
}

HRESULT Direct3D9::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
    if (!pMode || Adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode((int)Adapter, &mode) != 0) {
        fprintf(stderr, "d3d9: GetAdapterDisplayMode: %s\n", SDL_GetError());
        return D3DERR_NOTAVAILABLE;
    }
    pMode->Width = (UINT)mode.w;
    pMode->Height = (UINT)mode.h;
    pMode->RefreshRate = (UINT)mode.refresh_rate;
    pMode->Format = D3DFMT_X8R8G8B8;
    return D3D_OK;
}

HRESULT Direct3D9::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                D3DPRESENT_PARAMETERS* pPresentationParameters,
                                IDirect3DDevice9** ppReturnedDeviceInterface) {
    if (!ppReturnedDeviceInterface) return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = nullptr;
    if (Adapter != D3DADAPTER_DEFAULT) {
        fprintf(stderr, "d3d9: CreateDevice: only the default adapter exists\n");
        return D3DERR_INVALIDCALL;
    }
    if (DeviceType != D3DDEVTYPE_HAL) {
        fprintf(stderr, "d3d9: CreateDevice: only HAL devices are available\n");
        return D3DERR_NOTAVAILABLE;
    }
    if (!pPresentationParameters) return D3DERR_INVALIDCALL;
    HWND hwnd = pPresentationParameters->hDeviceWindow ? pPresentationParameters->hDeviceWindow : hFocusWindow;
    SDL_Window* window = hwnd ? winapi::SdlWindowFromHwnd(hwnd) : nullptr;
    if (!window) {
        fprintf(stderr, "d3d9: CreateDevice: %s\n", hwnd ? "the window handle names no window" : "no window given");
        return D3DERR_INVALIDCALL;
    }
    return CreateDeviceOnWindow(this, window, BehaviorFlags, pPresentationParameters, ppReturnedDeviceInterface);
}

}  // namespace d3d9

extern "C" IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion) {
    if (SDKVersion != D3D_SDK_VERSION) return nullptr;
    return new (std::nothrow) d3d9::Direct3D9();
}
