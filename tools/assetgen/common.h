// Shared helpers of the asset generator: colours and RGBA images, a seeded
// random generator, tileable noise, anti-aliased shape drawing, TrueType
// lettering, image files and a little vector maths.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ag {

constexpr float kPi = 3.14159265358979f;

inline float clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }
inline float lerp(float a, float b, float t) { return a + (b - a) * t; }
inline float smooth(float e0, float e1, float x) {
    float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3.f - 2.f * t);
}

// ---------------------------------------------------------------- colours
struct Col {
    float r = 0, g = 0, b = 0, a = 1;
};
inline Col rgb(int hex, float a = 1.f) {
    return {((hex >> 16) & 255) / 255.f, ((hex >> 8) & 255) / 255.f, (hex & 255) / 255.f, a};
}
inline Col mix(const Col& x, const Col& y, float t) {
    return {lerp(x.r, y.r, t), lerp(x.g, y.g, t), lerp(x.b, y.b, t), lerp(x.a, y.a, t)};
}
inline Col withAlpha(Col c, float a) {
    c.a = a;
    return c;
}
inline Col scaleRgb(Col c, float s) {
    c.r *= s;
    c.g *= s;
    c.b *= s;
    return c;
}

// ------------------------------------------------------------------ image
// Straight (non-premultiplied) RGBA in 0..1.
struct Image {
    int w = 0, h = 0;
    std::vector<Col> px;
    Image() = default;
    Image(int width, int height, Col fill = {0, 0, 0, 0}) : w(width), h(height), px(size_t(width) * height, fill) {}
    Col& at(int x, int y) { return px[size_t(y) * w + x]; }
    const Col& at(int x, int y) const { return px[size_t(y) * w + x]; }
    // "Over" compositing of colour c with extra coverage cov.
    void blend(int x, int y, const Col& c, float cov);
    // Bilinear sample with wrap-around (u, v in pixels).
    Col sampleWrap(float x, float y) const;
    void fill(const std::function<Col(float u, float v)>& f);  // u, v in 0..1
};

// Gives fully transparent pixels the colour of the nearest visible pixel so
// that filtered sampling never pulls in a dark fringe.
void bleedTransparent(Image& img, int passes = 8);

// --------------------------------------------------------------- randomness
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 0x1234567ull) {}
    uint64_t next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    float uniform() { return float(next() >> 40) / float(1u << 24); }  // [0,1)
    float range(float a, float b) { return a + (b - a) * uniform(); }
    int below(int n) { return int(next() % uint64_t(n)); }

private:
    uint64_t s_;
};

// Value noise on an integer lattice that repeats every `period` cells in x
// and y (period <= 0: no repeat). Returns -1..1.
float latticeNoise(float x, float y, int periodX, int periodY, uint32_t seed);
// Sum of octaves; each octave doubles the frequency and the period.
float fbm(float x, float y, int periodX, int periodY, int octaves, uint32_t seed, float gain = 0.5f);

// -------------------------------------------------------------- SDF shapes
// Signed distance in pixels (negative inside).
float sdCircle(float px, float py, float cx, float cy, float r);
float sdEllipse(float px, float py, float cx, float cy, float rx, float ry);  // approximate
float sdBox(float px, float py, float cx, float cy, float hx, float hy, float radius = 0.f);
float sdSegment(float px, float py, float ax, float ay, float bx, float by, float halfWidth);
float sdPolygon(float px, float py, const std::vector<float>& xy);  // x0,y0,x1,y1,...
// Quadratic curve as a thick stroke (sampled).
float sdQuadStroke(float px, float py, float ax, float ay, float cx, float cy, float bx, float by, float halfWidth);

using Sdf = std::function<float(float x, float y)>;
using Paint = std::function<Col(float x, float y)>;
// Fills the region sdf < 0 inside the box [x0,x1) x [y0,y1), anti-aliased
// over about one pixel, with the colour given by paint.
void drawSdf(Image& img, float x0, float y0, float x1, float y1, const Sdf& sdf, const Paint& paint,
             float opacity = 1.f);
inline Paint solid(Col c) {
    return [c](float, float) { return c; };
}

// ---------------------------------------------------------------- lettering
struct Mask {
    int w = 0, h = 0;
    std::vector<float> a;
    float at(int x, int y) const { return (x < 0 || y < 0 || x >= w || y >= h) ? 0.f : a[size_t(y) * w + x]; }
};

class Font {
public:
    bool load(const std::string& path);
    // Renders a line of text with a margin of `pad` pixels on every side.
    // The pixel height is the font's ascent-to-descent height.
    Mask render(const std::string& text, float pixelHeight, int pad, float letterSpacing = 0.f) const;
    // Cap height in pixels at a pixel height (for centring capitals).
    float capHeight(float pixelHeight) const;

private:
    std::vector<unsigned char> data_;
    std::shared_ptr<struct FontInfoHolder> info_;
};

Mask dilate(const Mask& m, float radius);
Mask blurMask(const Mask& m, int radius);
// Ink bounding box of a mask (coverage > 0.5); false if empty.
bool inkBox(const Mask& m, int& x0, int& y0, int& x1, int& y1);
void drawMask(Image& img, const Mask& m, int ox, int oy, const Paint& paint, float opacity = 1.f);

// A lettering style: fill painted over a thick outline, optional shadow.
struct TextStyle {
    Paint fill;
    Col outline{0, 0, 0, 1};
    float outlineWidth = 0.f;
    Col outline2{0, 0, 0, 0};  // second, outer outline (alpha 0 = none)
    float outline2Width = 0.f;
    Col shadow{0, 0, 0, 0};
    int shadowDx = 0, shadowDy = 0, shadowBlur = 0;
};
// Draws text with its ink box centred on (cx, cy); fits it into maxW x maxH
// by shrinking the pixel height if needed. Returns the pixel height used.
// With a vertical reference (e.g. "H"), the text is placed vertically as
// that reference would be, so a row of glyphs keeps one baseline.
float drawTextCentred(Image& img, const Font& font, const std::string& text, float cx, float cy, float pixelHeight,
                      const TextStyle& style, float maxW = 1e9f, float maxH = 1e9f, float letterSpacing = 0.f,
                      const std::string& verticalReference = "");

// -------------------------------------------------------------------- files
bool makeDirs(const std::string& path);
bool writePng(const std::string& path, const Image& img, bool alpha);
// The PNG file of an image, in memory (empty on failure).
std::string pngBytes(const Image& img, bool alpha);
bool writeJpg(const std::string& path, const Image& img, int quality);
bool writeFile(const std::string& path, const std::string& bytes);

// --------------------------------------------------------------- vectors
struct V3 {
    float x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float length(V3 a) { return std::sqrt(dot(a, a)); }
inline V3 normalize(V3 a) {
    float l = length(a);
    return l > 1e-12f ? a * (1.f / l) : V3{0, 1, 0};
}

}  // namespace ag
