#include "assetgen/common.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <stb/stb_image_write.h>
// Compiled with the rest of stb_image_write (stb_image_write.cpp); its header
// declares this one only inside the implementation.
extern "C" unsigned char* stbi_write_png_to_mem(const unsigned char* pixels, int stride_bytes, int x, int y, int n,
                                                int* out_len);
#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>

namespace ag {

// ------------------------------------------------------------------ image
void Image::blend(int x, int y, const Col& c, float cov) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    float sa = clamp01(c.a * cov);
    if (sa <= 0.f) return;
    Col& d = at(x, y);
    float da = d.a * (1.f - sa);
    float oa = sa + da;
    if (oa <= 1e-6f) return;
    d.r = (c.r * sa + d.r * da) / oa;
    d.g = (c.g * sa + d.g * da) / oa;
    d.b = (c.b * sa + d.b * da) / oa;
    d.a = oa;
}

Col Image::sampleWrap(float x, float y) const {
    x -= 0.5f;
    y -= 0.5f;
    float fx = std::floor(x), fy = std::floor(y);
    float tx = x - fx, ty = y - fy;
    int x0 = ((int(fx) % w) + w) % w, y0 = ((int(fy) % h) + h) % h;
    int x1 = (x0 + 1) % w, y1 = (y0 + 1) % h;
    Col a = mix(at(x0, y0), at(x1, y0), tx);
    Col b = mix(at(x0, y1), at(x1, y1), tx);
    return mix(a, b, ty);
}

void Image::fill(const std::function<Col(float, float)>& f) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) at(x, y) = f((x + 0.5f) / w, (y + 0.5f) / h);
}

void bleedTransparent(Image& img, int passes) {
    std::vector<uint8_t> known(img.px.size());
    for (size_t i = 0; i < img.px.size(); ++i) known[i] = img.px[i].a > 0.002f;
    for (int p = 0; p < passes; ++p) {
        std::vector<uint8_t> next = known;
        bool changed = false;
        for (int y = 0; y < img.h; ++y)
            for (int x = 0; x < img.w; ++x) {
                size_t i = size_t(y) * img.w + x;
                if (known[i]) continue;
                float r = 0, g = 0, b = 0;
                int n = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        int xx = x + dx, yy = y + dy;
                        if (xx < 0 || yy < 0 || xx >= img.w || yy >= img.h) continue;
                        size_t j = size_t(yy) * img.w + xx;
                        if (!known[j]) continue;
                        r += img.px[j].r;
                        g += img.px[j].g;
                        b += img.px[j].b;
                        ++n;
                    }
                if (n) {
                    img.px[i].r = r / n;
                    img.px[i].g = g / n;
                    img.px[i].b = b / n;
                    next[i] = 1;
                    changed = true;
                }
            }
        known.swap(next);
        if (!changed) break;
    }
}

// ------------------------------------------------------------------ noise
static float hashLattice(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return float(h & 0xFFFFFF) / float(0xFFFFFF) * 2.f - 1.f;
}

float latticeNoise(float x, float y, int periodX, int periodY, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * tx * (tx * (tx * 6.f - 15.f) + 10.f);
    ty = ty * ty * ty * (ty * (ty * 6.f - 15.f) + 10.f);
    auto wrap = [](int v, int p) { return p > 0 ? ((v % p) + p) % p : v; };
    int x0 = wrap(ix, periodX), x1 = wrap(ix + 1, periodX);
    int y0 = wrap(iy, periodY), y1 = wrap(iy + 1, periodY);
    float a = lerp(hashLattice(x0, y0, seed), hashLattice(x1, y0, seed), tx);
    float b = lerp(hashLattice(x0, y1, seed), hashLattice(x1, y1, seed), tx);
    return lerp(a, b, ty);
}

float fbm(float x, float y, int periodX, int periodY, int octaves, uint32_t seed, float gain) {
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * latticeNoise(x, y, periodX, periodY, seed + uint32_t(o) * 101u);
        norm += amp;
        amp *= gain;
        x *= 2.f;
        y *= 2.f;
        periodX *= 2;
        periodY *= 2;
    }
    return sum / norm;
}

// -------------------------------------------------------------- SDF shapes
float sdCircle(float px, float py, float cx, float cy, float r) { return std::hypot(px - cx, py - cy) - r; }

float sdEllipse(float px, float py, float cx, float cy, float rx, float ry) {
    float x = (px - cx), y = (py - cy);
    float k0 = std::hypot(x / rx, y / ry);
    float k1 = std::hypot(x / (rx * rx), y / (ry * ry));
    if (k1 < 1e-6f) return -std::min(rx, ry);
    return k0 * (k0 - 1.f) / k1;
}

float sdBox(float px, float py, float cx, float cy, float hx, float hy, float radius) {
    float qx = std::fabs(px - cx) - hx + radius, qy = std::fabs(py - cy) - hy + radius;
    float ox = std::max(qx, 0.f), oy = std::max(qy, 0.f);
    return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.f) - radius;
}

float sdSegment(float px, float py, float ax, float ay, float bx, float by, float halfWidth) {
    float pax = px - ax, pay = py - ay, bax = bx - ax, bay = by - ay;
    float l2 = bax * bax + bay * bay;
    float t = l2 > 0 ? clamp01((pax * bax + pay * bay) / l2) : 0.f;
    return std::hypot(pax - bax * t, pay - bay * t) - halfWidth;
}

float sdPolygon(float px, float py, const std::vector<float>& v) {
    size_t n = v.size() / 2;
    float d = (px - v[0]) * (px - v[0]) + (py - v[1]) * (py - v[1]);
    float s = 1.f;
    for (size_t i = 0, j = n - 1; i < n; j = i, ++i) {
        float ex = v[2 * j] - v[2 * i], ey = v[2 * j + 1] - v[2 * i + 1];
        float wx = px - v[2 * i], wy = py - v[2 * i + 1];
        float t = clamp01((wx * ex + wy * ey) / (ex * ex + ey * ey));
        float bx = wx - ex * t, by = wy - ey * t;
        d = std::min(d, bx * bx + by * by);
        bool c1 = py >= v[2 * i + 1], c2 = py<v[2 * j + 1], c3 = ex * wy> ey * wx;
        if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) s = -s;
    }
    return s * std::sqrt(d);
}

float sdQuadStroke(float px, float py, float ax, float ay, float cx, float cy, float bx, float by, float halfWidth) {
    const int n = 24;
    float best = 1e9f;
    float lx = ax, ly = ay;
    for (int i = 1; i <= n; ++i) {
        float t = float(i) / n, u = 1.f - t;
        float x = u * u * ax + 2 * u * t * cx + t * t * bx;
        float y = u * u * ay + 2 * u * t * cy + t * t * by;
        best = std::min(best, sdSegment(px, py, lx, ly, x, y, halfWidth));
        lx = x;
        ly = y;
    }
    return best;
}

void drawSdf(Image& img, float x0, float y0, float x1, float y1, const Sdf& sdf, const Paint& paint, float opacity) {
    int ix0 = std::max(0, int(std::floor(x0)) - 1), iy0 = std::max(0, int(std::floor(y0)) - 1);
    int ix1 = std::min(img.w, int(std::ceil(x1)) + 1), iy1 = std::min(img.h, int(std::ceil(y1)) + 1);
    for (int y = iy0; y < iy1; ++y)
        for (int x = ix0; x < ix1; ++x) {
            float fx = x + 0.5f, fy = y + 0.5f;
            float cov = clamp01(0.5f - sdf(fx, fy));
            if (cov > 0.f) img.blend(x, y, paint(fx, fy), cov * opacity);
        }
}

// ---------------------------------------------------------------- lettering
struct FontInfoHolder {
    stbtt_fontinfo info;
};

bool Font::load(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    data_.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    if (data_.empty()) return false;
    info_ = std::make_shared<FontInfoHolder>();
    if (!stbtt_InitFont(&info_->info, data_.data(), stbtt_GetFontOffsetForIndex(data_.data(), 0))) {
        info_.reset();
        return false;
    }
    return true;
}

float Font::capHeight(float pixelHeight) const {
    float scale = stbtt_ScaleForPixelHeight(&info_->info, pixelHeight);
    int x0, y0, x1, y1;
    stbtt_GetCodepointBox(&info_->info, 'H', &x0, &y0, &x1, &y1);
    return y1 * scale;
}

Mask Font::render(const std::string& text, float pixelHeight, int pad, float letterSpacing) const {
    const stbtt_fontinfo* fi = &info_->info;
    float scale = stbtt_ScaleForPixelHeight(fi, pixelHeight);
    int ascent, descent, lineGap;
    stbtt_GetFontVMetrics(fi, &ascent, &descent, &lineGap);
    float baseline = ascent * scale;
    // Measure.
    float x = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        int adv, lsb;
        stbtt_GetCodepointHMetrics(fi, text[i], &adv, &lsb);
        x += adv * scale + letterSpacing;
        if (i + 1 < text.size()) x += stbtt_GetCodepointKernAdvance(fi, text[i], text[i + 1]) * scale;
    }
    Mask m;
    m.w = int(std::ceil(x)) + 2 * pad + 4;
    m.h = int(std::ceil((ascent - descent) * scale)) + 2 * pad + 2;
    m.a.assign(size_t(m.w) * m.h, 0.f);
    x = float(pad);
    for (size_t i = 0; i < text.size(); ++i) {
        int cp = (unsigned char)text[i];
        int adv, lsb;
        stbtt_GetCodepointHMetrics(fi, cp, &adv, &lsb);
        float shift = x - std::floor(x);
        int bx0, by0, bx1, by1;
        stbtt_GetCodepointBitmapBoxSubpixel(fi, cp, scale, scale, shift, 0, &bx0, &by0, &bx1, &by1);
        int gw = bx1 - bx0, gh = by1 - by0;
        if (gw > 0 && gh > 0) {
            std::vector<unsigned char> g(size_t(gw) * gh);
            stbtt_MakeCodepointBitmapSubpixel(fi, g.data(), gw, gh, gw, scale, scale, shift, 0, cp);
            int ox = int(std::floor(x)) + bx0, oy = pad + int(std::lround(baseline)) + by0;
            for (int yy = 0; yy < gh; ++yy)
                for (int xx = 0; xx < gw; ++xx) {
                    int tx = ox + xx, ty = oy + yy;
                    if (tx < 0 || ty < 0 || tx >= m.w || ty >= m.h) continue;
                    float& d = m.a[size_t(ty) * m.w + tx];
                    d = std::min(1.f, d + g[size_t(yy) * gw + xx] / 255.f);
                }
        }
        x += adv * scale + letterSpacing;
        if (i + 1 < text.size()) x += stbtt_GetCodepointKernAdvance(fi, cp, (unsigned char)text[i + 1]) * scale;
    }
    return m;
}

// Exact squared Euclidean distance transform in 1-D (Felzenszwalb and
// Huttenlocher's lower envelope of parabolas).
static void edt1d(const std::vector<double>& f, std::vector<double>& d, int n) {
    std::vector<int> v(n);
    std::vector<double> z(n + 1);
    int k = 0;
    v[0] = 0;
    z[0] = -1e30;
    z[1] = 1e30;
    for (int q = 1; q < n; ++q) {
        double s = ((f[q] + double(q) * q) - (f[v[k]] + double(v[k]) * v[k])) / (2.0 * q - 2.0 * v[k]);
        while (s <= z[k]) {
            --k;
            s = ((f[q] + double(q) * q) - (f[v[k]] + double(v[k]) * v[k])) / (2.0 * q - 2.0 * v[k]);
        }
        ++k;
        v[k] = q;
        z[k] = s;
        z[k + 1] = 1e30;
    }
    k = 0;
    for (int q = 0; q < n; ++q) {
        while (z[k + 1] < q) ++k;
        d[q] = double(q - v[k]) * (q - v[k]) + f[v[k]];
    }
}

Mask dilate(const Mask& m, float radius) {
    const double inf = 1e12;
    std::vector<double> dist(size_t(m.w) * m.h);
    for (size_t i = 0; i < dist.size(); ++i) dist[i] = m.a[i] >= 0.5f ? 0.0 : inf;
    int n = std::max(m.w, m.h);
    std::vector<double> f(n), d(n);
    for (int x = 0; x < m.w; ++x) {
        for (int y = 0; y < m.h; ++y) f[y] = dist[size_t(y) * m.w + x];
        edt1d(f, d, m.h);
        for (int y = 0; y < m.h; ++y) dist[size_t(y) * m.w + x] = d[y];
    }
    for (int y = 0; y < m.h; ++y) {
        for (int x = 0; x < m.w; ++x) f[x] = dist[size_t(y) * m.w + x];
        edt1d(f, d, m.w);
        for (int x = 0; x < m.w; ++x) dist[size_t(y) * m.w + x] = d[x];
    }
    Mask out = m;
    for (size_t i = 0; i < dist.size(); ++i) {
        float cov = clamp01(radius + 0.5f - float(std::sqrt(dist[i])));
        out.a[i] = std::max(m.a[i], cov);
    }
    return out;
}

Mask blurMask(const Mask& m, int r) {
    Mask out = m;
    if (r <= 0) return out;
    std::vector<float> tmp(out.a.size());
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x) {
                float s = 0;
                for (int k = -r; k <= r; ++k) s += out.at(x + k, y);
                tmp[size_t(y) * m.w + x] = s / (2 * r + 1);
            }
        for (int y = 0; y < m.h; ++y)
            for (int x = 0; x < m.w; ++x) {
                float s = 0;
                for (int k = -r; k <= r; ++k) {
                    int yy = y + k;
                    if (yy >= 0 && yy < m.h) s += tmp[size_t(yy) * m.w + x];
                }
                out.a[size_t(y) * m.w + x] = s / (2 * r + 1);
            }
    }
    return out;
}

bool inkBox(const Mask& m, int& x0, int& y0, int& x1, int& y1) {
    x0 = m.w;
    y0 = m.h;
    x1 = -1;
    y1 = -1;
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x)
            if (m.a[size_t(y) * m.w + x] > 0.5f) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    return x1 >= 0;
}

void drawMask(Image& img, const Mask& m, int ox, int oy, const Paint& paint, float opacity) {
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x) {
            float a = m.a[size_t(y) * m.w + x];
            if (a <= 0.f) continue;
            int tx = ox + x, ty = oy + y;
            if (tx < 0 || ty < 0 || tx >= img.w || ty >= img.h) continue;
            img.blend(tx, ty, paint(tx + 0.5f, ty + 0.5f), a * opacity);
        }
}

float drawTextCentred(Image& img, const Font& font, const std::string& text, float cx, float cy, float pixelHeight,
                      const TextStyle& st, float maxW, float maxH, float letterSpacing,
                      const std::string& verticalReference) {
    int pad = int(std::ceil(st.outlineWidth + st.outline2Width + std::abs(st.shadowDx) + std::abs(st.shadowDy) +
                            2 * st.shadowBlur)) +
              2;
    Mask m;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float extra = 2.f * (st.outlineWidth + st.outline2Width);
    for (int attempt = 0; attempt < 12; ++attempt) {
        m = font.render(text, pixelHeight, pad, letterSpacing);
        if (!inkBox(m, x0, y0, x1, y1)) return pixelHeight;
        float iw = float(x1 - x0 + 1) + extra, ih = float(y1 - y0 + 1) + extra;
        float k = std::min(maxW / iw, maxH / ih);
        if (k >= 1.f) break;
        pixelHeight *= k * 0.99f;
        letterSpacing *= k;
    }
    int ox = int(std::lround(cx - (x0 + x1 + 1) * 0.5f));
    if (!verticalReference.empty()) {
        Mask ref = font.render(verticalReference, pixelHeight, pad, letterSpacing);
        int rx0, rx1;
        if (!inkBox(ref, rx0, y0, rx1, y1)) return pixelHeight;
    }
    int oy = int(std::lround(cy - (y0 + y1 + 1) * 0.5f));
    Mask inner = st.outlineWidth > 0 ? dilate(m, st.outlineWidth) : m;
    Mask outer = st.outline2.a > 0 ? dilate(m, st.outlineWidth + st.outline2Width) : inner;
    if (st.shadow.a > 0) {
        Mask sh = blurMask(outer, st.shadowBlur);
        drawMask(img, sh, ox + st.shadowDx, oy + st.shadowDy, solid(st.shadow));
    }
    if (st.outline2.a > 0) drawMask(img, outer, ox, oy, solid(st.outline2));
    if (st.outlineWidth > 0) drawMask(img, inner, ox, oy, solid(st.outline));
    drawMask(img, m, ox, oy, st.fill);
    return pixelHeight;
}

// -------------------------------------------------------------------- files
bool makeDirs(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

static std::vector<unsigned char> toBytes(const Image& img, int comp) {
    std::vector<unsigned char> out(size_t(img.w) * img.h * comp);
    for (size_t i = 0; i < img.px.size(); ++i) {
        const Col& c = img.px[i];
        float v[4] = {c.r, c.g, c.b, c.a};
        for (int k = 0; k < comp; ++k) out[i * comp + k] = (unsigned char)std::lround(clamp01(v[k]) * 255.f);
    }
    return out;
}

// A PNG of the bytes, its rows filtered by None or Up (the same filter on
// every row), whichever gives the smaller file. The game decodes every
// picture as it starts, before its first frame: those two filters are undone
// in one pass over whole rows, many bytes at a time, while Sub carries each
// byte into the next and Average and Paeth cost more still. With them the
// five full-screen pictures decode in well under half the instructions they
// took under stb's own per-row choice (mostly Paeth), for 5 % more bytes in all.
static std::string encodePng(const std::vector<unsigned char>& bytes, int w, int h, int comp) {
    std::string best;
    for (int filter : {0, 2}) {
        stbi_write_force_png_filter = filter;
        int len = 0;
        unsigned char* png = stbi_write_png_to_mem(bytes.data(), w * comp, w, h, comp, &len);
        if (png && (best.empty() || size_t(len) < best.size()))
            best.assign(reinterpret_cast<const char*>(png), size_t(len));
        free(png);  // stb_image_write allocates with malloc
    }
    stbi_write_force_png_filter = -1;
    return best;
}

bool writePng(const std::string& path, const Image& img, bool alpha) {
    int comp = alpha ? 4 : 3;
    std::string png = encodePng(toBytes(img, comp), img.w, img.h, comp);
    return !png.empty() && writeFile(path, png);
}

std::string pngBytes(const Image& img, bool alpha) {
    int comp = alpha ? 4 : 3;
    return encodePng(toBytes(img, comp), img.w, img.h, comp);
}

bool writeJpg(const std::string& path, const Image& img, int quality) {
    auto bytes = toBytes(img, 3);
    return stbi_write_jpg(path.c_str(), img.w, img.h, 3, bytes.data(), quality) != 0;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(f);
}

}  // namespace ag
