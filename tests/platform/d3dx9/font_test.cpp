// ID3DXFont: measuring, layout, the quads and states it draws with (on a CPU
// device that records every draw), its cache of rendered lines, and real
// pixels on our Direct3D layer.
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <d3d9_testing.h>

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include <algorithm>
#include <string>
#include <vector>

#include "tex_fake_device.h"
#include "tex_real_device.h"

// Counts operator new calls on this thread, so a test can tell that a code
// path allocates nothing. Storage still comes from malloc as usual.
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
        ASSERT_NE(font, nullptr);
    }
    void TearDown() override {
        if (font) font->Release();
        EXPECT_EQ(device.refs, 1u) << "the font gives its device reference back";
    }
    // The size DT_CALCRECT reports, and the height it returns.
    RECT Measure(const char* text, DWORD format = 0, int width = 0, INT count = -1) {
        RECT r = {10, 20, 10 + width, 20};
        const INT h = font->DrawTextA(NULL, text, count, &r, format | DT_CALCRECT, kGreen);
        EXPECT_EQ(h, r.bottom - r.top);
        return r;
    }
    static int Width(const RECT& r) { return r.right - r.left; }
    static int Height(const RECT& r) { return r.bottom - r.top; }

    fake::Device device;
    ID3DXFont* font = NULL;
};

TEST(FontCreation, ArgumentsAndTheDeviceReference) {
    fake::Device device;
    ID3DXFont* font = reinterpret_cast<ID3DXFont*>(1);
    EXPECT_EQ(D3DXCreateFontA(NULL, 16, 0, 0, 0, FALSE, 0, 0, 0, 0, "Sans", &font), D3DERR_INVALIDCALL);
    EXPECT_EQ(font, nullptr);
    EXPECT_EQ(D3DXCreateFontA(&device, 16, 0, 0, 0, FALSE, 0, 0, 0, 0, "Sans", NULL), D3DERR_INVALIDCALL);
    EXPECT_TRUE(FAILED(D3DXCreateFontA(&device, 1000000, 0, 0, 0, FALSE, 0, 0, 0, 0, "Sans", &font)));
    EXPECT_EQ(font, nullptr);
    ASSERT_EQ(D3DXCreateFontA(&device, 16, 0, FW_BOLD, 0, TRUE, ANSI_CHARSET, 0, 0, 0, NULL, &font), D3D_OK);
    EXPECT_EQ(device.refs, 2u);
    RECT r = {0, 0, 0, 0};
    EXPECT_GT(font->DrawTextA(NULL, "x", -1, &r, 0, kGreen), 0);
    EXPECT_GT(fake::Texture::Live(), 0);
    EXPECT_EQ(font->Release(), 0u);
    EXPECT_EQ(device.refs, 1u);
    EXPECT_EQ(fake::Texture::Live(), 0) << "the font's textures go with it";
}

TEST_F(FontTest, HeightsMeanWhatTheyMeanOnWindows) {
    // A positive height is the cell height: the line is (at most) 16 pixels.
    const int h16 = Height(Measure("FPS : 59.98"));
    EXPECT_LE(h16, 16);
    EXPECT_GE(h16, 14);
    // A negative height is the character height, without the internal leading:
    // for a face with leading (DejaVu Sans has some) the cell is taller.
    ID3DXFont *neg = NULL, *pos = NULL;
    ASSERT_EQ(D3DXCreateFontA(&device, -16, 0, 0, 0, FALSE, ANSI_CHARSET, 0, 0, 0, "DejaVu Sans", &neg), D3D_OK);
    ASSERT_EQ(D3DXCreateFontA(&device, 16, 0, 0, 0, FALSE, ANSI_CHARSET, 0, 0, 0, "DejaVu Sans", &pos), D3D_OK);
    RECT r = {0, 0, 0, 0};
    const int cellOfNeg = neg->DrawTextA(NULL, "FPS", -1, &r, DT_CALCRECT, kGreen);
    const int cellOfPos = pos->DrawTextA(NULL, "FPS", -1, &r, DT_CALCRECT, kGreen);
    EXPECT_GT(cellOfNeg, 16);
    EXPECT_LE(cellOfPos, 16);
    EXPECT_GT(cellOfNeg, cellOfPos);
    neg->Release();
    pos->Release();
    ID3DXFont* big = NULL;
    ASSERT_EQ(D3DXCreateFontA(&device, 40, 0, 0, 0, FALSE, SHIFTJIS_CHARSET, 0, 0, 0, kGameFace, &big), D3D_OK);
    r = {0, 0, 0, 0};
    const int h40 = big->DrawTextA(NULL, "FPS", -1, &r, DT_CALCRECT, kGreen);
    EXPECT_LE(h40, 40);
    EXPECT_GE(h40, 37);
    big->Release();
}

TEST_F(FontTest, CalcRectMeasuresLinesAndDrawsNothing) {
    const RECT shortText = Measure("FPS : 5");
    const RECT longText = Measure("FPS : 59.98");
    EXPECT_EQ(shortText.left, 10);
    EXPECT_EQ(shortText.top, 20);
    EXPECT_GT(Width(shortText), 0);
    EXPECT_GT(Width(longText), Width(shortText));
    EXPECT_EQ(Height(longText), Height(shortText));
    // Two lines: twice the height, the width of the longer one.
    const RECT two = Measure("FPS : 5\nFPS : 59.98");
    EXPECT_EQ(Height(two), 2 * Height(longText));
    EXPECT_EQ(Width(two), Width(longText));
    // The count limits the text.
    EXPECT_EQ(Width(Measure("FPS : 59.98", 0, 0, 3)), Width(Measure("FPS")));
    EXPECT_EQ(Height(Measure("")), 0);
    EXPECT_TRUE(device.draws.empty());
    EXPECT_TRUE(device.created.empty()) << "measuring rasterises nothing";
}

TEST_F(FontTest, DrawsOneColouredQuadPerLineAtTheRectangle) {
    const RECT size = Measure("FPS : 59.98");
    RECT r = {8, 8, 1680, 900};
    const INT h = font->DrawTextA(NULL, "FPS : 59.98", -1, &r, DT_LEFT | DT_TOP, kGreen);
    EXPECT_EQ(h, Height(size));
    ASSERT_EQ(device.draws.size(), 1u);
    const fake::DrawRecord& d = device.draws[0];
    EXPECT_EQ(d.fvf, static_cast<DWORD>(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    EXPECT_EQ(d.type, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(d.primitives, 2u);
    ASSERT_EQ(d.vertices.size(), 4u);
    float minX = 1e9f, minY = 1e9f, maxX = -1e9f;
    for (const fake::Vertex& v : d.vertices) {
        EXPECT_EQ(v.color, kGreen);
        EXPECT_EQ(v.rhw, 1.0f);
        minX = std::min(minX, v.x);
        minY = std::min(minY, v.y);
        maxX = std::max(maxX, v.x);
    }
    // Half-pixel shift: texel i lands on pixel 8 + i.
    EXPECT_EQ(minX, 7.5f);
    EXPECT_EQ(minY, 7.5f);
    EXPECT_NEAR(maxX - minX, Width(size), 1.0f);

    // The texture is white, its alpha the glyph coverage.
    ASSERT_NE(d.texture, nullptr);
    EXPECT_EQ(d.texture->format, D3DFMT_A8R8G8B8);
    int covered = 0, clear = 0;
    for (UINT y = 0; y < d.texture->levels[0].h; ++y)
        for (UINT x = 0; x < d.texture->levels[0].w; ++x) {
            const DWORD t = d.texture->Texel(0, x, y);
            EXPECT_EQ(t & 0x00FFFFFFu, 0x00FFFFFFu);
            covered += (t >> 24) > 200;
            clear += (t >> 24) == 0;
        }
    EXPECT_GT(covered, 20);
    EXPECT_GT(clear, covered);

    // The states of the draw: blended, no depth, no culling, texture times colour.
    EXPECT_EQ(d.renderStates.at(D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(d.renderStates.at(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
    EXPECT_EQ(d.renderStates.at(D3DRS_DESTBLEND), static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(d.renderStates.at(D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_FALSE));
    EXPECT_EQ(d.renderStates.at(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(d.renderStates.at(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));
    EXPECT_EQ(d.stageStates.at({0, D3DTSS_COLOROP}), static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(d.stageStates.at({0, D3DTSS_ALPHAOP}), static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(d.stageStates.at({0, D3DTSS_COLORARG1}), static_cast<DWORD>(D3DTA_TEXTURE));
    EXPECT_EQ(d.stageStates.at({0, D3DTSS_COLORARG2}), static_cast<DWORD>(D3DTA_DIFFUSE));
}

TEST_F(FontTest, RestoresEveryStateItChanged) {
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    device.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device.SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device.SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    device.SetRenderState(D3DRS_LIGHTING, TRUE);
    device.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    device.SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device.SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    device.SetFVF(0x142);
    IDirect3DTexture9* mine = NULL;
    ASSERT_EQ(device.CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &mine, NULL), D3D_OK);
    device.SetTexture(0, mine);
    const auto renderBefore = device.renderStates;
    const auto stageBefore = device.stageStates;
    const auto samplerBefore = device.samplerStates;

    RECT r = {8, 8, 300, 100};
    font->DrawTextA(NULL, "FPS : 59.98\nsecond line", -1, &r, 0, kGreen);
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].renderStates.at(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));

    // Every state is back as it was (states the font never touched included).
    for (const auto& kv : renderBefore) EXPECT_EQ(device.renderStates[kv.first], kv.second) << "render state " << kv.first;
    for (const auto& kv : stageBefore)
        EXPECT_EQ(device.stageStates[kv.first], kv.second) << "stage " << kv.first.first << " state " << kv.first.second;
    for (const auto& kv : samplerBefore) EXPECT_EQ(device.samplerStates[kv.first], kv.second) << "sampler " << kv.first;
    // States the font set that had never been set go back to their value before: 0 on this device.
    for (const auto& kv : device.renderStates) {
        if (!renderBefore.count(kv.first)) {
            EXPECT_EQ(kv.second, 0u) << "render state " << kv.first;
        }
    }
    EXPECT_EQ(device.fvf, 0x142u);
    EXPECT_EQ(device.boundTexture, mine);
    device.SetTexture(0, NULL);
    EXPECT_EQ(mine->Release(), 0u) << "the font keeps no reference on the caller's texture";
}

TEST_F(FontTest, RenderedLinesAreCachedWhateverTheirColour) {
    RECT r = {8, 8, 400, 100};
    font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, kGreen);
    font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, 0x80FF0000);
    EXPECT_EQ(device.created.size(), 1u) << "the same text is rasterised once";
    EXPECT_EQ(device.draws[1].vertices[0].color, 0x80FF0000u);
    EXPECT_EQ(device.draws[0].texture, device.draws[1].texture);
    font->DrawTextA(NULL, "FPS : 60.00", -1, &r, 0, kGreen);
    EXPECT_EQ(device.created.size(), 2u);
    font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, kGreen);
    EXPECT_EQ(device.created.size(), 2u);

    // The cache is bounded: a stream of distinct texts does not pile up textures.
    for (int i = 0; i < 600; ++i) {
        const std::string t = "score " + std::to_string(i);
        font->DrawTextA(NULL, t.c_str(), -1, &r, 0, kGreen);
    }
    EXPECT_LE(fake::Texture::Live(), 300);
    EXPECT_GE(fake::Texture::Live(), 10);
}

TEST_F(FontTest, RedrawingKnownTextAllocatesNothing) {
    device.record = false;
    RECT r = {8, 8, 1680, 900};
    char text[64];
    // Warm up: the frame-rate line and the next value it shows.
    font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, kGreen);
    font->DrawTextA(NULL, "FPS : 60.01", -1, &r, 0, kGreen);
    font->DrawTextA(NULL, "a longer second line\nand a third line here", -1, &r, DT_CENTER, kGreen);
    const int drawsBefore = device.drawCount;
    const long before = t_allocations;
    for (int frame = 0; frame < 120; ++frame) {
        snprintf(text, sizeof text, "FPS : %.2f", frame < 60 ? 59.98 : 60.01);
        font->DrawTextA(NULL, text, -1, &r, 0, kGreen);
        font->DrawTextA(NULL, "a longer second line\nand a third line here", -1, &r, DT_CENTER, 0xFFFFFFFF);
    }
    EXPECT_EQ(t_allocations - before, 0) << "a frame with known text must not allocate";
    EXPECT_EQ(device.drawCount - drawsBefore, 120 * 3);
    EXPECT_EQ(device.created.size(), 4u) << "two frame-rate lines and the two longer ones";
}

TEST_F(FontTest, AlignmentFlagsPlaceTheBlockInTheRectangle) {
    const RECT size = Measure("Hi there");
    const int w = Width(size), h = Height(size);
    struct Case {
        DWORD flags;
        float left, top;
    };
    const RECT r = {0, 0, 200, 100};
    const Case cases[] = {
        {DT_RIGHT, 200.0f - w, 0.0f},
        {DT_CENTER, static_cast<float>((200 - w) / 2), 0.0f},
        {DT_BOTTOM | DT_SINGLELINE, 0.0f, 100.0f - h},
        {DT_VCENTER | DT_SINGLELINE, 0.0f, static_cast<float>((100 - h) / 2)},
        {DT_CENTER | DT_VCENTER | DT_SINGLELINE, static_cast<float>((200 - w) / 2), static_cast<float>((100 - h) / 2)},
    };
    for (const Case& c : cases) {
        device.draws.clear();
        RECT rr = r;
        font->DrawTextA(NULL, "Hi there", -1, &rr, c.flags, kGreen);
        ASSERT_EQ(device.draws.size(), 1u) << c.flags;
        EXPECT_EQ(device.draws[0].vertices[0].x, c.left - 0.5f) << c.flags;
        EXPECT_EQ(device.draws[0].vertices[0].y, c.top - 0.5f) << c.flags;
        EXPECT_EQ(rr.right, r.right) << "the rectangle is only written with DT_CALCRECT";
    }
}

TEST_F(FontTest, LineBreaksAndSingleLine) {
    RECT r = {0, 0, 300, 200};
    const int line = Height(Measure("a"));
    EXPECT_EQ(font->DrawTextA(NULL, "first\nsecond\r\nthird\n", -1, &r, 0, kGreen), 3 * line);
    ASSERT_EQ(device.draws.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(device.draws[i].vertices[0].y, i * line - 0.5f);

    device.draws.clear();
    EXPECT_EQ(font->DrawTextA(NULL, "first\nsecond", -1, &r, DT_SINGLELINE, kGreen), line);
    EXPECT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(Width(Measure("first\nsecond", DT_SINGLELINE)), Width(Measure("firstsecond")));

    device.draws.clear();
    EXPECT_EQ(font->DrawTextA(NULL, NULL, -1, &r, 0, kGreen), 0);
    EXPECT_EQ(font->DrawTextA(NULL, "", -1, &r, 0, kGreen), 0);
    EXPECT_TRUE(device.draws.empty());
}

TEST_F(FontTest, TextIsClippedToTheRectangleUnlessNoClip) {
    const RECT size = Measure("a rather long line of text");
    ASSERT_GT(Width(size), 40);
    RECT r = {10, 10, 40, 200};
    font->DrawTextA(NULL, "a rather long line of text", -1, &r, 0, kGreen);
    ASSERT_EQ(device.draws.size(), 1u);
    float maxX = 0, maxU = 0;
    for (const fake::Vertex& v : device.draws[0].vertices) {
        maxX = std::max(maxX, v.x);
        maxU = std::max(maxU, v.u);
    }
    EXPECT_EQ(maxX, 39.5f);
    EXPECT_LT(maxU, 0.5f);
    EXPECT_GT(maxU, 0.0f);

    device.draws.clear();
    font->DrawTextA(NULL, "a rather long line of text", -1, &r, DT_NOCLIP, kGreen);
    ASSERT_EQ(device.draws.size(), 1u);
    maxX = 0;
    for (const fake::Vertex& v : device.draws[0].vertices) maxX = std::max(maxX, v.x);
    EXPECT_GT(maxX, 40.0f + Width(size) / 2);

    // Entirely outside: nothing is drawn.
    device.draws.clear();
    RECT below = {10, 10, 200, 10};
    font->DrawTextA(NULL, "a", -1, &below, DT_TOP, kGreen);
    EXPECT_TRUE(device.draws.empty());
}

TEST_F(FontTest, WordBreakWrapsWithinTheWidth) {
    const char* text = "one two three four five six seven";
    const RECT wide = Measure(text);
    const int limit = Width(wide) / 3;
    const RECT wrapped = Measure(text, DT_WORDBREAK, limit);
    EXPECT_LE(Width(wrapped), limit);
    EXPECT_GE(Height(wrapped), 3 * Height(wide));
    RECT r = {0, 0, limit, 400};
    font->DrawTextA(NULL, text, -1, &r, DT_WORDBREAK, kGreen);
    EXPECT_EQ(device.draws.size(), static_cast<size_t>(Height(wrapped) / Height(wide)));
    for (const fake::DrawRecord& d : device.draws)
        for (const fake::Vertex& v : d.vertices) EXPECT_LE(v.u, 1.0f);
}

TEST_F(FontTest, ShiftJisBytesAndJapaneseGlyphs) {
    // "テスト" in Shift-JIS and in UTF-8 measure the same.
    const RECT sjis = Measure("\x83\x65\x83\x58\x83\x67");
    const RECT utf8 = Measure("テスト");
    EXPECT_GT(Width(utf8), 0);
    EXPECT_EQ(Width(sjis), Width(utf8));
    // The font falls back to a face that has Japanese glyphs: two different
    // characters rasterise differently (missing glyphs would all be the same box).
    RECT r = {0, 0, 100, 100};
    font->DrawTextA(NULL, "テ", -1, &r, 0, kGreen);
    font->DrawTextA(NULL, "ス", -1, &r, 0, kGreen);
    ASSERT_EQ(device.draws.size(), 2u);
    const fake::Texture* a = device.draws[0].texture;
    const fake::Texture* b = device.draws[1].texture;
    ASSERT_EQ(a->levels[0].w, b->levels[0].w);
    EXPECT_NE(a->levels[0].bits, b->levels[0].bits);
}

// ---- on our Direct3D layer ----

TEST(FontOnDevice, DrawsGreenPixelsInsideItsRectangleOnly) {
    realdevice::Context ctx(320, 200);
    if (!ctx.device) GTEST_SKIP() << ctx.why;
    IDirect3DDevice9* dev = ctx.device;
    ID3DXFont* font = NULL;
    ASSERT_EQ(D3DXCreateFontA(dev, 16, 0, 0, 0, FALSE, SHIFTJIS_CHARSET, 0, 0, 0, kGameFace, &font), D3D_OK);
    RECT size = {8, 8, 8, 8};
    font->DrawTextA(NULL, "FPS : 59.98", -1, &size, DT_CALCRECT, kGreen);

    // States the game may have set before: they must survive the text.
    dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);

    ASSERT_EQ(dev->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    RECT r = {8, 8, 320, 200};
    EXPECT_EQ(font->DrawTextA(NULL, "FPS : 59.98", -1, &r, 0, kGreen), size.bottom - size.top);
    std::vector<uint32_t> px(320 * 200);
    ASSERT_TRUE(WinapiTest_ReadBackBuffer(dev, 0, 0, 320, 200, px.data()));
    dev->EndScene();

    int lit = 0, bright = 0, outside = 0, offColour = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const uint32_t p = px[y * 320 + x] & 0x00FFFFFFu;
            if (p == 0) continue;
            ++lit;
            if (x < size.left || x >= size.right + 1 || y < size.top || y >= size.bottom + 2) ++outside;
            if ((p >> 16) != 0 || (p & 0xFF) != 0) ++offColour;
            if (((p >> 8) & 0xFF) >= 200) ++bright;
        }
    EXPECT_GT(lit, 40);
    EXPECT_GT(bright, 10);
    EXPECT_EQ(outside, 0) << "pixels changed outside the text's rectangle";
    EXPECT_EQ(offColour, 0) << "the text is pure green over black";

    DWORD v = 0;
    dev->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DZB_TRUE));
    dev->GetRenderState(D3DRS_ALPHABLENDENABLE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(FALSE));
    dev->GetRenderState(D3DRS_CULLMODE, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DCULL_CW));
    dev->GetTextureStageState(0, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTOP_SELECTARG2));
    IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    dev->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    if (bound && bound != reinterpret_cast<IDirect3DBaseTexture9*>(1)) bound->Release();
    font->Release();
}

}  // namespace
