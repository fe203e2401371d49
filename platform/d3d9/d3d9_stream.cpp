// Vertex formats and the two buffer kinds: their CPU copies (the truth for
// Lock), Lock/Unlock, and the range written since the back end last took
// the data. Buffers reach the back end at draw time, where the stride that
// decides their layout there is known.
#include "d3d9_device.h"

#include <new>
#include <string.h>

namespace d3d9 {

// ---------------------------------------------------------------------------
// Vertex formats
// ---------------------------------------------------------------------------

bool ParseFVF(DWORD fvf, VertexLayout* out) {
    VertexLayout l;
    UINT off;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: off = 12; break;
    case D3DFVF_XYZRHW:
        l.rhw = true;
        off = 16;
        break;
    default: return false;
    }
    if (fvf & D3DFVF_NORMAL) {
        l.normalOffset = (int)off;
        off += 12;
    }
    if (fvf & D3DFVF_PSIZE) off += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuseOffset = (int)off;
        off += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        l.specularOffset = (int)off;
        off += 4;
    }
    const int n = (int)((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (n > 8) return false;
    l.texCount = n;
    for (int i = 0; i < n; ++i) {
        static const int kSizes[4] = {2, 3, 4, 1};  // D3DFVF_TEXCOORDSIZE2/3/4/1
        l.texOffset[i] = (int)off;
        l.texSize[i] = kSizes[(fvf >> (16 + 2 * i)) & 3];
        off += 4 * (UINT)l.texSize[i];
    }
    l.size = off;
    *out = l;
    return true;
}

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

VertexBuffer::~VertexBuffer() { OwnerDevice()->ReleaseBackendCopy(store); }

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

IndexBuffer::~IndexBuffer() { OwnerDevice()->ReleaseBackendCopy(store); }

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

}  // namespace d3d9
