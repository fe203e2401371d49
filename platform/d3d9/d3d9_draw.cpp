// The four Draw*Primitive* calls: every check Direct3D makes (primitive
// counts, vertex formats, streams, index ranges), then one DrawCall with the
// state it is made in, handed to the back end. Nothing here allocates.
#include "d3d9_device.h"

namespace d3d9 {

namespace {

struct LayoutCache {
    DWORD fvf = 0xffffffffu;
    bool ok = false;
    VertexLayout layout;
};

LayoutCache g_layoutCache;

const VertexLayout* LayoutFor(DWORD fvf) {
    static bool warned = false;
    LayoutCache& cache = g_layoutCache;
    if (cache.fvf != fvf) {
        cache.fvf = fvf;
        cache.ok = ParseFVF(fvf, &cache.layout);
    }
    if (!cache.ok) {
        WarnOnce(&warned, "draw with a vertex format this layer cannot draw (no XYZ or XYZRHW position)");
        return nullptr;
    }
    return &cache.layout;
}

// Checks stream 0 for a draw with this layout and says how many whole
// vertices it holds.
bool CheckStream(const State& s, const VertexLayout& layout, UINT* vertexCount) {
    static bool warnedNoStream = false, warnedStride = false;
    const VertexBuffer* vb = s.streams[0];
    const UINT offset = s.streamOffset[0], stride = s.streamStride[0];
    if (!vb) {
        WarnOnce(&warnedNoStream, "draw without a vertex buffer on stream 0");
        return false;
    }
    if (stride < layout.size) {
        WarnOnce(&warnedStride, "draw with a stream stride smaller than the vertex format");
        return false;
    }
    const UINT size = vb->store.size;
    if (offset >= size || size - offset < layout.size) return false;
    *vertexCount = (size - offset - layout.size) / stride + 1;
    return true;
}

// What every draw call says: the primitives, their vertex format and the
// texture coordinate set stage 0 reads.
DrawCall MakeDrawCall(const State& s, D3DPRIMITIVETYPE type, UINT primitives, UINT count, const VertexLayout* layout) {
    DrawCall call;
    call.type = type;
    call.primitives = primitives;
    call.count = count;
    call.layout = layout;
    call.texSet = (int)(s.tss[0][D3DTSS_TEXCOORDINDEX] & 0xffff);
    return call;
}

void FillStream(const State& s, UINT vertexCount, DrawCall* call) {
    call->buffer = s.streams[0];
    call->offset = s.streamOffset[0];
    call->stride = s.streamStride[0];
    call->streamVertices = vertexCount;
}

}  // namespace

bool PrimitiveVertices(D3DPRIMITIVETYPE type, UINT count, UINT* vertices) {
    uint64_t n;
    switch (type) {
    case D3DPT_POINTLIST: n = count; break;
    case D3DPT_LINELIST: n = 2ull * count; break;
    case D3DPT_LINESTRIP: n = (uint64_t)count + 1; break;
    case D3DPT_TRIANGLELIST: n = 3ull * count; break;
    case D3DPT_TRIANGLESTRIP: n = (uint64_t)count + 2; break;
    case D3DPT_TRIANGLEFAN: n = (uint64_t)count + 2; break;
    default: return false;
    }
    if (n > 0x7fffffffull) return false;
    *vertices = (UINT)n;
    return true;
}

bool Device::Submit(const DrawCall& call) {
    // Skipped: the dirty groups stay dirty for the next draw that is carried out.
    if (RasterizationSkipped()) return true;
    UpdateDerived(m_state, m_groupVersion, &m_derived);
    DrawState ds;
    ds.state = &m_state;
    ds.dirty = m_dirty;
    ds.versions = m_groupVersion;
    ds.derived = &m_derived;
    ds.config = MakeShaderConfig(m_state, *call.layout, m_derived.activeLights);
    if (!m_backend->Draw(call, ds)) return false;
    m_dirty = 0;
    WarnUnsupportedStates(m_state);
    ++m_drawCalls;
    if (m_recordDraws) m_draws.push_back({call.type, call.primitives, m_state.textures[0], m_state.fvf});
    return true;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
    UINT count;
    if (!PrimitiveVertices(PrimitiveType, PrimitiveCount, &count)) return D3DERR_INVALIDCALL;
    if (PrimitiveCount == 0) return D3D_OK;
    const VertexLayout* layout = LayoutFor(m_state.fvf);
    if (!layout) return D3DERR_INVALIDCALL;
    if (!Activate()) return D3D_OK;
    UINT vertexCount = 0;
    if (!CheckStream(m_state, *layout, &vertexCount)) return D3DERR_INVALIDCALL;
    if ((uint64_t)StartVertex + count > vertexCount) return D3DERR_INVALIDCALL;
    DrawCall call = MakeDrawCall(m_state, PrimitiveType, PrimitiveCount, count, layout);
    FillStream(m_state, vertexCount, &call);
    call.firstVertex = StartVertex;
    return Submit(call) ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                     UINT NumVertices, UINT startIndex, UINT primCount) {
    static bool warnedRange = false, warnedNoIndices = false;
    UINT count;
    if (!PrimitiveVertices(PrimitiveType, primCount, &count)) return D3DERR_INVALIDCALL;
    if (primCount == 0) return D3D_OK;
    const VertexLayout* layout = LayoutFor(m_state.fvf);
    if (!layout) return D3DERR_INVALIDCALL;
    IndexBuffer* ib = m_state.indices;
    if (!ib) {
        WarnOnce(&warnedNoIndices, "indexed draw without an index buffer");
        return D3DERR_INVALIDCALL;
    }
    if ((uint64_t)startIndex + count > ib->IndexCount()) return D3DERR_INVALIDCALL;
    if (!Activate()) return D3D_OK;
    UINT vertexCount = 0;
    if (!CheckStream(m_state, *layout, &vertexCount)) return D3DERR_INVALIDCALL;

    // Every index, moved by the base vertex, must name a vertex of the stream.
    uint32_t lo, hi;
    ib->WholeRange(&lo, &hi);
    if ((int64_t)lo + BaseVertexIndex < 0 || (int64_t)hi + BaseVertexIndex >= (int64_t)vertexCount) {
        lo = 0xffffffffu;
        hi = 0;
        const uint8_t* base = ib->store.data.get();
        for (UINT i = startIndex; i < startIndex + count; ++i) {
            const uint32_t v = ib->IndexSize() == 4 ? reinterpret_cast<const uint32_t*>(base)[i]
                                                    : reinterpret_cast<const uint16_t*>(base)[i];
            if (v < lo) lo = v;
            if (v > hi) hi = v;
        }
        if ((int64_t)lo + BaseVertexIndex < 0 || (int64_t)hi + BaseVertexIndex >= (int64_t)vertexCount) {
            WarnOnce(&warnedRange, "indexed draw refers to vertices outside the vertex buffer; skipped");
            return D3DERR_INVALIDCALL;
        }
    }
    DrawCall call = MakeDrawCall(m_state, PrimitiveType, primCount, count, layout);
    FillStream(m_state, vertexCount, &call);
    call.indexed = true;
    call.indices = ib;
    call.startIndex = startIndex;
    call.baseVertex = BaseVertexIndex;
    call.minIndex = MinVertexIndex;
    call.numVertices = NumVertices;
    return Submit(call) ? D3D_OK : D3DERR_INVALIDCALL;
}

void Device::FinishUpDraw() {
    Rebind(m_state.streams[0], (VertexBuffer*)nullptr);
    m_state.streamOffset[0] = 0;
    m_state.streamStride[0] = 0;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, CONST void* pVertexStreamZeroData,
                                UINT VertexStreamZeroStride) {
    UINT count;
    if (!pVertexStreamZeroData || !PrimitiveVertices(PrimitiveType, PrimitiveCount, &count)) return D3DERR_INVALIDCALL;
    const VertexLayout* layout = LayoutFor(m_state.fvf);
    if (!layout || VertexStreamZeroStride < layout->size) return D3DERR_INVALIDCALL;
    if (PrimitiveCount == 0) return D3D_OK;
    if (Activate()) {
        DrawCall call = MakeDrawCall(m_state, PrimitiveType, PrimitiveCount, count, layout);
        call.stride = VertexStreamZeroStride;
        call.userVertices = pVertexStreamZeroData;
        call.userBytes = (size_t)(count - 1) * VertexStreamZeroStride + layout->size;
        Submit(call);
    }
    FinishUpDraw();
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                       UINT PrimitiveCount, CONST void* pIndexData, D3DFORMAT IndexDataFormat,
                                       CONST void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
    UINT count;
    if (!pIndexData || !pVertexStreamZeroData || !PrimitiveVertices(PrimitiveType, PrimitiveCount, &count))
        return D3DERR_INVALIDCALL;
    if (IndexDataFormat != D3DFMT_INDEX16 && IndexDataFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    const VertexLayout* layout = LayoutFor(m_state.fvf);
    if (!layout || VertexStreamZeroStride < layout->size) return D3DERR_INVALIDCALL;
    if (PrimitiveCount == 0) return D3D_OK;
    // Only the vertices the indices name are sent: [lo, hi].
    const bool wide = IndexDataFormat == D3DFMT_INDEX32;
    uint32_t lo = 0xffffffffu, hi = 0;
    for (UINT i = 0; i < count; ++i) {
        const uint32_t v =
            wide ? static_cast<const uint32_t*>(pIndexData)[i] : static_cast<const uint16_t*>(pIndexData)[i];
        if (v < lo) lo = v;
        if (v > hi) hi = v;
    }
    if (Activate()) {
        DrawCall call = MakeDrawCall(m_state, PrimitiveType, PrimitiveCount, count, layout);
        call.stride = VertexStreamZeroStride;
        call.userVertices = static_cast<const uint8_t*>(pVertexStreamZeroData) + (size_t)lo * VertexStreamZeroStride;
        call.userBytes = (size_t)(hi - lo) * VertexStreamZeroStride + layout->size;
        call.indexed = true;
        call.userIndices = pIndexData;
        call.wideIndices = wide;
        call.baseVertex = -(INT)lo;
        call.minIndex = MinVertexIndex;
        call.numVertices = NumVertices;
        Submit(call);
    }
    FinishUpDraw();
    Rebind(m_state.indices, (IndexBuffer*)nullptr);
    return D3D_OK;
}

}  // namespace d3d9
