// What draws put into the back buffer: blending, texel mapping, texture
// stage operations, culling, depth, fill mode and alpha test.
#include "ci_skip.h"
#include "d3d9_fixture.h"

namespace d3d9test {
namespace {

const D3DCOLOR kBack = 0xFF018CFF;

// Expected channel of a SRCALPHA/INVSRCALPHA blend.
int Blend(int src, int dst, int alpha) { return (int)((src * alpha + dst * (255 - alpha)) / 255.0 + 0.5); }

TEST_F(D3D9Test, HalfTransparentBlackDarkensByHalf) {
    ClearTo(kBack);
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, kWidth, kHeight, 0x80000000));  // untextured: the vertex alpha blends
    const uint32_t want = 0xFF000000u | (uint32_t)Blend(0, 0x01, 0x80) << 16 | (uint32_t)Blend(0, 0x8C, 0x80) << 8 |
                          (uint32_t)Blend(0, 0xFF, 0x80);
    std::vector<uint32_t> px = Read(0, 0, kWidth, kHeight);
    EXPECT_TRUE(ColorNear(px[0], want, 1));
    EXPECT_TRUE(ColorNear(px[px.size() - 1], want, 1));
    EXPECT_TRUE(ColorNear(px[kWidth * 60 + 100], want, 1));

    // Without blending the same quad replaces what is there.
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 8, 8, 0x80204060));
    EXPECT_EQ(0xFF204060u, Pixel(4, 4));
}

// Frames run with rasterizing skipped leave the back buffer alone, yet the
// states they set are the ones the next real draw is made with.
TEST_F(D3D9Test, SkippedRasterizingDrawsNothingAndKeepsTheState) {
    ClearTo(kBack);
    D3D9Testing_SkipRasterization(true);
    EXPECT_EQ(D3D_OK, m_dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0));
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const HRESULT skipped = DrawRect(0, 0, kWidth, kHeight, 0xFF00FF00);
    D3D9Testing_SkipRasterization(false);
    EXPECT_EQ(D3D_OK, skipped);
    EXPECT_EQ(0xFF000000u | kBack, Pixel(4, 4));

    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 8, 8, 0x80000000));  // blended, as set while skipping
    EXPECT_TRUE(
        ColorNear(Pixel(4, 4), 0xFF000000u | (uint32_t)Blend(0, 0x8C, 0x80) << 8 | (uint32_t)Blend(0, 0xFF, 0x80), 1));
}

// R and B tell the texel's column and row, G is a checkerboard that any
// half-texel slip under linear filtering turns grey.
uint32_t CodedTexel(int i, int j) {
    return 0xFF000000u | (uint32_t)(i & 0xff) << 16 | (((i + j) & 1) ? 0xFF00u : 0u) | (uint32_t)(j & 0xff);
}

// Draws a sprite the way the game does: a 4-vertex buffer, a 6-index buffer,
// vertices shifted by -0.5, and checks that texel (i, j) lands on pixel (x+i, y+j).
void CheckSpriteTexels(D3D9Test& t, int x, int y, int w, int h, bool linear) {
    std::vector<uint32_t> texels((size_t)w * h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) texels[(size_t)j * w + i] = CodedTexel(i, j);
    IDirect3DTexture9* tex = t.MakeTexture((UINT)w, (UINT)h, texels);
    ASSERT_NE(nullptr, tex);
    IDirect3DDevice9* dev = t.m_dev;
    if (linear) {
        dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    }
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(D3D_OK, dev->CreateVertexBuffer(112, D3DUSAGE_WRITEONLY, kRhwFvf, D3DPOOL_DEFAULT, &vb, nullptr));
    ASSERT_EQ(D3D_OK, dev->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib, nullptr));
    RhwVertex* v = nullptr;
    ASSERT_EQ(D3D_OK, vb->Lock(0, 0, reinterpret_cast<void**>(&v), 0));
    const float x0 = x - 0.5f, y0 = y - 0.5f, x1 = x + w - 0.5f, y1 = y + h - 0.5f;
    v[0] = {x0, y0, 0, 1, 0xFFFFFFFF, 0, 0};
    v[1] = {x1, y0, 0, 1, 0xFFFFFFFF, 1, 0};
    v[2] = {x0, y1, 0, 1, 0xFFFFFFFF, 0, 1};
    v[3] = {x1, y1, 0, 1, 0xFFFFFFFF, 1, 1};
    vb->Unlock();
    uint16_t* idx = nullptr;
    ASSERT_EQ(D3D_OK, ib->Lock(0, 0, reinterpret_cast<void**>(&idx), 0));
    const uint16_t order[6] = {0, 1, 2, 1, 3, 2};
    memcpy(idx, order, sizeof order);
    ib->Unlock();
    dev->SetFVF(kRhwFvf);
    dev->SetTexture(0, tex);
    dev->SetStreamSource(0, vb, 0, sizeof(RhwVertex));
    dev->SetIndices(ib);
    ASSERT_EQ(D3D_OK, dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));

    const int rw = w + 2, rh = h + 2;  // one pixel of border all round, where possible
    const int rx = x > 0 ? x - 1 : x, ry = y > 0 ? y - 1 : y;
    const int cw = rx + rw > t.m_width ? t.m_width - rx : rw, ch = ry + rh > t.m_height ? t.m_height - ry : rh;
    std::vector<uint32_t> px = t.Read(rx, ry, cw, ch);
    int wrong = 0;
    uint32_t firstGot = 0, firstWant = 0;
    for (int py = 0; py < ch; ++py) {
        for (int pxx = 0; pxx < cw; ++pxx) {
            const int i = rx + pxx - x, j = ry + py - y;
            const bool inside = i >= 0 && j >= 0 && i < w && j < h;
            const uint32_t want = inside ? CodedTexel(i, j) : kBack;
            const uint32_t got = px[(size_t)py * cw + pxx];
            if (got != want && wrong++ == 0) {
                firstGot = got;
                firstWant = want;
            }
        }
    }
    EXPECT_EQ(0, wrong) << "first mismatch: got 0x" << std::hex << firstGot << ", want 0x" << firstWant;
    t.DumpPng(linear ? "sprite_linear" : "sprite_point", cw, ch, px);
    dev->SetTexture(0, nullptr);
    dev->SetStreamSource(0, nullptr, 0, 0);
    dev->SetIndices(nullptr);
    vb->Release();
    ib->Release();
    tex->Release();
}

TEST_F(D3D9Test, SpriteTexelsLandOnPixelsWithPointFiltering) {
    ClearTo(kBack);
    CheckSpriteTexels(*this, 10, 20, 37, 23, false);
}

TEST_F(D3D9Test, SpriteTexelsLandOnPixelsWithLinearFiltering) {
    ClearTo(kBack);
    CheckSpriteTexels(*this, 100, 7, 64, 50, true);
}

class FullScreenTest : public D3D9Test {
public:
    void SetUp() override {
        if (!OpenDevice(1680, 900, nullptr)) SKIP_OR_FAIL_IN_CI() << m_skipReason;
    }
};

TEST_F(FullScreenTest, ScreenSizedPictureCoversEveryPixelExactly) {
    ClearTo(kBack);
    CheckSpriteTexels(*this, 0, 0, 1680, 900, true);
}

// The vertex colour, stage 0 with a 1x1 texture, and the op's expected result.
struct StageCase {
    const char* name;
    DWORD colorOp, colorArg1, colorArg2;
    int r, g, b;  // expected, from texel (0xFF, 0x80, 0x40) and diffuse (0x80, 0x80, 0xFF)
};

class StageOpTest : public D3D9Test, public ::testing::WithParamInterface<StageCase> {};

TEST_P(StageOpTest, ColorOperationOnTextureAndDiffuse) {
    const StageCase& c = GetParam();
    IDirect3DTexture9* tex = MakeTexture(1, 1, {0xFFFF8040});
    ASSERT_NE(nullptr, tex);
    ClearTo(0xFF000000);
    m_dev->SetTexture(0, tex);
    m_dev->SetTextureStageState(0, D3DTSS_COLOROP, c.colorOp);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG1, c.colorArg1);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, c.colorArg2);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 16, 16, 0xFF8080FF));
    const uint32_t want = 0xFF000000u | (uint32_t)c.r << 16 | (uint32_t)c.g << 8 | (uint32_t)c.b;
    EXPECT_TRUE(ColorNear(Pixel(8, 8), want, 1)) << c.name;
    tex->Release();
}

int Mul(int a, int b) { return (int)(a * b / 255.0 + 0.5); }
int Sat(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

INSTANTIATE_TEST_SUITE_P(
    Ops, StageOpTest,
    ::testing::Values(
        StageCase{"modulate", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, Mul(0xFF, 0x80), Mul(0x80, 0x80),
                  Mul(0x40, 0xFF)},
        StageCase{"select texture", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0xFF, 0x80, 0x40},
        StageCase{"select diffuse", D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, 0x80, 0x80, 0xFF},
        StageCase{"current is diffuse", D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_TEXTURE, 0x80, 0x80, 0xFF},
        StageCase{"disabled stage", D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTA_CURRENT, 0x80, 0x80, 0xFF},
        StageCase{"add", D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, Sat(0xFF + 0x80), Sat(0x80 + 0x80),
                  Sat(0x40 + 0xFF)},
        StageCase{"subtract", D3DTOP_SUBTRACT, D3DTA_TEXTURE, D3DTA_DIFFUSE, Sat(0xFF - 0x80), Sat(0x80 - 0x80),
                  Sat(0x40 - 0xFF)},
        StageCase{"modulate2x", D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, Sat(2 * Mul(0xFF, 0x80)),
                  Sat(2 * Mul(0x80, 0x80)), Sat(2 * Mul(0x40, 0xFF))},
        StageCase{"complement", D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, 0x00, 0x7F, 0xBF}),
    [](const ::testing::TestParamInfo<StageCase>& info) {
        std::string n = info.param.name;
        for (char& ch : n)
            if (ch == ' ') ch = '_';
        return n;
    });

TEST_F(D3D9Test, MissingTextureGivesTheVertexColourAndAlpha) {
    ClearTo(kBack);
    m_dev->SetTexture(0, nullptr);  // default stage: MODULATE texture x current, alpha from the texture
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 10, 10, 0xFF20C040));
    EXPECT_EQ(0xFF20C040u, Pixel(5, 5));
    ASSERT_EQ(D3D_OK, DrawRect(10, 0, 20, 10, 0xFFFFFFFF));
    EXPECT_EQ(0xFFFFFFFFu, Pixel(15, 5));
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    ASSERT_EQ(D3D_OK, DrawRect(20, 0, 30, 10, 0x00FFFFFF));  // alpha 0: nothing shows
    EXPECT_EQ(kBack, Pixel(25, 5));
}

TEST_F(D3D9Test, TextureAlphaDrivesBlending) {
    IDirect3DTexture9* tex = MakeTexture(2, 1, {0x40FFFFFF, 0xC0FFFFFF});
    ASSERT_NE(nullptr, tex);
    ClearTo(0xFF000000);
    m_dev->SetTexture(0, tex);
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 2, 1, 0xFFFFFFFF));
    EXPECT_TRUE(ColorNear(Pixel(0, 0), 0xFF404040, 1));
    EXPECT_TRUE(ColorNear(Pixel(1, 0), 0xFFC0C0C0, 1));

    // Alpha test: only texels whose alpha passes GREATER 0x80 are drawn.
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    m_dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    m_dev->SetRenderState(D3DRS_ALPHAREF, 0x80);
    ClearTo(0xFF000000);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 2, 1, 0xFFFFFFFF));
    EXPECT_EQ(0xFF000000u, Pixel(0, 0));
    EXPECT_EQ(0xFFFFFFFFu, Pixel(1, 0));
    tex->Release();
}

TEST_F(D3D9Test, AddressModesRepeatClampAndMirror) {
    IDirect3DTexture9* tex = MakeTexture(2, 1, {0xFFFF0000, 0xFF00FF00});
    ASSERT_NE(nullptr, tex);
    m_dev->SetTexture(0, tex);
    const uint32_t R = 0xFFFF0000, G = 0xFF00FF00;
    struct Mode {
        DWORD address;
        uint32_t want[8];
    } modes[] = {
        {D3DTADDRESS_WRAP, {R, G, R, G, R, G, R, G}},
        {D3DTADDRESS_CLAMP, {R, G, G, G, G, G, G, G}},
        {D3DTADDRESS_MIRROR, {R, G, G, R, R, G, G, R}},
    };
    for (const Mode& m : modes) {
        ClearTo(0xFF000000);
        m_dev->SetSamplerState(0, D3DSAMP_ADDRESSU, m.address);
        ASSERT_EQ(D3D_OK, DrawRect(0, 0, 8, 1, 0xFFFFFFFF, 0.0f, 0.0f, 0.0f, 4.0f, 1.0f));
        std::vector<uint32_t> px = Read(0, 0, 8, 1);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(m.want[i], px[i]) << "address mode " << m.address << " pixel " << i;
    }
    tex->Release();
}

// Two triangles over the middle of the screen, given in clip space with
// identity transforms: one clockwise on screen, one counter-clockwise.
void DrawWindings(IDirect3DDevice9* dev) {
    const ColorVertex cw[3] = {
        {-0.9f, 0.5f, 0.5f, 0xFFFF0000}, {-0.1f, 0.5f, 0.5f, 0xFFFF0000}, {-0.5f, -0.5f, 0.5f, 0xFFFF0000}};
    const ColorVertex ccw[3] = {
        {0.1f, 0.5f, 0.5f, 0xFF00FF00}, {0.5f, -0.5f, 0.5f, 0xFF00FF00}, {0.9f, 0.5f, 0.5f, 0xFF00FF00}};
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetFVF(kColorFvf);
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(ColorVertex));
    dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(ColorVertex));
}

TEST_F(D3D9Test, CullingFollowsDirect3DWinding) {
    const int lx = kWidth / 4, rx = kWidth * 3 / 4, y = kHeight / 2;
    ClearTo(0xFF000000);
    DrawWindings(m_dev);  // default: counter-clockwise triangles are culled
    EXPECT_EQ(0xFFFF0000u, Pixel(lx, y));
    EXPECT_EQ(0xFF000000u, Pixel(rx, y));

    ClearTo(0xFF000000);
    m_dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    DrawWindings(m_dev);
    EXPECT_EQ(0xFF000000u, Pixel(lx, y));
    EXPECT_EQ(0xFF00FF00u, Pixel(rx, y));

    ClearTo(0xFF000000);
    m_dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    DrawWindings(m_dev);
    EXPECT_EQ(0xFFFF0000u, Pixel(lx, y));
    EXPECT_EQ(0xFF00FF00u, Pixel(rx, y));

    // Screen-space triangles obey the same rule (y runs downwards there).
    ClearTo(0xFF000000);
    m_dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    m_dev->SetFVF(kRhwFvf);
    const RhwVertex cwScreen[3] = {
        {10, 10, 0, 1, 0xFF0000FF, 0, 0}, {50, 10, 0, 1, 0xFF0000FF, 0, 0}, {30, 50, 0, 1, 0xFF0000FF, 0, 0}};
    const RhwVertex ccwScreen[3] = {
        {60, 10, 0, 1, 0xFF0000FF, 0, 0}, {80, 50, 0, 1, 0xFF0000FF, 0, 0}, {100, 10, 0, 1, 0xFF0000FF, 0, 0}};
    m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cwScreen, sizeof(RhwVertex));
    m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccwScreen, sizeof(RhwVertex));
    EXPECT_EQ(0xFF0000FFu, Pixel(30, 20));
    EXPECT_EQ(0xFF000000u, Pixel(80, 20));
}

TEST_F(D3D9Test, DepthTestDefaultsToLessEqualWithWrites) {
    ClearTo(0xFF000000);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 20, 20, 0xFFFF0000, 0.25f));
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 20, 20, 0xFF00FF00, 0.75f));  // behind: hidden
    EXPECT_EQ(0xFFFF0000u, Pixel(10, 10));
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 20, 20, 0xFF0000FF, 0.25f));  // equal depth passes
    EXPECT_EQ(0xFF0000FFu, Pixel(10, 10));
    m_dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 20, 20, 0xFFFFFFFF, 0.25f));  // equal no longer passes
    EXPECT_EQ(0xFF0000FFu, Pixel(10, 10));

    // D3DFMT_D16 holds 16 bits: 0.25 x 65535 = 16383.75 and 0.250005 x 65535 =
    // 16384.08 both store as 16384, so the second passes LESSEQUAL (with 24
    // bits it would lie 84 steps behind and stay hidden).
    m_dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    ClearTo(0xFF000000);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 20, 20, 0xFFFF0000, 0.25f));
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 20, 20, 0xFF00FF00, 0.250005f));
    EXPECT_EQ(0xFF00FF00u, Pixel(10, 10));

    m_dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    ClearTo(0xFF000000);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 20, 20, 0xFFFF0000, 0.25f));
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 20, 20, 0xFF00FF00, 0.75f));  // nothing was written in front
    EXPECT_EQ(0xFF00FF00u, Pixel(10, 10));

    m_dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    ClearTo(0xFF000000);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 20, 20, 0xFFFF0000, 0.1f));
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 20, 20, 0xFF00FF00, 0.9f));
    EXPECT_EQ(0xFF00FF00u, Pixel(10, 10));
}

TEST_F(D3D9Test, ClipSpaceDepthRunsFromZeroToOne) {
    m_dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_dev->SetFVF(kColorFvf);
    auto quad = [&](float z, D3DCOLOR c) {
        const ColorVertex v[4] = {{-1, 1, z, c}, {1, 1, z, c}, {-1, -1, z, c}, {1, -1, z, c}};
        return m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColorVertex));
    };
    ClearTo(0xFF000000);
    ASSERT_EQ(D3D_OK, quad(-0.25f, 0xFFFF0000));  // in front of the near plane: clipped
    EXPECT_EQ(0xFF000000u, Pixel(kWidth / 2, kHeight / 2));
    ASSERT_EQ(D3D_OK, quad(0.3f, 0xFF00FF00));
    EXPECT_EQ(0xFF00FF00u, Pixel(kWidth / 2, kHeight / 2));
    // Its depth is 0.3 itself: a screen-space quad at 0.35 stays behind it.
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, kWidth, kHeight, 0xFF0000FF, 0.35f));
    EXPECT_EQ(0xFF00FF00u, Pixel(kWidth / 2, kHeight / 2));
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, kWidth, kHeight, 0xFF0000FF, 0.29f));
    EXPECT_EQ(0xFF0000FFu, Pixel(kWidth / 2, kHeight / 2));
}

TEST_F(D3D9Test, EdgesThroughPixelCentresFollowTheTopLeftRule) {
    ExpectTopLeftRule(10, 10);
    ExpectTopLeftRule(1, 1);
    // The screen fill of the game: edges on row 0 and column 0 take them.
    ClearTo(kBack);
    const RhwVertex v[4] = {{0, 0, 0, 1, 0xFF000000, 0, 0},
                            {(float)kWidth, 0, 0, 1, 0xFF000000, 0, 0},
                            {0, (float)kHeight, 0, 1, 0xFF000000, 0, 0},
                            {(float)kWidth, (float)kHeight, 0, 1, 0xFF000000, 0, 0}};
    m_dev->SetFVF(kRhwFvf);
    ASSERT_EQ(D3D_OK, m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(RhwVertex)));
    for (uint32_t p : Read(0, 0, kWidth, kHeight)) ASSERT_EQ(0xFF000000u, p);
}

TEST_F(D3D9Test, WireframeLeavesTheInteriorClear) {
    ClearTo(0xFF000000);
    m_dev->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    ASSERT_EQ(D3D_OK, DrawRect(20, 20, 120, 100, 0xFFFFFFFF));
    std::vector<uint32_t> px = Read(0, 0, kWidth, kHeight);
    DumpPng("wireframe", kWidth, kHeight, px);
    EXPECT_EQ(0xFF000000u, px[60 * kWidth + 50]);  // inside the quad, off its diagonal
    int edge = 0;
    for (int y = 18; y <= 22; ++y) edge += px[y * kWidth + 70] == 0xFFFFFFFFu;
    EXPECT_GE(edge, 1) << "the top edge is drawn";
    m_dev->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    ASSERT_EQ(D3D_OK, DrawRect(20, 20, 120, 100, 0xFFFFFFFF));
    EXPECT_EQ(0xFFFFFFFFu, Pixel(50, 60));
}

}  // namespace
}  // namespace d3d9test
