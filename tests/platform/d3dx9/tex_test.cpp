// D3DXCreateTextureFromFileA: images written by the test are read back texel
// by texel, through a CPU device (every case) and through the real Direct3D
// layer (when a GL context can be made).
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tex_fake_device.h"
#include "tex_real_device.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

class TextureFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::string(testing::TempDir()) + "d3dx9tex_" + std::to_string(getpid()) + "_" +
              testing::UnitTest::GetInstance()->current_test_info()->name();
        mkdir(dir.c_str(), 0755);
    }
    void TearDown() override {
        for (const std::string& f : files) unlink(f.c_str());
        for (auto it = dirs.rbegin(); it != dirs.rend(); ++it) rmdir(it->c_str());
        rmdir(dir.c_str());
    }
    std::string Path(const std::string& name) {
        files.push_back(dir + "/" + name);
        return files.back();
    }
    std::string Subdir(const std::string& name) {
        dirs.push_back(dir + "/" + name);
        mkdir(dirs.back().c_str(), 0755);
        return dirs.back();
    }
    // A w x h RGBA image whose texel (x, y) is (x*40, y*40, 200 - x*10, 255 - y*20).
    static std::vector<unsigned char> Pattern(int w, int h) {
        std::vector<unsigned char> img(static_cast<size_t>(w) * h * 4);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned char* p = &img[(static_cast<size_t>(y) * w + x) * 4];
                p[0] = static_cast<unsigned char>(x * 40);
                p[1] = static_cast<unsigned char>(y * 40);
                p[2] = static_cast<unsigned char>(200 - x * 10);
                p[3] = static_cast<unsigned char>(255 - y * 20);
            }
        return img;
    }
    static DWORD Argb(const unsigned char* rgba) {
        return (DWORD(rgba[3]) << 24) | (DWORD(rgba[0]) << 16) | (DWORD(rgba[1]) << 8) | rgba[2];
    }
    void WriteFile(const std::string& path, const std::string& bytes) {
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }

    std::string dir;
    std::vector<std::string> files, dirs;
    fake::Device device;
};

TEST_F(TextureFiles, PngKeepsItsSizeAndTexelsAndGetsAFullMipChain) {
    const int w = 5, h = 3;  // not a power of two: the real size is kept
    std::vector<unsigned char> img = Pattern(w, h);
    const std::string path = Path("pattern.png");
    ASSERT_TRUE(stbi_write_png(path.c_str(), w, h, 4, img.data(), w * 4));

    IDirect3DTexture9* tex = NULL;
    ASSERT_EQ(D3DXCreateTextureFromFileA(&device, path.c_str(), &tex), D3D_OK);
    ASSERT_NE(tex, nullptr);
    D3DSURFACE_DESC d;
    ASSERT_EQ(tex->GetLevelDesc(0, &d), D3D_OK);
    EXPECT_EQ(d.Width, 5u);
    EXPECT_EQ(d.Height, 3u);
    EXPECT_EQ(d.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(d.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(tex->GetLevelCount(), 3u) << "5x3, 2x1, 1x1";

    fake::Texture* ft = device.created.at(0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(ft->Texel(0, x, y), Argb(&img[(y * w + x) * 4])) << "texel " << x << "," << y;
    // Every level was written (the fake fills new memory with 0xCD).
    for (UINT l = 1; l < ft->levels.size(); ++l)
        for (UINT y = 0; y < ft->levels[l].h; ++y)
            for (UINT x = 0; x < ft->levels[l].w; ++x) EXPECT_NE(ft->Texel(l, x, y), 0xCDCDCDCDu);
    for (const fake::Texture::Level& l : ft->levels) EXPECT_FALSE(l.locked);
    EXPECT_EQ(tex->Release(), 0u);
}

TEST_F(TextureFiles, MipLevelsAreBoxFilteredAndTransparencyDoesNotDarkenThem) {
    // 4x2: left half opaque red, right half opaque blue.
    std::vector<unsigned char> img(4 * 2 * 4);
    for (int i = 0; i < 8; ++i) {
        const bool left = (i % 4) < 2;
        img[i * 4 + 0] = left ? 255 : 0;
        img[i * 4 + 2] = left ? 0 : 255;
        img[i * 4 + 3] = 255;
    }
    std::string path = Path("halves.png");
    ASSERT_TRUE(stbi_write_png(path.c_str(), 4, 2, 4, img.data(), 16));
    IDirect3DTexture9* tex = NULL;
    ASSERT_EQ(D3DXCreateTextureFromFileA(&device, path.c_str(), &tex), D3D_OK);
    fake::Texture* ft = device.created.back();
    ASSERT_EQ(ft->levels.size(), 3u);
    EXPECT_EQ(ft->Texel(1, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(ft->Texel(1, 1, 0), 0xFF0000FFu);
    const DWORD mixed = ft->Texel(2, 0, 0);
    EXPECT_EQ(mixed >> 24, 0xFFu);
    EXPECT_NEAR(static_cast<int>((mixed >> 16) & 0xFF), 128, 1);
    EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 128, 1);
    tex->Release();

    // 2x1: opaque white beside fully transparent black. The next level keeps
    // the white colour at half coverage instead of turning grey.
    const unsigned char edge[8] = {255, 255, 255, 255, 0, 0, 0, 0};
    path = Path("edge.png");
    ASSERT_TRUE(stbi_write_png(path.c_str(), 2, 1, 4, edge, 8));
    ASSERT_EQ(D3DXCreateTextureFromFileA(&device, path.c_str(), &tex), D3D_OK);
    ft = device.created.back();
    ASSERT_EQ(ft->levels.size(), 2u);
    const DWORD half = ft->Texel(1, 0, 0);
    EXPECT_EQ(half & 0x00FFFFFFu, 0x00FFFFFFu);
    EXPECT_NEAR(static_cast<int>(half >> 24), 128, 1);
    tex->Release();
}

TEST_F(TextureFiles, JpegBmpAndTgaLoadToo) {
    const int w = 16, h = 8;
    std::vector<unsigned char> img(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < img.size(); i += 4) {
        img[i] = 30;
        img[i + 1] = 160;
        img[i + 2] = 220;
        img[i + 3] = 255;
    }
    const std::string jpg = Path("a.jpg"), bmp = Path("a.bmp"), tga = Path("a.tga");
    ASSERT_TRUE(stbi_write_jpg(jpg.c_str(), w, h, 4, img.data(), 95));
    ASSERT_TRUE(stbi_write_bmp(bmp.c_str(), w, h, 4, img.data()));
    ASSERT_TRUE(stbi_write_tga(tga.c_str(), w, h, 4, img.data()));
    for (const std::string& p : {jpg, bmp, tga}) {
        IDirect3DTexture9* tex = NULL;
        ASSERT_EQ(D3DXCreateTextureFromFileA(&device, p.c_str(), &tex), D3D_OK) << p;
        fake::Texture* ft = device.created.back();
        EXPECT_EQ(ft->levels[0].w, 16u);
        EXPECT_EQ(ft->levels[0].h, 8u);
        const DWORD t = ft->Texel(0, 7, 3);
        EXPECT_EQ(t >> 24, 0xFFu) << p;
        EXPECT_NEAR(static_cast<int>((t >> 16) & 0xFF), 30, 4) << p;
        EXPECT_NEAR(static_cast<int>((t >> 8) & 0xFF), 160, 4) << p;
        EXPECT_NEAR(static_cast<int>(t & 0xFF), 220, 4) << p;
        tex->Release();
    }
}

TEST_F(TextureFiles, WindowsStylePathsFindTheFileWhateverTheCase) {
    Subdir("Texture");
    const std::string real = Path("Texture/Title_logo.png");
    std::vector<unsigned char> img = Pattern(2, 2);
    ASSERT_TRUE(stbi_write_png(real.c_str(), 2, 2, 4, img.data(), 8));
    IDirect3DTexture9* tex = NULL;
    const std::string asked = dir + "\\texture\\title_LOGO.PNG";
    ASSERT_EQ(D3DXCreateTextureFromFileA(&device, asked.c_str(), &tex), D3D_OK);
    tex->Release();
}

TEST_F(TextureFiles, FailuresReturnAnErrorAndNoTexture) {
    IDirect3DTexture9* tex = reinterpret_cast<IDirect3DTexture9*>(1);
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, (dir + "/missing.png").c_str(), &tex),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(tex, nullptr);

    const std::string corrupt = Path("corrupt.png");
    WriteFile(corrupt, std::string("\x89PNG\r\n\x1a\n", 8) + " this is not image data at all");
    tex = reinterpret_cast<IDirect3DTexture9*>(1);
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, corrupt.c_str(), &tex), D3DXERR_INVALIDDATA);
    EXPECT_EQ(tex, nullptr);

    // A real PNG cut short.
    std::vector<unsigned char> img = Pattern(5, 3);
    const std::string whole = Path("whole.png"), cut = Path("cut.png");
    ASSERT_TRUE(stbi_write_png(whole.c_str(), 5, 3, 4, img.data(), 20));
    FILE* f = fopen(whole.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string bytes(4096, '\0');
    bytes.resize(fread(&bytes[0], 1, bytes.size(), f));
    fclose(f);
    WriteFile(cut, bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, cut.c_str(), &tex), D3DXERR_INVALIDDATA);
    EXPECT_EQ(tex, nullptr);

    const std::string empty = Path("empty.png");
    WriteFile(empty, "");
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, empty.c_str(), &tex), D3DXERR_INVALIDDATA);
    EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileA(&device, dir.c_str(), &tex))) << "a folder is not an image";
    EXPECT_EQ(tex, nullptr);

    EXPECT_EQ(D3DXCreateTextureFromFileA(NULL, whole.c_str(), &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, NULL, &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, whole.c_str(), NULL), D3DERR_INVALIDCALL);
    EXPECT_TRUE(device.created.empty()) << "no texture is made for a failed load";

    // The device refusing the size is passed on, and nothing is leaked.
    device.maxTextureSize = 4;
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, whole.c_str(), &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex, nullptr);
}

TEST_F(TextureFiles, RealDeviceTexelsMatchTheFile) {
    realdevice::Context ctx;
    if (!ctx.device) GTEST_SKIP() << ctx.why;
    const int w = 6, h = 4;
    std::vector<unsigned char> img = Pattern(w, h);
    const std::string path = Path("real.png");
    ASSERT_TRUE(stbi_write_png(path.c_str(), w, h, 4, img.data(), w * 4));
    IDirect3DTexture9* tex = NULL;
    ASSERT_EQ(D3DXCreateTextureFromFileA(ctx.device, path.c_str(), &tex), D3D_OK);
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(tex->GetLevelCount(), 3u);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(0, &lr, NULL, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = static_cast<const unsigned char*>(lr.pBits) + y * lr.Pitch + x * 4;
            const DWORD got = (DWORD(p[3]) << 24) | (DWORD(p[2]) << 16) | (DWORD(p[1]) << 8) | p[0];
            EXPECT_EQ(got, Argb(&img[(y * w + x) * 4])) << x << "," << y;
        }
    tex->UnlockRect(0);
    EXPECT_EQ(tex->Release(), 0u);
}

}  // namespace
