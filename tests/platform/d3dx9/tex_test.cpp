// D3DXCreateTextureFromFileA: images written by the test are read back texel
// by texel, on a CPU device and on our Direct3D layer (when GL is there).
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
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>

namespace {

class TextureFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testing::TempDir() + "d3dx9tex_" + std::to_string(getpid());
        mkdir(dir.c_str(), 0755);
        mkdir((dir + "/Texture").c_str(), 0755);
    }
    void TearDown() override {
        for (const std::string& f : files) unlink(f.c_str());
        rmdir((dir + "/Texture").c_str());
        rmdir(dir.c_str());
    }
    std::string Path(const std::string& name) {
        files.push_back(dir + "/" + name);
        return files.back();
    }
    // Texel (x, y) of a w x h RGBA test image is (x*40, y*40, 200 - x*10, 255 - y*20).
    static std::vector<unsigned char> Pattern(int w, int h) {
        std::vector<unsigned char> img;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) img.insert(img.end(), {uint8_t(x * 40), uint8_t(y * 40), uint8_t(200 - x * 10), uint8_t(255 - y * 20)});
        return img;
    }
    static DWORD Argb(const unsigned char* p) { return (DWORD(p[3]) << 24) | (DWORD(p[0]) << 16) | (DWORD(p[1]) << 8) | p[2]; }
    std::string Png(const std::string& name, int w, int h, const std::vector<unsigned char>& rgba) {
        const std::string p = Path(name);
        EXPECT_TRUE(stbi_write_png(p.c_str(), w, h, 4, rgba.data(), w * 4));
        return p;
    }
    void Write(const std::string& path, const std::string& bytes) {
        FILE* f = fopen(path.c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }

    std::string dir;
    std::vector<std::string> files;
    fake::Device device;
};

TEST_F(TextureFiles, PngKeepsItsSizeAndTexelsAndGetsAFullMipChain) {
    const std::vector<unsigned char> img = Pattern(5, 3);  // not a power of two: kept as it is
    IDirect3DTexture9* tex = NULL;
    ASSERT_EQ(D3DXCreateTextureFromFileA(&device, Png("p.png", 5, 3, img).c_str(), &tex), D3D_OK);
    fake::Texture* t = device.created.at(0);
    ASSERT_EQ(tex, t);
    EXPECT_EQ(t->format, D3DFMT_A8R8G8B8);
    ASSERT_EQ(t->level.size(), 3u) << "5x3, 2x1, 1x1";
    EXPECT_EQ(t->level[0].w, 5u);
    EXPECT_EQ(t->level[0].h, 3u);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(t->Texel(0, i % 5, i / 5), Argb(&img[i * 4])) << "texel " << i;
    for (const fake::Texture::Level& l : t->level) {
        EXPECT_FALSE(l.locked);
        for (size_t i = 0; i < l.bits.size(); i += 4)
            EXPECT_NE(l.bits[i + 3] << 24 | l.bits[i + 2] << 16 | l.bits[i + 1] << 8 | l.bits[i], 0xCDCDCDCD) << "level left unwritten";
    }
    EXPECT_EQ(tex->Release(), 0u);
}

TEST_F(TextureFiles, MipLevelsAreBoxFilteredAndTransparencyDoesNotDarkenThem) {
    std::vector<unsigned char> halves;  // 4x2: left half opaque red, right half opaque blue
    for (int i = 0; i < 8; ++i) halves.insert(halves.end(), {uint8_t(i % 4 < 2 ? 255 : 0), 0, uint8_t(i % 4 < 2 ? 0 : 255), 255});
    IDirect3DTexture9* tex = NULL;
    ASSERT_EQ(D3DXCreateTextureFromFileA(&device, Png("h.png", 4, 2, halves).c_str(), &tex), D3D_OK);
    fake::Texture* t = device.created.back();
    EXPECT_EQ(t->Texel(1, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(t->Texel(1, 1, 0), 0xFF0000FFu);
    const DWORD mix = t->Texel(2, 0, 0);
    EXPECT_EQ(mix >> 24, 0xFFu);
    EXPECT_NEAR(int((mix >> 16) & 0xFF), 128, 1);
    EXPECT_NEAR(int(mix & 0xFF), 128, 1);
    tex->Release();

    // Opaque white beside transparent black: the next level is white at half coverage, not grey.
    ASSERT_EQ(D3DXCreateTextureFromFileA(&device, Png("e.png", 2, 1, {255, 255, 255, 255, 0, 0, 0, 0}).c_str(), &tex), D3D_OK);
    const DWORD edge = device.created.back()->Texel(1, 0, 0);
    EXPECT_EQ(edge & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_NEAR(int(edge >> 24), 128, 1);
    tex->Release();
}

TEST_F(TextureFiles, JpegBmpAndTgaLoadTooAndPathsAreFoundAsOnWindows) {
    std::vector<unsigned char> img;
    for (int i = 0; i < 16 * 8; ++i) img.insert(img.end(), {30, 160, 220, 255});
    const std::string jpg = Path("a.jpg"), bmp = Path("a.bmp"), tga = Path("Texture/Title_logo.tga");
    ASSERT_TRUE(stbi_write_jpg(jpg.c_str(), 16, 8, 4, img.data(), 95));
    ASSERT_TRUE(stbi_write_bmp(bmp.c_str(), 16, 8, 4, img.data()));
    ASSERT_TRUE(stbi_write_tga(tga.c_str(), 16, 8, 4, img.data()));
    // Backslashes and another case still name the file, as on Windows.
    for (const std::string& p : {jpg, bmp, dir + "\\texture\\title_LOGO.TGA"}) {
        IDirect3DTexture9* tex = NULL;
        ASSERT_EQ(D3DXCreateTextureFromFileA(&device, p.c_str(), &tex), D3D_OK) << p;
        const fake::Texture* t = device.created.back();
        EXPECT_EQ(t->level[0].w * 100 + t->level[0].h, 1608u) << p;
        const DWORD c = t->Texel(0, 7, 3);
        EXPECT_EQ(c >> 24, 0xFFu) << p;
        EXPECT_NEAR(int((c >> 16) & 0xFF), 30, 4) << p;
        EXPECT_NEAR(int((c >> 8) & 0xFF), 160, 4) << p;
        EXPECT_NEAR(int(c & 0xFF), 220, 4) << p;
        tex->Release();
    }
}

TEST_F(TextureFiles, FailuresReturnAnErrorAndNoTexture) {
    const std::string good = Png("good.png", 5, 3, Pattern(5, 3));
    FILE* f = fopen(good.c_str(), "rb");
    std::string bytes(4096, '\0');
    bytes.resize(fread(&bytes[0], 1, bytes.size(), f));
    fclose(f);
    const std::string corrupt = Path("corrupt.png"), cut = Path("cut.png"), empty = Path("empty.png");
    Write(corrupt, std::string("\x89PNG\r\n\x1a\n", 8) + " not image data");
    Write(cut, bytes.substr(0, bytes.size() / 2));
    Write(empty, "");

    struct Case {
        const char* path;
        HRESULT expected;
    } cases[] = {{"/nonexistent/missing.png", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
                 {corrupt.c_str(), D3DXERR_INVALIDDATA},
                 {cut.c_str(), D3DXERR_INVALIDDATA},
                 {empty.c_str(), D3DXERR_INVALIDDATA},
                 {dir.c_str(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)}};
    for (const Case& c : cases) {
        IDirect3DTexture9* tex = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_EQ(D3DXCreateTextureFromFileA(&device, c.path, &tex), c.expected) << c.path;
        EXPECT_EQ(tex, nullptr) << c.path;
    }
    IDirect3DTexture9* tex = NULL;
    EXPECT_EQ(D3DXCreateTextureFromFileA(NULL, good.c_str(), &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, NULL, &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, good.c_str(), NULL), D3DERR_INVALIDCALL);
    EXPECT_TRUE(device.created.empty());
    // The device refusing the size is passed on.
    device.maxSize = 4;
    EXPECT_EQ(D3DXCreateTextureFromFileA(&device, good.c_str(), &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(tex, nullptr);
}

TEST_F(TextureFiles, RealDeviceTexelsMatchTheFile) {
    realdevice::Context ctx;
    if (!ctx.device) GTEST_SKIP() << ctx.why;
    const std::vector<unsigned char> img = Pattern(6, 4);
    IDirect3DTexture9* tex = NULL;
    ASSERT_EQ(D3DXCreateTextureFromFileA(ctx.device, Png("real.png", 6, 4, img).c_str(), &tex), D3D_OK);
    EXPECT_EQ(tex->GetLevelCount(), 3u);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(tex->LockRect(0, &lr, NULL, D3DLOCK_READONLY), D3D_OK);
    for (int i = 0; i < 24; ++i) {
        const unsigned char* p = static_cast<const unsigned char*>(lr.pBits) + (i / 6) * lr.Pitch + (i % 6) * 4;
        EXPECT_EQ((DWORD(p[3]) << 24) | (DWORD(p[2]) << 16) | (DWORD(p[1]) << 8) | p[0], Argb(&img[i * 4])) << i;
    }
    tex->UnlockRect(0);
    EXPECT_EQ(tex->Release(), 0u);
}

}  // namespace
