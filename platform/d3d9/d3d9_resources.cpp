// Resources: the reference counting they share, and textures (formats, CPU
// copies of every level, LockRect, mipmap generation). A written level is
// passed on to the back end's copy at UnlockRect. A managed texture's CPU
// copy may be dropped once the back end holds it, and is read back from the
// back end at the next LockRect or GenerateMipSubLevels.
//
// A texture may be given a contents producer (common/deferred_contents.h).
// It waits, with no CPU copy allocated, until SetTexture, LockRect or
// GenerateMipSubLevels first needs the texels, and then fills the texture
// exactly as if its maker had written it; a texture released before then
// never makes them. On a back end that draws pixels the producer's Prepare
// meanwhile runs on the device's contents worker (d3d9_contents.h).
#include "d3d9_contents.h"
#include "d3d9_device.h"

#include <new>
#include <stdio.h>
#include <string.h>

namespace d3d9 {

// ---------------------------------------------------------------------------
// Reference counting
// ---------------------------------------------------------------------------

template <class Iface>
ResourceBase<Iface>::ResourceBase(Device* device, D3DRESOURCETYPE type) : m_device(device), m_type(type) {
    m_device->AddRef();
    CountObjectMade();
}

template <class Iface>
ResourceBase<Iface>::~ResourceBase() {
    CountObjectGone();
}

template <class Iface>
HRESULT ResourceBase<Iface>::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown) {
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

template <class Iface>
ULONG ResourceBase<Iface>::AddRef() {
    // A resource that only the device still held takes its device reference back.
    if (m_ref++ == 0) m_device->AddRef();
    return m_ref;
}

template <class Iface>
ULONG ResourceBase<Iface>::Release() {
    if (m_ref == 0) return 0;
    const ULONG r = --m_ref;
    if (r == 0) {
        Device* device = m_device;
        if (m_bind == 0) delete this;
        device->Release();  // last, so the back end outlives the deletion above
    }
    return r;
}

template <class Iface>
void ResourceBase<Iface>::BindRelease() {
    if (m_bind > 0 && --m_bind == 0 && m_ref == 0) delete this;
}

template <class Iface>
HRESULT ResourceBase<Iface>::GetDevice(IDirect3DDevice9** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *ppDevice = m_device;
    return D3D_OK;
}

template class ResourceBase<IDirect3DVertexBuffer9>;
template class ResourceBase<IDirect3DIndexBuffer9>;
template class ResourceBase<IDirect3DTexture9>;

// ---------------------------------------------------------------------------
// Texture formats
// ---------------------------------------------------------------------------

namespace {

// Bit fields of one texel, for the box filter of GenerateMipSubLevels.
struct TexelFields {
    D3DFORMAT format;
    int count;
    int shift[4], bits[4];
};

const TexelFields kFields[] = {
    {D3DFMT_A8R8G8B8, 4, {0, 8, 16, 24}, {8, 8, 8, 8}}, {D3DFMT_X8R8G8B8, 4, {0, 8, 16, 24}, {8, 8, 8, 8}},
    {D3DFMT_A8B8G8R8, 4, {0, 8, 16, 24}, {8, 8, 8, 8}}, {D3DFMT_X8B8G8R8, 4, {0, 8, 16, 24}, {8, 8, 8, 8}},
    {D3DFMT_R5G6B5, 3, {11, 5, 0, 0}, {5, 6, 5, 0}},    {D3DFMT_X1R5G5B5, 4, {10, 5, 0, 15}, {5, 5, 5, 1}},
    {D3DFMT_A1R5G5B5, 4, {10, 5, 0, 15}, {5, 5, 5, 1}}, {D3DFMT_A4R4G4B4, 4, {8, 4, 0, 12}, {4, 4, 4, 4}},
    {D3DFMT_A8, 1, {0, 0, 0, 0}, {8, 0, 0, 0}},         {D3DFMT_L8, 1, {0, 0, 0, 0}, {8, 0, 0, 0}},
};

const TexelFields* FieldsOf(D3DFORMAT format) {
    for (const TexelFields& f : kFields)
        if (f.format == format) return &f;
    return nullptr;
}

uint32_t LoadTexel(const uint8_t* p, UINT bytes) {
    uint32_t v = 0;
    for (UINT i = 0; i < bytes; ++i) v |= (uint32_t)p[i] << (8 * i);
    return v;
}

void StoreTexel(uint8_t* p, UINT bytes, uint32_t v) {
    for (UINT i = 0; i < bytes; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

}  // namespace

UINT TexelBytes(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8: return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4: return 2;
    case D3DFMT_A8:
    case D3DFMT_L8: return 1;
    default: return 0;
    }
}

// ---------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------

Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : ResourceBase(device, D3DRTYPE_TEXTURE), m_width(width), m_height(height), m_levels(levels), m_usage(usage),
      m_format(format), m_bytes(TexelBytes(format)), m_pool(pool) {}

bool Texture::Allocate() {
    for (UINT l = 0; l < m_levels; ++l) {
        const size_t bytes = (size_t)LevelWidth(l) * LevelHeight(l) * m_bytes;
        m_data[l].reset(new (std::nothrow) uint8_t[bytes]());
        if (!m_data[l]) return false;
    }
    return true;
}

Texture::~Texture() {
    if (m_contents) OwnerDevice()->TakeContentsJob(m_contents.get());
    OwnerDevice()->ReleaseBackendCopy(*this);
}

HRESULT Texture::QueryInterface(REFIID riid, void** ppv) {
    if (ppv && riid == IID_IWinapiDeferredContents) {
        *ppv = static_cast<IWinapiDeferredContents*>(this);
        AddRef();
        return S_OK;
    }
    return ResourceBase::QueryInterface(riid, ppv);
}

HRESULT Texture::SetContentsProducer(std::unique_ptr<winapi::ContentsProducer> producer) {
    if (!producer) return E_POINTER;
    if (m_contents || m_levelsWritten || m_dropped || m_readBack) return D3DERR_INVALIDCALL;
    for (UINT l = 0; l < m_levels; ++l)
        if (m_locked[l]) return D3DERR_INVALIDCALL;
    std::shared_ptr<ContentsJob> job = std::make_shared<ContentsJob>(std::move(producer));
    if (OwnerDevice()->GetBackend()->DrawsPixels() && !OwnerDevice()->QueueContentsJob(job))
        return job->producer->Produce(this);  // no worker thread: all of it now
    m_contents = std::move(job);
    for (UINT l = 0; l < m_levels; ++l) m_data[l].reset();
    return S_OK;
}

bool Texture::EnsureContents() {
    if (!m_contents) return true;
    if (!Allocate()) {
        for (UINT l = 0; l < m_levels; ++l) m_data[l].reset();
        return false;  // still pending: a later use tries again
    }
    // Back from the worker, and out of the slot: the producer locks this texture.
    OwnerDevice()->TakeContentsJob(m_contents.get());
    std::unique_ptr<winapi::ContentsProducer> producer = std::move(m_contents->producer);
    m_contents.reset();
    const HRESULT hr = producer->Produce(this);
    if (FAILED(hr))
        fprintf(stderr, "d3d9: a texture's contents could not be made (0x%08lX); levels not written read as zero\n",
                (unsigned long)hr);
    return true;
}

void Texture::DropCpuCopy() {
    if (m_dropped || m_readBack || m_contents || m_pool != D3DPOOL_MANAGED || !gpu) return;
    for (UINT l = 0; l < m_levels; ++l)
        if (m_locked[l]) return;
    for (UINT l = 0; l < m_levels; ++l) m_data[l].reset();
    m_dropped = true;
}

bool Texture::RestoreCpuCopy() {
    if (!m_dropped) return true;
    for (UINT l = 0; l < m_levels; ++l) {
        const size_t bytes = (size_t)LevelWidth(l) * LevelHeight(l) * m_bytes;
        m_data[l].reset(new (std::nothrow) uint8_t[bytes]());
        if (!m_data[l]) {
            for (UINT k = 0; k <= l; ++k) m_data[k].reset();
            return false;
        }
        if (!OwnerDevice()->ReadBackendTexture(*this, l, m_data[l].get())) {
            // The window (and with it the GL copy) is gone: nothing to read.
            fprintf(stderr, "d3d9: a texture's contents could not be read back; its levels read as zero\n");
        }
    }
    m_dropped = false;
    m_readBack = true;
    return true;
}

HRESULT Texture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    if (!pDesc || Level >= m_levels) return D3DERR_INVALIDCALL;
    pDesc->Format = m_format;
    pDesc->Type = D3DRTYPE_SURFACE;
    pDesc->Usage = m_usage;
    pDesc->Pool = m_pool;
    pDesc->MultiSampleType = D3DMULTISAMPLE_NONE;
    pDesc->MultiSampleQuality = 0;
    pDesc->Width = LevelWidth(Level);
    pDesc->Height = LevelHeight(Level);
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, CONST RECT* pRect, DWORD Flags) {
    if (!pLockedRect) return D3DERR_INVALIDCALL;
    pLockedRect->pBits = nullptr;
    pLockedRect->Pitch = 0;
    if (Level >= m_levels || m_locked[Level]) return D3DERR_INVALIDCALL;
    if (!EnsureContents() || !RestoreCpuCopy()) return E_OUTOFMEMORY;
    RECT area = {0, 0, (LONG)LevelWidth(Level), (LONG)LevelHeight(Level)};
    if (pRect) {
        if (pRect->left < 0 || pRect->top < 0 || pRect->right > area.right || pRect->bottom > area.bottom ||
            pRect->left >= pRect->right || pRect->top >= pRect->bottom)
            return D3DERR_INVALIDCALL;
        area = *pRect;
    }
    const UINT pitch = LevelWidth(Level) * m_bytes;
    pLockedRect->Pitch = (INT)pitch;
    pLockedRect->pBits = m_data[Level].get() + (size_t)area.top * pitch + (size_t)area.left * m_bytes;
    m_locked[Level] = true;
    m_lockWrites[Level] = !(Flags & D3DLOCK_READONLY);
    m_lockRect[Level] = area;
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT Level) {
    if (Level >= m_levels || !m_locked[Level]) return D3DERR_INVALIDCALL;
    m_locked[Level] = false;
    if (m_lockWrites[Level] && m_pool != D3DPOOL_SYSTEMMEM && m_pool != D3DPOOL_SCRATCH) {
        OwnerDevice()->TextureWritten(*this, Level, m_lockRect[Level]);
        m_levelsWritten |= 1u << Level;
        if (m_pool == D3DPOOL_MANAGED && !gpu && m_levelsWritten == (1u << m_levels) - 1)
            OwnerDevice()->TextureFilled(*this);
    }
    return D3D_OK;
}

// Fills every level below the top one with a 2x2 box filter of the level
// above (the back end does it for AUTOGENMIPMAP textures).
void Texture::GenerateMipSubLevels() {
    if (!EnsureContents()) return;
    if (m_usage & D3DUSAGE_AUTOGENMIPMAP) {
        OwnerDevice()->TextureMipsFromTop(*this);
        return;
    }
    const TexelFields* fields = FieldsOf(m_format);
    if (!fields || !RestoreCpuCopy()) return;
    const UINT bpp = m_bytes;
    for (UINT l = 1; l < m_levels; ++l) {
        const UINT sw = LevelWidth(l - 1), sh = LevelHeight(l - 1);
        const UINT dw = LevelWidth(l), dh = LevelHeight(l);
        const uint8_t* src = m_data[l - 1].get();
        uint8_t* dst = m_data[l].get();
        for (UINT y = 0; y < dh; ++y) {
            const UINT y0 = 2 * y < sh ? 2 * y : sh - 1;
            const UINT y1 = 2 * y + 1 < sh ? 2 * y + 1 : y0;
            for (UINT x = 0; x < dw; ++x) {
                const UINT x0 = 2 * x < sw ? 2 * x : sw - 1;
                const UINT x1 = 2 * x + 1 < sw ? 2 * x + 1 : x0;
                const uint32_t t[4] = {LoadTexel(src + ((size_t)y0 * sw + x0) * bpp, bpp),
                                       LoadTexel(src + ((size_t)y0 * sw + x1) * bpp, bpp),
                                       LoadTexel(src + ((size_t)y1 * sw + x0) * bpp, bpp),
                                       LoadTexel(src + ((size_t)y1 * sw + x1) * bpp, bpp)};
                uint32_t out = 0;
                for (int c = 0; c < fields->count; ++c) {
                    const uint32_t mask = (1u << fields->bits[c]) - 1;
                    uint32_t sum = 0;
                    for (uint32_t v : t) sum += (v >> fields->shift[c]) & mask;
                    out |= ((sum + 2) / 4) << fields->shift[c];
                }
                StoreTexel(dst + ((size_t)y * dw + x) * bpp, bpp, out);
            }
        }
    }
    if (m_pool == D3DPOOL_SYSTEMMEM || m_pool == D3DPOOL_SCRATCH) return;
    for (UINT l = 1; l < m_levels; ++l) {
        const RECT all = {0, 0, (LONG)LevelWidth(l), (LONG)LevelHeight(l)};
        OwnerDevice()->TextureWritten(*this, l, all);
    }
}

}  // namespace d3d9
