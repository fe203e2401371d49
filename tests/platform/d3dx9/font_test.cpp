// ID3DXFont: measuring, layout, the quads and states it draws with (on a CPU
// device that records every draw), its cache of rendered lines, and real
// pixels on our Direct3D layer.
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <d3d9_testing.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "tex_fake_device.h"
#include "tex_real_device.h"

// Counts operator new calls on this thread, so a test can tell that a code
// path allocates nothing. The storage still comes from malloc.
namespace {
thread_local long t_allocations = 0;
}
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(size_t n) {
    ++t_allocations;
    if (void* p = malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }

namespace {

const char* kGameFace = "HGP創英角ﾎﾟｯﾌﾟ体";
const D3DCOLOR kGreen = 0xFF00FF00;

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(D3DXCreateFontA(&device, 16, 0, FW_DONTCARE, 0, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kGameFace, &font),
                  D3D_OK);
    }
    void TearDown() override {
        EXPECT_EQ(font->Release(), 0u);
        EXPECT_EQ(device.refs, 1u) << "the font gives its device reference back";
        EXPECT_EQ(fake::Texture::Live(), 0) << "the font's textures go with it";
    }
    // The size DT_CALCRECT reports (the rectangle starts at 10, 20).
    RECT Measure(const char* text, DWORD format = 0, int width = 0, INT count = -1) {
        RECT r = {10, 20, 10 + width, 20};
        const INT height = font->DrawTextA(NULL, text, count, &r, format | DT_CALCRECT, kGreen);
        EXPECT_EQ(height, r.bottom - r.top);
        return r;
    }
    static int W(const RECT& r) { return r.right - r.left; }
    static int H(const RECT& r) { return r.bottom - r.top; }
    // The quad of draw i: left, top, right and the largest u.
    void Quad(size_t i, float* l, float* t, float* r, float* u) {
        ASSERT_LT(i, device.draws.size());
        *l = *t = 1e9f;
        *r = *u = -1e9f;
        for (const fake::Vertex& v : device.draws[i].vertices)
            *l = std::min(*l, v.x), *t = std::min(*t, v.y), *r = std::max(*r, v.x), *u = std::max(*u, v.u);
    }

    fake::Device device;
    ID3DXFont* font = NULL;
};

TEST(FontCreation, RejectsBadArguments) {
    fake::Device device;
    ID3DXFont* font = reinterpret_cast<ID3DXFont*>(1);
    EXPECT_EQ(D3DXCreateFontA(NULL, 16, 0, 0, 0, FALSE, 0, 0, 0, 0, "Sans", &font), D3DERR_INVALIDCALL);
    EXPECT_EQ(font, nullptr);
    EXPECT_EQ(D3DXCreateFontA(&device, 16, 0, 0, 0, FALSE, 0, 0, 0, 0, "Sans", NULL), D3DERR_INVALIDCALL);
    EXPECT_TRUE(FAILED(D3DXCreateFontA(&device, 1000000, 0, 0, 0, FALSE, 0, 0, 0, 0, "Sans", &font)));
    EXPECT_EQ(device.refs, 1u);
}

TEST_F(FontTest, HeightsAndMeasuring) {
    // A positive height is the cell height; a negative one the character height,
    // so with a face that has internal leading (DejaVu Sans) its cell is taller.
    const RECT fps = Measure("FPS : 59.98");
    EXPECT_LE(H(fps), 16);
    EXPECT_GE(H(fps), 14);
    ID3DXFont *neg = NULL, *pos = NULL;
    ASSERT_EQ(D3DXCreateFontA(&device, -16, 0, 0, 0, FALSE, ANSI_CHARSET, 0, 0, 0, "DejaVu Sans", &neg), D3D_OK);
    ASSERT_EQ(D3DXCreateFontA(&device, 16, 0, 0, 0, FALSE, ANSI_CHARSET, 0, 0, 0, "DejaVu Sans", &pos), D3D_OK);
    RECT r = {0, 0, 0, 0};
    EXPECT_GT(neg->DrawTextA(NULL, "FPS", -1, &r, DT_CALCRECT, kGreen), pos->DrawTextA(NULL, "FPS", -1, &r, DT_CALCRECT, kGreen));
    neg->Release();
    pos->Release();

    EXPECT_EQ(fps.left, 10);
    EXPECT_EQ(fps.top, 20);
    EXPECT_LT(W(Measure("FPS : 5")), W(fps));
    const RECT two = Measure("FPS : 5\nFPS : 59.98");
    EXPECT_EQ(H(two), 2 * H(fps));
    EXPECT_EQ(W(two), W(fps));
    EXPECT_EQ(W(Measure("FPS : 59.98", 0, 0, 3)), W(Measure("FPS")));
    EXPECT_EQ(H(Measure("")), 0);
    EXPECT_EQ(H(Measure("first\nsecond\r\nthird\n")), 3 * H(fps));
    EXPECT_EQ(W(Measure("first\nsecond", DT_SINGLELINE)), W(Measure("firstsecond")));
    // The same text in Shift-JIS bytes and in UTF-8.
    EXPECT_EQ(W(Measure("\x83\x65\x83\x58\x83\x67")), W(Measure("テスト")));
    EXPECT_TRUE(device.draws.empty() && device.created.empty()) << "measuring draws and rasterises nothing";
}

TEST_F(FontTest, DrawsAWhiteCoverageTextureModulatedByTheColour) {
    const RECT size = Measure("FPS : 59.98");
    RECT r = {8, 8, 1680, 900};
    EXPECT_EQ(font->DrawTextA(NULL, "FPS : 59.98", -1, &r, DT_LEFT | DT_TOP, kGreen), H(size));
    ASSERT_EQ(device.draws.size(), 1u);
    const fake::DrawRecord& d = device.draws[0];
    EXPECT_EQ(d.fvf, DWORD(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    ASSERT_EQ(d.vertices.size(), 4u);
    for (const fake::Vertex& v : d.vertices) EXPECT_EQ(v.color, kGreen);
    float left, top, right, u;
    Quad(0, &left, &top, &right, &u);
    EXPECT_EQ(left, 7.5f) << "half-pixel shift: texel i lands on pixel 8 + i";
    EXPECT_EQ(top, 7.5f);
    EXPECT_NEAR(right - left, W(size), 1.0f);

    ASSERT_NE(d.texture, nullptr);
    int covered = 0, clear = 0;
    for (size_t i = 0; i < d.texture->level[0].bits.size(); i += 4) {
        const unsigned char* p = &d.texture->level[0].bits[i];
        EXPECT_TRUE(p[0] == 255 && p[1] == 255 && p[2] == 255);
        covered += p[3] > 200;
        clear += p[3] == 0;
    }
    EXPECT_GT(covered, 20);
    EXPECT_GT(clear, covered);

    EXPECT_EQ(d.rs.at(D3DRS_ALPHABLENDENABLE), DWORD(TRUE));
    EXPECT_EQ(d.rs.at(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
    EXPECT_EQ(d.rs.at(D3DRS_DESTBLEND), DWORD(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(d.rs.at(D3DRS_ZENABLE), DWORD(D3DZB_FALSE));
    EXPECT_EQ(d.rs.at(D3DRS_CULLMODE), DWORD(D3DCULL_NONE));
    EXPECT_EQ(d.ts.at({0, D3DTSS_COLOROP}), DWORD(D3DTOP_MODULATE));
    EXPECT_EQ(d.ts.at({0, D3DTSS_ALPHAOP}), DWORD(D3DTOP_MODULATE));

    // The fallback face has Japanese glyphs: two characters rasterise differently
    // (missing glyphs would all be the same box).
    font->DrawTextA(NULL, "テ", -1, &r, 0, kGreen);
    font->DrawTextA(NULL, "ス", -1, &r, 0, kGreen);
    ASSERT_EQ(device.draws.size(), 3u);
    EXPECT_NE(device.draws[1].texture->level[0].bits, device.draws[2].texture->level[0].bits);
}

TEST_F(FontTest, RestoresEveryStateItChanged) {
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device.SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device.SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device.SetFVF(0x142);
    IDirect3DTexture9* mine = NULL;
    device.CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &mine, NULL);
    device.SetTexture(0, mine);
    const auto rs = device.rs;
    const auto ts = device.ts;
    const auto ss = device.ss;

    RECT r = {8, 8, 300, 100};
    font->DrawTextA(NULL, "FPS : 59.98\nsecond line", -1, &r, 0, kGreen);
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].rs.at(D3DRS_FILLMODE), DWORD(D3DFILL_SOLID));
    // Everything is as before; states that had never been set are back to 0 on this device.
    for (const auto& kv : device.rs) EXPECT_EQ(kv.second, rs.count(kv.first) ? rs.at(kv.first) : 0) << "render state " << kv.first;
    for (const auto& kv : device.ts) EXPECT_EQ(kv.second, ts.count(kv.first) ? ts.at(kv.first) : 0) << "stage state " << kv.first.second;
    for (const auto& kv : device.ss) EXPECT_EQ(kv.second, ss.count(kv.first) ? ss.at(kv.first) : 0) << "sampler state " << kv.first.second;
    EXPECT_EQ(device.fvf, 0x142u);
    EXPECT_EQ(device.bound, mine);
    device.SetTexture(0, NULL);
    EXPECT_EQ(mine->Release(), 0u) << "no reference is kept on the caller's texture";
}

TEST_F(FontTest, LinesAreCachedWhateverTheColourAndKnownTextAllocatesNothing) {
    RECT r = {8, 8, 400, 100};
    font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, kGreen);
    font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, 0x80FF0000);
    EXPECT_EQ(device.created.size(), 1u) << "the same text is rasterised once";
    EXPECT_EQ(device.draws[1].vertices[0].color, 0x80FF0000u);
    font->DrawTextA(NULL, "FPS : 60.00", -1, &r, 0, kGreen);
    font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, kGreen);
    EXPECT_EQ(device.created.size(), 2u);

    // Frames of the frame-rate line and a longer two-line text: nothing allocated.
    device.record = false;
    const char* longer = "a longer second line\nand a third line here";
    font->DrawTextA(NULL, longer, -1, &r, DT_CENTER, kGreen);
    const long before = t_allocations;
    char text[32];
    for (int frame = 0; frame < 120; ++frame) {
        snprintf(text, sizeof text, "FPS : %.2f", frame < 60 ? 59.98 : 60.00);
        font->DrawTextA(NULL, text, -1, &r, 0, kGreen);
        font->DrawTextA(NULL, longer, -1, &r, DT_CENTER, 0xFFFFFFFF);
    }
    EXPECT_EQ(t_allocations - before, 0);
    EXPECT_EQ(device.created.size(), 4u);

    // The cache is bounded: a stream of distinct texts does not pile up textures.
    for (int i = 0; i < 600; ++i) font->DrawTextA(NULL, ("score " + std::to_string(i)).c_str(), -1, &r, 0, kGreen);
    EXPECT_LE(fake::Texture::Live(), 300);
}

TEST_F(FontTest, AlignmentLineBreaksClippingAndWordBreak) {
    const int w = W(Measure("Hi there")), h = H(Measure("Hi there"));
    const struct {
        DWORD flags;
        float left, top;
    } cases[] = {{DT_RIGHT, 200.0f - w, 0}, {DT_CENTER, float((200 - w) / 2), 0},
                 {DT_BOTTOM | DT_SINGLELINE, 0, 100.0f - h}, {DT_VCENTER | DT_SINGLELINE, 0, float((100 - h) / 2)}};
    float left, top, right, u;
    for (const auto& c : cases) {
        device.draws.clear();
        RECT r = {0, 0, 200, 100};
        font->DrawTextA(NULL, "Hi there", -1, &r, c.flags, kGreen);
        Quad(0, &left, &top, &right, &u);
        EXPECT_EQ(left, c.left - 0.5f) << c.flags;
        EXPECT_EQ(top, c.top - 0.5f) << c.flags;
        EXPECT_EQ(r.right, 200) << "the rectangle is only written with DT_CALCRECT";
    }
    device.draws.clear();
    RECT r = {0, 0, 300, 200};
    font->DrawTextA(NULL, "first\nsecond\r\nthird", -1, &r, 0, kGreen);
    ASSERT_EQ(device.draws.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(device.draws[i].vertices[0].y, i * h - 0.5f);

    // Cut at the rectangle's right edge, unless DT_NOCLIP; nothing when entirely outside.
    const char* lng = "a rather long line of text";
    device.draws.clear();
    RECT narrow = {10, 10, 40, 200};
    font->DrawTextA(NULL, lng, -1, &narrow, 0, kGreen);
    font->DrawTextA(NULL, lng, -1, &narrow, DT_NOCLIP, kGreen);
    RECT flat = {10, 10, 200, 10};
    font->DrawTextA(NULL, lng, -1, &flat, 0, kGreen);
    ASSERT_EQ(device.draws.size(), 2u);
    Quad(0, &left, &top, &right, &u);
    EXPECT_EQ(right, 39.5f);
    EXPECT_LT(u, 0.5f);
    Quad(1, &left, &top, &right, &u);
    EXPECT_NEAR(right - left, W(Measure(lng)), 1.0f);

    // Word break keeps every line within the width.
    const int limit = W(Measure(lng)) / 3;
    const RECT wrapped = Measure(lng, DT_WORDBREAK, limit);
    EXPECT_LE(W(wrapped), limit);
    EXPECT_GE(H(wrapped), 3 * h);
}

TEST(FontOnDevice, DrawsGreenPixelsInsideItsRectangleOnlyAndRestoresStates) {
    realdevice::Context ctx(320, 200);
    if (!ctx.device) GTEST_SKIP() << ctx.why;
    IDirect3DDevice9* dev = ctx.device;
    ID3DXFont* font = NULL;
    ASSERT_EQ(D3DXCreateFontA(dev, 16, 0, 0, 0, FALSE, SHIFTJIS_CHARSET, 0, 0, 0, kGameFace, &font), D3D_OK);
    RECT size = {8, 8, 8, 8};
    font->DrawTextA(NULL, "FPS : 59.98", -1, &size, DT_CALCRECT, kGreen);
    dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);

    dev->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    dev->BeginScene();
    RECT r = {8, 8, 320, 200};
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
        bright += ((p >> 8) & 0xFF) >= 200;
        outside += x < size.left || x > size.right || y < size.top || y > size.bottom + 1;
        offColour += (p & 0xFF00FFu) != 0;
    }
    EXPECT_GT(lit, 40);
    EXPECT_GT(bright, 10);
    EXPECT_EQ(outside, 0) << "pixels changed outside the text's rectangle";
    EXPECT_EQ(offColour, 0) << "the text is pure green over black";

    DWORD v = 0;
    dev->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, DWORD(D3DZB_TRUE));
    dev->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, DWORD(D3DCULL_CW));
    dev->GetTextureStageState(0, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, DWORD(D3DTOP_SELECTARG2));
    IDirect3DBaseTexture9* bound = NULL;
    dev->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    font->Release();
}

}  // namespace
