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
HRESULT WinapiTest_CreateDeviceForSdlWindow(SDL_Window* window, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* params,
                                            IDirect3DDevice9** device);

// ---- the null back end ----
// From the next device created on, in this process: on, every device uses the
// null back end (no GL context is needed, nothing is drawn; every Direct3D
// result, resource, lock, state and reference count stays as with the GL
// back end; Present succeeds; WinapiTest_ReadBackBuffer returns false).
// Off, devices use the GL back end unless WINAPI_D3D9_BACKEND=null is set in
// the environment, which chooses the null back end for the whole process.
// The game never calls this.
void D3D9Testing_UseNullBackend(bool on);

// True while a texture of this layer keeps a CPU copy of its levels (a
// managed texture's is dropped once the GL back end holds it, and read back
// at the next lock).
bool D3D9Testing_TextureHasCpuCopy(IDirect3DTexture9* texture);

// True when `device` draws with the null back end.
bool D3D9Testing_IsNullBackend(IDirect3DDevice9* device);

// The number of objects devices made that are still alive: every device
// itself, plus every vertex buffer, index buffer and texture (one each,
// however many references they hold, and including those only the device
// still holds while bound). Compare it across cycles to find leaks.
unsigned D3D9Testing_LiveObjectCount(void);

// What the null back end recorded of a draw: the call as made and the state
// it was made in. Pointers are not referenced: compare them, or use them
// while the caller still holds the objects.
struct D3D9TestingDraw {
    DWORD primitiveType;  // D3DPRIMITIVETYPE
    UINT primitiveCount;
    UINT vertexCount;  // vertices (or indices, for indexed draws) drawn
    bool indexed;
    DWORD fvf;
    uint64_t shaderKey;  // the fixed-function configuration
    bool lighting;       // vertices lit by the fixed-function lights
    bool textured;       // stage 0 samples its texture
    bool alphaBlend;
    bool zEnable;
    IDirect3DBaseTexture9* texture;  // bound at stage 0
    IDirect3DVertexBuffer9* stream;  // stream 0 (null for user-pointer draws)
    UINT streamOffset, stride;
    IDirect3DIndexBuffer9* indices;  // null for user-pointer draws
    INT baseVertex;
    UINT minIndex, numVertices, startIndex;  // as the indexed draw gave them
    UINT startVertex;                        // non-indexed draws
    std::vector<uint8_t> userVertices;       // a user-pointer draw's vertices as given (log only)
    DWORD renderStates[256];
    DWORD stage0[33];  // texture stage 0's states
};
// False when the device does not use the null back end or has drawn nothing.
// (The last draw's userVertices stay empty unless the log is on.)
bool D3D9Testing_LastDraw(IDirect3DDevice9* device, D3D9TestingDraw* out);

// On: the null back end keeps every draw from now on, in order, with a copy
// of user-pointer vertices. Off: the log is dropped and nothing is kept (so
// drawing allocates nothing). False for a device of the GL back end.
bool D3D9Testing_RecordDraws(IDirect3DDevice9* device, bool on);
// The draws kept since recording began (empty when it is off).
std::vector<D3D9TestingDraw> D3D9Testing_DrawLog(IDirect3DDevice9* device);

// While on, the device's Create* call for resources of `type`
// (D3DRTYPE_VERTEXBUFFER, D3DRTYPE_INDEXBUFFER or D3DRTYPE_TEXTURE) fails with
// D3DERR_OUTOFVIDEOMEMORY, as on a device out of memory.
void D3D9Testing_FailCreation(IDirect3DDevice9* device, D3DRESOURCETYPE type, bool on);

// Texture contents of `device` queued or being prepared on its background
// thread (a device that draws nothing has none).
size_t D3D9Testing_ContentsJobsPending(IDirect3DDevice9* device);

// Turns the GL back end's pixel-preserving shortcuts off or back on,
// process-wide, from the next draw. For read-back tests that draw the same
// frame both ways; the game never calls this.
void D3D9Testing_AllowDrawShortcuts(bool on);
enum D3D9TestingShortcut {
    D3D9TESTING_NEAREST = 0,      // nearest sampling: a pretransformed draw maps texels one to one on pixels
    D3D9TESTING_NO_BLEND = 1,     // blending left off: SRCALPHA/INVSRCALPHA with source alpha exactly one
    D3D9TESTING_PREFIX_KEPT = 2,  // a frame's first draws, the same as the last frames', copied back
    D3D9TESTING_SAMPLED_COPY = 3  // a large picture drawn again read from its filtered copy
};
// Draws, in this process so far, that took that shortcut (frames, for the kept prefix).
uint64_t D3D9Testing_ShortcutDrawCount(D3D9TestingShortcut shortcut);

// On: from the next call, process-wide, Draw*Primitive*, Clear and Present
// are checked and return as usual and every state set stays set, but nothing
// is drawn, cleared or shown (nor counted as drawn). For tests that run many
// frames only to reach the ones they read back; the game never calls this.
void D3D9Testing_SkipRasterization(bool on);
