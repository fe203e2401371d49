// Tests of the asset generator and its output. The build runs the generator
// into the run directory (GAME_RUN_DIR) before this target is built; these
// tests inspect what it wrote there: image headers and pixels, the structure
// and geometry of the X files and the wave files. One test also runs the
// generator itself (its path comes from the ASSETGEN_EXE definition that
// tools/CMakeLists.txt adds to this target) twice into temporary directories
// to check that the output is deterministic and that the run directory holds
// exactly what the current generator makes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#ifndef ASSETGEN_EXE
#error "ASSETGEN_EXE must name the generator binary (set by tools/CMakeLists.txt)"
#endif

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

int runGenerator(const std::string& args) {
    std::string cmd = std::string("\"") + ASSETGEN_EXE + "\" " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str());
}

fs::path freshDir(const std::string& name) {
    fs::path p = fs::temp_directory_path() / ("assetgen_test_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(p);
    return p;
}

std::map<std::string, std::string> readTree(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) out[fs::relative(e.path(), root).generic_string()] = readFile(e.path());
    return out;
}

// ------------------------------------------------------------ images
struct Pixels {
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    int a(int x, int y) const { return rgba[(size_t(y) * w + x) * 4 + 3]; }
    int c(int x, int y, int k) const { return rgba[(size_t(y) * w + x) * 4 + k]; }
};
Pixels load(const fs::path& p) {
    Pixels px;
    int comp = 0;
    unsigned char* data = stbi_load(p.string().c_str(), &px.w, &px.h, &comp, 4);
    if (data) {
        px.rgba.assign(data, data + size_t(px.w) * px.h * 4);
        stbi_image_free(data);
    }
    return px;
}
double meanAlpha(const Pixels& p, int x0, int y0, int x1, int y1) {
    double s = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) s += p.a(x, y);
    return s / (255.0 * (x1 - x0) * (y1 - y0));
}
// Mean absolute RGB difference between two columns (or rows).
double columnDiff(const Pixels& p, int xa, int xb) {
    double s = 0;
    for (int y = 0; y < p.h; ++y)
        for (int k = 0; k < 3; ++k) s += std::abs(p.c(xa, y, k) - p.c(xb, y, k));
    return s / (3.0 * p.h);
}
double rowDiff(const Pixels& p, int ya, int yb) {
    double s = 0;
    for (int x = 0; x < p.w; ++x)
        for (int k = 0; k < 3; ++k) s += std::abs(p.c(x, ya, k) - p.c(x, yb, k));
    return s / (3.0 * p.w);
}

struct TextureRow {
    const char* file;
    int w, h;
    bool overlay;  // has an alpha channel with clear and solid parts
};
const TextureRow kTextures[] = {
    {"field001.jpg", 160, 160, false},      {"back_sylin.jpg", 160, 160, false},
    {"cursol.png", 25, 25, true},           {"keepout.jpg", 480, 244, false},
    {"mountain.png", 1900, 180, true},      {"result.png", 1680, 900, false},
    {"turi.png", 1680, 900, false},         {"fish.png", 25, 25, true},
    {"radergrid.png", 250, 250, true},      {"break.png", 1680, 900, true},
    {"title_haikei.png", 1680, 900, false}, {"Title_logo.png", 1245, 335, true},
    {"title_sakana1.png", 759, 293, true},  {"title_sakana2.png", 759, 293, true},
    {"press_start.png", 699, 72, true},     {"awa.png", 327, 325, true},
    {"cutinB.png", 1680, 900, true},        {"HpBar.png", 1000, 50, true},
    {"HpBack.png", 1000, 50, true},         {"Tension.png", 1000, 50, true},
    {"number_red.png", 1200, 100, true},    {"alphabet.png", 2600, 100, true},
    {"highlight.png", 100, 100, true},      {"resultscore.png", 300, 70, true},
    {"resultname.png", 300, 70, true},      {"resultpress.png", 900, 100, true},
};

// ------------------------------------------------------------- X files
struct XMaterial {
    float diffuse[4];
    std::string texture;
};
struct XMesh {
    std::vector<float> pos, normals, uv;  // xyz, xyz, uv
    std::vector<std::vector<int>> faces, normalFaces;
    std::vector<int> faceMaterial;
    std::vector<XMaterial> materials;
    std::string error;
};

class XTokens {
public:
    explicit XTokens(const std::string& text) {
        size_t i = text.find('\n');  // skip the header line
        while (i < text.size()) {
            char ch = text[i];
            if (std::isspace((unsigned char)ch) || ch == ';' || ch == ',') {
                ++i;
                continue;
            }
            if (ch == '{' || ch == '}') {
                tokens_.push_back(std::string(1, ch));
                ++i;
                continue;
            }
            if (ch == '"') {
                size_t j = text.find('"', i + 1);
                tokens_.push_back(text.substr(i, j - i + 1));
                i = j + 1;
                continue;
            }
            size_t j = i;
            while (j < text.size() && !std::isspace((unsigned char)text[j]) && !std::strchr(";,{}\"", text[j])) ++j;
            tokens_.push_back(text.substr(i, j - i));
            i = j;
        }
    }
    bool more() const { return pos_ < tokens_.size(); }
    const std::string& peek() const {
        static std::string none;
        return more() ? tokens_[pos_] : none;
    }
    std::string next() { return more() ? tokens_[pos_++] : std::string(); }
    double number() { return std::atof(next().c_str()); }
    void skipBlock() {  // after its "{"
        for (int depth = 1; more() && depth > 0;) {
            std::string t = next();
            depth += t == "{" ? 1 : (t == "}" ? -1 : 0);
        }
    }

private:
    std::vector<std::string> tokens_;
    size_t pos_ = 0;
};

void readFaces(XTokens& t, std::vector<std::vector<int>>& faces) {
    int n = int(t.number());
    for (int i = 0; i < n && t.more(); ++i) {
        int k = int(t.number());
        std::vector<int> f;
        for (int j = 0; j < k; ++j) f.push_back(int(t.number()));
        faces.push_back(f);
    }
}

XMesh parseX(const std::string& text) {
    XMesh m;
    XTokens t(text);
    if (t.next() != "Mesh" || t.next() != "{") {
        m.error = "no Mesh block";
        return m;
    }
    int nv = int(t.number());
    for (int i = 0; i < 3 * nv; ++i) m.pos.push_back(float(t.number()));
    readFaces(t, m.faces);
    while (t.more() && t.peek() != "}") {
        std::string name = t.next();
        if (t.next() != "{") {
            m.error = "expected { after " + name;
            return m;
        }
        if (name == "MeshNormals") {
            int nn = int(t.number());
            for (int i = 0; i < 3 * nn; ++i) m.normals.push_back(float(t.number()));
            readFaces(t, m.normalFaces);
            if (t.next() != "}") {
                m.error = "MeshNormals not closed";
                return m;
            }
        } else if (name == "MeshTextureCoords") {
            int n = int(t.number());
            for (int i = 0; i < 2 * n; ++i) m.uv.push_back(float(t.number()));
            if (t.next() != "}") {
                m.error = "MeshTextureCoords not closed";
                return m;
            }
        } else if (name == "MeshMaterialList") {
            int nm = int(t.number()), nfi = int(t.number());
            for (int i = 0; i < nfi; ++i) m.faceMaterial.push_back(int(t.number()));
            while (t.peek() == "Material") {
                t.next();
                if (t.next() != "{") {
                    m.error = "Material without {";
                    return m;
                }
                XMaterial mat;
                for (float& d : mat.diffuse) d = float(t.number());
                for (int i = 0; i < 7; ++i) t.number();  // power, specular, emissive
                if (t.peek() == "TextureFilename") {
                    t.next();
                    t.next();
                    std::string s = t.next();
                    mat.texture = s.size() >= 2 ? s.substr(1, s.size() - 2) : "";
                    t.next();
                }
                if (t.next() != "}") {
                    m.error = "Material not closed";
                    return m;
                }
                m.materials.push_back(mat);
            }
            if (int(m.materials.size()) != nm) {
                m.error = "material count differs from Material blocks";
                return m;
            }
            if (t.next() != "}") {
                m.error = "MeshMaterialList not closed";
                return m;
            }
        } else {
            t.skipBlock();
        }
    }
    if (t.next() != "}") m.error = "Mesh not closed";
    return m;
}

struct Box {
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    float size(int k) const { return hi[k] - lo[k]; }
    float mid(int k) const { return (hi[k] + lo[k]) * 0.5f; }
};
Box bounds(const XMesh& m) {
    Box b;
    for (size_t i = 0; i < m.pos.size(); i += 3)
        for (int k = 0; k < 3; ++k) {
            b.lo[k] = std::min(b.lo[k], m.pos[i + k]);
            b.hi[k] = std::max(b.hi[k], m.pos[i + k]);
        }
    return b;
}

struct P3 {
    double x, y, z;
};
P3 vtx(const XMesh& m, int i) { return {m.pos[3 * i], m.pos[3 * i + 1], m.pos[3 * i + 2]}; }
P3 sub(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P3 crs(P3 a, P3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dt(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

const char* const kModels[] = {"Player.x",
                               "maguromananimation1.x",
                               "maguromananimation2.x",
                               "maguromananimation3.x",
                               "maguromananimation4.x",
                               "maguromananimation5.x",
                               "maguromananimation6.x",
                               "mantaman1.x",
                               "mantaman2.x",
                               "mantaman3.x",
                               "mantaman4.x",
                               "mantaman5.x",
                               "mantaman6.x",
                               "title.x",
                               "sameanimation1.x",
                               "sameanimation2.x",
                               "sameanimation3.x",
                               "sameanimation4.x",
                               "sameanimation5.x",
                               "sameanimation6.x",
                               "sao.x",
                               "saori-ru.x",
                               "saori-ru2.x",
                               "uki.x"};

// ------------------------------------------------------------- waves
struct Wave {
    std::string error;
    int channels = 0, rate = 0, bits = 0, format = 0;
    std::vector<int16_t> samples;
};
uint32_t le32(const std::string& s, size_t o) {
    return uint32_t((unsigned char)s[o]) | uint32_t((unsigned char)s[o + 1]) << 8 |
           uint32_t((unsigned char)s[o + 2]) << 16 | uint32_t((unsigned char)s[o + 3]) << 24;
}
uint16_t le16(const std::string& s, size_t o) { return uint16_t((unsigned char)s[o] | (unsigned char)s[o + 1] << 8); }
Wave parseWave(const std::string& s) {
    Wave w;
    if (s.size() < 44 || s.compare(0, 4, "RIFF") || s.compare(8, 4, "WAVE")) {
        w.error = "not RIFF/WAVE";
        return w;
    }
    if (le32(s, 4) != s.size() - 8) {
        w.error = "RIFF size is not file size - 8";
        return w;
    }
    if (s.compare(12, 4, "fmt ") || le32(s, 16) != 16) {
        w.error = "no plain 16-byte fmt chunk first";
        return w;
    }
    w.format = le16(s, 20);
    w.channels = le16(s, 22);
    w.rate = int(le32(s, 24));
    w.bits = le16(s, 34);
    if (le16(s, 32) != w.channels * w.bits / 8 || le32(s, 28) != uint32_t(w.rate) * w.channels * w.bits / 8) {
        w.error = "inconsistent block align / byte rate";
        return w;
    }
    if (s.compare(36, 4, "data")) {
        w.error = "no data chunk after fmt";
        return w;
    }
    uint32_t n = le32(s, 40);
    if (44 + size_t(n) != s.size()) {
        w.error = "data chunk size does not reach the end of the file";
        return w;
    }
    for (size_t o = 44; o + 1 < s.size(); o += 2) w.samples.push_back(int16_t(le16(s, o)));
    return w;
}

// ------------------------------------------------------------ fixture
class GeneratedAssets : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir_ = new fs::path(GAME_RUN_DIR); }
    static void TearDownTestSuite() { delete dir_; }
    void SetUp() override {
        ASSERT_TRUE(fs::exists(*dir_ / "model/Player.x")) << "the build has not run assetgen into " << *dir_;
    }
    static fs::path texture(const std::string& f) { return *dir_ / "asset/texture" / f; }
    static fs::path model(const std::string& f) { return *dir_ / "model" / f; }
    static XMesh mesh(const std::string& f) { return parseX(readFile(model(f))); }
    static fs::path* dir_;
    static int status_;
};
fs::path* GeneratedAssets::dir_ = nullptr;

// ---------------------------------------------------------- the runs
TEST(AssetGenerator, TwoRunsGiveByteIdenticalTreesMatchingTheRunDirectory) {
    fs::path first = freshDir("a"), second = freshDir("b");
    ASSERT_EQ(runGenerator(first.string()), 0);
    ASSERT_EQ(runGenerator(second.string()), 0);
    auto a = readTree(first), b = readTree(second);
    fs::remove_all(first);
    fs::remove_all(second);
    ASSERT_EQ(a.size(), b.size());
    for (auto& [name, bytes] : a) {
        ASSERT_TRUE(b.count(name)) << name;
        EXPECT_TRUE(bytes == b[name]) << name << " differs between two runs";
        fs::path built = fs::path(GAME_RUN_DIR) / name;
        ASSERT_TRUE(fs::exists(built)) << built << " missing: the build did not run the generator";
        EXPECT_TRUE(readFile(built) == bytes) << built << " is stale";
    }
    // 26 textures, 24 models plus their textures, 4 pieces of music.
    EXPECT_GE(a.size(), 54u);
}

TEST(AssetGenerator, RefusesToRunWithoutOutputDirectory) { EXPECT_NE(runGenerator(""), 0); }

// ------------------------------------------------------------ textures
TEST_F(GeneratedAssets, EveryTextureHasItsTableSizeAndChannels) {
    for (const TextureRow& row : kTextures) {
        int w = 0, h = 0, comp = 0;
        ASSERT_TRUE(stbi_info(texture(row.file).string().c_str(), &w, &h, &comp)) << row.file;
        EXPECT_EQ(w, row.w) << row.file;
        EXPECT_EQ(h, row.h) << row.file;
        EXPECT_EQ(comp, row.overlay ? 4 : 3) << row.file;
    }
}

// The game decodes every picture as it starts; rows filtered by Sub, Average
// or Paeth take far longer to undo than None or Up.
TEST_F(GeneratedAssets, PngRowsUseOnlyTheCheapFilters) {
    for (const TextureRow& row : kTextures) {
        const std::string png = readFile(texture(row.file));
        if (png.compare(1, 3, "PNG") != 0) continue;  // the JPEGs
        std::string idat;
        for (size_t at = 8; at + 12 <= png.size();) {
            const auto* p = reinterpret_cast<const unsigned char*>(png.data() + at);
            const size_t len = size_t(p[0]) << 24 | size_t(p[1]) << 16 | size_t(p[2]) << 8 | p[3];
            if (png.compare(at + 4, 4, "IDAT") == 0) idat += png.substr(at + 8, len);
            at += 12 + len;
        }
        int rawLen = 0;
        char* raw = stbi_zlib_decode_malloc(idat.data(), int(idat.size()), &rawLen);
        ASSERT_NE(raw, nullptr) << row.file;
        const size_t stride = size_t(row.w) * (row.overlay ? 4 : 3) + 1;
        ASSERT_EQ(size_t(rawLen), stride * row.h) << row.file;
        int slow = 0;
        for (int y = 0; y < row.h; ++y) slow += raw[y * stride] != 0 && raw[y * stride] != 2;
        free(raw);
        EXPECT_EQ(slow, 0) << row.file << ": rows filtered by Sub, Average or Paeth";
    }
}

TEST_F(GeneratedAssets, OverlaysHaveClearAndSolidParts) {
    for (const TextureRow& row : kTextures) {
        if (!row.overlay) continue;
        Pixels p = load(texture(row.file));
        size_t clear = 0, solid = 0, n = size_t(p.w) * p.h;
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) {
                clear += p.a(x, y) < 8;
                solid += p.a(x, y) > 200;
            }
        EXPECT_GT(clear, n / 1000) << row.file;
        EXPECT_GT(solid, n / 200) << row.file;
    }
}

TEST_F(GeneratedAssets, FullScreenOverlaysLeaveTheSceneVisible) {
    Pixels brk = load(texture("break.png"));
    EXPECT_LT(meanAlpha(brk, 600, 250, 1080, 600), 0.1) << "break.png centre";
    EXPECT_GT(meanAlpha(brk, 0, 0, 1680, 12), 0.7) << "break.png top edge";
    EXPECT_GT(meanAlpha(brk, 0, 0, 12, 900), 0.7) << "break.png left edge";
    Pixels cut = load(texture("cutinB.png"));
    EXPECT_LT(meanAlpha(cut, 0, 0, 1680, 900), 0.5) << "cutinB.png covers too much";
    EXPECT_GT(meanAlpha(cut, 700, 350, 980, 550), 0.5) << "cutinB.png has no lettering in the middle";
    EXPECT_LT(meanAlpha(cut, 0, 0, 250, 150), 0.2) << "cutinB.png corner";
}

TEST_F(GeneratedAssets, SceneryTexturesTileAsTheyAreMapped) {
    // The seabed repeats once per world unit in both directions.
    Pixels field = load(texture("field001.jpg"));
    double inner = (columnDiff(field, 40, 41) + columnDiff(field, 100, 101)) / 2;
    EXPECT_LT(columnDiff(field, 159, 0), 2.5 * inner + 3.0);
    double innerRow = (rowDiff(field, 40, 41) + rowDiff(field, 100, 101)) / 2;
    EXPECT_LT(rowDiff(field, 159, 0), 2.5 * innerRow + 3.0);
    // The sky wraps round the dome: zenith (top) darker than the horizon.
    Pixels sky = load(texture("back_sylin.jpg"));
    EXPECT_LT(columnDiff(sky, 159, 0), 2.5 * columnDiff(sky, 80, 81) + 3.0);
    EXPECT_LT(columnDiff(sky, 7, 152), 6.0) << "the dome's seam joins u = 1/22 and u = 21/22";
    double top = 0, bottom = 0;
    for (int x = 0; x < 160; ++x)
        for (int k = 0; k < 3; ++k) {
            top += sky.c(x, 2, k);
            bottom += sky.c(x, 150, k);
        }
    EXPECT_LT(top, bottom);
}

TEST_F(GeneratedAssets, MountainRingIsClearAboveAndSolidAtGroundLevel) {
    Pixels m = load(texture("mountain.png"));
    // Ground level is v = 2/3 (row 120); the ring's top edge is v = 0.
    EXPECT_LT(meanAlpha(m, 0, 0, m.w, 8), 0.01) << "sky above the peaks must be clear";
    for (int x = 0; x < m.w; ++x)
        for (int y = 121; y < 170; ++y) ASSERT_EQ(m.a(x, y), 255) << "hole at " << x << "," << y;
    int peaks = 0;
    for (int x = 0; x < m.w; ++x) peaks += m.a(x, 60) > 128;
    EXPECT_GT(peaks, m.w / 20) << "no mountains rise to half the ring's height";
    // Seams: the ring joins u = 1/6 to u = 1, the tiling u = 0 to u = 1.
    EXPECT_LT(columnDiff(m, 317, 1899), 4.0);
    EXPECT_LT(columnDiff(m, 0, 1899), 4.0);
}

TEST_F(GeneratedAssets, GlyphSheetsHaveOneCentredGlyphPerCell) {
    struct Sheet {
        const char* file;
        int cells, cellW;
    } sheets[] = {{"number_red.png", 10, 120}, {"alphabet.png", 26, 100}};
    for (auto& s : sheets) {
        Pixels p = load(texture(s.file));
        for (int c = 0; c < s.cells; ++c) {
            int x0 = c * s.cellW;
            double sx = 0, sy = 0, n = 0, edge = 0;
            for (int y = 0; y < p.h; ++y) {
                edge += p.a(x0, y) + p.a(x0 + s.cellW - 1, y);
                for (int x = x0; x < x0 + s.cellW; ++x)
                    if (p.a(x, y) > 128) {
                        sx += x - x0;
                        sy += y;
                        ++n;
                    }
            }
            ASSERT_GT(n, 300) << s.file << " cell " << c << " is empty";
            EXPECT_NEAR(sx / n, s.cellW / 2.0, s.cellW * 0.12) << s.file << " cell " << c;
            EXPECT_NEAR(sy / n, p.h / 2.0, p.h * 0.12) << s.file << " cell " << c;
            EXPECT_LT(edge / (2.0 * p.h), 8.0) << s.file << " cell " << c << " reaches its neighbour";
        }
    }
    // The digits are red: inside the glyphs red clearly dominates.
    Pixels d = load(texture("number_red.png"));
    double r = 0, g = 0;
    for (int x = 0; x < d.w; ++x) {
        int y = 50;
        if (d.a(x, y) > 250 && d.c(x, y, 0) > 150 && d.c(x, y, 1) < 150) {
            r += d.c(x, y, 0);
            g += d.c(x, y, 1);
        }
    }
    EXPECT_GT(r, 2 * g + 1000);
}

TEST_F(GeneratedAssets, GaugesReadAtAnyLength) {
    for (const char* f : {"HpBar.png", "Tension.png"}) {
        Pixels p = load(texture(f));
        for (int x = 12; x < 988; ++x) ASSERT_GT(p.a(x, 25), 200) << f << " has a gap at x = " << x;
        EXPECT_LT(p.a(2, 25), 8) << f << " should leave the frame's border visible";
    }
    Pixels t = load(texture("Tension.png"));
    EXPECT_GT(t.c(200, 30, 1) - t.c(980, 30, 1), 60) << "tension goes from yellow to red";
    Pixels hp = load(texture("HpBar.png"));
    EXPECT_GT(hp.c(500, 30, 1), hp.c(500, 30, 0) + 40) << "HP bar is green";
    Pixels back = load(texture("HpBack.png"));
    EXPECT_GT(meanAlpha(back, 0, 0, 1000, 50), 0.8);
}

TEST_F(GeneratedAssets, SmallMarkersAndFrames) {
    // The boat arrow points up the screen: narrow at the top, wide below.
    Pixels arrow = load(texture("cursol.png"));
    auto width = [&](int y) {
        int n = 0;
        for (int x = 0; x < 25; ++x) n += arrow.a(x, y) > 128;
        return n;
    };
    EXPECT_LT(width(5), width(18));
    EXPECT_GT(width(18), 8);
    Pixels frame = load(texture("highlight.png"));
    EXPECT_LT(meanAlpha(frame, 20, 20, 80, 80), 0.02) << "the highlighted letter must show through";
    EXPECT_GT(meanAlpha(frame, 0, 45, 8, 55), 0.4);
}

// The desktop icons, and the Windows .ico holding the same pictures: 16..128
// as bottom-up BGRA bitmaps with a mask, 256 as an embedded PNG.
TEST_F(GeneratedAssets, IconAtEveryDesktopSizeAndInOneIcoFile) {
    const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
    std::string ico = readFile(*dir_ / "icons/tideangler.ico");
    ASSERT_GE(ico.size(), 6u + 16u * 7u);
    EXPECT_EQ(le16(ico, 0), 0);
    EXPECT_EQ(le16(ico, 2), 1) << "an icon, not a cursor";
    ASSERT_EQ(le16(ico, 4), 7);
    for (int i = 0; i < 7; ++i) {
        const int n = sizes[i];
        std::string dir = std::to_string(n) + "x" + std::to_string(n);
        Pixels png = load(*dir_ / "icons/hicolor" / dir / "apps/tideangler.png");
        ASSERT_EQ(png.w, n) << dir;
        ASSERT_EQ(png.h, n) << dir;
        EXPECT_EQ(png.a(0, 0), 0) << dir << ": rounded corners are clear";
        EXPECT_EQ(png.a(n / 2, n / 2), 255) << dir;

        const size_t e = 6 + 16 * size_t(i);
        EXPECT_EQ((unsigned char)ico[e], n == 256 ? 0 : n);
        EXPECT_EQ(le16(ico, e + 6), 32) << "bits per pixel";
        const uint32_t bytes = le32(ico, e + 8), at = le32(ico, e + 12);
        ASSERT_LE(size_t(at) + bytes, ico.size()) << dir;
        if (n == 256) {
            EXPECT_EQ(ico.substr(at, 8), std::string("\x89PNG\r\n\x1a\n", 8));
            continue;
        }
        EXPECT_EQ(le32(ico, at), 40u) << "BITMAPINFOHEADER";
        EXPECT_EQ(le32(ico, at + 8), uint32_t(2 * n)) << "colour rows and mask rows";
        EXPECT_EQ(bytes, 40u + 4u * n * n + uint32_t(((n + 31) / 32) * 4 * n));
        // Row 0 of the bitmap is the picture's bottom row; pixels are B, G, R, A.
        const int x = n / 2, y = n * 3 / 4;
        const size_t px = at + 40 + (size_t(n - 1 - y) * n + x) * 4;
        for (int k = 0; k < 3; ++k) EXPECT_EQ((unsigned char)ico[px + k], png.c(x, y, 2 - k)) << dir;
        EXPECT_EQ((unsigned char)ico[px + 3], png.a(x, y)) << dir;
    }
}

TEST_F(GeneratedAssets, SecondTitleFishCoversTheFirst) {
    Pixels a = load(texture("title_sakana1.png")), b = load(texture("title_sakana2.png"));
    size_t uncovered = 0, changed = 0;
    for (int y = 0; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x) {
            if (a.a(x, y) > 16 && b.a(x, y) < a.a(x, y) - 12) ++uncovered;
            int d = 0;
            for (int k = 0; k < 3; ++k) d += std::abs(a.c(x, y, k) - b.c(x, y, k));
            changed += a.a(x, y) > 128 && d > 120;
        }
    EXPECT_LT(uncovered, 20u) << "pixels of the first drawing that the second does not cover";
    EXPECT_GT(changed, 500u) << "the second drawing must visibly differ";
}

// --------------------------------------------------------------- models
TEST_F(GeneratedAssets, ModelFilesAreWellFormed) {
    for (const char* f : kModels) {
        std::string text = readFile(model(f));
        ASSERT_EQ(text.compare(0, 16, "xof 0303txt 0032"), 0) << f;
        int depth = 0;
        bool inString = false;
        for (char c : text) {
            if (c == '"') inString = !inString;
            if (inString) continue;
            depth += c == '{' ? 1 : (c == '}' ? -1 : 0);
            ASSERT_GE(depth, 0) << f;
        }
        EXPECT_EQ(depth, 0) << f;
        XMesh m = parseX(text);
        ASSERT_EQ(m.error, "") << f;
        const size_t nv = m.pos.size() / 3;
        EXPECT_GT(m.faces.size(), 20u) << f;
        EXPECT_LT(m.faces.size(), 12000u) << f;
        for (auto& face : m.faces) {
            ASSERT_GE(face.size(), 3u) << f;
            for (int i : face) ASSERT_TRUE(i >= 0 && size_t(i) < nv) << f << " index " << i;
        }
        ASSERT_EQ(m.normals.size(), m.pos.size()) << f;
        ASSERT_EQ(m.normalFaces, m.faces) << f;
        ASSERT_EQ(m.faceMaterial.size(), m.faces.size()) << f;
        for (int mi : m.faceMaterial) ASSERT_TRUE(mi >= 0 && size_t(mi) < m.materials.size()) << f;
        bool textured = false;
        for (auto& mat : m.materials) {
            if (mat.texture.empty()) continue;
            textured = true;
            EXPECT_TRUE(fs::exists(*dir_ / mat.texture)) << f << " names " << mat.texture;
        }
        if (textured) {
            EXPECT_EQ(m.uv.size(), 2 * nv) << f;
        }
    }
}

// Front faces are clockwise seen from outside: cross(b - a, c - a) must point
// the way the vertex normals do, and every part is a closed solid whose signed
// volume is then positive.
TEST_F(GeneratedAssets, FacesTurnTheirFrontOutward) {
    for (const char* f : kModels) {
        XMesh m = mesh(f);
        size_t agree = 0, total = 0;
        double volume = 0;
        for (auto& face : m.faces) {
            P3 a = vtx(m, face[0]), b = vtx(m, face[1]), c = vtx(m, face[2]);
            P3 n = crs(sub(b, a), sub(c, a));
            volume += dt(a, crs(b, c)) / 6.0;
            if (dt(n, n) < 1e-14) continue;
            P3 vn{0, 0, 0};
            for (int i : face) {
                vn.x += m.normals[3 * i];
                vn.y += m.normals[3 * i + 1];
                vn.z += m.normals[3 * i + 2];
            }
            ++total;
            agree += dt(n, vn) > 0;
        }
        EXPECT_GT(double(agree), 0.99 * total) << f;
        EXPECT_GT(volume, 0.0) << f;
    }
}

// Skin textures map u = 0 to the back and v = 0 to the nose; with that, the
// head and back must point where the game's draw matrices expect them.
TEST_F(GeneratedAssets, FishFaceTheWayTheGameDrawsThem) {
    struct Kind {
        const char* prefix;
        float headY, backZ;  // signs in model space
        int lengthAxis;
        float lengthMin, lengthMax;
    } kinds[] = {{"maguromananimation", -1, -1, 1, 2.2f, 2.9f},
                 {"sameanimation", -1, -1, 1, 3.6f, 4.4f},
                 {"mantaman", 1, 1, 0, 3.2f, 3.9f}};
    for (auto& k : kinds) {
        for (int pose = 1; pose <= 6; ++pose) {
            std::string f = std::string(k.prefix) + std::to_string(pose) + ".x";
            XMesh m = mesh(f);
            ASSERT_FALSE(m.uv.empty()) << f;
            int skin = -1;
            for (size_t i = 0; i < m.materials.size(); ++i)
                if (m.materials[i].texture.find("skin") != std::string::npos) skin = int(i);
            ASSERT_GE(skin, 0) << f;
            double noseY = 0, tailY = 0, backNz = 0;
            int nose = 0, tail = 0, back = 0;
            for (size_t fi = 0; fi < m.faces.size(); ++fi) {
                if (m.faceMaterial[fi] != skin) continue;
                for (int i : m.faces[fi]) {
                    float u = m.uv[2 * i], v = m.uv[2 * i + 1];
                    if (v < 0.15f) {
                        noseY += m.pos[3 * i + 1];
                        ++nose;
                    }
                    if (v > 0.85f) {
                        tailY += m.pos[3 * i + 1];
                        ++tail;
                    }
                    if ((u < 0.08f || u > 0.92f) && v > 0.2f && v < 0.8f) {
                        backNz += m.normals[3 * i + 2];
                        ++back;
                    }
                }
            }
            ASSERT_TRUE(nose && tail && back) << f;
            EXPECT_LT(k.headY * (tailY / tail - noseY / nose), 0)
                << f << ": head not along " << (k.headY < 0 ? "-y" : "+y");
            EXPECT_GT(k.backZ * backNz / back, 0.5) << f << ": back not along " << (k.backZ < 0 ? "-z" : "+z");
            Box b = bounds(m);
            EXPECT_GT(b.size(k.lengthAxis), k.lengthMin) << f;
            EXPECT_LT(b.size(k.lengthAxis), k.lengthMax) << f;
        }
    }
}

TEST_F(GeneratedAssets, FishPosesSwing) {
    for (const char* prefix : {"maguromananimation", "sameanimation", "mantaman"}) {
        XMesh first = mesh(std::string(prefix) + "1.x"), last = mesh(std::string(prefix) + "6.x");
        XMesh middle = mesh(std::string(prefix) + "3.x");
        ASSERT_EQ(first.pos.size(), last.pos.size()) << prefix;
        double maxMove = 0;
        for (size_t i = 0; i < first.pos.size(); i += 3) {
            double d = std::hypot(first.pos[i] - last.pos[i], first.pos[i + 1] - last.pos[i + 1],
                                  first.pos[i + 2] - last.pos[i + 2]);
            maxMove = std::max(maxMove, d);
        }
        EXPECT_GT(maxMove, 0.3) << prefix << ": the first and last poses barely differ";
        EXPECT_NE(middle.pos, first.pos) << prefix;
    }
}

TEST_F(GeneratedAssets, BoatSitsOnTheWaterBowForward) {
    XMesh m = mesh("Player.x");
    Box b = bounds(m);
    EXPECT_NEAR(b.size(2), 5.3f, 0.6f);  // hull 5 long, motor behind the transom
    EXPECT_NEAR(b.size(0), 2.0f, 0.3f);
    EXPECT_GT(b.lo[1], -1.0f) << "only the motor's foot may reach below the keel";
    EXPECT_LT(b.hi[1], 1.0f);
    float keel = 0;
    for (size_t i = 0; i < m.pos.size(); i += 3)
        if (std::fabs(m.pos[i + 2]) < 2.f) keel = std::min(keel, m.pos[i + 1]);
    EXPECT_NEAR(keel, -0.8f, 0.05f) << "hull bottom";
    // Narrow bow at +z, full beam aft.
    float bowW = 0, aftW = 0;
    for (size_t i = 0; i < m.pos.size(); i += 3) {
        if (m.pos[i + 2] > 2.2f) bowW = std::max(bowW, std::fabs(m.pos[i]));
        if (m.pos[i + 2] < -1.8f && m.pos[i + 2] > -2.4f) aftW = std::max(aftW, std::fabs(m.pos[i]));
    }
    EXPECT_LT(bowW, 0.6f);
    EXPECT_GT(aftW, 0.85f);
}

TEST_F(GeneratedAssets, TackleFitsTheFightMatrices) {
    Box rod = bounds(mesh("sao.x"));
    EXPECT_NEAR(rod.lo[2], 0.f, 0.02f) << "rod base at the origin";
    EXPECT_NEAR(rod.hi[2], 2.3f, 0.1f) << "rod tip";
    EXPECT_LT(rod.size(0), 0.12f) << "rod is thin";
    EXPECT_LT(rod.size(1), 0.16f) << "rod is thin";
    Box reel = bounds(mesh("saori-ru.x"));
    EXPECT_GT(reel.mid(2), 0.25f);
    EXPECT_LT(reel.mid(2), 0.55f);
    EXPECT_LE(reel.hi[1], 0.f) << "the resting reel hangs under the rod";
    Box spin = bounds(mesh("saori-ru2.x"));
    EXPECT_LT(std::fabs(spin.mid(1)) + std::fabs(spin.mid(2)), 0.05f) << "spinning reel centred on its axis";
    EXPECT_GT(std::fabs(spin.hi[1] + spin.lo[1]), 0.03f) << "nothing but a plain disc: its turning would not show";
    XMesh fl = mesh("uki.x");
    Box fb = bounds(fl);
    EXPECT_NEAR(fb.size(1), 0.27f, 0.06f);
    EXPECT_NEAR(fb.mid(1), 0.f, 0.05f);
    // Red top, white bottom.
    double redY = 0, whiteY = 0;
    int reds = 0, whites = 0;
    for (size_t fi = 0; fi < fl.faces.size(); ++fi) {
        const XMaterial& mat = fl.materials[fl.faceMaterial[fi]];
        double y =
            (fl.pos[3 * fl.faces[fi][0] + 1] + fl.pos[3 * fl.faces[fi][1] + 1] + fl.pos[3 * fl.faces[fi][2] + 1]) / 3;
        if (mat.diffuse[0] > 0.8f && mat.diffuse[1] < 0.3f) {
            redY += y;
            ++reds;
        }
        if (mat.diffuse[0] > 0.9f && mat.diffuse[1] > 0.9f && mat.diffuse[2] > 0.9f) {
            whiteY += y;
            ++whites;
        }
    }
    ASSERT_TRUE(reds && whites);
    EXPECT_GT(redY / reds, whiteY / whites);
}

// ---------------------------------------------------------------- music
TEST_F(GeneratedAssets, MusicIsPlainPcmThatFadesOut) {
    struct Piece {
        const char* file;
        double minSeconds, maxSeconds;
    } pieces[] = {
        {"BGM_TITLE.wav", 30, 60}, {"BGM_GAME1.wav", 10, 25}, {"BGM_GAME2.wav", 10, 25}, {"BGM_RESULT.wav", 10, 25}};
    for (auto& p : pieces) {
        Wave w = parseWave(readFile(*dir_ / "SE" / p.file));
        ASSERT_EQ(w.error, "") << p.file;
        EXPECT_EQ(w.format, 1) << p.file;
        EXPECT_EQ(w.bits, 16) << p.file;
        EXPECT_TRUE(w.channels == 1 || w.channels == 2) << p.file;
        EXPECT_TRUE(w.rate == 22050 || w.rate == 44100) << p.file;
        double seconds = double(w.samples.size()) / w.channels / w.rate;
        EXPECT_GE(seconds, p.minSeconds) << p.file;
        EXPECT_LE(seconds, p.maxSeconds) << p.file;
        double sum = 0;
        int peak = 0;
        for (int16_t s : w.samples) {
            sum += double(s) * s;
            peak = std::max(peak, std::abs(int(s)));
        }
        EXPECT_GT(std::sqrt(sum / w.samples.size()), 0.05 * 32768) << p.file << " is nearly silent";
        EXPECT_LT(peak, 32767) << p.file << " clips";
        // Loudness of each second: the music plays throughout, then fades.
        size_t perSecond = size_t(w.rate) * w.channels;
        for (size_t s0 = 0; s0 + perSecond < w.samples.size() - 3 * perSecond; s0 += perSecond) {
            int secPeak = 0;
            for (size_t i = s0; i < s0 + perSecond; ++i) secPeak = std::max(secPeak, std::abs(int(w.samples[i])));
            EXPECT_GT(secPeak, 1500) << p.file << " falls silent at " << s0 / perSecond << " s";
        }
        int tailPeak = 0;
        for (size_t i = w.samples.size() - perSecond / 20; i < w.samples.size(); ++i)
            tailPeak = std::max(tailPeak, std::abs(int(w.samples[i])));
        EXPECT_LT(tailPeak, 330) << p.file << " does not fade to silence";
    }
}

}  // namespace
