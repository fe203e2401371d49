// A large picture drawn the same way frame after frame is filtered once and
// then read one texel per pixel: every frame of a script whose picture
// repeats, has its texture rewritten, moves and is tinted gives the same
// pixels with the copy on and off.
#include "d3d9_fixture.h"

namespace d3d9test {
namespace {

class SampledCopyTest : public D3D9Test {
public:
    void TearDown() override {
        D3D9Testing_AllowDrawShortcuts(true);
        D3D9Test::TearDown();
    }

    // A picture with see-through texels, stretched over the back buffer.
    static std::vector<uint32_t> Picture(uint32_t seed) {
        std::vector<uint32_t> texels(64 * 32);
        for (int j = 0; j < 32; ++j)
            for (int i = 0; i < 64; ++i)
                texels[j * 64 + i] = (uint32_t)((i * 4 + j * 3 + seed) & 0xFF) << 24 | (uint32_t)(i * 4) << 16 |
                                     (uint32_t)((j * 8) ^ seed) << 8 | 0x40u;
        return texels;
    }

    std::vector<uint32_t> PlayFrame(int f, IDirect3DTexture9* picture) {
        if (f == 3) {
            // New texels under the same draw: the copy of the old ones must go.
            const std::vector<uint32_t> texels = Picture(0x5A);
            D3DLOCKED_RECT lr;
            EXPECT_EQ(D3D_OK, picture->LockRect(0, &lr, nullptr, 0));
            for (int y = 0; y < 32; ++y)
                memcpy(static_cast<uint8_t*>(lr.pBits) + (size_t)y * lr.Pitch, &texels[(size_t)y * 64], 64 * 4);
            picture->UnlockRect(0);
        }
        ClearTo(0xFF203040);
        m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        m_dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        m_dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        m_dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        // A first draw that changes every frame, so no frame's start is kept.
        m_dev->SetTexture(0, nullptr);
        EXPECT_EQ(D3D_OK, DrawRect(0, 0, 8, 8, 0xFF000000u | (uint32_t)(f * 40)));
        // Something the picture covers, and a depth it is tested against.
        EXPECT_EQ(D3D_OK, DrawRect(40, 20, 120, 100, 0xFFE0A020, 0.3f));
        m_dev->SetTexture(0, picture);
        if (f <= 3)
            EXPECT_EQ(D3D_OK, DrawRect(0, 0, kWidth, kHeight, 0xFFFFFFFF, 0.5f));
        else if (f <= 5)
            EXPECT_EQ(D3D_OK, DrawRect(10, 20, kWidth, kHeight - 10, 0xFFFFFFFF, 0.1f));
        else
            EXPECT_EQ(D3D_OK, DrawRect(10, 20, kWidth, kHeight - 10, 0xFFC0FFFF, 0.1f));  // tinted: drawn as asked
        m_dev->SetTexture(0, nullptr);
        std::vector<uint32_t> shot = Read(0, 0, kWidth, kHeight);
        m_dev->Present(nullptr, nullptr, nullptr, nullptr);
        return shot;
    }

    std::vector<std::vector<uint32_t>> PlayScript(bool shortcuts) {
        D3D9Testing_AllowDrawShortcuts(shortcuts);
        IDirect3DTexture9* picture = MakeTexture(64, 32, Picture(0));
        std::vector<std::vector<uint32_t>> shots;
        for (int f = 0; f < kFrames && picture; ++f) shots.push_back(PlayFrame(f, picture));
        if (picture) picture->Release();
        D3D9Testing_AllowDrawShortcuts(true);
        return shots;
    }

    static const int kFrames = 8;
};

TEST_F(SampledCopyTest, EveryFrameKeepsItsPixels) {
    const std::vector<std::vector<uint32_t>> off = PlayScript(false);
    const uint64_t before = D3D9Testing_ShortcutDrawCount(D3D9TESTING_SAMPLED_COPY);
    const std::vector<std::vector<uint32_t>> on = PlayScript(true);
    const uint64_t sampled = D3D9Testing_ShortcutDrawCount(D3D9TESTING_SAMPLED_COPY) - before;
    ASSERT_EQ(off.size(), (size_t)kFrames);
    ASSERT_EQ(on.size(), (size_t)kFrames);
    ExpectSamePictures(on, off);  // read-back f is frame f
    // Read from the copy: frames 1 and 2 (the picture's second and third
    // time); frame 3 rewrites the texture, frame 4 moves the picture, so the
    // copy is made again in frame 5; frames 6 and 7 tint it, which no copy
    // can stand for.
    EXPECT_EQ(sampled, 3u);
    EXPECT_NE(on[3], on[2]);  // the rewrite shows
}

}  // namespace
}  // namespace d3d9test
