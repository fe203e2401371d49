// Frame and sprite drawing on a real device, read back from the back buffer:
// the clear colour, the screen fill and the fade over it, the frame-rate line
// over a faded-out scene, textures loaded from a working directory of
// generated images, sprites on their exact pixels, blending, cut-outs and the
// tension gauge.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "app/debugtext.h"
#include "app/debugtext_testing.h"
#include "app/fade.h"
#include "app/main.h"
#include "app/renderer.h"
#include "app/scene.h"
#include "ci_skip.h"
#include "d3d9_testing.h"
#include "game_window.h"
#include "ui2d/sprite.h"
#include "ui2d/texture.h"
#include "ui2d/texture_testing.h"
#include "win32_testing.h"

namespace {

const uint32_t kBlue = 0xFF018CFF, kBlack = 0xFF000000, kRed = 0xFFFF0000, kGreen = 0xFF00FF00;

int Ch(uint32_t c, int shift) { return (int)((c >> shift) & 0xFF); }
// Cell i of the generated letter sheet; neighbouring cells differ strongly.
uint32_t Cell(int i) { return (i % 2) ? 0xFFF0200Au : 0xFF0A20F0u; }

// Writes texture row `index` as a width-by-height image of colour(x), 0xAARRGGBB.
template <typename Colour>
void WriteImage(int index, int width, int height, Colour colour) {
    std::vector<unsigned char> rgba((size_t)(width * height * 4));
    for (int i = 0; i < width * height; i++) {
        uint32_t c = colour(i % width);
        const int shifts[4] = {16, 8, 0, 24};
        for (int k = 0; k < 4; k++) rgba[(size_t)(i * 4 + k)] = (unsigned char)Ch(c, shifts[k]);
    }
    std::string path = GetTexturePath(index);
    bool jpg = path.substr(path.size() - 4) == ".jpg";
    ASSERT_NE(jpg ? stbi_write_jpg(path.c_str(), width, height, 4, rgba.data(), 90)
                  : stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4),
              0)
        << path;
}

class SpriteRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WinapiTest_InstallMessageBoxHook(IDOK);
        if (HWND window = testsupport::OpenGameWindow(NULL)) {
            if (InitRenderer(window)) {
                InitSprite();
                InitDebugText();
            }
        }
        WinapiTest_RemoveMessageBoxHook();
        char pattern[] = "/tmp/sprite_render_XXXXXX", cwd[4096];
        if (!GetDevice() || !mkdtemp(pattern) || !getcwd(cwd, sizeof(cwd))) return;
        dir_ = pattern;
        home_ = cwd;
        mkdir((dir_ + "/asset").c_str(), 0755);
        mkdir((dir_ + "/asset/texture").c_str(), 0755);
    }
    static void TearDownTestSuite() {
        UninitSprite();
        ReleaseTextures();
        UninitDebugText();
        UninitRenderer();
        if (dir_.empty()) return;
        for (int i = 0; i < TEXTURE_MAX; i++) unlink((dir_ + "/" + GetTexturePath(i)).c_str());
        rmdir((dir_ + "/asset/texture").c_str());
        rmdir((dir_ + "/asset").c_str());
        rmdir(dir_.c_str());
    }
    void SetUp() override {
        if (dir_.empty() || !(device_ = GetDevice())) SKIP_OR_FAIL_IN_CI() << "no Direct3D device can be made here";
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        InitFade();
        ClearFrame(device_);
        device_->BeginScene();
    }
    void TearDown() override {
        InitFade();
        if (!device_) return;
        device_->EndScene();
        device_->Present(NULL, NULL, NULL, NULL);
        EXPECT_EQ(chdir(home_.c_str()), 0);
    }
    // Writes every file but `skip` (small, of the wrong size) and the test images; loads.
    int WriteAndLoad(int skip) {
        for (int i = 0; i < TEXTURE_MAX; i++) {
            if (i == skip)
                unlink(GetTexturePath(i));
            else
                WriteImage(i, 8, 4, [](int) { return 0xFFC86432u; });
        }
        if (skip != TEXTURE_CURSOL) WriteImage(TEXTURE_CURSOL, 50, 50, [](int) { return kRed; });  // twice its size
        WriteImage(TEXTURE_FISH, 25, 25, [](int) { return 0x80FF0000u; });
        WriteImage(TEXTURE_HPBACK, 1000, 50, [](int) { return kGreen; });
        WriteImage(TEXTURE_TENSION, 1000, 50, [](int) { return kRed; });
        WriteImage(TEXTURE_ALPHABET, 2600, 100, [](int x) { return Cell(x / 100); });
        return LoadTextures();
    }
    uint32_t Pixel(int x, int y) {
        uint32_t p = 0;
        EXPECT_TRUE(WinapiTest_ReadBackBuffer(device_, x, y, 1, 1, &p));
        return p;
    }
    // Expects `p` to be `top` at `alpha` (0..255) over the clear colour.
    void ExpectOverBlue(uint32_t p, uint32_t top, int alpha) {
        const double a = alpha / 255.0;
        for (int s : {16, 8, 0}) EXPECT_NEAR(Ch(p, s), Ch(top, s) * a + Ch(kBlue, s) * (1 - a), 3.0) << std::hex << p;
    }
    static std::string dir_, home_;
    LPDIRECT3DDEVICE9 device_ = NULL;
};
std::string SpriteRenderTest::dir_, SpriteRenderTest::home_;

TEST_F(SpriteRenderTest, ClearIsTheGameBlueAndHalfBlackFillDarkensEveryPixel) {
    EXPECT_EQ(Pixel(0, 0), kBlue);
    EXPECT_EQ(Pixel(1679, 899), kBlue);
    DrawScreenFill(0x80000000);
    const int points[][2] = {{1, 1}, {1679, 1}, {1, 899}, {1679, 899}, {840, 450}};
    for (const auto& p : points) ExpectOverBlue(Pixel(p[0], p[1]), kBlack, 128);
}

// The fill has no half-pixel shift: its top and left edges run through the
// centres of row 0 and column 0, which Direct3D's top-left fill rule includes.
// GL leaves such ties to the rasteriser: Mesa's llvmpipe, which every test
// run uses, decides them as Direct3D does; its softpipe leaves both out.
TEST_F(SpriteRenderTest, ScreenFillCoversTheTopRowAndLeftColumn) {
    DrawScreenFill(kBlack);
    EXPECT_EQ(Pixel(0, 0), kBlack);
    EXPECT_EQ(Pixel(840, 0), kBlack);
    EXPECT_EQ(Pixel(0, 450), kBlack);
}

TEST_F(SpriteRenderTest, FadeDrawsItsAlphaAndTheFrameRateLineStaysOnTop) {
    DrawFade();
    EXPECT_EQ(Pixel(840, 450), kBlue);  // alpha 0: nothing
    StartFade(true, 15);
    for (int i = 0; i < 8; i++) UpdateFade();
    DrawFade();
    ExpectOverBlue(Pixel(840, 450), kBlack, 120);

    ResetFrameRate(0.0);
    SetScene(SCENE_TITLE);
    StartFade(true, 255);
    UpdateFade();
    DrawFrameContents();
    EXPECT_EQ(Pixel(840, 450), kBlack);  // the scene is under full black
    EXPECT_STREQ(GetDebugText(), "FPS : 0.00");
    std::vector<uint32_t> area(200 * 40);
    ASSERT_TRUE(WinapiTest_ReadBackBuffer(device_, 0, 0, 200, 40, area.data()));
    int inside = 0, outside = 0;
    for (int i = 0; i < 200 * 40; i++) {
        uint32_t p = area[(size_t)i];
        if (Ch(p, 8) > 128 && Ch(p, 16) < 64 && Ch(p, 0) < 64) (i % 200 < 8 || i / 200 < 8 ? outside : inside)++;
    }
    if (inside + outside == 0) SKIP_OR_FAIL_IN_CI() << "no font could be made here";
    EXPECT_GT(inside, 20);  // green text from (8, 8) on
    EXPECT_EQ(outside, 0);
}

TEST_F(SpriteRenderTest, LoadingCountsMissingFilesAndReleaseEmptiesEveryRow) {
    EXPECT_EQ(WriteAndLoad(TEXTURE_HPBAR), 1);
    for (int i = 0; i < TEXTURE_MAX; i++) EXPECT_EQ(GetTexture(i) == nullptr, i == TEXTURE_HPBAR) << i;
    unlink(GetTexturePath(TEXTURE_RESULT));
    EXPECT_EQ(LoadTextures(), 2);  // loading again replaces every row
    EXPECT_EQ(GetTexture(TEXTURE_RESULT), nullptr);
    EXPECT_EQ(WriteAndLoad(-1), 0);
    EXPECT_EQ(GetTextureWidth(TEXTURE_CURSOL), 25);  // the table's size, not the file's
    ReleaseTextures();
    ReleaseTextures();
    for (int i = 0; i < TEXTURE_MAX; i++) EXPECT_EQ(GetTexture(i), nullptr) << i;
}

TEST_F(SpriteRenderTest, SpritesLandOnTheirPixelsAndBlendBelowFullAlpha) {
    ASSERT_EQ(WriteAndLoad(TEXTURE_HIGHLIGHT), 1);
    DrawSprite(TEXTURE_CURSOL, 100.0f, 200.0f);
    std::vector<uint32_t> area(27 * 27);
    ASSERT_TRUE(WinapiTest_ReadBackBuffer(device_, 99, 199, 27, 27, area.data()));
    for (int i = 0; i < 27 * 27; i++) {
        int x = i % 27, y = i / 27;
        bool inside = x >= 1 && x <= 25 && y >= 1 && y <= 25;  // pixels 100..124 by 200..224
        EXPECT_EQ(area[(size_t)i], inside ? kRed : kBlue) << "at " << 99 + x << "," << 199 + y;
    }
    DrawSprite(TEXTURE_FISH, 300.0f, 300.0f);
    ExpectOverBlue(Pixel(312, 312), kRed, 128);
    DrawSprite(TEXTURE_HIGHLIGHT, 700.0f, 100.0f);  // failed to load: untextured white
    EXPECT_EQ(Pixel(700, 100), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(799, 199), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(800, 150), kBlue);
}

// The 2600-wide strip is scaled to a 4096-wide texture (as D3DX does), so a
// cell's edges no longer fall on texel edges: the first and last columns may
// take in a sliver of the neighbouring cells, as on Windows. Each screen pixel
// spans 1.58 texels of level 0 (1.0 strip pixels), sampled from levels 0 and 1
// (a level-1 texel is 1.27 strip pixels), so an edge pixel reaches less than
// half a strip pixel into its neighbour: under a quarter of its colour. Two
// pixels in, only the cell itself shows.
TEST_F(SpriteRenderTest, CutOutShowsOneCellWithOnlyASliverOfItsNeighboursAtTheEdges) {
    ASSERT_EQ(WriteAndLoad(-1), 0);
    DrawSpriteCut(TEXTURE_ALPHABET, 500.0f, 500.0f, 100, 0, 100, 100);
    for (int x : {502, 550, 597}) ExpectOverBlue(Pixel(x, 550), Cell(1), 255);
    for (int x : {500, 599}) {
        for (int s : {16, 8, 0}) {
            const double neighbour = std::abs(Ch(Pixel(x, 550), s) - Ch(Cell(1), s)) / 230.0;  // cells differ by 230
            EXPECT_LT(neighbour, 0.25) << "x " << x << " channel " << s;
        }
    }
    EXPECT_EQ(Pixel(499, 550), kBlue);
    EXPECT_EQ(Pixel(600, 550), kBlue);
}

TEST_F(SpriteRenderTest, TensionGaugeIsTheFrameThenTheBarOfTheTensionsLength) {
    ASSERT_EQ(WriteAndLoad(-1), 0);
    const float tension[] = {0.0f, 100.0f, 200.0f};
    const int barEnd[] = {0, 500, 1000};
    for (int i = 0; i < 3; i++) {
        uint64_t before = WinapiTest_DrawCallCount(device_);
        DrawTensionGauge(tension[i]);
        EXPECT_EQ(WinapiTest_DrawCallCount(device_) - before, 2u);
        for (int y : {60, 109}) {
            for (int x : {0, 499, 500, 999, 1000}) {
                uint32_t expected = x >= 1000 ? kBlue : x < barEnd[i] ? kRed : kGreen;
                EXPECT_EQ(Pixel(x, y), expected) << "tension " << tension[i] << " at " << x << "," << y;
            }
        }
        EXPECT_EQ(Pixel(10, 59), kBlue);
        EXPECT_EQ(Pixel(10, 110), kBlue);
    }
}

}  // namespace
