// Test hooks of the Direct3D 9 layer.
#pragma once

#include <d3d9.h>
#include <stdint.h>

#include <vector>

struct SDL_Window;

// Reads back pixels of the device's back buffer as drawn so far in this frame
// (call before Present): rectangle (x, y, w, h) in Direct3D's top-left origin,
// into `out` as 0xAARRGGBB, row by row from the top. False without a device.
bool WinapiTest_ReadBackBuffer(IDirect3DDevice9* device, int x, int y, int w, int h, uint32_t* out);

// Number of Draw*Primitive* calls the device has carried out since it was created.
uint64_t WinapiTest_DrawCallCount(IDirect3DDevice9* device);

// One draw call as the device carried it out: the primitive type and count,
// the texture bound to stage 0 (null for none) and the FVF.
struct WinapiDrawRecord {
    D3DPRIMITIVETYPE type;
    UINT primitives;
    IDirect3DBaseTexture9* texture;
    DWORD fvf;
};
// Starts (on = true, clearing what was recorded) or stops recording the
// device's draw calls; the record is read with WinapiTest_RecordedDraws.
void WinapiTest_RecordDraws(IDirect3DDevice9* device, bool on);
std::vector<WinapiDrawRecord> WinapiTest_RecordedDraws(IDirect3DDevice9* device);

// Bytes of vertex and index data the device has handed to GL since it was
// created (buffer uploads, repacks and streamed draws).
uint64_t WinapiTest_BufferUploadBytes(IDirect3DDevice9* device);

// Creates a device directly on an SDL window made with SDL_WINDOW_OPENGL, with
// the same checks and results as IDirect3D9::CreateDevice (which goes through
// a window handle of the Win32 layer).
HRESULT WinapiTest_CreateDeviceForSdlWindow(SDL_Window* window, DWORD behaviorFlags,
                                            D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device);
