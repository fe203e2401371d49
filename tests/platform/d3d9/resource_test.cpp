// Buffers and textures: descriptions, locking, mip chains and reference counts.
#include "d3d9_fixture.h"

namespace d3d9test {
namespace {

class ResourceTest : public BothBackendsTest {};

TEST_P(ResourceTest, BufferLocksKeepContentsAndRefuseBadRanges) {
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateVertexBuffer(112, D3DUSAGE_WRITEONLY, kRhwFvf, D3DPOOL_DEFAULT, &vb, nullptr));
    D3DVERTEXBUFFER_DESC desc;
    ASSERT_EQ(D3D_OK, vb->GetDesc(&desc));
    EXPECT_EQ(112u, desc.Size);
    EXPECT_EQ(kRhwFvf, desc.FVF);
    uint8_t* whole = nullptr;
    uint8_t* part = nullptr;
    ASSERT_EQ(D3D_OK, vb->Lock(0, 0, reinterpret_cast<void**>(&whole), 0));
    for (int i = 0; i < 112; ++i) whole[i] = (uint8_t)i;
    ASSERT_EQ(D3D_OK, vb->Unlock());
    ASSERT_EQ(D3D_OK, vb->Lock(28, 28, reinterpret_cast<void**>(&part), 0));
    EXPECT_EQ(28, part[0]);  // the second vertex, contents kept
    ASSERT_EQ(D3D_OK, vb->Unlock());
    EXPECT_EQ(D3DERR_INVALIDCALL, vb->Unlock());
    void* p = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, vb->Lock(100, 20, &p, 0));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(0u, vb->Release());
    // Smaller than one vertex of its format; index formats other than 16/32 bits.
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->CreateVertexBuffer(20, 0, kRhwFvf, D3DPOOL_MANAGED, &vb, nullptr));
    EXPECT_EQ(nullptr, vb);
    IDirect3DIndexBuffer9* ib = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &ib, nullptr));
    EXPECT_EQ(nullptr, ib);
}

TEST_P(ResourceTest, TextureLevelsAndLocks) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateTexture(64, 16, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr));
    ASSERT_EQ(7u, tex->GetLevelCount());  // 64x16 down to 1x1
    const UINT sizes[7][2] = {{64, 16}, {32, 8}, {16, 4}, {8, 2}, {4, 1}, {2, 1}, {1, 1}};
    for (UINT l = 0; l < 7; ++l) {
        D3DSURFACE_DESC d;
        ASSERT_EQ(D3D_OK, tex->GetLevelDesc(l, &d));
        EXPECT_EQ(sizes[l][0], d.Width) << "level " << l;
        EXPECT_EQ(sizes[l][1], d.Height) << "level " << l;
        EXPECT_EQ(D3DFMT_X8R8G8B8, d.Format);
        EXPECT_EQ(D3DPOOL_MANAGED, d.Pool);
    }
    D3DSURFACE_DESC d;
    EXPECT_EQ(D3DERR_INVALIDCALL, tex->GetLevelDesc(7, &d));

    D3DLOCKED_RECT whole, sub;
    ASSERT_EQ(D3D_OK, tex->LockRect(1, &whole, nullptr, 0));
    EXPECT_EQ(32 * 4, whole.Pitch);
    EXPECT_EQ(D3DERR_INVALIDCALL, tex->LockRect(1, &sub, nullptr, 0));  // already locked
    ASSERT_EQ(D3D_OK, tex->UnlockRect(1));
    const RECT r = {3, 2, 10, 5};
    ASSERT_EQ(D3D_OK, tex->LockRect(1, &sub, &r, 0));
    EXPECT_EQ(static_cast<uint8_t*>(whole.pBits) + 2 * whole.Pitch + 3 * 4, sub.pBits);
    ASSERT_EQ(D3D_OK, tex->UnlockRect(1));
    EXPECT_EQ(D3DERR_INVALIDCALL, tex->UnlockRect(1));
    const RECT outside = {30, 0, 33, 1};
    EXPECT_EQ(D3DERR_INVALIDCALL, tex->LockRect(1, &sub, &outside, 0));
    EXPECT_EQ(0u, tex->Release());

    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->CreateTexture(64, 16, 8, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr));
    EXPECT_EQ(nullptr, tex);
    EXPECT_FALSE(SUCCEEDED(m_dev->CreateTexture(8, 8, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &tex, nullptr)));
    EXPECT_EQ(nullptr, tex);
}

TEST_P(ResourceTest, GenerateMipSubLevelsAveragesEachTwoByTwoBlock) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateTexture(4, 2, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr));
    ASSERT_EQ(3u, tex->GetLevelCount());
    D3DLOCKED_RECT lr;
    ASSERT_EQ(D3D_OK, tex->LockRect(0, &lr, nullptr, 0));
    const uint32_t top[8] = {0xFF000000, 0xFF0000FF, 0x00FFFFFF, 0x00FFFFFF,
                             0xFF00FF00, 0xFFFF0000, 0x00FFFFFF, 0x80000000};
    for (int y = 0; y < 2; ++y) memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch, top + y * 4, 16);
    ASSERT_EQ(D3D_OK, tex->UnlockRect(0));
    tex->GenerateMipSubLevels();
    ASSERT_EQ(D3D_OK, tex->LockRect(1, &lr, nullptr, D3DLOCK_READONLY));
    const uint32_t* l1 = static_cast<const uint32_t*>(lr.pBits);
    EXPECT_EQ(0xFF404040u, l1[0]);  // each channel (0+0+0+255)/4, rounded
    EXPECT_EQ(0x20BFBFBFu, l1[1]);
    ASSERT_EQ(D3D_OK, tex->UnlockRect(1));
    ASSERT_EQ(D3D_OK, tex->LockRect(2, &lr, nullptr, D3DLOCK_READONLY));
    EXPECT_EQ(0x90808080u, *static_cast<const uint32_t*>(lr.pBits));
    ASSERT_EQ(D3D_OK, tex->UnlockRect(2));
    tex->Release();
}

// A managed texture's CPU copy goes once GL holds every level (it stays on
// the null back end); locking it again reads back exactly what was written,
// at every level and for one-byte texels of an odd width, and what is then
// written reaches the pixels.
TEST_P(ResourceTest, ManagedTexturesLockAgainAfterTheirCopyWentToTheBackEnd) {
    IDirect3DTexture9* rgba = nullptr;
    IDirect3DTexture9* lum = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateTexture(5, 3, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &rgba, nullptr));
    ASSERT_EQ(D3D_OK, m_dev->CreateTexture(7, 3, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, &lum, nullptr));
    ASSERT_EQ(3u, rgba->GetLevelCount());  // 5x3, 2x1, 1x1
    const UINT rgbaBytes[3] = {5 * 3 * 4, 2 * 1 * 4, 1 * 1 * 4};
    D3DLOCKED_RECT lr;
    for (UINT l = 0; l < 3; ++l) {
        ASSERT_EQ(D3D_OK, rgba->LockRect(l, &lr, nullptr, 0));
        for (UINT i = 0; i < rgbaBytes[l]; ++i) static_cast<uint8_t*>(lr.pBits)[i] = (uint8_t)(40 * l + 3 * i + 1);
        EXPECT_TRUE(D3D9Testing_TextureHasCpuCopy(rgba));
        ASSERT_EQ(D3D_OK, rgba->UnlockRect(l));
    }
    ASSERT_EQ(D3D_OK, lum->LockRect(0, &lr, nullptr, 0));
    for (int i = 0; i < 21; ++i) static_cast<uint8_t*>(lr.pBits)[i] = (uint8_t)(250 - 11 * i);
    ASSERT_EQ(D3D_OK, lum->UnlockRect(0));
    EXPECT_EQ(m_null, D3D9Testing_TextureHasCpuCopy(rgba));
    EXPECT_EQ(m_null, D3D9Testing_TextureHasCpuCopy(lum));

    for (UINT l = 0; l < 3; ++l) {
        ASSERT_EQ(D3D_OK, rgba->LockRect(l, &lr, nullptr, D3DLOCK_READONLY));
        EXPECT_EQ((INT)(rgbaBytes[l] / (l == 0 ? 3 : 1)), lr.Pitch);
        for (UINT i = 0; i < rgbaBytes[l]; ++i)
            ASSERT_EQ((uint8_t)(40 * l + 3 * i + 1), static_cast<uint8_t*>(lr.pBits)[i])
                << "level " << l << " byte " << i;
        ASSERT_EQ(D3D_OK, rgba->UnlockRect(l));
    }
    ASSERT_EQ(D3D_OK, lum->LockRect(0, &lr, nullptr, D3DLOCK_READONLY));
    for (int i = 0; i < 21; ++i) ASSERT_EQ((uint8_t)(250 - 11 * i), static_cast<uint8_t*>(lr.pBits)[i]) << i;
    ASSERT_EQ(D3D_OK, lum->UnlockRect(0));
    EXPECT_TRUE(D3D9Testing_TextureHasCpuCopy(rgba));  // read back once: kept from now on

    // One texel rewritten after the read-back shows where the texture is drawn one to one.
    const RECT one = {2, 1, 3, 2};
    ASSERT_EQ(D3D_OK, rgba->LockRect(0, &lr, &one, 0));
    *static_cast<uint32_t*>(lr.pBits) = 0xFF123456;
    ASSERT_EQ(D3D_OK, rgba->UnlockRect(0));
    if (!m_null) {
        ClearTo(0xFF000000);
        m_dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        m_dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        const RhwVertex quad[4] = {{-0.5f, -0.5f, 0, 1, 0xFFFFFFFF, 0, 0},
                                   {4.5f, -0.5f, 0, 1, 0xFFFFFFFF, 1, 0},
                                   {-0.5f, 2.5f, 0, 1, 0xFFFFFFFF, 0, 1},
                                   {4.5f, 2.5f, 0, 1, 0xFFFFFFFF, 1, 1}};
        m_dev->SetFVF(kRhwFvf);
        m_dev->SetTexture(0, rgba);
        ASSERT_EQ(D3D_OK, m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(RhwVertex)));
        EXPECT_EQ(0x123456u, Pixel(2, 1) & 0xFFFFFFu);
        EXPECT_EQ(0x13100Du, Pixel(1, 0) & 0xFFFFFFu);  // bytes 4..6 of level 0 as read back: B 13, G 16, R 19
        m_dev->SetTexture(0, nullptr);
    }
    rgba->Release();
    lum->Release();
}

TEST_P(ResourceTest, ReferenceCountsFollowDirect3D) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr));
    EXPECT_EQ(2u, tex->AddRef());
    EXPECT_EQ(1u, tex->Release());

    // Every resource holds its device: releasing the device leaves it alive.
    EXPECT_EQ(3u, m_dev->AddRef());  // the caller's, the texture's, and this one
    EXPECT_EQ(2u, m_dev->Release());
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(D3D_OK, tex->GetDevice(&owner));
    EXPECT_EQ(m_dev, owner);
    owner->Release();

    // GetTexture hands out a reference of its own.
    ASSERT_EQ(D3D_OK, m_dev->SetTexture(0, tex));
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->GetTexture(0, &bound));
    EXPECT_EQ(tex, bound);
    EXPECT_EQ(1u, bound->Release());

    // Released while bound: it stays usable until the device lets it go.
    EXPECT_EQ(0u, tex->Release());
    ASSERT_EQ(D3D_OK, m_dev->GetTexture(0, &bound));
    ASSERT_EQ(tex, bound);
    D3DSURFACE_DESC d;
    EXPECT_EQ(D3D_OK, static_cast<IDirect3DTexture9*>(bound)->GetLevelDesc(0, &d));
    EXPECT_EQ(0u, bound->Release());
    EXPECT_EQ(D3D_OK, m_dev->SetTexture(0, nullptr));
    ASSERT_EQ(D3D_OK, m_dev->GetTexture(0, &bound));
    EXPECT_EQ(nullptr, bound);

    // The device may go first; its resources stay valid to release.
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(D3D_OK, m_dev->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vb, nullptr));
    ASSERT_EQ(D3D_OK, m_dev->SetStreamSource(0, vb, 0, 16));
    EXPECT_EQ(1u, m_dev->Release());  // the buffer's reference keeps it
    m_dev = nullptr;
    void* p = nullptr;
    EXPECT_EQ(D3D_OK, vb->Lock(0, 0, &p, 0));
    EXPECT_EQ(D3D_OK, vb->Unlock());
    EXPECT_EQ(0u, vb->Release());  // and the device goes with it
}

ON_BOTH_BACKENDS(ResourceTest);

}  // namespace
}  // namespace d3d9test
