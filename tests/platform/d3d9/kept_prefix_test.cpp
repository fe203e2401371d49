// A frame's first draws, unchanged since the frames before, are copied back
// rather than drawn again: every frame of a script that repeats, changes
// part way, rewrites a texture, leaves uneven depth behind and reads back
// mid-frame, and of one of meshes whose matrices, light and material change,
// gives the same pixels with the copying on and off.
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

    // Plays `frames` frames of a script, `frame(f, &shots)` drawing frame f.
    template <typename Frame>
    std::vector<std::vector<uint32_t>> Play(bool shortcuts, int frames, Frame frame) {
        D3D9Testing_AllowDrawShortcuts(shortcuts);
        MakeTextures();
        std::vector<std::vector<uint32_t>> shots;
        for (int f = 0; f < frames && !HasFatalFailure(); ++f) frame(f, &shots);
        FreeTextures();
        D3D9Testing_AllowDrawShortcuts(true);
        return shots;
    }
    std::vector<std::vector<uint32_t>> PlayScript(bool shortcuts) {
        return Play(shortcuts, kFrames,
                    [this](int f, std::vector<std::vector<uint32_t>>* shots) { PlayFrame(f, shots); });
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

// Meshes in a perspective view, drawn through indices: a textured ground
// strip, a lit panel and a coloured quad with its own world matrix; then a
// pretransformed quad that moves every frame and lies behind them. The quad
// moves aside from frame 5 on, the light turns from 9, the camera from 13
// and the panel's material from 17.
class KeptMeshPrefixTest : public KeptPrefixTest {
public:
    struct TexVertex {
        float x, y, z, u, v;
    };
    static D3DMATRIX Translation(float x) {
        D3DMATRIX m;
        ZeroMemory(&m, sizeof m);
        m._11 = m._22 = m._33 = m._44 = 1.0f;
        m._41 = x;
        return m;
    }

    void PlayMeshFrame(int f, std::vector<std::vector<uint32_t>>* shots) {
        ASSERT_EQ(D3D_OK, m_dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0));
        D3DMATRIX proj;  // 90 degrees high, near 1, far 20
        ZeroMemory(&proj, sizeof proj);
        proj._11 = (float)kHeight / (float)kWidth;
        proj._22 = 1.0f;
        proj._33 = 20.0f / 19.0f;
        proj._34 = 1.0f;
        proj._43 = -20.0f / 19.0f;
        const D3DMATRIX view = Translation(f >= 13 ? -0.3f : 0.0f), world = Translation(0.0f),
                        moved = Translation(f >= 5 ? 0.4f : 0.0f);
        m_dev->SetTransform(D3DTS_PROJECTION, &proj);
        m_dev->SetTransform(D3DTS_VIEW, &view);
        m_dev->SetTransform(D3DTS_WORLD, &world);
        m_dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        m_dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        m_dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);

        // The ground: a 4x4 grid at y = -1, one strip with degenerate joins.
        TexVertex ground[16];
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i) ground[j * 4 + i] = {-3.0f + 2 * i, -1.0f, 2.0f + 2 * j, i / 3.0f, j / 3.0f};
        std::vector<uint16_t> strip;
        for (int j = 0; j < 3; ++j) {
            if (j > 0) strip.push_back((uint16_t)(j * 4));
            for (int i = 0; i < 4; ++i) strip.insert(strip.end(), {(uint16_t)(j * 4 + i), (uint16_t)(j * 4 + 4 + i)});
            if (j < 2) strip.push_back((uint16_t)(j * 4 + 7));
        }
        m_dev->SetRenderState(D3DRS_LIGHTING, FALSE);
        m_dev->SetTexture(0, m_back);
        m_dev->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
        ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, 16, (UINT)strip.size() - 2,
                                                        strip.data(), D3DFMT_INDEX16, ground, sizeof(TexVertex)));
        m_dev->SetTexture(0, nullptr);

        D3DLIGHT9 light;
        ZeroMemory(&light, sizeof light);
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1.0f, 0.9f, 0.8f, 1.0f};
        light.Direction = f >= 9 ? D3DVECTOR{0.6f, -0.8f, 0.0f} : D3DVECTOR{0.0f, -0.6f, 0.8f};
        m_dev->SetLight(0, &light);
        m_dev->LightEnable(0, TRUE);
        m_dev->SetRenderState(D3DRS_AMBIENT, 0xFF303030);
        D3DMATERIAL9 mat;
        ZeroMemory(&mat, sizeof mat);
        mat.Diffuse = f >= 17 ? D3DCOLORVALUE{0.3f, 0.9f, 0.5f, 1.0f} : D3DCOLORVALUE{0.9f, 0.5f, 0.3f, 1.0f};
        mat.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
        m_dev->SetMaterial(&mat);
        m_dev->SetRenderState(D3DRS_LIGHTING, TRUE);
        // Normals fanning out, so the light shades the panel unevenly.
        const NormalVertex panel[4] = {{-1.5f, 0.5f, 4, -0.6f, 0.8f, 0},
                                       {0.0f, 1.0f, 4, 0, 1, 0},
                                       {-1.5f, -0.5f, 4, -0.8f, 0, -0.6f},
                                       {0.0f, 0.0f, 4, 0, 0, -1}};
        m_dev->SetFVF(kNormalFvf);
        ASSERT_EQ(D3D_OK, m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, panel, sizeof(NormalVertex)));
        m_dev->SetRenderState(D3DRS_LIGHTING, FALSE);

        const ColorVertex quad[4] = {{0.2f, 0.8f, 3, 0xFF20A0E0},
                                     {1.4f, 0.8f, 3, 0xFFE0A020},
                                     {0.2f, -0.4f, 3, 0xFF40E040},
                                     {1.4f, -0.4f, 3, 0xFFA020E0}};
        const uint16_t quadIndices[6] = {0, 1, 2, 2, 1, 3};
        m_dev->SetTransform(D3DTS_WORLD, &moved);
        m_dev->SetFVF(kColorFvf);
        ASSERT_EQ(D3D_OK, m_dev->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, quadIndices, D3DFMT_INDEX16, quad,
                                                        sizeof(ColorVertex)));
        // Depth 0.9: behind the panel, the quad (0.70 at z = 3) and the near ground.
        ASSERT_EQ(D3D_OK, DrawRect(40.0f + 4 * f, 30, 200.0f + 4 * f, 110, 0xFFFFFFFF, 0.9f));
        shots->push_back(ReadAll());
        m_dev->Present(nullptr, nullptr, nullptr, nullptr);
    }

    std::vector<std::vector<uint32_t>> PlayMeshScript(bool shortcuts) {
        return Play(shortcuts, kMeshFrames,
                    [this](int f, std::vector<std::vector<uint32_t>>* shots) { PlayMeshFrame(f, shots); });
    }

    static const int kMeshFrames = 19;
};

TEST_P(KeptMeshPrefixTest, EveryFrameKeepsItsPixels) {
    const std::vector<std::vector<uint32_t>> off = PlayMeshScript(false);
    const uint64_t keptBefore = D3D9Testing_ShortcutDrawCount(D3D9TESTING_PREFIX_KEPT);
    const std::vector<std::vector<uint32_t>> on = PlayMeshScript(true);
    const uint64_t kept = D3D9Testing_ShortcutDrawCount(D3D9TESTING_PREFIX_KEPT) - keptBefore;
    ASSERT_EQ(off.size(), (size_t)kMeshFrames);
    ExpectSamePictures(on, off);
    // The three meshes are kept after frame 2 and copied back in frames 3
    // and 4. In frame 5 the ground and the panel are drawn from their
    // records and kept, copied back in 6 and 7, all three again in 8. The
    // light (9) and the material (17) leave the ground kept alone, copied
    // back in 10 and 18, all three again in 11 and 12. After the camera
    // turns (13) the three are kept after 15 and copied back in 16.
    EXPECT_EQ(kept, 10u);
    // In frame 4, with the meshes' depth copied back, the moving quad shows
    // beside them and is hidden behind them.
    EXPECT_EQ(on[4][(size_t)60 * kWidth + 60], 0xFFFFFFFFu);
    EXPECT_NE(on[4][(size_t)60 * kWidth + 140], 0xFFFFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(DepthFormats, KeptMeshPrefixTest, ::testing::Values(D3DFMT_D16, D3DFMT_D24S8),
                         [](const ::testing::TestParamInfo<D3DFORMAT>& info) {
                             return info.param == D3DFMT_D16 ? "D16" : "D24S8";
                         });

INSTANTIATE_TEST_SUITE_P(DepthFormats, KeptPrefixTest, ::testing::Values(D3DFMT_D16, D3DFMT_D24S8),
                         [](const ::testing::TestParamInfo<D3DFORMAT>& info) {
                             return info.param == D3DFMT_D16 ? "D16" : "D24S8";
                         });

}  // namespace
}  // namespace d3d9test
