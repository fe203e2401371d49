// Drawing from buffers: indexed strips with a base vertex, 16- and 32-bit
// indices, the water's 144-byte vertices, range uploads, buffers rewritten
// between draws, user-pointer draws and refused draws.
#include "d3d9_fixture.h"

namespace d3d9test {
namespace {

// Four screen-space vertices of the rectangle [x0, x1) x [y0, y1), strip order.
void QuadVertices(RhwVertex* v, float x0, float y0, float x1, float y1, D3DCOLOR c) {
    v[0] = {x0 - 0.5f, y0 - 0.5f, 0, 1, c, 0, 0};
    v[1] = {x1 - 0.5f, y0 - 0.5f, 0, 1, c, 0, 0};
    v[2] = {x0 - 0.5f, y1 - 0.5f, 0, 1, c, 0, 0};
    v[3] = {x1 - 0.5f, y1 - 0.5f, 0, 1, c, 0, 0};
}

template <class T>
void Fill(IDirect3DResource9* res, const T* data, UINT bytes) {
    void* p = nullptr;
    if (auto* vb = dynamic_cast<IDirect3DVertexBuffer9*>(res)) {
        ASSERT_EQ(D3D_OK, vb->Lock(0, bytes, &p, 0));
        memcpy(p, data, bytes);
        vb->Unlock();
    } else if (auto* ib = dynamic_cast<IDirect3DIndexBuffer9*>(res)) {
        ASSERT_EQ(D3D_OK, ib->Lock(0, bytes, &p, 0));
        memcpy(p, data, bytes);
        ib->Unlock();
    }
}

TEST_F(D3D9Test, IndexedStripsHonourBaseVertexAndStartIndex) {
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateVertexBuffer(8 * sizeof(RhwVertex), 0, kRhwFvf, D3DPOOL_MANAGED, &vb, nullptr));
    RhwVertex v[8];
    QuadVertices(v, 0, 0, 20, 20, 0xFFFF0000);
    QuadVertices(v + 4, 40, 0, 60, 20, 0xFF00FF00);
    Fill(vb, v, sizeof v);
    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        IDirect3DIndexBuffer9* ib = nullptr;
        const UINT isz = format == D3DFMT_INDEX32 ? 4 : 2;
        ASSERT_EQ(D3D_OK, m_dev->CreateIndexBuffer(6 * isz, 0, format, D3DPOOL_MANAGED, &ib, nullptr));
        const uint32_t idx32[6] = {9, 9, 0, 1, 2, 3};  // the strip starts at index 2
        const uint16_t idx16[6] = {9, 9, 0, 1, 2, 3};
        if (isz == 4)
            Fill(ib, idx32, sizeof idx32);
        else
            Fill(ib, idx16, sizeof idx16);
        ClearTo(0xFF000000);
        m_dev->SetFVF(kRhwFvf);
        m_dev->SetStreamSource(0, vb, 0, sizeof(RhwVertex));
        m_dev->SetIndices(ib);
        ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 4, 0, 4, 2, 2));
        EXPECT_EQ(0xFF000000u, Pixel(10, 10)) << "index size " << isz;  // not the first quad
        EXPECT_EQ(0xFF00FF00u, Pixel(50, 10)) << "index size " << isz;
        ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 2, 2));
        EXPECT_EQ(0xFFFF0000u, Pixel(10, 10)) << "index size " << isz;
        m_dev->SetIndices(nullptr);
        ib->Release();
    }
    // Fans and plain lists from the same buffer.
    ClearTo(0xFF000000);
    RhwVertex fan[4];
    QuadVertices(fan, 0, 30, 20, 50, 0xFF0000FF);
    const RhwVertex fanOrder[4] = {fan[0], fan[1], fan[3], fan[2]};
    Fill(vb, fanOrder, sizeof fanOrder);
    ASSERT_EQ(D3D_OK, m_dev->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2));
    EXPECT_EQ(0xFF0000FFu, Pixel(5, 45));
    EXPECT_EQ(0xFF0000FFu, Pixel(15, 35));
    m_dev->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
}

// The water's vertex: position, colour, texture coordinates, then 120 bytes
// the pipeline never reads.
struct WaterVertex {
    float x, y, z;
    D3DCOLOR color;
    float u, v;
    float ripple[30];
};
static_assert(sizeof(WaterVertex) == 144, "the water's stride");

TEST_F(D3D9Test, WideVerticesDrawAndUploadOnlyWhatChanged) {
    const UINT count = 30000;
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateVertexBuffer(count * 144, D3DUSAGE_WRITEONLY, 0x142, D3DPOOL_MANAGED, &vb, nullptr));
    ASSERT_EQ(D3D_OK, m_dev->CreateIndexBuffer(8, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr));
    WaterVertex* w = nullptr;
    ASSERT_EQ(D3D_OK, vb->Lock(0, 0, reinterpret_cast<void**>(&w), 0));
    memset(w, 0xFF, (size_t)count * 144);  // NaN everywhere a wrong stride would read
    const float pos[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};
    for (int i = 0; i < 4; ++i) {
        w[i].x = pos[i][0];
        w[i].y = pos[i][1];
        w[i].z = 0.5f;
        w[i].color = 0xFF00C0FF;
        w[i].u = w[i].v = 0.0f;
    }
    vb->Unlock();
    const uint16_t strip[4] = {0, 1, 2, 3};
    Fill(ib, strip, sizeof strip);

    m_dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_dev->SetFVF(0x142);
    m_dev->SetStreamSource(0, vb, 0, 144);
    m_dev->SetIndices(ib);
    ClearTo(0xFF000000);
    uint64_t before = WinapiTest_BufferUploadBytes(m_dev);
    ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, count, 0, 2));
    EXPECT_EQ(0xFF00C0FFu, Pixel(kWidth / 2, kHeight / 2));
    // Only the 24 bytes the format describes travel per vertex, not 144.
    EXPECT_LE(WinapiTest_BufferUploadBytes(m_dev) - before, (uint64_t)count * 24 + 64);

    // A frame that rewrites four vertices sends those four.
    ASSERT_EQ(D3D_OK, vb->Lock(0, 4 * 144, reinterpret_cast<void**>(&w), 0));
    for (int i = 0; i < 4; ++i) w[i].color = 0xFFFF8000;
    vb->Unlock();
    ClearTo(0xFF000000);
    before = WinapiTest_BufferUploadBytes(m_dev);
    ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, count, 0, 2));
    EXPECT_EQ(0xFFFF8000u, Pixel(kWidth / 2, kHeight / 2));
    const uint64_t sent = WinapiTest_BufferUploadBytes(m_dev) - before;
    EXPECT_GE(sent, 4u * 24u);
    EXPECT_LE(sent, 4u * 24u + 64u);

    // Nothing rewritten: nothing sent.
    before = WinapiTest_BufferUploadBytes(m_dev);
    ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, count, 0, 2));
    EXPECT_EQ(before, WinapiTest_BufferUploadBytes(m_dev));
    m_dev->SetStreamSource(0, nullptr, 0, 0);
    m_dev->SetIndices(nullptr);
    vb->Release();
    ib->Release();
}

TEST_F(D3D9Test, LargeBufferUploadsTheLockedRangeOnly) {
    const UINT count = 4000;  // 112 kB of screen-space vertices
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateVertexBuffer(count * sizeof(RhwVertex), 0, kRhwFvf, D3DPOOL_MANAGED, &vb, nullptr));
    RhwVertex* v = nullptr;
    ASSERT_EQ(D3D_OK, vb->Lock(0, 0, reinterpret_cast<void**>(&v), 0));
    for (UINT i = 0; i < count; i += 4) QuadVertices(v + i, 0, 0, 10, 10, 0xFF808080);
    QuadVertices(v + 100, 20, 20, 30, 30, 0xFFFF0000);
    vb->Unlock();
    m_dev->SetFVF(kRhwFvf);
    m_dev->SetStreamSource(0, vb, 0, sizeof(RhwVertex));
    ClearTo(0xFF000000);
    ASSERT_EQ(D3D_OK, m_dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 100, 2));
    EXPECT_EQ(0xFFFF0000u, Pixel(25, 25));

    ASSERT_EQ(D3D_OK, vb->Lock(100 * sizeof(RhwVertex), 4 * sizeof(RhwVertex), reinterpret_cast<void**>(&v), 0));
    QuadVertices(v, 40, 20, 50, 30, 0xFF00FF00);
    vb->Unlock();
    const uint64_t before = WinapiTest_BufferUploadBytes(m_dev);
    ClearTo(0xFF000000);
    ASSERT_EQ(D3D_OK, m_dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 100, 2));
    EXPECT_EQ(4u * sizeof(RhwVertex), WinapiTest_BufferUploadBytes(m_dev) - before);
    EXPECT_EQ(0xFF000000u, Pixel(25, 25));
    EXPECT_EQ(0xFF00FF00u, Pixel(45, 25));
    // The untouched rest still draws as it was.
    ASSERT_EQ(D3D_OK, m_dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 3996, 2));
    EXPECT_EQ(0xFF808080u, Pixel(5, 5));
    m_dev->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
}

// The sprite's buffers: 4 vertices and 6 indices. Unbound and released at
// the end of the test, whatever it asserted.
struct QuadBuffers {
    QuadBuffers(IDirect3DDevice9* device, DWORD usage, D3DPOOL pool) : dev(device) {
        EXPECT_EQ(D3D_OK, dev->CreateVertexBuffer(112, usage, kRhwFvf, pool, &vb, nullptr));
        EXPECT_EQ(D3D_OK, dev->CreateIndexBuffer(12, usage, D3DFMT_INDEX16, pool, &ib, nullptr));
    }
    ~QuadBuffers() {
        dev->SetStreamSource(0, nullptr, 0, 0);
        dev->SetIndices(nullptr);
        if (vb) vb->Release();
        if (ib) ib->Release();
    }
    IDirect3DDevice9* dev;
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
};

TEST_F(D3D9Test, BufferRewrittenBetweenDrawsKeepsEachDrawsContents) {
    // The sprite pattern: one 4-vertex buffer, rewritten before every draw.
    QuadBuffers quad(m_dev, D3DUSAGE_WRITEONLY, D3DPOOL_DEFAULT);
    IDirect3DVertexBuffer9* vb = quad.vb;
    IDirect3DIndexBuffer9* ib = quad.ib;
    ASSERT_TRUE(vb && ib);
    const uint16_t order[6] = {0, 1, 2, 1, 3, 2};
    Fill(ib, order, sizeof order);
    m_dev->SetFVF(kRhwFvf);
    m_dev->SetIndices(ib);
    ClearTo(0xFF000000);
    const D3DCOLOR colors[5] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFF00FFFF};
    for (int i = 0; i < 5; ++i) {
        RhwVertex* v = nullptr;
        ASSERT_EQ(D3D_OK, vb->Lock(0, 0, reinterpret_cast<void**>(&v), 0));
        QuadVertices(v, 20.0f * i, 0, 20.0f * i + 10, 10, colors[i]);
        vb->Unlock();
        m_dev->SetStreamSource(0, vb, 0, sizeof(RhwVertex));
        ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    }
    for (int i = 0; i < 5; ++i) EXPECT_EQ(colors[i], Pixel(20 * i + 5, 5)) << "sprite " << i;
    // Drawn again unchanged: the last contents.
    ClearTo(0xFF000000);
    ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    EXPECT_EQ(colors[4], Pixel(85, 5));
    EXPECT_EQ(0xFF000000u, Pixel(5, 5));
}

TEST_F(D3D9Test, UserPointerDrawsResetTheBindingsTheyReplace) {
    QuadBuffers buffers(m_dev, 0, D3DPOOL_MANAGED);
    IDirect3DVertexBuffer9* vb = buffers.vb;
    IDirect3DIndexBuffer9* ib = buffers.ib;
    ASSERT_TRUE(vb && ib);
    RhwVertex quad[4];
    QuadVertices(quad, 0, 0, 10, 10, 0xFF00FF00);
    Fill(vb, quad, sizeof quad);
    const uint16_t order[6] = {0, 1, 2, 1, 3, 2};
    Fill(ib, order, sizeof order);

    // Indices name vertices 2..5 of the array; 0 and 1 are never read.
    RhwVertex verts[6];
    memset(verts, 0xFF, sizeof verts);
    QuadVertices(verts + 2, 30, 0, 40, 10, 0xFFFF00FF);
    const uint16_t up[6] = {2, 3, 4, 3, 5, 4};
    ClearTo(0xFF000000);
    m_dev->SetFVF(kRhwFvf);
    m_dev->SetStreamSource(0, vb, 0, sizeof(RhwVertex));
    m_dev->SetIndices(ib);
    const uint64_t draws = WinapiTest_DrawCallCount(m_dev);
    ASSERT_EQ(D3D_OK,
              m_dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 2, 4, 2, up, D3DFMT_INDEX16, verts, sizeof(RhwVertex)));
    EXPECT_EQ(0xFFFF00FFu, Pixel(35, 5));
    EXPECT_EQ(draws + 1, WinapiTest_DrawCallCount(m_dev));
    // Stream 0 and the indices are gone now, as in Direct3D.
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2));
    m_dev->SetStreamSource(0, vb, 0, sizeof(RhwVertex));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    m_dev->SetIndices(ib);
    ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    EXPECT_EQ(0xFF00FF00u, Pixel(5, 5));
    EXPECT_EQ(draws + 2, WinapiTest_DrawCallCount(m_dev));
    ASSERT_EQ(D3D_OK, DrawRect(50, 0, 60, 10, 0xFF0000FF));  // DrawPrimitiveUP
    EXPECT_EQ(0xFF0000FFu, Pixel(55, 5));
    EXPECT_EQ(draws + 3, WinapiTest_DrawCallCount(m_dev));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2));
}

TEST_F(D3D9Test, DrawsOutsideTheirDataAreRefused) {
    QuadBuffers buffers(m_dev, 0, D3DPOOL_MANAGED);
    IDirect3DVertexBuffer9* vb = buffers.vb;
    IDirect3DIndexBuffer9* ib = buffers.ib;
    ASSERT_TRUE(vb && ib);
    const uint16_t bad[6] = {0, 1, 2, 1, 3, 7};  // vertex 7 does not exist
    Fill(ib, bad, sizeof bad);
    m_dev->SetFVF(kRhwFvf);
    m_dev->SetStreamSource(0, vb, 0, sizeof(RhwVertex));
    m_dev->SetIndices(ib);
    const uint64_t draws = WinapiTest_DrawCallCount(m_dev);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    EXPECT_EQ(D3D_OK, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1));  // first triangle only
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 2, 0, 4, 0, 1));  // 2 + 2 = 4
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2));  // past the end
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 3, 2));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawPrimitive((D3DPRIMITIVETYPE)9, 0, 1));
    m_dev->SetStreamSource(0, vb, 0, 8);  // narrower than the format
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2));
    m_dev->SetFVF(D3DFVF_DIFFUSE);  // no position
    m_dev->SetStreamSource(0, vb, 0, sizeof(RhwVertex));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2));
    EXPECT_EQ(draws + 1, WinapiTest_DrawCallCount(m_dev));
}

}  // namespace
}  // namespace d3d9test
