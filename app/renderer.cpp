// Renderer: the Direct3D object and the one Direct3D device of the program,
// created for the game window with the states that all drawing shares (alpha
// blending with source alpha, linear filtering on stage 0).
//
// State: the Direct3D object and the device, null until created and after
// release. The device is handed out by GetDevice without a reference.
//
// Lifetime: InitRenderer first of all modules at start-up, UninitRenderer last
// at shutdown, after everything made from the device is released. Main thread only.
#include "app/renderer.h"

#include <windows.h>

#include "app/main.h"

static LPDIRECT3D9 g_d3d = NULL;
static LPDIRECT3DDEVICE9 g_device = NULL;

bool InitRenderer(HWND hWnd) {
    g_d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (g_d3d == NULL) {
        MessageBoxA(hWnd, "Direct3Dインターフェースの作成に失敗しました", "エラー", MB_OK);
        return false;
    }

    D3DPRESENT_PARAMETERS params;
    ZeroMemory(&params, sizeof(params));
    params.BackBufferWidth = SCREEN_WIDTH;
    params.BackBufferHeight = SCREEN_HEIGHT;
    params.BackBufferFormat = D3DFMT_UNKNOWN;
    params.BackBufferCount = 1;
    params.MultiSampleType = D3DMULTISAMPLE_NONE;
    params.MultiSampleQuality = 0;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = NULL;
    params.Windowed = TRUE;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    params.Flags = 0;
    params.FullScreen_RefreshRateInHz = 0;
    params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;

    if (FAILED(g_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hWnd, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                   &params, &g_device))) {
        g_device = NULL;
        MessageBoxA(hWnd, "Direct3Dデバイスの作成に失敗しました", "エラー", MB_OK);
        return false;
    }

    g_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    g_device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    g_device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);

    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    return true;
}

void UninitRenderer(void) {
    if (g_device != NULL) {
        g_device->Release();
        g_device = NULL;
    }
    if (g_d3d != NULL) {
        g_d3d->Release();
        g_d3d = NULL;
    }
}

LPDIRECT3DDEVICE9 GetDevice(void) { return g_device; }
