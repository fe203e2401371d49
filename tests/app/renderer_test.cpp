// Renderer and frame drawing, read back from the back buffer: the clear
// colour, the blending every draw relies on, the fade rectangle and the
// frame-rate line drawn over a black screen.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>

#include <vector>

#include "app/debugtext.h"
#include "app/fade.h"
#include "app/main.h"
#include "app/renderer.h"
#include "app/scene.h"
#include "d3d9_testing.h"
#include "ui2d/sprite.h"
#include "win32_testing.h"

namespace {

int Channel(uint32_t argb, int shift) { return (int)((argb >> shift) & 0xFF); }

class RendererTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!getenv("DISPLAY") && !getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
        WinapiTest_InstallMessageBoxHook(IDOK);
        WinapiTest_ClearMessageBoxes();
        RegisterGameWindowClass(NULL);
        window_ = CreateGameWindow(NULL);
        if (window_ && InitRenderer(window_)) {
            InitSprite();
            InitDebugText();
        }
        WinapiTest_RemoveMessageBoxHook();
    }
    static void TearDownTestSuite() {
        UninitDebugText();
        UninitSprite();
        UninitRenderer();
        if (window_) DestroyWindow(window_);
        WinapiTest_DrainMessages();
    }

    void SetUp() override {
        device_ = GetDevice();
        if (!device_) GTEST_SKIP() << "no Direct3D device can be made here";
        InitFade();
        ClearFrame(device_);
        device_->BeginScene();
    }
    void TearDown() override {
        if (!device_) return;
        device_->EndScene();
        device_->Present(NULL, NULL, NULL, NULL);
    }

    uint32_t Pixel(int x, int y) {
        uint32_t pixel = 0;
        EXPECT_TRUE(WinapiTest_ReadBackBuffer(device_, x, y, 1, 1, &pixel));
        return pixel;
    }
    std::vector<uint32_t> Area(int x, int y, int w, int h) {
        std::vector<uint32_t> pixels((size_t)(w * h), 0);
        EXPECT_TRUE(WinapiTest_ReadBackBuffer(device_, x, y, w, h, pixels.data()));
        return pixels;
    }
    void ExpectNear(uint32_t actual, int r, int g, int b, int tolerance) {
        EXPECT_NEAR(Channel(actual, 16), r, tolerance) << std::hex << actual;
        EXPECT_NEAR(Channel(actual, 8), g, tolerance) << std::hex << actual;
        EXPECT_NEAR(Channel(actual, 0), b, tolerance) << std::hex << actual;
    }

    static HWND window_;
    LPDIRECT3DDEVICE9 device_ = NULL;
};
HWND RendererTest::window_ = NULL;

TEST_F(RendererTest, FrameIsClearedToTheGameBlue) {
    const int points[][2] = {{0, 0}, {1679, 0}, {0, 899}, {1679, 899}, {840, 450}};
    for (const auto& point : points) {
        EXPECT_EQ(Pixel(point[0], point[1]), 0xFF018CFFu) << point[0] << "," << point[1];
    }
}

TEST_F(RendererTest, HalfBlackFillDarkensTheScreenByHalf) {
    DrawScreenFill(0x80000000);
    // Source alpha blending: clear colour times (1 - 128/255).
    const double keep = 1.0 - 128.0 / 255.0;
    const int points[][2] = {{1, 1}, {1679, 1}, {1, 899}, {1679, 899}, {840, 450}};
    for (const auto& point : points) {
        ExpectNear(Pixel(point[0], point[1]), (int)(0x01 * keep + 0.5), (int)(0x8C * keep + 0.5),
                   (int)(0xFF * keep + 0.5), 2);
    }
}

// The fill has no half-pixel shift, so its top and left edges run through the
// centres of row 0 and column 0; with Direct3D's top-left rule both are covered.
TEST_F(RendererTest, ScreenFillCoversTheTopRowAndLeftColumn) {
    DrawScreenFill(0xFF000000);
    EXPECT_EQ(Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(Pixel(840, 0), 0xFF000000u);
    EXPECT_EQ(Pixel(0, 450), 0xFF000000u);
    EXPECT_EQ(Pixel(1679, 0), 0xFF000000u);
    EXPECT_EQ(Pixel(0, 899), 0xFF000000u);
}

TEST_F(RendererTest, FadeDrawsNothingAtZeroAndDarkensAtFullBlack) {
    DrawFade();
    EXPECT_EQ(Pixel(840, 450), 0xFF018CFFu);
    EXPECT_EQ(Pixel(1, 1), 0xFF018CFFu);

    StartFade(true, 255);
    UpdateFade();
    ASSERT_EQ(GetFadeAlpha(), 255);
    DrawFade();
    EXPECT_EQ(Pixel(840, 450), 0xFF000000u);
    EXPECT_EQ(Pixel(1, 1), 0xFF000000u);
    EXPECT_EQ(Pixel(1679, 899), 0xFF000000u);
    InitFade();

    // Half way through a fade-out.
    ClearFrame(device_);
    StartFade(true, 15);
    for (int frame = 0; frame < 8; frame++) UpdateFade();
    ASSERT_EQ(GetFadeAlpha(), 120);
    DrawFade();
    const double keep = 1.0 - 120.0 / 255.0;
    ExpectNear(Pixel(840, 450), (int)(0x01 * keep + 0.5), (int)(0x8C * keep + 0.5), (int)(0xFF * keep + 0.5), 2);
    InitFade();
}

TEST_F(RendererTest, FrameRateLineStaysGreenOverTheFadedOutScene) {
    ResetFrameRate(0.0);
    SetScene(SCENE_TITLE);
    StartFade(true, 255);
    UpdateFade();
    DrawFrameContents();
    InitFade();

    // The scene is hidden under full black...
    EXPECT_EQ(Pixel(840, 450), 0xFF000000u);
    EXPECT_EQ(Pixel(1679, 899), 0xFF000000u);

    // ...and the text, when the font exists, is green from (8, 8) on.
    std::vector<uint32_t> area = Area(0, 0, 200, 40);
    int green = 0;
    int outside = 0;
    for (int y = 0; y < 40; y++) {
        for (int x = 0; x < 200; x++) {
            uint32_t p = area[(size_t)(y * 200 + x)];
            bool isGreen = Channel(p, 8) > 128 && Channel(p, 16) < 64 && Channel(p, 0) < 64;
            if (!isGreen) continue;
            if (x < 8 || y < 8) outside++;
            else green++;
        }
    }
    if (green == 0 && outside == 0) GTEST_SKIP() << "no font could be made here";
    EXPECT_GT(green, 20);
    EXPECT_EQ(outside, 0);
    EXPECT_STREQ(GetDebugText(), "FPS : 0.00");
}

}  // namespace
