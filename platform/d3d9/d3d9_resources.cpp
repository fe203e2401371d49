// Vertex buffers, index buffers and textures: reference counting, CPU copies,
// Lock/Unlock, and the GL uploads of textures. Buffers reach GL at draw time
// (d3d9_draw.cpp), where the stride that decides their GL layout is known.
#include "d3d9_device.h"

#include <stdio.h>
#include <string.h>
#include <new>

namespace d3d9 {

// ---------------------------------------------------------------------------
// Reference counting
// ---------------------------------------------------------------------------

template <class Iface>
ResourceBase<Iface>::ResourceBase(Device* device, D3DRESOURCETYPE type) : m_device(device), m_type(type) {
    m_device->AddRef();
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
        device->Release();  // last, so the GL context outlives the deletion above
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
// Buffers
// ---------------------------------------------------------------------------

void BufferStore::MarkDirty(UINT begin, UINT end) {
    if (end <= begin) return;
    if (!Dirty()) {
        dirtyBegin = begin;
        dirtyEnd = end;
        return;
    }
    if (begin < dirtyBegin) dirtyBegin = begin;
    if (end > dirtyEnd) dirtyEnd = end;
}

HRESULT BufferStore::Lock(UINT offset, UINT length, void** out, DWORD flags) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (offset > size) return D3DERR_INVALIDCALL;
    const UINT len = length == 0 ? size - offset : length;
    if ((uint64_t)offset + len > size) return D3DERR_INVALIDCALL;
    *out = data.get() + offset;
    ++lockCount;
    if (!(flags & D3DLOCK_READONLY)) {
        MarkDirty(offset, offset + len);
        writtenSinceDraw = true;
    }
    return D3D_OK;
}

HRESULT BufferStore::Unlock() {
    if (lockCount == 0) return D3DERR_INVALIDCALL;
    --lockCount;
    return D3D_OK;
}

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf_, D3DPOOL pool)
    : ResourceBase(device, D3DRTYPE_VERTEXBUFFER), fvf(fvf_) {
    store.data.reset(new (std::nothrow) uint8_t[length]());
    store.size = length;
    store.usage = usage;
    store.pool = pool;
}

VertexBuffer::~VertexBuffer() {
    if (store.gl && OwnerDevice()->Activate()) {
        OwnerDevice()->ForgetBuffer(store.gl);
        glDeleteBuffers(1, &store.gl);
    }
}

HRESULT VertexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
    return store.Lock(OffsetToLock, SizeToLock, ppbData, Flags);
}

HRESULT VertexBuffer::Unlock() { return store.Unlock(); }

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    pDesc->Format = D3DFMT_VERTEXDATA;
    pDesc->Type = D3DRTYPE_VERTEXBUFFER;
    pDesc->Usage = store.usage;
    pDesc->Pool = store.pool;
    pDesc->Size = store.size;
    pDesc->FVF = fvf;
    return D3D_OK;
}

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format_, D3DPOOL pool)
    : ResourceBase(device, D3DRTYPE_INDEXBUFFER), format(format_) {
    store.data.reset(new (std::nothrow) uint8_t[length]());
    store.size = length;
    store.usage = usage;
    store.pool = pool;
}

IndexBuffer::~IndexBuffer() {
    if (store.gl && OwnerDevice()->Activate()) {
        OwnerDevice()->ForgetBuffer(store.gl);
        glDeleteBuffers(1, &store.gl);
    }
}

HRESULT IndexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
    const HRESULT hr = store.Lock(OffsetToLock, SizeToLock, ppbData, Flags);
    if (SUCCEEDED(hr) && !(Flags & D3DLOCK_READONLY)) m_rangeValid = false;
    return hr;
}

HRESULT IndexBuffer::Unlock() { return store.Unlock(); }

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
    if (!pDesc) return D3DERR_INVALIDCALL;
    pDesc->Format = format;
    pDesc->Type = D3DRTYPE_INDEXBUFFER;
    pDesc->Usage = store.usage;
    pDesc->Pool = store.pool;
    pDesc->Size = store.size;
    return D3D_OK;
}

void IndexBuffer::WholeRange(uint32_t* lo, uint32_t* hi) {
    if (!m_rangeValid) {
        const UINT n = IndexCount();
        uint32_t mn = 0xffffffffu, mx = 0;
        if (format == D3DFMT_INDEX32) {
            const uint32_t* p = reinterpret_cast<const uint32_t*>(store.data.get());
            for (UINT i = 0; i < n; ++i) {
                if (p[i] < mn) mn = p[i];
                if (p[i] > mx) mx = p[i];
            }
        } else {
            const uint16_t* p = reinterpret_cast<const uint16_t*>(store.data.get());
            for (UINT i = 0; i < n; ++i) {
                if (p[i] < mn) mn = p[i];
                if (p[i] > mx) mx = p[i];
            }
        }
        if (n == 0) mn = 0;
        m_min = mn;
        m_max = mx;
        m_rangeValid = true;
    }
    *lo = m_min;
    *hi = m_max;
}

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
    {D3DFMT_A8R8G8B8, 4, {0, 8, 16, 24}, {8, 8, 8, 8}},
    {D3DFMT_X8R8G8B8, 4, {0, 8, 16, 24}, {8, 8, 8, 8}},
    {D3DFMT_A8B8G8R8, 4, {0, 8, 16, 24}, {8, 8, 8, 8}},
    {D3DFMT_X8B8G8R8, 4, {0, 8, 16, 24}, {8, 8, 8, 8}},
    {D3DFMT_R5G6B5, 3, {11, 5, 0, 0}, {5, 6, 5, 0}},
    {D3DFMT_X1R5G5B5, 4, {10, 5, 0, 15}, {5, 5, 5, 1}},
    {D3DFMT_A1R5G5B5, 4, {10, 5, 0, 15}, {5, 5, 5, 1}},
    {D3DFMT_A4R4G4B4, 4, {8, 4, 0, 12}, {4, 4, 4, 4}},
    {D3DFMT_A8, 1, {0, 0, 0, 0}, {8, 0, 0, 0}},
    {D3DFMT_L8, 1, {0, 0, 0, 0}, {8, 0, 0, 0}},
};

const TextureFormat kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A8B8G8R8, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X8B8G8R8, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_R5G6B5, 2, GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_X1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_A4R4G4B4, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_A8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}},
    {D3DFMT_L8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}},
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

const TextureFormat* FindTextureFormat(D3DFORMAT format) {
    for (const TextureFormat& f : kFormats)
        if (f.d3d == format) return &f;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------

Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, const TextureFormat* format,
                 D3DPOOL pool)
    : ResourceBase(device, D3DRTYPE_TEXTURE), m_width(width), m_height(height), m_levels(levels),
      m_usage(usage), m_format(format), m_pool(pool) {
    m_glLevels = levels;
    if (usage & D3DUSAGE_AUTOGENMIPMAP) {
        m_glLevels = 1;
        for (UINT m = width > height ? width : height; m > 1; m >>= 1) ++m_glLevels;
    }
}

bool Texture::Allocate() {
    for (UINT l = 0; l < m_levels; ++l) {
        const size_t bytes = (size_t)LevelWidth(l) * LevelHeight(l) * m_format->bytes;
        m_data[l].reset(new (std::nothrow) uint8_t[bytes]());
        if (!m_data[l]) return false;
    }
    return true;
}

Texture::~Texture() {
    if (m_gl && OwnerDevice()->Activate()) {
        OwnerDevice()->ForgetTexture(m_gl);
        glDeleteTextures(1, &m_gl);
    }
}

GLuint Texture::GLName() {
    if (m_gl) return m_gl;
    glGenTextures(1, &m_gl);
    OwnerDevice()->BindTextureUnit0(m_gl);
    for (UINT l = 0; l < m_glLevels; ++l) {
        const void* data = l < m_levels ? m_data[l].get() : nullptr;
        glTexImage2D(GL_TEXTURE_2D, (GLint)l, (GLint)m_format->internal, (GLsizei)LevelWidth(l),
                     (GLsizei)LevelHeight(l), 0, m_format->format, m_format->type, data);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, (GLint)m_glLevels - 1);
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, m_format->swizzle);
    if (m_usage & D3DUSAGE_AUTOGENMIPMAP) glGenerateMipmap(GL_TEXTURE_2D);
    return m_gl;
}

void Texture::UploadLevel(UINT level, const RECT& area) {
    if (!m_gl || !OwnerDevice()->Activate()) return;  // a texture not yet in GL is filled when first used
    const UINT pitch = LevelWidth(level) * m_format->bytes;
    const uint8_t* src = m_data[level].get() + (size_t)area.top * pitch + (size_t)area.left * m_format->bytes;
    OwnerDevice()->BindTextureUnit0(m_gl);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, (GLint)LevelWidth(level));
    glTexSubImage2D(GL_TEXTURE_2D, (GLint)level, area.left, area.top, area.right - area.left,
                    area.bottom - area.top, m_format->format, m_format->type, src);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (level == 0 && (m_usage & D3DUSAGE_AUTOGENMIPMAP)) glGenerateMipmap(GL_TEXTURE_2D);
}

HRESULT Texture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    if (!pDesc || Level >= m_levels) return D3DERR_INVALIDCALL;
    pDesc->Format = m_format->d3d;
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
    RECT area = {0, 0, (LONG)LevelWidth(Level), (LONG)LevelHeight(Level)};
    if (pRect) {
        if (pRect->left < 0 || pRect->top < 0 || pRect->right > area.right || pRect->bottom > area.bottom ||
            pRect->left >= pRect->right || pRect->top >= pRect->bottom)
            return D3DERR_INVALIDCALL;
        area = *pRect;
    }
    const UINT pitch = LevelWidth(Level) * m_format->bytes;
    pLockedRect->Pitch = (INT)pitch;
    pLockedRect->pBits = m_data[Level].get() + (size_t)area.top * pitch + (size_t)area.left * m_format->bytes;
    m_locked[Level] = true;
    m_lockWrites[Level] = !(Flags & D3DLOCK_READONLY);
    m_lockRect[Level] = area;
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT Level) {
    if (Level >= m_levels || !m_locked[Level]) return D3DERR_INVALIDCALL;
    m_locked[Level] = false;
    if (m_lockWrites[Level] && m_pool != D3DPOOL_SYSTEMMEM && m_pool != D3DPOOL_SCRATCH)
        UploadLevel(Level, m_lockRect[Level]);
    return D3D_OK;
}

// Fills every level below the top one with a 2x2 box filter of the level
// above (the GL does it for AUTOGENMIPMAP textures).
void Texture::GenerateMipSubLevels() {
    if (m_usage & D3DUSAGE_AUTOGENMIPMAP) {
        if (m_gl && OwnerDevice()->Activate()) {
            OwnerDevice()->BindTextureUnit0(m_gl);
            glGenerateMipmap(GL_TEXTURE_2D);
        }
        return;
    }
    const TexelFields* fields = FieldsOf(m_format->d3d);
    if (!fields) return;
    const UINT bpp = m_format->bytes;
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
        UploadLevel(l, all);
    }
}

}  // namespace d3d9
