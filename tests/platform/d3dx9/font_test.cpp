// ID3DXFont: measuring, layout, the quads and states it draws with (on a
// device of the null back end, which records every draw), its cache of
// rendered lines, and real pixels on our Direct3D layer.
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <d3d9_testing.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "ci_skip.h"
#include "test_device.h"

// Counts operator new calls on this thread, so a test can tell that a code
// path allocates nothing. The storage still comes from malloc.
namespace {
thread_local long t_allocations = 0;
}
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
    ++t_allocations;
    if (void* p = malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
// The other forms too: a sanitizer runtime has its own for each, which must
// not meet this file's free().
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    ++t_allocations;
    return malloc(n ? n : 1);
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p, const std::nothrow_t&) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { free(p); }

namespace {

const char* kGameFace = "HGP創英角ﾎﾟｯﾌﾟ体";
const D3DCOLOR kGreen = 0xFF00FF00;

struct Quad {
    float left, top, right, maxU;
};

// The font's vertex: screen space, coloured, one texture coordinate set.
struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

// A texture's level 0 as bytes B, G, R, A, row by row.
std::vector<unsigned char> TexelsOf(IDirect3DBaseTexture9* base) {
    std::vector<unsigned char> out;
    IDirect3DTexture9* tex = static_cast<IDirect3DTexture9*>(base);
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT lr;
    if (!tex || FAILED(tex->GetLevelDesc(0, &desc)) || FAILED(tex->LockRect(0, &lr, NULL, D3DLOCK_READONLY)))
        return out;
    for (UINT y = 0; y < desc.Height; ++y) {
        const unsigned char* row = static_cast<const unsigned char*>(lr.pBits) + (size_t)y * lr.Pitch;
        out.insert(out.end(), row, row + desc.Width * 4);
    }
    tex->UnlockRect(0);
    return out;
}

// The font on a device of the null back end, which records every draw.
class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!td.Open(640, 480, testsupport::Drawing::kNoPixels)) SKIP_OR_FAIL_IN_CI() << td.Why();
        device = td.Device();
        liveBefore = D3D9Testing_LiveObjectCount();
        ASSERT_TRUE(D3D9Testing_RecordDraws(device, true));
        ASSERT_EQ(D3DXCreateFontA(device, 16, 0, FW_DONTCARE, 0, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kGameFace, &font),
                  D3D_OK);
    }
    void TearDown() override {
        if (!font) return;
        EXPECT_EQ(font->Release(), 0u);
        EXPECT_EQ(device->AddRef(), 2u) << "the font gives its device reference back";
        device->Release();
        EXPECT_EQ(D3D9Testing_LiveObjectCount(), liveBefore) << "the font's textures go with it";
    }
    // The size DT_CALCRECT reports for a rectangle at (10, 20).
    RECT Measure(const char* text, DWORD format = 0, int width = 0) {
        RECT r = {10, 20, 10 + width, 20};
        const INT h = font->DrawTextA(NULL, text, -1, &r, format | DT_CALCRECT, kGreen);
        EXPECT_EQ(h, r.bottom - r.top);
        return r;
    }
    static int W(const RECT& r) { return r.right - r.left; }
    static int H(const RECT& r) { return r.bottom - r.top; }
    std::vector<D3D9TestingDraw> Draws() { return D3D9Testing_DrawLog(device); }
    void ForgetDraws() {
        D3D9Testing_RecordDraws(device, false);
        D3D9Testing_RecordDraws(device, true);
    }
    // Textures made since SetUp that are still alive.
    unsigned TexturesMade() { return D3D9Testing_LiveObjectCount() - liveBefore; }
    static std::vector<Vertex> VerticesOf(const D3D9TestingDraw& d) {
        const Vertex* v = reinterpret_cast<const Vertex*>(d.userVertices.data());
        return std::vector<Vertex>(v, v + d.userVertices.size() / sizeof(Vertex));
    }
    Quad QuadOf(size_t draw) {
        Quad q = {1e9f, 1e9f, -1e9f, -1e9f};
        for (const Vertex& v : VerticesOf(Draws().at(draw)))
            q = {std::min(q.left, v.x), std::min(q.top, v.y), std::max(q.right, v.x), std::max(q.maxU, v.u)};
        return q;
    }

    testsupport::TestDevice td;
    IDirect3DDevice9* device = NULL;
    unsigned liveBefore = 0;
    ID3DXFont* font = NULL;
};

TEST_F(FontTest, HeightsAndMeasuring) {
    ID3DXFont* none = reinterpret_cast<ID3DXFont*>(1);
    EXPECT_EQ(D3DXCreateFontA(NULL, 16, 0, 0, 0, FALSE, 0, 0, 0, 0, "Sans", &none), D3DERR_INVALIDCALL);
    EXPECT_EQ(none, nullptr);
    EXPECT_TRUE(FAILED(D3DXCreateFontA(device, 1000000, 0, 0, 0, FALSE, 0, 0, 0, 0, "Sans", &none)));

    // A positive height is the cell height; a negative one the character height, so
    // with a face that has internal leading (DejaVu Sans) its cell is taller.
    const RECT fps = Measure("FPS : 59.98");
    EXPECT_TRUE(H(fps) >= 14 && H(fps) <= 16) << H(fps);
    ID3DXFont *neg = NULL, *pos = NULL;
    ASSERT_EQ(D3DXCreateFontA(device, -16, 0, 0, 0, FALSE, ANSI_CHARSET, 0, 0, 0, "DejaVu Sans", &neg), D3D_OK);
    ASSERT_EQ(D3DXCreateFontA(device, 16, 0, FW_BOLD, 0, TRUE, ANSI_CHARSET, 0, 0, 0, "DejaVu Sans", &pos), D3D_OK);
    RECT r = {0, 0, 0, 0};
    const int negCell = neg->DrawTextA(NULL, "FPS", -1, &r, DT_CALCRECT, kGreen);
    EXPECT_GT(negCell, pos->DrawTextA(NULL, "FPS", -1, &r, DT_CALCRECT, kGreen));
    neg->Release();
    pos->Release();

    EXPECT_EQ(fps.left * 100 + fps.top, 1020);
    EXPECT_LT(W(Measure("FPS : 5")), W(fps));
    EXPECT_EQ(W(Measure("FPS : 5\nFPS : 59.98")), W(fps));
    EXPECT_EQ(H(Measure("first\nsecond\r\nthird\n")), 3 * H(fps));
    EXPECT_EQ(W(Measure("first\nsecond", DT_SINGLELINE)), W(Measure("firstsecond")));
    EXPECT_EQ(H(Measure("")), 0);
    RECT counted = {0, 0, 0, 0};
    font->DrawTextA(NULL, "FPS : 59.98", 3, &counted, DT_CALCRECT, kGreen);
    EXPECT_EQ(W(counted), W(Measure("FPS")));
    EXPECT_EQ(W(Measure("\x83\x65\x83\x58\x83\x67")), W(Measure("テスト"))) << "Shift-JIS bytes and UTF-8 alike";
    // Word break keeps every line within the width.
    const RECT wrapped = Measure("one two three four five six", DT_WORDBREAK, W(Measure("one two three")));
    EXPECT_LE(W(wrapped), W(Measure("one two three")));
    EXPECT_EQ(H(wrapped), 2 * H(fps));
    EXPECT_TRUE(Draws().empty() && TexturesMade() == 0) << "measuring draws and rasterises nothing";
}

TEST_F(FontTest, DrawsWhiteCoverageModulatedByTheColourAndRestoresStates) {
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetFVF(0x142);
    IDirect3DTexture9* mine = NULL;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &mine, NULL), D3D_OK);
    device->SetTexture(0, mine);
    DWORD rs[256], ts[8][33], ss[16][14];
    for (DWORD i = 0; i < 256; ++i) device->GetRenderState(D3DRENDERSTATETYPE(i), &rs[i]);
    for (DWORD st = 0; st < 8; ++st)
        for (DWORD t = 1; t < 33; ++t) device->GetTextureStageState(st, D3DTEXTURESTAGESTATETYPE(t), &ts[st][t]);
    for (DWORD sm = 0; sm < 16; ++sm)
        for (DWORD t = 1; t < 14; ++t) device->GetSamplerState(sm, D3DSAMPLERSTATETYPE(t), &ss[sm][t]);

    const RECT size = Measure("FPS : 59.98");
    RECT r = {8, 8, 1680, 900};
    EXPECT_EQ(font->DrawTextA(NULL, "FPS : 59.98\nテ\nス", -1, &r, DT_LEFT | DT_TOP, kGreen), 3 * H(size));
    const std::vector<D3D9TestingDraw> draws = Draws();
    ASSERT_EQ(draws.size(), 3u);
    const D3D9TestingDraw& d = draws[0];
    EXPECT_EQ(d.fvf, DWORD(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    EXPECT_EQ(d.primitiveType, DWORD(D3DPT_TRIANGLESTRIP));
    ASSERT_EQ(VerticesOf(d).size(), 4u);
    for (const Vertex& v : VerticesOf(d)) EXPECT_EQ(v.color, kGreen);
    const Quad q = QuadOf(0);
    EXPECT_EQ(q.left * 1000 + q.top, 7507.5f) << "half-pixel shift: texel i lands on pixel 8 + i";
    EXPECT_NEAR(q.right - q.left, W(size), 1.0f);
    EXPECT_EQ(VerticesOf(draws[1])[0].y, 8 + H(size) - 0.5f);
    int covered = 0, clear = 0;
    const std::vector<unsigned char> texels = TexelsOf(d.texture);
    ASSERT_FALSE(texels.empty());
    for (size_t i = 0; i < texels.size(); i += 4) {
        const unsigned char* p = &texels[i];
        EXPECT_TRUE(p[0] == 255 && p[1] == 255 && p[2] == 255);
        covered += p[3] > 200;
        clear += p[3] == 0;
    }
    EXPECT_TRUE(covered > 20 && clear > covered) << covered << " " << clear;
    // The fallback face has Japanese glyphs: missing ones would all be the same box.
    EXPECT_NE(TexelsOf(draws[1].texture), TexelsOf(draws[2].texture));

    const DWORD states[][2] = {{D3DRS_ALPHABLENDENABLE, TRUE},          {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                               {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}, {D3DRS_ZENABLE, D3DZB_FALSE},
                               {D3DRS_CULLMODE, D3DCULL_NONE},          {D3DRS_FILLMODE, D3DFILL_SOLID}};
    for (const auto& s : states) EXPECT_EQ(d.renderStates[s[0]], s[1]) << "render state " << s[0] << " while drawing";
    EXPECT_EQ(d.stage0[D3DTSS_COLOROP], DWORD(D3DTOP_MODULATE));
    EXPECT_EQ(d.stage0[D3DTSS_ALPHAOP], DWORD(D3DTOP_MODULATE));

    // Afterwards every state is as before.
    DWORD v = 0;
    for (DWORD i = 0; i < 256; ++i) {
        device->GetRenderState(D3DRENDERSTATETYPE(i), &v);
        EXPECT_EQ(v, rs[i]) << "render " << i;
    }
    for (DWORD st = 0; st < 8; ++st)
        for (DWORD t = 1; t < 33; ++t) {
            device->GetTextureStageState(st, D3DTEXTURESTAGESTATETYPE(t), &v);
            EXPECT_EQ(v, ts[st][t]) << "stage " << st << " state " << t;
        }
    for (DWORD sm = 0; sm < 16; ++sm)
        for (DWORD t = 1; t < 14; ++t) {
            device->GetSamplerState(sm, D3DSAMPLERSTATETYPE(t), &v);
            EXPECT_EQ(v, ss[sm][t]) << "sampler " << sm << " state " << t;
        }
    device->GetFVF(&v);
    EXPECT_EQ(v, 0x142u);
    IDirect3DBaseTexture9* bound = NULL;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, mine);
    if (bound) bound->Release();
    device->SetTexture(0, NULL);
    EXPECT_EQ(mine->Release(), 0u) << "no reference is kept on the caller's texture";
}

TEST_F(FontTest, LinesAreCachedWhateverTheColourAndKnownTextAllocatesNothing) {
    RECT r = {8, 8, 400, 100};
    font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, kGreen);
    font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, 0x80FF0000);
    EXPECT_EQ(TexturesMade(), 1u) << "the same text is rasterised once";
    EXPECT_EQ(VerticesOf(Draws().at(1))[0].color, 0x80FF0000u);

    // Frames of a changing frame-rate line and a longer two-line text.
    D3D9Testing_RecordDraws(device, false);
    const char* longer = "a longer second line\nand a third line here";
    font->DrawTextA(NULL, "FPS : 60.00", -1, &r, 0, kGreen);
    font->DrawTextA(NULL, longer, -1, &r, DT_CENTER, kGreen);
    const long before = t_allocations;
    char text[32];
    for (int frame = 0; frame < 120; ++frame) {
        snprintf(text, sizeof text, "FPS : %.2f", frame < 60 ? 59.98 : 60.00);
        font->DrawTextA(NULL, text, -1, &r, 0, kGreen);
        font->DrawTextA(NULL, longer, -1, &r, DT_CENTER, 0xFFFFFFFF);
    }
    EXPECT_EQ(t_allocations - before, 0) << "a frame with text seen before allocates nothing";
    EXPECT_EQ(TexturesMade(), 4u);
    for (int i = 0; i < 600; ++i) font->DrawTextA(NULL, ("score " + std::to_string(i)).c_str(), -1, &r, 0, kGreen);
    EXPECT_LE(TexturesMade(), 300u) << "the cache is bounded";
}

TEST_F(FontTest, AlignmentAndClipping) {
    const int w = W(Measure("Hi there")), h = H(Measure("Hi there"));
    const struct {
        DWORD flags;
        float left, top;
    } cases[] = {{DT_RIGHT, 200.0f - w, 0},
                 {DT_CENTER, float((200 - w) / 2), 0},
                 {DT_BOTTOM | DT_SINGLELINE, 0, 100.0f - h},
                 {DT_VCENTER | DT_SINGLELINE, 0, float((100 - h) / 2)}};
    for (const auto& c : cases) {
        ForgetDraws();
        RECT r = {0, 0, 200, 100};
        font->DrawTextA(NULL, "Hi there", -1, &r, c.flags, kGreen);
        EXPECT_EQ(QuadOf(0).left, c.left - 0.5f) << c.flags;
        EXPECT_EQ(QuadOf(0).top, c.top - 0.5f) << c.flags;
        EXPECT_EQ(r.right, 200) << "the rectangle is only written with DT_CALCRECT";
    }
    // Cut at the rectangle's right edge, unless DT_NOCLIP; nothing when entirely outside.
    const char* lng = "a rather long line of text";
    ForgetDraws();
    RECT narrow = {10, 10, 40, 200}, flat = {10, 10, 200, 10};
    font->DrawTextA(NULL, lng, -1, &narrow, 0, kGreen);
    font->DrawTextA(NULL, lng, -1, &narrow, DT_NOCLIP, kGreen);
    font->DrawTextA(NULL, lng, -1, &flat, 0, kGreen);
    ASSERT_EQ(Draws().size(), 2u);
    EXPECT_EQ(QuadOf(0).right, 39.5f);
    EXPECT_LT(QuadOf(0).maxU, 0.5f);
    EXPECT_NEAR(QuadOf(1).right - QuadOf(1).left, W(Measure(lng)), 1.0f);
}

TEST(FontOnDevice, DrawsGreenPixelsInsideItsRectangleOnly) {
    testsupport::TestDevice td;
    D3DPRESENT_PARAMETERS pp = testsupport::TestParams(320, 200);
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    if (!td.Open(320, 200, testsupport::Drawing::kPixels, &pp)) SKIP_OR_FAIL_IN_CI() << td.Why();
    IDirect3DDevice9* dev = td.Device();
    ID3DXFont* font = NULL;
    ASSERT_EQ(D3DXCreateFontA(dev, 16, 0, 0, 0, FALSE, SHIFTJIS_CHARSET, 0, 0, 0, kGameFace, &font), D3D_OK);
    RECT size = {8, 8, 8, 8}, r = {8, 8, 320, 200};
    font->DrawTextA(NULL, "FPS : 59.98", -1, &size, DT_CALCRECT, kGreen);
    dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    dev->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    dev->BeginScene();
    font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, kGreen);
    std::vector<uint32_t> px(320 * 200);
    ASSERT_TRUE(WinapiTest_ReadBackBuffer(dev, 0, 0, 320, 200, px.data()));
    dev->EndScene();
    int lit = 0, bright = 0, outside = 0, offColour = 0;
    for (int i = 0; i < 320 * 200; ++i) {
        const uint32_t p = px[i] & 0xFFFFFFu;
        const int x = i % 320, y = i / 320;
        if (!p) continue;
        ++lit;
        bright += (p >> 8 & 0xFF) >= 200;
        outside += x < size.left || x > size.right || y < size.top || y > size.bottom + 1;
        offColour += (p & 0xFF00FFu) != 0;
    }
    EXPECT_TRUE(lit > 40 && bright > 10) << lit << " " << bright;
    EXPECT_EQ(outside, 0) << "pixels changed outside the text's rectangle";
    EXPECT_EQ(offColour, 0) << "the text is pure green over black";
    DWORD z = 0;
    dev->GetRenderState(D3DRS_ZENABLE, &z);
    EXPECT_EQ(z, DWORD(D3DZB_TRUE));
    font->Release();
}

}  // namespace
