// Sprite draws on a real device, read back from the back buffer: a textured
// sprite on its exact pixels at its nominal size, blending below full alpha, a
// cut-out cell of a sheet, an untextured quad for a missing texture and the
// tension gauge.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "app/main.h"
#include "app/renderer.h"
#include "d3d9_testing.h"
#include "ui2d/sprite.h"
#include "ui2d/texture.h"
#include "win32_testing.h"

namespace {

const uint32_t kClear = 0xFF018CFF;

int Channel(uint32_t argb, int shift) { return (int)((argb >> shift) & 0xFF); }

// Colour of cell i of the generated letter sheet: neighbours differ strongly.
void CellColour(int i, unsigned char rgba[4]) {
    rgba[0] = (unsigned char)((i % 2) ? 240 : 10);
    rgba[1] = (unsigned char)(i * 9);
    rgba[2] = (unsigned char)((i % 2) ? 10 : 240);
    rgba[3] = 255;
}

void WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgba) {
    ASSERT_NE(stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4), 0) << path;
}

void WriteSolid(const std::string& path, int width, int height, unsigned char r, unsigned char g, unsigned char b,
                unsigned char a) {
    std::vector<unsigned char> rgba((size_t)(width * height * 4));
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = r;
        rgba[i + 1] = g;
        rgba[i + 2] = b;
        rgba[i + 3] = a;
    }
    WritePng(path, width, height, rgba);
}

class SpriteRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!getenv("DISPLAY") && !getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
        WinapiTest_InstallMessageBoxHook(IDOK);
        RegisterGameWindowClass(NULL);
        window_ = CreateGameWindow(NULL);
        if (!window_ || !InitRenderer(window_)) {
            WinapiTest_RemoveMessageBoxHook();
            return;
        }
        WinapiTest_RemoveMessageBoxHook();

        char pattern[] = "/tmp/sprite_render_XXXXXX";
        if (!mkdtemp(pattern)) return;
        dir_ = pattern;
        mkdir((dir_ + "/asset").c_str(), 0755);
        mkdir((dir_ + "/asset/texture").c_str(), 0755);
        // The cursor file is twice its nominal size: the draw must use 25 by 25.
        WriteSolid(dir_ + "/" + GetTexturePath(TEXTURE_CURSOL), 50, 50, 255, 0, 0, 255);
        WriteSolid(dir_ + "/" + GetTexturePath(TEXTURE_FISH), 25, 25, 255, 0, 0, 128);
        WriteSolid(dir_ + "/" + GetTexturePath(TEXTURE_HPBACK), 1000, 50, 0, 255, 0, 255);
        WriteSolid(dir_ + "/" + GetTexturePath(TEXTURE_TENSION), 1000, 50, 255, 0, 0, 255);
        std::vector<unsigned char> sheet((size_t)(2600 * 100 * 4));
        for (int y = 0; y < 100; y++) {
            for (int x = 0; x < 2600; x++) CellColour(x / 100, &sheet[(size_t)((y * 2600 + x) * 4)]);
        }
        WritePng(dir_ + "/" + GetTexturePath(TEXTURE_ALPHABET), 2600, 100, sheet);

        char cwd[4096];
        if (!getcwd(cwd, sizeof(cwd))) return;
        if (chdir(dir_.c_str()) != 0) return;
        LoadTextures();
        if (chdir(cwd) != 0) return;
        InitSprite();
    }
    static void TearDownTestSuite() {
        UninitSprite();
        ReleaseTextures();
        UninitRenderer();
        if (window_) DestroyWindow(window_);
        WinapiTest_DrainMessages();
        if (!dir_.empty()) {
            for (int i = 0; i < TEXTURE_MAX; i++) unlink((dir_ + "/" + GetTexturePath(i)).c_str());
            rmdir((dir_ + "/asset/texture").c_str());
            rmdir((dir_ + "/asset").c_str());
            rmdir(dir_.c_str());
        }
    }

    void SetUp() override {
        device_ = GetDevice();
        if (!device_) GTEST_SKIP() << "no Direct3D device can be made here";
        ASSERT_NE(GetTexture(TEXTURE_CURSOL), nullptr) << "generated textures did not load";
        ClearFrame(device_);
        device_->BeginScene();
    }
    void TearDown() override {
        if (!device_) return;
        device_->EndScene();
        device_->Present(NULL, NULL, NULL, NULL);
    }

    std::vector<uint32_t> Area(int x, int y, int w, int h) {
        std::vector<uint32_t> pixels((size_t)(w * h), 0);
        EXPECT_TRUE(WinapiTest_ReadBackBuffer(device_, x, y, w, h, pixels.data()));
        return pixels;
    }
    uint32_t Pixel(int x, int y) { return Area(x, y, 1, 1)[0]; }
    static bool Near(uint32_t p, int r, int g, int b, int tolerance) {
        return abs(Channel(p, 16) - r) <= tolerance && abs(Channel(p, 8) - g) <= tolerance &&
               abs(Channel(p, 0) - b) <= tolerance;
    }

    static HWND window_;
    static std::string dir_;
    LPDIRECT3DDEVICE9 device_ = NULL;
};
HWND SpriteRenderTest::window_ = NULL;
std::string SpriteRenderTest::dir_;

TEST_F(SpriteRenderTest, TexturedSpriteCoversExactlyItsNominalPixels) {
    DrawSprite(TEXTURE_CURSOL, 100.0f, 200.0f);
    // Pixels 100..124 by 200..224 are the texture, the ring around them is not.
    std::vector<uint32_t> area = Area(99, 199, 27, 27);
    for (int y = 0; y < 27; y++) {
        for (int x = 0; x < 27; x++) {
            uint32_t p = area[(size_t)(y * 27 + x)];
            bool inside = x >= 1 && x <= 25 && y >= 1 && y <= 25;
            if (inside) {
                EXPECT_EQ(p, 0xFFFF0000u) << "inside at " << 99 + x << "," << 199 + y;
            } else {
                EXPECT_EQ(p, kClear) << "outside at " << 99 + x << "," << 199 + y;
            }
        }
    }
}

TEST_F(SpriteRenderTest, AlphaBelowFullBlendsWithWhatIsBehind) {
    DrawSprite(TEXTURE_FISH, 300.0f, 300.0f);
    const double a = 128.0 / 255.0;
    uint32_t p = Pixel(312, 312);
    EXPECT_TRUE(Near(p, (int)(255 * a + 0x01 * (1 - a) + 0.5), (int)(0x8C * (1 - a) + 0.5),
                     (int)(0xFF * (1 - a) + 0.5), 3))
        << std::hex << p;
}

TEST_F(SpriteRenderTest, CutOutShowsOneCellOfTheSheet) {
    DrawSpriteCut(TEXTURE_ALPHABET, 500.0f, 500.0f, 100, 0, 100, 100);
    unsigned char b[4];
    CellColour(1, b);
    // Interior and the first and last columns: texel centres meet pixel centres,
    // so no neighbouring cell bleeds in.
    for (int x : {500, 501, 550, 598, 599}) {
        uint32_t p = Pixel(x, 550);
        EXPECT_TRUE(Near(p, b[0], b[1], b[2], 8)) << "at x " << x << ": " << std::hex << p;
    }
    EXPECT_EQ(Pixel(499, 550), kClear);
    EXPECT_EQ(Pixel(600, 550), kClear);
}

TEST_F(SpriteRenderTest, MissingTextureDrawsAnUntexturedQuad) {
    ASSERT_EQ(GetTexture(TEXTURE_HIGHLIGHT), nullptr);
    DrawSprite(TEXTURE_HIGHLIGHT, 700.0f, 100.0f);
    EXPECT_EQ(Pixel(700, 100), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(799, 199), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(800, 150), kClear);
}

TEST_F(SpriteRenderTest, TensionGaugeIsFrameThenBarOfTheTensionsLength) {
    uint64_t before = WinapiTest_DrawCallCount(device_);
    DrawTensionGauge(100.0f);
    EXPECT_EQ(WinapiTest_DrawCallCount(device_) - before, 2u);

    for (int y : {60, 85, 109}) {
        EXPECT_EQ(Pixel(0, y), 0xFFFF0000u) << y;
        EXPECT_EQ(Pixel(499, y), 0xFFFF0000u) << y;
        EXPECT_EQ(Pixel(500, y), 0xFF00FF00u) << y;
        EXPECT_EQ(Pixel(999, y), 0xFF00FF00u) << y;
        EXPECT_EQ(Pixel(1000, y), kClear) << y;
    }
    EXPECT_EQ(Pixel(10, 59), kClear);
    EXPECT_EQ(Pixel(10, 110), kClear);
}

TEST_F(SpriteRenderTest, TensionZeroShowsOnlyTheFrameAndFullShowsOnlyTheBar) {
    DrawTensionGauge(0.0f);
    EXPECT_EQ(Pixel(0, 80), 0xFF00FF00u);
    EXPECT_EQ(Pixel(999, 80), 0xFF00FF00u);

    DrawTensionGauge(200.0f);
    EXPECT_EQ(Pixel(0, 80), 0xFFFF0000u);
    EXPECT_EQ(Pixel(999, 80), 0xFFFF0000u);
    EXPECT_EQ(Pixel(1000, 80), kClear);
}

}  // namespace
