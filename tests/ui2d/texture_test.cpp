// Texture registry: the getters' bounds, the table's rows, and loading from a
// working directory of generated images (one missing, all present).
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "app/main.h"
#include "app/renderer.h"
#include "ui2d/texture.h"
#include "win32_testing.h"

namespace {

TEST(TextureTable, GettersOutsideTheTableGiveNothing) {
    EXPECT_EQ(GetTextureWidth(TEXTURE_MAX), 0);
    EXPECT_EQ(GetTextureHeight(TEXTURE_MAX), 0);
    EXPECT_EQ(GetTextureWidth(-1), 0);
    EXPECT_EQ(GetTextureHeight(-1), 0);
    EXPECT_EQ(GetTexture(TEXTURE_MAX), nullptr);
    EXPECT_EQ(GetTexture(-1), nullptr);
    EXPECT_EQ(GetTexturePath(TEXTURE_MAX), nullptr);
    EXPECT_EQ(GetTexturePath(-1), nullptr);
    EXPECT_EQ(GetTextureWidth(1 << 30), 0);
}

TEST(TextureTable, RowsAreDistinctFilesUnderTheTextureFolder) {
    std::set<std::string> paths;
    for (int i = 0; i < TEXTURE_MAX; i++) {
        const char* path = GetTexturePath(i);
        ASSERT_NE(path, nullptr) << i;
        std::string p(path);
        EXPECT_LT(p.size(), 64u) << p;
        EXPECT_EQ(p.rfind("asset/texture/", 0), 0u) << p;
        std::string ext = p.substr(p.size() - 4);
        EXPECT_TRUE(ext == ".png" || ext == ".jpg") << p;
        paths.insert(p);
        EXPECT_GT(GetTextureWidth(i), 0) << p;
        EXPECT_GT(GetTextureHeight(i), 0) << p;
    }
    EXPECT_EQ(paths.size(), (size_t)TEXTURE_MAX);
}

TEST(TextureTable, SheetsHoldTheirCellsAndGaugesMatch) {
    // Ten digits of 120 by 100, 26 letters of 100 by 100.
    EXPECT_EQ(GetTextureWidth(TEXTURE_NUMBER_RED), 10 * 120);
    EXPECT_EQ(GetTextureHeight(TEXTURE_NUMBER_RED), 100);
    EXPECT_EQ(GetTextureWidth(TEXTURE_ALPHABET), 26 * 100);
    EXPECT_EQ(GetTextureHeight(TEXTURE_ALPHABET), 100);
    // The HP bar, its frame and the tension bar share one size.
    for (int bar : {TEXTURE_HPBAR, TEXTURE_HPBACK, TEXTURE_TENSION}) {
        EXPECT_EQ(GetTextureWidth(bar), 1000) << GetTexturePath(bar);
        EXPECT_EQ(GetTextureHeight(bar), 50) << GetTexturePath(bar);
    }
    // Full-screen pictures cover the back buffer exactly.
    for (int screen : {TEXTURE_RESULT, TEXTURE_TURI, TEXTURE_BREAK, TEXTURE_TITLE_HAIKEI, TEXTURE_CUTINB}) {
        EXPECT_EQ(GetTextureWidth(screen), SCREEN_WIDTH) << GetTexturePath(screen);
        EXPECT_EQ(GetTextureHeight(screen), SCREEN_HEIGHT) << GetTexturePath(screen);
    }
}

TEST(TextureLoading, WithoutADeviceEveryRowFails) {
    ASSERT_EQ(GetDevice(), nullptr) << "this case needs the renderer to be down";
    EXPECT_EQ(LoadTextures(), TEXTURE_MAX);
    for (int i = 0; i < TEXTURE_MAX; i++) EXPECT_EQ(GetTexture(i), nullptr) << i;
}

// Writes an image of the given size in the file's own format (by extension).
void WriteImage(const std::string& path, int width, int height) {
    std::vector<unsigned char> pixels((size_t)(width * height * 4), 0);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = 200;
        pixels[i + 1] = 100;
        pixels[i + 2] = 50;
        pixels[i + 3] = 255;
    }
    if (path.substr(path.size() - 4) == ".jpg") {
        ASSERT_NE(stbi_write_jpg(path.c_str(), width, height, 4, pixels.data(), 90), 0) << path;
    } else {
        ASSERT_NE(stbi_write_png(path.c_str(), width, height, 4, pixels.data(), width * 4), 0) << path;
    }
}

class TextureLoadingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!getenv("DISPLAY") && !getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
        WinapiTest_InstallMessageBoxHook(IDOK);
        RegisterGameWindowClass(NULL);
        window_ = CreateGameWindow(NULL);
        if (window_) InitRenderer(window_);
        WinapiTest_RemoveMessageBoxHook();
    }
    static void TearDownTestSuite() {
        ReleaseTextures();
        UninitRenderer();
        if (window_) DestroyWindow(window_);
        WinapiTest_DrainMessages();
    }

    void SetUp() override {
        if (!GetDevice()) GTEST_SKIP() << "no Direct3D device can be made here";
        char pattern[] = "/tmp/texture_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(mkdir((dir_ + "/asset").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((dir_ + "/asset/texture").c_str(), 0755), 0);
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
        oldDir_ = cwd;
        ASSERT_EQ(chdir(dir_.c_str()), 0);
    }
    void TearDown() override {
        if (dir_.empty()) return;
        ReleaseTextures();
        EXPECT_EQ(chdir(oldDir_.c_str()), 0);
        for (int i = 0; i < TEXTURE_MAX; i++) unlink((dir_ + "/" + GetTexturePath(i)).c_str());
        rmdir((dir_ + "/asset/texture").c_str());
        rmdir((dir_ + "/asset").c_str());
        rmdir(dir_.c_str());
    }

    // Small images, not of the nominal sizes, for every row but `skip`.
    void WriteAllBut(int skip) {
        for (int i = 0; i < TEXTURE_MAX; i++) {
            if (i != skip) WriteImage(GetTexturePath(i), 8, 4);
        }
    }

    static HWND window_;
    std::string dir_;
    std::string oldDir_;
};
HWND TextureLoadingTest::window_ = NULL;

TEST_F(TextureLoadingTest, OneMissingFileCountsOneAndTheRestLoad) {
    WriteAllBut(TEXTURE_HPBAR);
    EXPECT_EQ(LoadTextures(), 1);
    for (int i = 0; i < TEXTURE_MAX; i++) {
        if (i == TEXTURE_HPBAR) {
            EXPECT_EQ(GetTexture(i), nullptr);
        } else {
            EXPECT_NE(GetTexture(i), nullptr) << GetTexturePath(i);
        }
    }
    // The nominal sizes stand, whatever the files hold.
    EXPECT_EQ(GetTextureWidth(TEXTURE_TITLE_LOGO), 1245);
    EXPECT_EQ(GetTextureHeight(TEXTURE_TITLE_LOGO), 335);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(GetTexture(TEXTURE_TITLE_LOGO)->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 8u);
}

TEST_F(TextureLoadingTest, AllFilesPresentCountsZeroAndReleaseTwiceIsHarmless) {
    WriteAllBut(-1);
    EXPECT_EQ(LoadTextures(), 0);
    for (int i = 0; i < TEXTURE_MAX; i++) EXPECT_NE(GetTexture(i), nullptr) << GetTexturePath(i);

    // Loading again replaces the textures.
    EXPECT_EQ(LoadTextures(), 0);
    for (int i = 0; i < TEXTURE_MAX; i++) EXPECT_NE(GetTexture(i), nullptr) << GetTexturePath(i);

    ReleaseTextures();
    for (int i = 0; i < TEXTURE_MAX; i++) EXPECT_EQ(GetTexture(i), nullptr) << i;
    ReleaseTextures();
    for (int i = 0; i < TEXTURE_MAX; i++) EXPECT_EQ(GetTexture(i), nullptr) << i;
}

}  // namespace
