// A frame's first draws, unchanged since the frames before, are copied back
// rather than drawn again: every frame of a script that repeats, changes
// part way, rewrites a texture, leaves uneven depth behind and reads back
// mid-frame gives the same pixels with the copying on and off.
#include "d3d9_fixture.h"

namespace d3d9test {
namespace {

class KeptPrefixTest : public D3D9Test, public ::testing::WithParamInterface<D3DFORMAT> {
public:
    void SetUp() override {
        D3DPRESENT_PARAMETERS pp = Params(kWidth, kHeight);
        pp.AutoDepthStencilFormat = GetParam();
        if (!OpenDevice(kWidth, kHeight, &pp)) SKIP_OR_FAIL_IN_CI() << m_skipReason;
    }
    void TearDown() override {
        D3D9Testing_AllowDrawShortcuts(true);
        D3D9Test::TearDown();
    }

    // A gradient background (opaque) and a sprite with see-through texels.
    void MakeTextures() {
        std::vector<uint32_t> back(64 * 32), sprite(16 * 16);
        for (int j = 0; j < 32; ++j)
            for (int i = 0; i < 64; ++i) back[j * 64 + i] = 0xFF000000u | (uint32_t)(i * 4) << 16 | (uint32_t)(j * 8);
        for (int j = 0; j < 16; ++j)
            for (int i = 0; i < 16; ++i) sprite[j * 16 + i] = (uint32_t)((i + j) * 8) << 24 | 0x00F0C000u | (uint32_t)i;
        m_back = MakeTexture(64, 32, back);
        m_sprite = MakeTexture(16, 16, sprite);
    }
    void FreeTextures() {
        if (m_back) m_back->Release();
        if (m_sprite) m_sprite->Release();
        m_back = m_sprite = nullptr;
    }

    std::vector<uint32_t> ReadAll() { return Read(0, 0, kWidth, kHeight); }

    // Frame f of the script; every read-back it makes goes to `shots`.
    void PlayFrame(int f, std::vector<std::vector<uint32_t>>* shots) {
        if (f == 7) {
            // The sprite's texels change between frames: its old pixels must not come back.
            D3DLOCKED_RECT lr;
            ASSERT_EQ(D3D_OK, m_sprite->LockRect(0, &lr, nullptr, 0));
            for (int j = 0; j < 16; ++j)
                for (int i = 0; i < 16; ++i)
                    reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lr.pBits) + j * lr.Pitch)[i] = 0xC0FF00FFu;
            m_sprite->UnlockRect(0);
        }
        ASSERT_EQ(D3D_OK, m_dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0));
        m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        m_dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        m_dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        m_dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        const bool deep = f >= 8;  // from frame 8 the background leaves the depth as cleared
        m_dev->SetRenderState(D3DRS_ZWRITEENABLE, deep ? FALSE : TRUE);
        m_dev->SetTexture(0, m_back);
        ASSERT_EQ(D3D_OK, DrawRect(0, 0, kWidth, kHeight, 0xFFFFFFFF));
        m_dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        if (f == 12) {
            shots->push_back(ReadAll());  // read back with only the background drawn
            return;
        }
        m_dev->SetTexture(0, m_sprite);
        ASSERT_EQ(D3D_OK, DrawRect(20, 10, 120, 90, 0xFFFFFFFF));
        if (f == 13) shots->push_back(ReadAll());  // read back half way through
        m_dev->SetTexture(0, nullptr);
        if (f >= 5 && f <= 7)
            ASSERT_EQ(D3D_OK, DrawRect(90, 30, 180, 70, 0xA0FF4000));
        else
            ASSERT_EQ(D3D_OK, DrawRect(60, 40, 200, 100, 0xC000FF80, deep ? 0.5f : 0.0f));
        // The one thing that moves: from frame 8 behind the last rectangle,
        // and a little further back each frame, so that depth left over from
        // the frame before would hide part of it.
        m_dev->SetTexture(0, m_sprite);
        const float z = deep ? 0.6f + 0.02f * (float)(f - 8) : 0.0f;
        ASSERT_EQ(D3D_OK, DrawRect(150.0f + 3 * f, 20, 230.0f + 3 * f, 120, 0xFFFFFFFF, z));
        m_dev->SetTexture(0, nullptr);
        shots->push_back(ReadAll());
        m_dev->Present(nullptr, nullptr, nullptr, nullptr);
    }

    std::vector<std::vector<uint32_t>> PlayScript(bool shortcuts) {
        D3D9Testing_AllowDrawShortcuts(shortcuts);
        MakeTextures();
        std::vector<std::vector<uint32_t>> shots;
        for (int f = 0; f < kFrames && !HasFatalFailure(); ++f) PlayFrame(f, &shots);
        FreeTextures();
        D3D9Testing_AllowDrawShortcuts(true);
        return shots;
    }

    static const int kFrames = 14;
    IDirect3DTexture9* m_back = nullptr;
    IDirect3DTexture9* m_sprite = nullptr;
};

TEST_P(KeptPrefixTest, EveryFrameKeepsItsPixels) {
    const std::vector<std::vector<uint32_t>> off = PlayScript(false);
    const uint64_t keptBefore = D3D9Testing_ShortcutDrawCount(D3D9TESTING_PREFIX_KEPT);
    const std::vector<std::vector<uint32_t>> on = PlayScript(true);
    const uint64_t kept = D3D9Testing_ShortcutDrawCount(D3D9TESTING_PREFIX_KEPT) - keptBefore;
    ASSERT_EQ(off.size(), on.size());
    ASSERT_EQ(off.size(), (size_t)kFrames + 1);  // frame 13 reads back twice
    ExpectSamePictures(on, off);
    // The first three draws are kept once three frames share them (after
    // frame 2), and copied back in frames 3 and 4; frame 5 leaves them at
    // the third draw, so two are kept and copied back in frame 6. Frame 7
    // rewrites the sprite, and the background with depth writes off is new
    // from frame 8: three draws kept after frame 10, copied back in frame 11.
    // Frames 12 and 13 read back while the kept draws are still being matched.
    EXPECT_EQ(kept, 4u);
    // The sprite's see-through texels were blended over the background.
    EXPECT_NE(on[2][(size_t)50 * kWidth + 30], on[2][(size_t)50 * kWidth + 10]);
}

INSTANTIATE_TEST_SUITE_P(DepthFormats, KeptPrefixTest, ::testing::Values(D3DFMT_D16, D3DFMT_D24S8),
                         [](const ::testing::TestParamInfo<D3DFORMAT>& info) {
                             return info.param == D3DFMT_D16 ? "D16" : "D24S8";
                         });

}  // namespace
}  // namespace d3d9test
