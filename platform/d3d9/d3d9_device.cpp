// Device creation and the choice of back end, lifetime, Clear, Present,
// back-buffer read-back and resource creation. The state calls are in
// d3d9_state.cpp, the draw calls in d3d9_draw.cpp.
#include "d3d9_device.h"
#include "d3d9_contents.h"

#include <SDL.h>
#include <new>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace d3d9 {

namespace {

unsigned g_liveObjects = 0;
bool g_nullChosen = false;

}  // namespace

void WarnOnce(bool* flag, const char* message) {
    if (*flag) return;
    *flag = true;
    fprintf(stderr, "d3d9: %s\n", message);
}

void CountObjectMade() { ++g_liveObjects; }
void CountObjectGone() { --g_liveObjects; }
unsigned LiveObjects() { return g_liveObjects; }

void ChooseNullBackend(bool on) { g_nullChosen = on; }

namespace {
bool g_shortcutsAllowed = true;
bool g_skipRasterization = false;
uint64_t g_shortcutDraws[kShortcutKinds] = {};
}  // namespace
bool DrawShortcutsAllowed() { return g_shortcutsAllowed; }
void AllowDrawShortcuts(bool on) { g_shortcutsAllowed = on; }
void CountShortcutDraw(int shortcut) {
    if (shortcut >= 0 && shortcut < kShortcutKinds) ++g_shortcutDraws[shortcut];
}
uint64_t ShortcutDraws(int shortcut) {
    return shortcut >= 0 && shortcut < kShortcutKinds ? g_shortcutDraws[shortcut] : 0;
}
bool RasterizationSkipped() { return g_skipRasterization; }
void SkipRasterization(bool on) { g_skipRasterization = on; }

bool NullBackendChosen() {
    if (g_nullChosen) return true;
    const char* env = getenv("WINAPI_D3D9_BACKEND");
    return env && strcmp(env, "null") == 0;
}

// ---------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------

HRESULT CreateDeviceOnWindow(IDirect3D9* parent, SDL_Window* window, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* pp,
                             IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!pp) {
        fprintf(stderr, "d3d9: CreateDevice: no presentation parameters\n");
        return D3DERR_INVALIDCALL;
    }
    if (!window) {
        fprintf(stderr, "d3d9: CreateDevice: the window handle names no window\n");
        return D3DERR_INVALIDCALL;
    }
    const DWORD vp = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                      D3DCREATE_MIXED_VERTEXPROCESSING);
    if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        vp != D3DCREATE_MIXED_VERTEXPROCESSING) {
        fprintf(stderr, "d3d9: CreateDevice: behaviour flags 0x%x need exactly one vertex processing mode\n",
                (unsigned)behaviorFlags);
        return D3DERR_INVALIDCALL;
    }
    if (!pp->Windowed) {
        fprintf(stderr, "d3d9: CreateDevice: full-screen devices are not supported, only windowed ones\n");
        return D3DERR_NOTAVAILABLE;
    }
    if (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0 || pp->BackBufferWidth > 16384 ||
        pp->BackBufferHeight > 16384) {
        fprintf(stderr, "d3d9: CreateDevice: unusable back buffer size %ux%u\n", pp->BackBufferWidth,
                pp->BackBufferHeight);
        return D3DERR_INVALIDCALL;
    }
    if (pp->BackBufferFormat != D3DFMT_UNKNOWN && pp->BackBufferFormat != D3DFMT_X8R8G8B8 &&
        pp->BackBufferFormat != D3DFMT_A8R8G8B8) {
        fprintf(stderr, "d3d9: CreateDevice: back buffer format %d is not supported\n", (int)pp->BackBufferFormat);
        return D3DERR_NOTAVAILABLE;
    }
    if (pp->BackBufferCount > 3) {
        fprintf(stderr, "d3d9: CreateDevice: %u back buffers requested, at most 3 exist\n", pp->BackBufferCount);
        return D3DERR_INVALIDCALL;
    }
    if (pp->MultiSampleType != D3DMULTISAMPLE_NONE) {
        fprintf(stderr, "d3d9: CreateDevice: multisampling is not supported\n");
        return D3DERR_NOTAVAILABLE;
    }
    if (pp->SwapEffect != D3DSWAPEFFECT_DISCARD && pp->SwapEffect != D3DSWAPEFFECT_FLIP &&
        pp->SwapEffect != D3DSWAPEFFECT_COPY) {
        fprintf(stderr, "d3d9: CreateDevice: invalid swap effect %d\n", (int)pp->SwapEffect);
        return D3DERR_INVALIDCALL;
    }
    if (pp->EnableAutoDepthStencil) {
        const D3DFORMAT f = pp->AutoDepthStencilFormat;
        if (f != D3DFMT_D16 && f != D3DFMT_D24S8 && f != D3DFMT_D24X8 && f != D3DFMT_D32) {
            fprintf(stderr, "d3d9: CreateDevice: depth format %d is not supported\n", (int)f);
            return D3DERR_INVALIDCALL;
        }
    }

    HRESULT hr = D3D_OK;
    Backend* backend = NullBackendChosen() ? CreateNullBackend() : CreateGLBackend(window, *pp, &hr);
    if (!backend) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    Device* device = new (std::nothrow) Device(parent, window, backend, *pp);
    if (!device) {
        delete backend;
        return E_OUTOFMEMORY;
    }
    backend->Started(device);
    device->ResetCounters();
    if (pp->BackBufferFormat == D3DFMT_UNKNOWN) pp->BackBufferFormat = D3DFMT_X8R8G8B8;
    if (pp->BackBufferCount == 0) pp->BackBufferCount = 1;
    *out = device;
    return D3D_OK;
}

Device::Device(IDirect3D9* parent, SDL_Window* window, Backend* backend, const D3DPRESENT_PARAMETERS& params)
    : m_parent(parent), m_window(window), m_windowId(SDL_GetWindowID(window)), m_backend(backend), m_params(params) {
    CountObjectMade();
    if (m_parent) m_parent->AddRef();
    m_bbWidth = (int)params.BackBufferWidth;
    m_bbHeight = (int)params.BackBufferHeight;
    m_hasDepth = params.EnableAutoDepthStencil != 0;
    m_hasStencil = m_hasDepth && params.AutoDepthStencilFormat == D3DFMT_D24S8;
    SetDefaultState(&m_state, params.BackBufferWidth, params.BackBufferHeight, m_hasDepth);
}

// ---------------------------------------------------------------------------
// Lifetime
// ---------------------------------------------------------------------------

Device::~Device() {
    // Bound resources whose callers already released them die here, while the
    // back end is still alive to drop their copies.
    const bool live = Activate();
    ResetBindings();
    if (!live) m_backend->Abandon();  // its GPU objects went with the window
    delete m_backend;
    if (m_parent) m_parent->Release();
    CountObjectGone();
}

bool Device::Activate() {
    if (m_windowGone) return false;
    if (SDL_GetWindowFromID(m_windowId) != m_window) {
        m_windowGone = true;  // destroyed: nothing can be drawn or presented any more
        return false;
    }
    return m_backend->MakeCurrent();
}

HRESULT Device::TestCooperativeLevel() {
    if (m_windowGone || SDL_GetWindowFromID(m_windowId) != m_window) {
        m_windowGone = true;
        return D3DERR_DEVICELOST;
    }
    return D3D_OK;
}

DeviceCounters Device::Counters() const {
    DeviceCounters c;
    c.drawCalls = m_drawCalls;
    c.bufferUploadBytes = m_backend->UploadBytes();
    return c;
}

void Device::RecordDraws(bool on) {
    if (on) m_draws.clear();
    m_recordDraws = on;
}

void Device::ResetCounters() {
    m_drawCalls = 0;
    m_backend->ResetCounters();
}

void Device::ReleaseBackendCopy(BufferStore& store) {
    if (store.gpu && Activate()) m_backend->BufferGone(store);
    store.gpu = 0;
}

void Device::ReleaseBackendCopy(Texture& texture) {
    if (texture.gpu && Activate()) m_backend->TextureGone(texture);
    texture.gpu = 0;
}

void Device::TextureWritten(Texture& texture, UINT level, const RECT& area) {
    // A texture without a back-end copy yet is sent whole when first drawn.
    if (texture.gpu && Activate()) m_backend->TextureWritten(texture, level, area);
}

void Device::TextureMipsFromTop(Texture& texture) {
    if (texture.gpu && Activate()) m_backend->TextureMipsFromTop(texture);
}

void Device::TextureFilled(Texture& texture) {
    if (!texture.gpu && Activate()) m_backend->TextureFilled(texture);
}

bool Device::ReadBackendTexture(Texture& texture, UINT level, uint8_t* out) {
    return texture.gpu && Activate() && m_backend->ReadTexture(texture, level, out);
}

bool Device::QueueContentsJob(const std::shared_ptr<ContentsJob>& job) {
    if (!m_contentsWorker) m_contentsWorker.reset(new (std::nothrow) ContentsWorker());
    return m_contentsWorker && m_contentsWorker->Queue(job);
}

void Device::TakeContentsJob(ContentsJob* job) {
    if (m_contentsWorker) m_contentsWorker->Take(job);
}

size_t Device::ContentsJobsPending() { return m_contentsWorker ? m_contentsWorker->Pending() : 0; }

void Device::FailCreation(D3DRESOURCETYPE type, bool on) {
    if ((unsigned)type >= 32) return;
    if (on)
        m_failCreation |= 1u << type;
    else
        m_failCreation &= ~(1u << type);
}

// ---------------------------------------------------------------------------
// Frame
// ---------------------------------------------------------------------------

HRESULT Device::BeginScene() {
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT Device::Clear(DWORD Count, CONST D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) {
    if (Flags & ~(DWORD)(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_ZBUFFER) && !m_hasDepth) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_STENCIL) && !m_hasStencil) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_ZBUFFER) && !(Z >= 0.0f && Z <= 1.0f)) return D3DERR_INVALIDCALL;
    if (Count > 0 && !pRects) return D3DERR_INVALIDCALL;
    if (Flags == 0) return D3D_OK;
    if (!Activate()) return D3D_OK;  // window gone: like a lost device, the call does nothing
    if (RasterizationSkipped()) return D3D_OK;
    // The cleared area is the viewport, intersected with each rectangle.
    m_backend->Clear(Count, pRects, Flags, Color, Z, Stencil, m_state.viewport);
    return D3D_OK;
}

HRESULT Device::Present(CONST RECT* pSourceRect, CONST RECT* pDestRect, HWND hDestWindowOverride,
                        CONST RGNDATA* pDirtyRegion) {
    static bool warnedRects = false;
    if (pSourceRect || pDestRect || hDestWindowOverride)
        WarnOnce(&warnedRects, "Present: source/destination rectangles and override windows are ignored");
    if (!Activate()) return D3DERR_DEVICELOST;
    if (!RasterizationSkipped()) m_backend->Present();
    return D3D_OK;
}

bool Device::ReadBackBuffer(int x, int y, int w, int h, uint32_t* out) {
    if (!out || w <= 0 || h <= 0 || x < 0 || y < 0 || x + w > m_bbWidth || y + h > m_bbHeight) return false;
    if (!Activate()) return false;
    return m_backend->ReadBack(x, y, w, h, out);
}

// ---------------------------------------------------------------------------
// Resource creation
// ---------------------------------------------------------------------------

HRESULT Device::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                   IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
    if (!ppVertexBuffer) return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (pSharedHandle) return D3DERR_INVALIDCALL;
    if (Length == 0 || (Pool != D3DPOOL_DEFAULT && Pool != D3DPOOL_MANAGED && Pool != D3DPOOL_SYSTEMMEM))
        return D3DERR_INVALIDCALL;
    if (FVF) {
        VertexLayout layout;
        if (ParseFVF(FVF, &layout) && Length < layout.size) return D3DERR_INVALIDCALL;
    }
    if (Length > (1u << 30) || CreationFails(D3DRTYPE_VERTEXBUFFER)) return D3DERR_OUTOFVIDEOMEMORY;
    VertexBuffer* vb = new (std::nothrow) VertexBuffer(this, Length, Usage, FVF, Pool);
    if (!vb) return E_OUTOFMEMORY;
    if (!vb->store.data) {
        vb->Release();
        return E_OUTOFMEMORY;
    }
    *ppVertexBuffer = vb;
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
    if (!ppIndexBuffer) return D3DERR_INVALIDCALL;
    *ppIndexBuffer = nullptr;
    if (pSharedHandle) return D3DERR_INVALIDCALL;
    if (Length == 0 || (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32) ||
        (Pool != D3DPOOL_DEFAULT && Pool != D3DPOOL_MANAGED && Pool != D3DPOOL_SYSTEMMEM))
        return D3DERR_INVALIDCALL;
    if (Length > (1u << 30) || CreationFails(D3DRTYPE_INDEXBUFFER)) return D3DERR_OUTOFVIDEOMEMORY;
    IndexBuffer* ib = new (std::nothrow) IndexBuffer(this, Length, Usage, Format, Pool);
    if (!ib) return E_OUTOFMEMORY;
    if (!ib->store.data) {
        ib->Release();
        return E_OUTOFMEMORY;
    }
    *ppIndexBuffer = ib;
    return D3D_OK;
}

HRESULT Device::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
    if (!ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (pSharedHandle || Width == 0 || Height == 0) return D3DERR_INVALIDCALL;
    if (Pool != D3DPOOL_DEFAULT && Pool != D3DPOOL_MANAGED && Pool != D3DPOOL_SYSTEMMEM && Pool != D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    if (Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) {
        fprintf(stderr, "d3d9: CreateTexture: render-target and depth textures are not supported\n");
        return D3DERR_NOTAVAILABLE;
    }
    if (!TexelBytes(Format)) {
        fprintf(stderr, "d3d9: CreateTexture: texture format %d is not supported\n", (int)Format);
        return D3DERR_NOTAVAILABLE;
    }
    const UINT maxSize = m_backend->MaxTextureSize();
    if (Width > maxSize || Height > maxSize) {
        fprintf(stderr, "d3d9: CreateTexture: %ux%u is larger than the %u texels the device allows\n", Width, Height,
                maxSize);
        return D3DERR_INVALIDCALL;
    }
    UINT full = 1;
    for (UINT m = Width > Height ? Width : Height; m > 1; m >>= 1) ++full;
    UINT levels = Levels == 0 ? full : Levels;
    if (levels > full) return D3DERR_INVALIDCALL;
    if (Usage & D3DUSAGE_AUTOGENMIPMAP) {
        if (Pool == D3DPOOL_SYSTEMMEM || Pool == D3DPOOL_SCRATCH || (Levels != 0 && Levels != 1))
            return D3DERR_INVALIDCALL;
        levels = 1;
    }
    if (CreationFails(D3DRTYPE_TEXTURE)) return D3DERR_OUTOFVIDEOMEMORY;
    Texture* tex = new (std::nothrow) Texture(this, Width, Height, levels, Usage, Format, Pool);
    if (!tex) return E_OUTOFMEMORY;
    if (!tex->Allocate()) {
        tex->Release();
        return E_OUTOFMEMORY;
    }
    *ppTexture = tex;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Hook access
// ---------------------------------------------------------------------------

Device* DeviceOf(IDirect3DDevice9* device) { return dynamic_cast<Device*>(device); }

bool CountersOf(IDirect3DDevice9* device, DeviceCounters* out) {
    Device* d = dynamic_cast<Device*>(device);
    if (!d) return false;
    *out = d->Counters();
    return true;
}

bool ReadBack(IDirect3DDevice9* device, int x, int y, int w, int h, uint32_t* out) {
    Device* d = dynamic_cast<Device*>(device);
    return d && d->ReadBackBuffer(x, y, w, h, out);
}

}  // namespace d3d9
