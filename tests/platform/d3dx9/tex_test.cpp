// D3DXCreateTextureFromFileA: images written by the test, read back texel by
// texel from a device of the null back end.
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <d3d9_testing.h>

#include "ci_skip.h"
#include "test_device.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image_write.h>

namespace {

typedef std::vector<unsigned char> Rgba;

// A texture as loaded: its format and every level's size and texels.
struct Loaded {
    struct Level {
        UINT w, h;
        std::vector<DWORD> texels;  // 0xAARRGGBB, row by row
    };
    D3DFORMAT format = D3DFMT_UNKNOWN;
    std::vector<Level> level;
    DWORD Texel(UINT l, UINT x, UINT y) const { return level[l].texels[(size_t)y * level[l].w + x]; }
};

// Loads files into textures of a null-back-end device and reads them back
// through LockRect.
class TextureFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir + "Texture");
        if (!td.Open(64, 64, testsupport::Drawing::kNoPixels)) SKIP_OR_FAIL_IN_CI() << td.Why();
        device = td.Device();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Png(const std::string& name, int w, int h, const Rgba& px) {
        EXPECT_TRUE(stbi_write_png((dir + name).c_str(), w, h, 4, px.data(), w * 4));
        return dir + name;
    }
    // Loads `path`; what the texture holds (no levels when none was made).
    Loaded Load(const std::string& path, HRESULT expect = D3D_OK) { return LoadOn(device, path, expect); }
    // The same on `on`, with GenerateMipSubLevels called before the first lock
    // when `generate` is set.
    Loaded LoadOn(IDirect3DDevice9* on, const std::string& path, HRESULT expect, bool generate = false) {
        Loaded out;
        IDirect3DTexture9* tex = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_EQ(D3DXCreateTextureFromFileA(on, path.c_str(), &tex), expect) << path;
        if (FAILED(expect)) {
            EXPECT_EQ(tex, nullptr) << path;
        }
        if (!tex || FAILED(expect)) return out;
        if (generate) tex->GenerateMipSubLevels();
        for (UINT l = 0; l < tex->GetLevelCount(); ++l) {
            D3DSURFACE_DESC desc;
            D3DLOCKED_RECT lr;
            EXPECT_EQ(tex->GetLevelDesc(l, &desc), D3D_OK);
            out.format = desc.Format;
            Loaded::Level level = {desc.Width, desc.Height, {}};
            EXPECT_EQ(tex->LockRect(l, &lr, NULL, D3DLOCK_READONLY), D3D_OK);
            for (UINT y = 0; y < desc.Height; ++y) {
                const DWORD* row = reinterpret_cast<const DWORD*>(static_cast<const char*>(lr.pBits) + y * lr.Pitch);
                level.texels.insert(level.texels.end(), row, row + desc.Width);
            }
            tex->UnlockRect(l);
            out.level.push_back(level);
        }
        tex->Release();
        return out;
    }
    static DWORD Argb(const unsigned char* p) {
        return DWORD(p[3]) << 24 | DWORD(p[0]) << 16 | DWORD(p[1]) << 8 | p[2];
    }

    std::string dir = testing::TempDir() + "d3dx9tex_" + std::to_string(getpid()) + "/";
    testsupport::TestDevice td;
    IDirect3DDevice9* device = NULL;
};

// Each of the four channels of `c` within `tol` of those of `e`.
void ExpectNear(DWORD c, DWORD e, int tol, const std::string& what = "") {
    for (int shift = 0; shift < 32; shift += 8)
        EXPECT_NEAR(int(c >> shift & 0xFF), int(e >> shift & 0xFF), tol) << what << " bits " << shift;
}

TEST_F(TextureFiles, PngIsRoundedUpToPowersOfTwoAndGetsBoxFilteredMipLevels) {
    Rgba img;  // 5x3: D3DX's default size is 8x4
    for (int i = 0; i < 15; ++i)
        img.insert(img.end(), {uint8_t(i % 5 * 40), uint8_t(i / 5 * 40), uint8_t(200 - i), uint8_t(255 - i)});
    Loaded t = Load(Png("p.png", 5, 3, img));
    EXPECT_EQ(t.format, D3DFMT_A8R8G8B8);
    ASSERT_EQ(t.level.size(), 4u) << "8x4, 4x2, 2x1, 1x1";
    EXPECT_EQ(t.level[0].w * 10 + t.level[0].h, 84u);
    // Corner texels of the 8x4 cover (0..0.625, 0..0.75) and (4.375..5, 2.25..3)
    // of the image: inside its corner texels alone.
    EXPECT_EQ(t.Texel(0, 0, 0), Argb(&img[0]));
    EXPECT_EQ(t.Texel(0, 7, 3), Argb(&img[14 * 4]));
    // Every texel is opaque enough that a level left as created (all zero) shows.
    for (const Loaded::Level& l : t.level) EXPECT_GT(l.texels[0] >> 24, 200u) << "level left unwritten";

    // 3x1 grey 0, 90, 180 scaled to 4x1 with the triangle filter: each new
    // texel spans 3/4 of an old one, so (0), (0.25*0 + 0.5*90)/0.75,
    // (0.5*90 + 0.25*180)/0.75, (180).
    t = Load(Png("g.png", 3, 1, {0, 0, 0, 255, 90, 90, 90, 255, 180, 180, 180, 255}));
    ASSERT_EQ(t.level[0].w * 10 + t.level[0].h, 41u);
    EXPECT_EQ(t.Texel(0, 0, 0), 0xFF000000u);
    EXPECT_EQ(t.Texel(0, 1, 0), 0xFF3C3C3Cu);  // 60
    EXPECT_EQ(t.Texel(0, 2, 0), 0xFF787878u);  // 120
    EXPECT_EQ(t.Texel(0, 3, 0), 0xFFB4B4B4u);  // 180
    // Opaque red, opaque red, transparent black: texel 2 spans half of the
    // second red and a quarter of the transparent one, so alpha
    // (0.5*255 + 0.25*0)/0.75 = 170 and the colour stays pure red.
    t = Load(Png("a.png", 3, 1, {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 0, 0}));
    EXPECT_EQ(t.Texel(0, 2, 0), 0xAAFF0000u);
    Rgba halves;  // 4x2: left half opaque red, right half opaque blue
    for (int i = 0; i < 8; ++i)
        halves.insert(halves.end(), {uint8_t(i % 4 < 2 ? 255 : 0), 0, uint8_t(i % 4 < 2 ? 0 : 255), 255});
    t = Load(Png("h.png", 4, 2, halves));
    ASSERT_EQ(t.level.size(), 3u);
    EXPECT_EQ(t.Texel(1, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(t.Texel(1, 1, 0), 0xFF0000FFu);
    ExpectNear(t.Texel(2, 0, 0), 0xFF800080u, 1);  // half red, half blue
    // 3x3 to 4x4, the top row clear grey 0, 90, 180 over two rows of opaque
    // white. Target row 0 lies over the clear row alone: the plain grey, as
    // above, with no alpha. Target row 1 spans the last quarter of the clear
    // row and half of the white one, so alpha (0.25*0 + 0.5*255)/0.75 = 170
    // and the colour is white's, the only colour with any alpha.
    Rgba rows;
    for (int i = 0; i < 9; ++i) {
        const uint8_t grey = uint8_t(i % 3 * 90);
        if (i < 3)
            rows.insert(rows.end(), {grey, grey, grey, 0});
        else
            rows.insert(rows.end(), {255, 255, 255, 255});
    }
    t = Load(Png("r.png", 3, 3, rows));
    ASSERT_EQ(t.level[0].w * 10 + t.level[0].h, 44u);
    EXPECT_EQ(t.Texel(0, 1, 0), 0x003C3C3Cu);
    EXPECT_EQ(t.Texel(0, 2, 0), 0x00787878u);
    EXPECT_EQ(t.Texel(0, 1, 1), 0xAAFFFFFFu);
    EXPECT_EQ(t.Texel(0, 1, 3), 0xFFFFFFFFu);
    // A 2x2 block of mixed alpha (255, 50, 0, 103; sum 408) to one texel:
    // alpha (408 + 2) / 4 = 102; colours weighted by alpha, rounded:
    // r (200*255 + 100*50 + 40*103 + 204) / 408 = 147, g (10*255 + 50*50 +
    // 90*103 + 204) / 408 = 35, b (90*50 + 89*103 + 204) / 408 = 33 (13871,
    // one short of 34). A clear block takes the plain rounded means.
    t = Load(Png("m.png", 2, 2, {200, 10, 0, 255, 100, 50, 90, 50, 0, 255, 60, 0, 40, 90, 89, 103}));
    ASSERT_EQ(t.level.size(), 2u);
    EXPECT_EQ(t.Texel(1, 0, 0), 0x66932321u);
    t = Load(Png("c.png", 2, 2, {10, 0, 255, 0, 20, 0, 255, 0, 30, 0, 255, 0, 41, 3, 254, 0}));
    EXPECT_EQ(t.Texel(1, 0, 0), 0x001901FFu);  // (101 + 2) / 4, (3 + 2) / 4, (1019 + 2) / 4
    // Opaque white beside transparent black: the next level is white at half coverage, not grey.
    t = Load(Png("e.png", 2, 1, {255, 255, 255, 255, 0, 0, 0, 0}));
    ASSERT_EQ(t.level.size(), 2u);
    EXPECT_EQ(t.Texel(1, 0, 0) & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_NEAR(int(t.Texel(1, 0, 0) >> 24), 128, 1);
}

TEST_F(TextureFiles, JpegLoadsPathsAreFoundAsOnWindowsOtherFormatsDoNot) {
    Rgba img;
    for (int i = 0; i < 16 * 8; ++i) img.insert(img.end(), {30, 160, 220, 255});
    ASSERT_TRUE(stbi_write_jpg((dir + "a.jpg").c_str(), 16, 8, 4, img.data(), 95));
    ASSERT_TRUE(stbi_write_jpg((dir + "Texture/Title_logo.jpg").c_str(), 16, 8, 4, img.data(), 95));
    // Backslashes and another case still name the file.
    for (const std::string& p : {dir + "a.jpg", dir + "\\texture\\title_LOGO.JPG"}) {
        const Loaded t = Load(p);
        ASSERT_FALSE(t.level.empty()) << p;
        EXPECT_EQ(t.level[0].w * 100 + t.level[0].h, 1608u) << p;
        ExpectNear(t.Texel(0, 7, 3), 0xFF1EA0DCu, 4, p);
    }
    // The game has no BMP or TGA files; the decoder knows only PNG and JPEG.
    ASSERT_TRUE(stbi_write_bmp((dir + "a.bmp").c_str(), 16, 8, 4, img.data()));
    ASSERT_TRUE(stbi_write_tga((dir + "a.tga").c_str(), 16, 8, 4, img.data()));
    Load(dir + "a.bmp", D3DXERR_INVALIDDATA);
    Load(dir + "a.tga", D3DXERR_INVALIDDATA);
}

// Found by fuzz_texture: a Huffman table of more than 256 codes made the
// decoder write past its tables, and a scan using a table never defined made
// it read uninitialised ones (a sanitizer build stops at both).
TEST_F(TextureFiles, JpegWithAnOversizedOrMissingHuffmanTableIsInvalidData) {
    Rgba img;
    for (int i = 0; i < 8 * 8; ++i) img.insert(img.end(), {200, 40, 90, 255});
    ASSERT_TRUE(stbi_write_jpg((dir + "ok.jpg").c_str(), 8, 8, 4, img.data(), 90));
    std::string bytes(1 << 16, '\0');
    FILE* f = fopen((dir + "ok.jpg").c_str(), "rb");
    bytes.resize(fread(&bytes[0], 1, bytes.size(), f));
    fclose(f);
    EXPECT_FALSE(Load(dir + "ok.jpg").level.empty());
    const size_t dht = bytes.find("\xFF\xC4");
    ASSERT_NE(dht, std::string::npos);
    IDirect3DTexture9* tex = NULL;
    std::string bad = bytes;
    for (size_t k = 0; k < 16; ++k) bad[dht + 5 + k] = '\x20';  // 512 codes
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, bad.data(), (UINT)bad.size(), &tex), D3DXERR_INVALIDDATA);
    // The decoder takes fill bytes before the start of the image: so does the check.
    bad = "\xFF\xFF" + bad;
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, bad.data(), (UINT)bad.size(), &tex), D3DXERR_INVALIDDATA);
    bad = bytes;
    bad[dht + 5 + 15] = '\xC8';  // 200 more codes than the segment holds
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, bad.data(), (UINT)bad.size(), &tex), D3DXERR_INVALIDDATA);
    EXPECT_EQ(tex, nullptr);
    // A scan whose first component decodes with tables 2 (the file defines 0 and 1).
    const size_t sos = bytes.find("\xFF\xDA");
    ASSERT_NE(sos, std::string::npos);
    bad = bytes;
    bad[sos + 6] = '\x22';
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, bad.data(), (UINT)bad.size(), &tex), D3DXERR_INVALIDDATA);
    const std::string filled = "\xFF" + bytes;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(device, filled.data(), (UINT)filled.size(), &tex), D3D_OK);
    tex->Release();
}

// Found by fuzz_texture: a marker in the middle of a scan, met while a
// coefficient still wanted more bits than were left, took the decoder's bit
// count below zero, and its next refill shifted by 32 or more (a sanitizer
// build stops there). It goes on with zeros, as for any scan cut short, and
// the file loads. The file is the fuzzer's seed of the same name.
TEST_F(TextureFiles, JpegScanEndingInsideACoefficientLoads) {
    const Loaded t = Load(TEST_SOURCE_DIR "/../fuzz/corpus/texture/scan_out_of_bits.jpg");
    ASSERT_EQ(t.level.size(), 5u);  // 16x16 down to 1x1
}

// Found by fuzz_texture: an IDAT chunk with no data before the first one with
// data made the decoder copy zero bytes to a null pointer (a sanitizer build
// stops there). Such a file is valid and loads as it does without them.
TEST_F(TextureFiles, PngWithEmptyDataChunksLoadsAsWithout) {
    Rgba img;
    for (int i = 0; i < 6; ++i) img.insert(img.end(), {uint8_t(40 * i), 90, uint8_t(250 - 30 * i), 255});
    const std::string path = Png("plain.png", 3, 2, img);
    std::string bytes(4096, '\0');
    FILE* f = fopen(path.c_str(), "rb");
    bytes.resize(fread(&bytes[0], 1, bytes.size(), f));
    fclose(f);
    const size_t idat = bytes.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    const std::string empty("\0\0\0\0IDAT\x35\xAF\x06\x1E", 12);
    bytes.insert(idat - 4, empty + empty);  // two before the chunk with the data
    const size_t end = bytes.find("IEND");
    ASSERT_NE(end, std::string::npos);
    bytes.insert(end - 4, empty);  // one after the data too
    f = fopen((dir + "empty.png").c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    const Loaded t = Load(dir + "empty.png");
    ASSERT_EQ(t.level.size(), 3u);  // 4x2, 2x1, 1x1
    EXPECT_EQ(t.level[0].texels, Load(path).level[0].texels);
    EXPECT_EQ(t.Texel(0, 0, 0), Argb(&img[0]));
}

TEST_F(TextureFiles, SidesAndPixelCountsAreCapped) {
    // 4096 on a side loads; 4097 does not.
    EXPECT_FALSE(Load(Png("wide.png", 4096, 1, Rgba(4096 * 4, 90))).level.empty());
    Load(Png("wider.png", 4097, 1, Rgba(4097 * 4, 90)), D3DXERR_INVALIDDATA);
    Load(Png("tall.png", 1, 4097, Rgba(4097 * 4, 90)), D3DXERR_INVALIDDATA);
    // At most 4 Mi pixels: 2048 x 2048 loads, 2048 x 2049 does not.
    EXPECT_FALSE(Load(Png("square.png", 2048, 2048, Rgba(2048 * 2048 * 4, 90))).level.empty());
    Load(Png("big.png", 2048, 2049, Rgba(2048 * 2049 * 4, 90)), D3DXERR_INVALIDDATA);

    // The same from memory; an empty block is a bad call.
    std::string bytes(1 << 16, '\0');
    FILE* f = fopen((dir + "wide.png").c_str(), "rb");
    bytes.resize(fread(&bytes[0], 1, bytes.size(), f));
    fclose(f);
    IDirect3DTexture9* tex = NULL;
    ASSERT_EQ(D3DXCreateTextureFromFileInMemory(device, bytes.data(), (UINT)bytes.size(), &tex), D3D_OK);
    tex->Release();
    tex = NULL;
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, bytes.data(), (UINT)bytes.size() / 2, &tex),
              D3DXERR_INVALIDDATA)
        << "a cut file";
    EXPECT_EQ(tex, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, bytes.data(), 0, &tex), D3DERR_INVALIDCALL);
}

TEST_F(TextureFiles, FailuresReturnAnErrorAndNoTexture) {
    const std::string good = Png("good.png", 2, 2, Rgba(16, 200));
    std::string bytes(4096, '\0');
    FILE* f = fopen(good.c_str(), "rb");
    bytes.resize(fread(&bytes[0], 1, bytes.size(), f));
    fclose(f);
    const std::pair<std::string, std::string> bad[] = {
        {"corrupt.png", std::string("\x89PNG\r\n\x1a\n", 8) + "not an image"},
        {"cut.png", bytes.substr(0, bytes.size() / 2)},
        {"empty.png", ""}};
    for (const auto& b : bad) {
        f = fopen((dir + b.first).c_str(), "wb");
        fwrite(b.second.data(), 1, b.second.size(), f);
        fclose(f);
        Load(dir + b.first, D3DXERR_INVALIDDATA);
    }
    Load(dir + "missing.png", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    Load(dir, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));  // a folder
    const unsigned live = D3D9Testing_LiveObjectCount();
    D3D9Testing_FailCreation(device, D3DRTYPE_TEXTURE, true);
    Load(good, D3DERR_OUTOFVIDEOMEMORY);  // the device's refusal is passed on
    D3D9Testing_FailCreation(device, D3DRTYPE_TEXTURE, false);
    EXPECT_EQ(D3D9Testing_LiveObjectCount(), live) << "no texture is left behind by a failure";
    IDirect3DTexture9* tex = NULL;
    EXPECT_EQ(D3DXCreateTextureFromFileA(NULL, good.c_str(), &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, NULL, &tex), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device, good.c_str(), NULL), D3DERR_INVALIDCALL);
}

// The null device makes a texture's levels only when they are first used;
// the bytes must be those the drawing device makes at once, and a bad file
// must fail at create time with the same result on both.
TEST_F(TextureFiles, NullDeviceGivesTheDrawingDevicesBytesAndErrors) {
    testsupport::TestDevice gl;
    if (!gl.Open(64, 64, testsupport::Drawing::kPixels)) SKIP_OR_FAIL_IN_CI() << gl.Why();
    Rgba img;  // 37x21, a third of it clear with colours that differ
    for (int i = 0; i < 37 * 21; ++i)
        img.insert(img.end(), {uint8_t(i * 7), uint8_t(i / 37 * 12), uint8_t(255 - i % 37 * 6),
                               uint8_t(i % 3 == 0 ? 0 : 60 + i % 190)});
    const std::string odd = Png("odd.png", 37, 21, img);
    ASSERT_TRUE(stbi_write_jpg((dir + "p.jpg").c_str(), 37, 21, 4, img.data(), 90));
    for (const std::string& path : {odd, dir + "p.jpg"}) {
        for (bool generate : {false, true}) {
            const Loaded null = LoadOn(device, path, D3D_OK, generate);
            const Loaded drawn = LoadOn(gl.Device(), path, D3D_OK, generate);
            ASSERT_EQ(null.level.size(), 7u) << path << ": 64x32 down to 1x1";
            ASSERT_EQ(drawn.level.size(), null.level.size()) << path;
            for (size_t l = 0; l < null.level.size(); ++l)
                EXPECT_EQ(null.level[l].texels, drawn.level[l].texels) << path << " level " << l << " " << generate;
        }
    }
    // Not left at zero: an opaque texel of the image at a corner of level 0.
    EXPECT_EQ(Load(odd).Texel(0, 63, 31), Argb(&img[(37 * 21 - 1) * 4]));

    std::string bytes(1 << 16, '\0');
    FILE* f = fopen(odd.c_str(), "rb");
    bytes.resize(fread(&bytes[0], 1, bytes.size(), f));
    fclose(f);
    f = fopen((dir + "cut.png").c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size() - 20, f);
    fclose(f);
    ASSERT_TRUE(stbi_write_bmp((dir + "a.bmp").c_str(), 4, 4, 4, img.data()));
    for (IDirect3DDevice9* on : {device, gl.Device()}) {
        LoadOn(on, dir + "cut.png", D3DXERR_INVALIDDATA);
        LoadOn(on, dir + "a.bmp", D3DXERR_INVALIDDATA);
        LoadOn(on, dir + "none.png", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    }
}

// On a device that draws, a loaded texture's levels are made on a background
// thread and written at the texture's first use. A draw must show them
// whether it came before that thread finished or after, or after a lock;
// textures released unused, their work queued or under way, leave nothing.
TEST_F(TextureFiles, BackgroundMadeLevelsShowAtTheFirstDraw) {
    testsupport::TestDevice gl;
    if (!gl.Open(64, 64, testsupport::Drawing::kPixels)) SKIP_OR_FAIL_IN_CI() << gl.Why();
    IDirect3DDevice9* dev = gl.Device();
    const uint32_t quadrant[4] = {0xFFF01010, 0xFF10F010, 0xFF1010F0, 0xFFF0F020};  // opaque, 64x64: drawn 1:1
    Rgba img;
    for (int i = 0; i < 64 * 64; ++i) {
        const uint32_t c = quadrant[(i / 64 / 32) * 2 + i % 64 / 32];
        img.insert(img.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 255});
    }
    const std::string path = Png("quads.png", 64, 64, img);
    const unsigned live = D3D9Testing_LiveObjectCount();
    IDirect3DTexture9* tex = NULL;
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(D3DXCreateTextureFromFileA(dev, path.c_str(), &tex), D3D_OK);
        tex->Release();
    }
    EXPECT_EQ(D3D9Testing_LiveObjectCount(), live);
    const float x0 = -0.5f, x1 = 63.5f;
    const struct {
        float x, y, z, rhw;
        DWORD colour;
        float u, v;
    } quad[4] = {{x0, x0, 0, 1, 0xFFFFFFFF, 0, 0},
                 {x1, x0, 0, 1, 0xFFFFFFFF, 1, 0},
                 {x0, x1, 0, 1, 0xFFFFFFFF, 0, 1},
                 {x1, x1, 0, 1, 0xFFFFFFFF, 1, 1}};
    const char* const firsts[3] = {"draw at once", "draw once the thread is idle", "lock"};
    for (int k = 0; k < 3; ++k) {
        const char* first = firsts[k];
        ASSERT_EQ(D3DXCreateTextureFromFileA(dev, path.c_str(), &tex), D3D_OK);
        if (k == 1) {
            for (int i = 0; i < 100000 && D3D9Testing_ContentsJobsPending(dev) > 0; ++i) std::this_thread::yield();
            EXPECT_EQ(D3D9Testing_ContentsJobsPending(dev), 0u) << first;
        }
        D3DLOCKED_RECT lr;
        if (k == 2) {
            ASSERT_EQ(tex->LockRect(0, &lr, NULL, D3DLOCK_READONLY), D3D_OK);
            EXPECT_EQ(*static_cast<DWORD*>(lr.pBits), quadrant[0]);
            tex->UnlockRect(0);
        }
        dev->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        dev->BeginScene();
        dev->SetTexture(0, tex);
        dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(quad[0])), D3D_OK);
        dev->EndScene();
        dev->SetTexture(0, NULL);
        tex->Release();
        for (int q = 0; q < 4; ++q) {
            uint32_t px = 0;
            ASSERT_TRUE(WinapiTest_ReadBackBuffer(dev, 16 + q % 2 * 32, 16 + q / 2 * 32, 1, 1, &px));
            EXPECT_EQ(px | 0xFF000000u, quadrant[q]) << first << ", quadrant " << q;
        }
    }
    EXPECT_EQ(D3D9Testing_LiveObjectCount(), live);
}

}  // namespace
