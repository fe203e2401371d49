// The game's 2-D art: HUD pieces, title and result screens, lettering and
// the three scenery textures (seabed, sky, mountain ring).
#include <algorithm>
#include <cmath>
#include <utility>

#include "assetgen/assets.h"

namespace ag {

namespace {

const char* const kFontDir = "/usr/share/fonts/truetype/dejavu/";

Paint vgrad(Col top, Col bottom, float y0, float y1) {
    return [=](float, float y) { return mix(top, bottom, clamp01((y - y0) / (y1 - y0))); };
}

void roundRect(Image& img, float x0, float y0, float x1, float y1, float r, const Paint& p, float opacity = 1.f) {
    float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f, hx = (x1 - x0) * 0.5f, hy = (y1 - y0) * 0.5f;
    drawSdf(
        img, x0, y0, x1, y1, [=](float x, float y) { return sdBox(x, y, cx, cy, hx, hy, r); }, p, opacity);
}

void circle(Image& img, float cx, float cy, float r, const Paint& p, float opacity = 1.f) {
    drawSdf(
        img, cx - r, cy - r, cx + r, cy + r, [=](float x, float y) { return sdCircle(x, y, cx, cy, r); }, p, opacity);
}

void polygon(Image& img, const std::vector<float>& xy, const Paint& p, float grow = 0.f, float opacity = 1.f) {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (size_t i = 0; i < xy.size(); i += 2) {
        x0 = std::min(x0, xy[i]);
        x1 = std::max(x1, xy[i]);
        y0 = std::min(y0, xy[i + 1]);
        y1 = std::max(y1, xy[i + 1]);
    }
    drawSdf(
        img, x0 - grow, y0 - grow, x1 + grow, y1 + grow,
        [&xy, grow](float x, float y) { return sdPolygon(x, y, xy) - grow; }, p, opacity);
}

void segment(Image& img, float ax, float ay, float bx, float by, float halfWidth, const Paint& p, float opacity = 1.f) {
    drawSdf(
        img, std::min(ax, bx) - halfWidth, std::min(ay, by) - halfWidth, std::max(ax, bx) + halfWidth,
        std::max(ay, by) + halfWidth, [=](float x, float y) { return sdSegment(x, y, ax, ay, bx, by, halfWidth); }, p,
        opacity);
}

// A lettering style: fill, an outline and optionally a second, outer one.
TextStyle lettering(Paint fill, Col outline = {0, 0, 0, 1}, float outlineWidth = 0.f, Col outline2 = {0, 0, 0, 0},
                    float outline2Width = 0.f) {
    TextStyle st;
    st.fill = std::move(fill);
    st.outline = outline;
    st.outlineWidth = outlineWidth;
    st.outline2 = outline2;
    st.outline2Width = outline2Width;
    return st;
}
// The same style with a drop shadow offset by (dx, dy) and blurred.
TextStyle shadowed(TextStyle st, Col shadow, int dx, int dy, int blur) {
    st.shadow = shadow;
    st.shadowDx = dx;
    st.shadowDy = dy;
    st.shadowBlur = blur;
    return st;
}

// Style shared by the white captions with a navy rim.
TextStyle captionStyle(float outline) {
    return shadowed(lettering([](float, float) { return rgb(0xF4FBFF); }, rgb(0x0B2A66), outline), rgb(0x000000, 0.45f),
                    int(outline * 0.6f), int(outline * 0.8f), int(outline * 0.5f));
}

// ------------------------------------------------------------ scenery
Image seabed() {
    const int n = 160;
    Image img(n, n);
    Col sandLight = rgb(0xC9D9B0), sandDark = rgb(0x7FA38E), tint = rgb(0x3FA7B5);
    img.fill([=](float u, float v) {
        // Large soft patches, ripples bent by noise, then the water's caustics.
        float patches = fbm(u * 4, v * 4, 4, 4, 3, 11u);
        float warp = fbm(u * 3, v * 3, 3, 3, 2, 23u);
        float ripple = 0.5f + 0.5f * std::sin(2 * kPi * (7 * u + 2 * v + 0.9f * warp));
        float grain = latticeNoise(u * 80, v * 80, 80, 80, 37u);
        Col c = mix(sandDark, sandLight, clamp01(0.55f + 0.35f * patches + 0.18f * (ripple - 0.5f) + 0.06f * grain));
        c = mix(c, tint, 0.35f);
        float ca = fbm(u * 5, v * 5, 5, 5, 2, 51u);
        float cb = fbm(u * 5 + 0.37f, v * 5 + 0.61f, 5, 5, 2, 77u);
        float caustic = std::pow(clamp01(1.f - std::fabs(ca - cb) * 5.f), 6.f);
        return mix(c, rgb(0xE8FFF6), 0.45f * caustic);
    });
    // A few pebbles and shells, drawn wrapped so the tile stays seamless.
    Rng rng(5);
    for (int i = 0; i < 9; ++i) {
        float cx = rng.range(0, n), cy = rng.range(0, n), rx = rng.range(2.5f, 5.5f), ry = rx * rng.range(0.6f, 0.9f);
        Col col = mix(rgb(0x8E9A86), rgb(0xE0D8C0), rng.uniform());
        for (int oy = -1; oy <= 1; ++oy)
            for (int ox = -1; ox <= 1; ++ox) {
                float px = cx + ox * n, py = cy + oy * n;
                if (px < -8 || px > n + 8 || py < -8 || py > n + 8) continue;
                drawSdf(
                    img, px - rx - 2, py - ry - 2, px + rx + 3, py + ry + 3,
                    [=](float x, float y) { return sdEllipse(x, y, px + 1.2f, py + 1.2f, rx, ry); },
                    solid(rgb(0x2F5A58, 0.35f)));
                drawSdf(
                    img, px - rx, py - ry, px + rx, py + ry,
                    [=](float x, float y) { return sdEllipse(x, y, px, py, rx, ry); },
                    [=](float x, float y) { return mix(col, rgb(0xFFFFFF), clamp01((py - y) / ry) * 0.35f); });
            }
    }
    return img;
}

// The dome shows u from 1/22 to 21/22 around the sky and the camera sees the
// band of roughly v = 0.35 (30 degrees up) to v = 0.68 (the horizon). Clouds
// thin out towards u = 0 and u = 1 so that the dome's seam shows no edge.
Image sky() {
    const int n = 160;
    Image img(n, n);
    // Near the horizon the sky is the stages' clear colour (0x018CFF): the
    // clear sky above the mountain ring's peaks shows that colour.
    Col zenith = rgb(0x0B3F9E), high = rgb(0x1570E0), horizon = rgb(0x018CFF), haze = rgb(0x62B8F4);
    img.fill([=](float u, float v) {
        Col c = v < 0.35f
                    ? mix(zenith, high, v / 0.35f)
                    : (v < 0.6f ? mix(high, horizon, (v - 0.35f) / 0.25f) : mix(horizon, haze, smooth(0.7f, 0.85f, v)));
        float seam = smooth(0.07f, 0.2f, u) * smooth(0.07f, 0.2f, 1.f - u);
        float band = smooth(0.25f, 0.4f, v) * (1.f - smooth(0.58f, 0.68f, v));
        float f = fbm(u * 3, v * 6, 3, 0, 4, 301u);
        float cloud = smooth(0.0f, 0.45f, f) * seam * band;
        Col cloudCol = mix(rgb(0xFFFFFF), rgb(0xC4D6EE),
                           clamp01((v - 0.35f) * 2.5f + 0.4f * latticeNoise(u * 12, v * 12, 12, 0, 9u)));
        return mix(c, cloudCol, cloud * 0.9f);
    });
    return img;
}

// The mountain ring: 5 facets show u from 1/6 to 1 around the circle, top
// edge v = 0, ground level v = 2/3. Both seams (u = 1/6 against u = 1, and
// u = 0 against u = 1 for plain tiling) sit in flat, plain lowland.
struct Range {
    struct Peak {
        float c, h, w;
    };
    std::vector<Peak> peaks;
    uint32_t seed;
    Range(int count, float hLo, float hHi, float wLo, float wHi, uint32_t s) : seed(s) {
        Rng rng(s);
        for (int i = 0; i < count; ++i) peaks.push_back({rng.uniform(), rng.range(hLo, hHi), rng.range(wLo, wHi)});
    }
    // Height above ground level in pixels; repeats with period 1 in u.
    float height(float u) const {
        // A soft maximum of the peaks, so that overlapping peaks meet in a
        // rounded saddle instead of a crease.
        double sum = 0;
        for (const Peak& p : peaks) {
            float d = std::fabs(u - p.c);
            d = std::min(d, 1.f - d);
            float t = 1.f - d / p.w;
            if (t > 0) sum += std::pow(double(p.h) * std::pow(t, 1.25f), 8.0);
        }
        return float(std::pow(sum, 1.0 / 8.0)) + 3.f * fbm(u * 60, 0.5f, 60, 0, 3, seed);
    }
};

Image mountains() {
    const int w = 1900, h = 180;
    const float base = h * 2.f / 3.f;  // ground level in pixels
    Image img(w, h);
    auto seamWeight = [](float u) {
        float d = std::min({std::fabs(u), std::fabs(1.f - u), std::fabs(u - 1.f / 6.f)});
        return 1.f - smooth(0.006f, 0.04f, d);
    };
    const Range far(30, 35.f, 98.f, 0.025f, 0.07f, 500u), near(46, 10.f, 38.f, 0.015f, 0.045f, 900u);
    auto farH = [&](float u) { return lerp(far.height(u), 8.f, seamWeight(u)); };
    auto nearH = [&](float u) { return lerp(near.height(u), 5.f, seamWeight(u)); };
    const float du = 1.f / w;
    Col skyHaze = rgb(0x9CC4E8);
    for (int x = 0; x < w; ++x) {
        float u = (x + 0.5f) / w;
        float farTop = base - farH(u), nearTop = base - nearH(u);
        float farSlope = farH(u + du) - farH(u - du), nearSlope = nearH(u + du) - nearH(u - du);
        float detailAmp = 1.f - seamWeight(u);
        for (int y = 0; y < h; ++y) {
            float py = y + 0.5f;
            Col out{skyHaze.r, skyHaze.g, skyHaze.b, 0.f};
            if (y < h - 2) {  // the last rows stay clear so wrapped filtering at v = 0 picks up no ground
                float rock = detailAmp * fbm(u * 80, py / 16.f, 80, 0, 3, 77u);
                float aFar = clamp01(py - farTop + 0.5f);
                if (aFar > 0) {
                    float t = clamp01((py - farTop) / (base - farTop + 1.f));
                    Col c = mix(rgb(0x7088AC), rgb(0x93A8C2), t);
                    c = scaleRgb(c, 1.f + 0.3f * std::tanh(farSlope * 0.35f) + 0.08f * rock);
                    float snowLine = base - 62.f + 6.f * rock;
                    if (py < snowLine && py < farTop + 16.f + 6.f * rock) c = mix(c, rgb(0xF4F8FF), 0.9f);
                    out = withAlpha(c, aFar);
                }
                float aNear = clamp01(py - nearTop + 0.5f);
                if (aNear > 0) {
                    float t = clamp01((py - nearTop) / (base - nearTop + 1.f));
                    float trees = detailAmp * latticeNoise(u * 500, py / 3.f, 500, 0, 5u);
                    Col c = mix(rgb(0x467A4E), rgb(0x2A4E36), t);
                    c = scaleRgb(c, 1.f + 0.3f * std::tanh(nearSlope * 0.35f) + 0.1f * rock + 0.08f * trees);
                    out = out.a > 0 ? mix(out, withAlpha(c, 1.f), aNear) : withAlpha(c, aNear);
                }
                if (py >= base - 3.f) {
                    // Shore line, then solid ground below the ring's bottom edge.
                    Col shore = mix(rgb(0xC9C398), rgb(0x5C6F58), smooth(base - 2.f, base + 6.f, py));
                    out = mix(out, withAlpha(shore, 1.f), smooth(base - 3.f, base - 1.f, py));
                }
            }
            img.at(x, y) = out;
        }
    }
    bleedTransparent(img, 6);
    return img;
}

// ---------------------------------------------------------- HUD pieces
Image arrowCursor() {
    Image img(25, 25);
    std::vector<float> arrow = {12.5f, 1.8f, 22.f, 22.5f, 12.5f, 17.f, 3.f, 22.5f};
    polygon(img, arrow, solid(rgb(0x10204A)), 1.6f);
    polygon(img, arrow, vgrad(rgb(0xFFF27A), rgb(0xFFB000), 2, 22));
    bleedTransparent(img);
    return img;
}

Image fishMarker() {
    Image img(25, 25);
    auto body = [](float x, float y) {
        float b = sdEllipse(x, y, 14.f, 12.5f, 8.f, 5.2f);
        float t = sdPolygon(x, y, {7.5f, 12.5f, 1.5f, 6.5f, 1.5f, 18.5f});
        return std::min(b, t);
    };
    drawSdf(
        img, 0, 0, 25, 25, [&](float x, float y) { return body(x, y) - 1.4f; }, solid(rgb(0x3A0A00)));
    drawSdf(img, 0, 0, 25, 25, body, vgrad(rgb(0xFFB347), rgb(0xFF4A1C), 7, 18));
    circle(img, 17.8f, 11.3f, 1.5f, solid(rgb(0x101010)));
    bleedTransparent(img);
    return img;
}

Image radarGrid() {
    const int n = 250;
    Image img(n, n);
    roundRect(img, 0, 0, n, n, 10, vgrad(rgb(0x062B3E, 0.62f), rgb(0x031A2A, 0.70f), 0, n));
    for (int i = 1; i < 10; ++i) {
        float p = i * 25.f;
        float a = (i == 5) ? 0.55f : 0.28f;
        segment(img, p, 6, p, n - 6, i == 5 ? 0.9f : 0.55f, solid(rgb(0x7FFFD4, a)));
        segment(img, 6, p, n - 6, p, i == 5 ? 0.9f : 0.55f, solid(rgb(0x7FFFD4, a)));
    }
    for (int r = 1; r <= 3; ++r) {
        float rad = r * 40.f;
        drawSdf(
            img, 125 - rad - 2, 125 - rad - 2, 125 + rad + 2, 125 + rad + 2,
            [=](float x, float y) { return std::fabs(sdCircle(x, y, 125, 125, rad)) - 0.6f; },
            solid(rgb(0x9FFFE0, 0.22f)));
    }
    drawSdf(
        img, 0, 0, n, n, [=](float x, float y) { return std::fabs(sdBox(x, y, 125, 125, 122.5f, 122.5f, 9)) - 1.6f; },
        solid(rgb(0xBFFFF0, 0.9f)));
    return img;
}

Image gaugeBack() {
    Image img(1000, 50);
    roundRect(img, 0, 0, 1000, 50, 12, solid(rgb(0x0A0F1E, 0.92f)));
    roundRect(img, 2, 2, 998, 48, 10, vgrad(rgb(0xC8D2E0), rgb(0x6E7A8C), 2, 48));
    roundRect(img, 5, 5, 995, 45, 8, vgrad(rgb(0x10141F, 0.85f), rgb(0x283040, 0.85f), 5, 45));
    return img;
}

// Bars are cut by length from the left, so only the left end is shaped;
// the right end is left square and the 5-pixel margin lets the frame show.
Image gaugeBar(const Paint& colour, const Fonts& fonts, const std::string& label) {
    Image img(1000, 50);
    drawSdf(
        img, 5, 6, 995, 44, [](float x, float y) { return sdBox(x, y, 500, 25, 490, 19, 7); }, colour);
    // Gloss on the upper half, shade on the lower edge, segment ticks.
    drawSdf(
        img, 9, 8, 991, 22, [](float x, float y) { return sdBox(x, y, 500, 15, 482, 6, 5); },
        solid(rgb(0xFFFFFF, 0.32f)));
    drawSdf(
        img, 5, 36, 995, 44, [](float x, float y) { return sdBox(x, y, 500, 40.5f, 490, 3.5f, 3); },
        solid(rgb(0x000000, 0.18f)));
    for (int i = 1; i < 20; ++i) segment(img, i * 50.f, 9, i * 50.f, 41, 0.8f, solid(rgb(0x000000, 0.22f)));
    TextStyle st = lettering(solid(rgb(0xFFFFFF)), rgb(0x101418, 0.9f), 2.5f);
    Mask probe = fonts.bold.render(label, 30, 4);
    int x0, y0, x1, y1;
    inkBox(probe, x0, y0, x1, y1);
    drawTextCentred(img, fonts.bold, label, 18 + (x1 - x0) * 0.5f, 25, 30, st);
    bleedTransparent(img);
    return img;
}

// Letters and digits share a pixel height chosen so that the widest glyph
// fits its cell; each glyph is centred on its cell.
Image glyphSheet(const Fonts& fonts, const std::string& chars, int cellW, int cellH, const TextStyle& st, float margin,
                 const std::string& reference) {
    Image img(cellW * int(chars.size()), cellH);
    float px = cellH * 1.4f;
    float maxW = cellW - 2 * margin - 2 * st.outlineWidth, maxH = cellH - 2 * margin - 2 * st.outlineWidth;
    for (char ch : chars) {
        Mask m = fonts.bold.render(std::string(1, ch), px, 2);
        int x0, y0, x1, y1;
        if (!inkBox(m, x0, y0, x1, y1)) continue;
        float k = std::min(maxW / (x1 - x0 + 1), maxH / (y1 - y0 + 1));
        if (k < 1.f) px *= k;
    }
    for (size_t i = 0; i < chars.size(); ++i) {
        float cx = cellW * (i + 0.5f), cy = cellH * 0.5f;
        drawTextCentred(img, fonts.bold, std::string(1, chars[i]), cx, cy, px, st, float(cellW - 2), float(cellH - 2),
                        0.f, reference);
    }
    bleedTransparent(img);
    return img;
}

Image highlightFrame() {
    Image img(100, 100);
    auto ring = [](float x, float y) { return std::fabs(sdBox(x, y, 50, 50, 45.5f, 45.5f, 10)) - 3.2f; };
    drawSdf(
        img, 0, 0, 100, 100, [&](float x, float y) { return ring(x, y) - 2.2f; }, solid(rgb(0xFF7A00, 0.55f)));
    drawSdf(img, 0, 0, 100, 100, ring, vgrad(rgb(0xFFF7A0), rgb(0xFFC21A), 0, 100));
    // Corner ticks.
    for (int c = 0; c < 4; ++c) {
        float sx = (c & 1) ? 1.f : -1.f, sy = (c & 2) ? 1.f : -1.f;
        float cx = 50 + sx * 38, cy = 50 + sy * 38;
        segment(img, cx, cy, cx - sx * 12, cy, 1.6f, solid(rgb(0xFFFFFF, 0.9f)));
        segment(img, cx, cy, cx, cy - sy * 12, 1.6f, solid(rgb(0xFFFFFF, 0.9f)));
    }
    bleedTransparent(img);
    return img;
}

Image caption(const Fonts& fonts, int w, int h, const std::string& text, float px) {
    Image img(w, h);
    TextStyle st = captionStyle(4.f);
    st.fill = vgrad(rgb(0xFFF3A0), rgb(0xFFA51F), h * 0.2f, h * 0.8f);
    drawTextCentred(img, fonts.bold, text, w * 0.5f, h * 0.5f, px, st, w - 8.f, h - 6.f, px * 0.06f);
    bleedTransparent(img);
    return img;
}

Image prompt(const Fonts& fonts, int w, int h, const std::string& text, float px) {
    Image img(w, h);
    TextStyle st = captionStyle(4.5f);
    drawTextCentred(img, fonts.bold, text, w * 0.5f, h * 0.5f, px, st, w - 10.f, h - 8.f, px * 0.12f);
    bleedTransparent(img);
    return img;
}

Image bubble() {
    Image img(327, 325);
    const float cx = 163.5f, cy = 162.5f, r = 150.f;
    drawSdf(
        img, 0, 0, 327, 325, [=](float x, float y) { return sdCircle(x, y, cx, cy, r); },
        [=](float x, float y) {
            float d = std::hypot(x - cx, y - cy) / r;
            float rim = std::pow(clamp01(d), 6.f);
            return Col{0.80f, 0.95f, 1.f, 0.07f + 0.55f * rim};
        });
    drawSdf(
        img, 0, 0, 327, 325, [=](float x, float y) { return std::fabs(sdCircle(x, y, cx, cy, r - 2)) - 2.f; },
        solid(rgb(0xE8FCFF, 0.75f)));
    // Crescent highlight upper left and a small glint lower right.
    drawSdf(
        img, 0, 0, 327, 325,
        [=](float x, float y) {
            return std::max(sdCircle(x, y, cx - 10, cy - 10, r - 22), -sdCircle(x, y, cx + 12, cy + 14, r - 30));
        },
        [=](float x, float y) {
            return Col{1, 1, 1, 0.75f * clamp01(1.f - (x + y - 140) / 260.f)};
        });
    circle(img, cx - 70, cy - 75, 16, solid(rgb(0xFFFFFF, 0.85f)));
    circle(img, cx + 82, cy + 70, 9, solid(rgb(0xFFFFFF, 0.55f)));
    bleedTransparent(img);
    return img;
}

// -------------------------------------------------------- full screens
void lightRays(Image& img, float ox, float oy, int count, uint32_t seed, float strength) {
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float ang = std::atan2(x + 0.5f - ox, y + 0.5f - oy);
            float n = latticeNoise(ang * count, 0.5f, 0, 0, seed);
            float ray = smooth(0.15f, 0.75f, n) * (1.f - smooth(0.f, img.h * 0.95f, float(y)));
            img.blend(x, y, rgb(0xE6FFF8), ray * strength);
        }
}

void kelp(Image& img, float x, float baseY, float height, float phase, Col col, float width) {
    float px = x, py = baseY;
    const int steps = 26;
    for (int i = 1; i <= steps; ++i) {
        float t = float(i) / steps;
        float nx = x + std::sin(t * 5.f + phase) * 28.f * t, ny = baseY - height * t;
        float wdt = width * (1.f - 0.6f * t);
        segment(img, px, py, nx, ny, wdt, solid(col));
        if (i % 4 == 2) {  // leaves
            float side = (i % 8 == 2) ? 1.f : -1.f;
            drawSdf(
                img, nx - 60, ny - 40, nx + 60, ny + 40,
                [=](float xx, float yy) { return sdEllipse(xx, yy, nx + side * 22, ny - 8, 24, 8); }, solid(col));
        }
        px = nx;
        py = ny;
    }
}

void fishSilhouette(Image& img, float x, float y, float s, bool left, Col col) {
    float d = left ? -1.f : 1.f;
    drawSdf(
        img, x - 2.2f * s, y - s, x + 2.2f * s, y + s,
        [=](float xx, float yy) {
            float b = sdEllipse(xx, yy, x, y, 1.2f * s, 0.45f * s);
            float t = sdPolygon(
                xx, yy, {x - d * 0.9f * s, y, x - d * 1.9f * s, y - 0.55f * s, x - d * 1.9f * s, y + 0.55f * s});
            return std::min(b, t);
        },
        solid(col));
}

Image titleBackground() {
    const int w = 1680, h = 900;
    Image img(w, h);
    img.fill([](float u, float v) {
        Col top = rgb(0x3FC6E0), mid = rgb(0x0E6FA8), deep = rgb(0x06224F);
        Col c = v < 0.45f ? mix(top, mid, v / 0.45f) : mix(mid, deep, (v - 0.45f) / 0.55f);
        return scaleRgb(c, 1.f + 0.05f * std::sin(u * 9.f));
    });
    // Caustic shimmer under the surface.
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < w; ++x) {
            float u = x / 160.f, v = y / 60.f;
            float a = fbm(u, v, 0, 0, 2, 41u), b = fbm(u + 0.3f, v + 0.7f, 0, 0, 2, 43u);
            float c = std::pow(clamp01(1.f - std::fabs(a - b) * 6.f), 5.f) * (1.f - y / 180.f);
            img.blend(x, y, rgb(0xF0FFFF), 0.5f * c);
        }
    lightRays(img, 700, -420, 26, 61u, 0.22f);
    Rng rng(42);
    // Distant schools of fish.
    for (int s = 0; s < 3; ++s) {
        float sx = rng.range(150, 1500), sy = rng.range(380, 650);
        bool left = rng.uniform() < 0.5f;
        for (int i = 0; i < 14; ++i)
            fishSilhouette(img, sx + rng.range(-120, 120), sy + rng.range(-50, 50), rng.range(9, 14), left,
                           rgb(0x08305A, 0.45f));
    }
    // Sand dunes and rocks on the bottom.
    for (int x = 0; x < w; ++x) {
        float u = x / float(w);
        float top = 780 + 35 * std::sin(u * 7.f + 1.f) + 18 * std::sin(u * 17.f) + 10 * fbm(u * 30, 0.3f, 0, 0, 2, 5u);
        for (int y = int(top) - 1; y < h; ++y) {
            float a = clamp01(y + 0.5f - top);
            float ripple = 0.5f + 0.5f * std::sin(x * 0.05f + y * 0.3f + 3 * fbm(x / 90.f, y / 40.f, 0, 0, 2, 8u));
            Col c = mix(rgb(0x9C8F63), rgb(0x4E5E5A), clamp01((y - top) / 120.f));
            c = scaleRgb(c, 0.9f + 0.15f * ripple);
            img.blend(x, y, c, a);
        }
    }
    for (int i = 0; i < 7; ++i) {
        float rx = rng.range(0, w), ry = rng.range(820, 880), rr = rng.range(25, 60);
        drawSdf(
            img, rx - rr * 1.5f, ry - rr, rx + rr * 1.5f, ry + rr,
            [=](float x, float y) { return sdEllipse(x, y, rx, ry, rr * 1.4f, rr * 0.8f); },
            vgrad(rgb(0x51606A), rgb(0x27323C), ry - rr, ry + rr));
    }
    // Kelp along both sides, darker behind, brighter in front.
    const float kx[] = {40, 120, 210, 1460, 1560, 1640, 330, 1350};
    for (int i = 0; i < 8; ++i) {
        Col col = i < 6 ? rgb(0x1C6B3A, 0.92f) : rgb(0x114A2E, 0.8f);
        kelp(img, kx[i], 900, rng.range(320, 560), rng.range(0, 6), col, rng.range(7, 11));
    }
    // Drifting specks.
    for (int i = 0; i < 160; ++i)
        circle(img, rng.range(0, w), rng.range(0, h), rng.range(0.8f, 2.4f),
               solid(rgb(0xDFFFFF, rng.range(0.15f, 0.5f))));
    return img;
}

Image titleLogo(const Fonts& fonts) {
    const int w = 1245, h = 335;
    Image img(w, h);
    // A rolling wave behind the lower half of the lettering.
    drawSdf(
        img, 20, 180, 1225, 335,
        [](float x, float y) {
            float crest = 250 + 22 * std::sin(x * 0.018f) + 10 * std::sin(x * 0.051f + 1.f);
            return std::max(crest - y, sdBox(x, y, 622.5f, 262, 585, 60, 34));
        },
        vgrad(rgb(0x5FE3FF), rgb(0x0B5FB8), 230, 320), 0.95f);
    for (int i = 0; i < 14; ++i) {
        float x = 90 + i * 80.f, y = 262 + 20 * std::sin(x * 0.018f);
        circle(img, x, y, 7, solid(rgb(0xFFFFFF, 0.8f)));
    }
    TextStyle st =
        shadowed(lettering(vgrad(rgb(0xFFF27A), rgb(0xFF7A00), 70, 250), rgb(0xFFFFFF), 5.f, rgb(0x0A2260), 9.f),
                 rgb(0x000000, 0.5f), 8, 10, 5);
    drawTextCentred(img, fonts.bold, "TIDE ANGLER", w * 0.5f, 160, 240, st, w - 40.f, 250.f, 4.f);
    bleedTransparent(img);
    return img;
}

// The title fish; `wink` draws the same silhouette with a closed, winking
// eye and a sparkle, so that it fully covers the first drawing.
Image titleFish(bool wink) {
    const int w = 759, h = 293;
    Image img(w, h);
    const float cx = 400, cy = 150;
    auto body = [=](float x, float y) { return sdEllipse(x, y, cx, cy, 265, 98); };
    auto tail = [=](float x, float y) { return sdPolygon(x, y, {160, 150, 30, 40, 70, 148, 30, 258}) - 4.f; };
    auto dorsal = [=](float x, float y) { return sdPolygon(x, y, {330, 70, 400, 14, 470, 62}) - 3.f; };
    auto anal = [=](float x, float y) { return sdPolygon(x, y, {330, 232, 385, 280, 430, 236}) - 3.f; };
    auto silhouette = [=](float x, float y) { return std::min({body(x, y), tail(x, y), dorsal(x, y), anal(x, y)}); };
    Col navy = rgb(0x0A1C44);
    drawSdf(
        img, 0, 0, w, h, [&](float x, float y) { return silhouette(x, y) - 6.f; }, solid(navy));
    Paint finPaint = vgrad(rgb(0xFFE04A), rgb(0xF09A10), 20, 280);
    drawSdf(img, 0, 0, w, h, tail, finPaint);
    drawSdf(img, 300, 0, 500, 90, dorsal, finPaint);
    drawSdf(img, 300, 220, 460, 293, anal, finPaint);
    drawSdf(img, 120, 40, 680, 260, body, [=](float x, float y) {
        float t = clamp01((y - (cy - 98)) / 196.f);
        Col back = rgb(0x1C4FA8), side = rgb(0x6FA8E8), belly = rgb(0xF4F8FF);
        Col c = t < 0.45f ? mix(back, side, t / 0.45f) : mix(side, belly, smooth(0.45f, 0.75f, t));
        return scaleRgb(c, 1.f + 0.12f * std::sin(x * 0.02f));
    });
    // Scales, a lateral stripe and the finlets along the back.
    for (int i = 0; i < 9; ++i)
        for (int j = 0; j < 3; ++j) {
            float sx = 220 + i * 38 + (j & 1) * 19, sy = 110 + j * 26;
            drawSdf(
                img, sx - 20, sy - 20, sx + 20, sy + 20,
                [=](float x, float y) { return std::max(std::fabs(sdCircle(x, y, sx, sy, 14)) - 1.6f, sx - 2 - x); },
                solid(rgb(0xFFFFFF, 0.22f)), 1.f);
        }
    drawSdf(
        img, 180, 135, 640, 170, [](float x, float y) { return sdQuadStroke(x, y, 190, 160, 420, 140, 630, 155, 5); },
        solid(rgb(0xFFD23A, 0.85f)));
    for (int i = 0; i < 5; ++i) {  // finlets riding on the back behind the dorsal fin
        float fx = 205 + i * 22.f, rel = (fx + 8 - cx) / 265.f;
        float fy = cy - 98 * std::sqrt(std::max(0.f, 1.f - rel * rel)) + 3.f;
        polygon(img, {fx, fy + 2, fx + 8, fy - 13, fx + 16, fy + 2}, solid(rgb(0xFFE04A)), 1.5f);
    }
    // Gill, pectoral fin, mouth.
    drawSdf(
        img, 500, 60, 600, 240, [](float x, float y) { return sdQuadStroke(x, y, 560, 80, 520, 150, 560, 225, 4.5f); },
        solid(withAlpha(navy, 0.8f)));
    polygon(img, {500, 170, 430, 205, 445, 175}, vgrad(rgb(0xFFE04A), rgb(0xF09A10), 165, 210), 3.f);
    drawSdf(
        img, 620, 160, 680, 200,
        [](float x, float y) { return sdQuadStroke(x, y, 664, 178, 645, 186, 626, 180, 3.5f); }, solid(navy));
    // The eye.
    const float ex = 600, ey = 128;
    if (!wink) {
        circle(img, ex, ey, 30, solid(navy));
        circle(img, ex, ey, 26, solid(rgb(0xFFFFFF)));
        circle(img, ex + 6, ey + 2, 16, solid(rgb(0x0A0A14)));
        circle(img, ex + 11, ey - 5, 6, solid(rgb(0xFFFFFF)));
    } else {
        drawSdf(
            img, ex - 40, ey - 40, ex + 40, ey + 30,
            [=](float x, float y) { return sdQuadStroke(x, y, ex - 26, ey + 8, ex, ey - 30, ex + 26, ey + 8, 6.f); },
            solid(navy));
        drawSdf(
            img, ex - 40, ey + 20, ex + 40, ey + 60,
            [=](float x, float y) { return sdEllipse(x, y, ex + 4, ey + 36, 20, 9); }, solid(rgb(0xFF7FA0, 0.6f)));
        // Sparkle beside the wink.
        const float sx = 690, sy = 62;
        for (int k = 0; k < 2; ++k) {
            float a = k * kPi * 0.5f;
            float dx = std::cos(a), dy = std::sin(a);
            polygon(img,
                    {sx - dx * 38, sy - dy * 38, sx - dy * 7, sy + dx * 7, sx + dx * 38, sy + dy * 38, sx + dy * 7,
                     sy - dx * 7},
                    solid(rgb(0xFFF5A0)), 1.f);
        }
        circle(img, sx, sy, 6, solid(rgb(0xFFFFFF)));
    }
    bleedTransparent(img);
    return img;
}

Image strikeCutIn(const Fonts& fonts) {
    const int w = 1680, h = 900;
    Image img(w, h);
    // Speed lines bursting from the centre, faint and sparse.
    Rng rng(7);
    for (int i = 0; i < 64; ++i) {
        float a = rng.range(0, 2 * kPi), r0 = rng.range(330, 480), r1 = r0 + rng.range(300, 700);
        float dx = std::cos(a), dy = std::sin(a) * 0.62f;
        float x0 = 840 + dx * r0, y0 = 450 + dy * r0, x1 = 840 + dx * r1, y1 = 450 + dy * r1;
        segment(img, x0, y0, x1, y1, rng.range(2, 6), solid(rgb(0xFFFFFF, rng.range(0.18f, 0.38f))));
    }
    // A slanted band behind the word, fading out towards both sides.
    auto band = [](float x, float y) { return std::fabs(y - (470 - (x - 840) * (80.f / 1680.f))) - 160.f; };
    auto fade = [](float x) { return clamp01(std::min(x, 1680 - x) / 420.f); };
    drawSdf(img, 0, 240, w, 700, band, [&](float x, float) { return Col{0.85f, 0.12f, 0.05f, 0.42f * fade(x)}; });
    drawSdf(
        img, 0, 240, w, 700, [&](float x, float y) { return std::fabs(band(x, y)) - 3.f; },
        [&](float x, float) {
            return Col{1.f, 0.9f, 0.4f, 0.8f * fade(x)};
        });
    TextStyle st =
        shadowed(lettering(vgrad(rgb(0xFFFBC0), rgb(0xFFB400), 300, 620), rgb(0xD01010), 10.f, rgb(0xFFFFFF), 7.f),
                 rgb(0x000000, 0.45f), 14, 16, 6);
    drawTextCentred(img, fonts.boldOblique, "HIT!", 840, 450, 380, st, 1100.f, 400.f, 10.f);
    bleedTransparent(img);
    return img;
}

Image breakWarning(const Fonts& fonts) {
    const int w = 1680, h = 900;
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float d = std::min({float(x), float(w - 1 - x), float(y), float(h - 1 - y)});
            float a = 0.8f * (1.f - smooth(0.f, 230.f, d));
            a += 0.15f * (1.f - smooth(0.f, 60.f, d));
            img.at(x, y) = Col{0.9f, 0.04f, 0.02f, clamp01(a)};
        }
    // Cracks creeping in from the corners.
    Rng rng(99);
    for (int c = 0; c < 4; ++c) {
        float x = (c & 1) ? w - 10.f : 10.f, y = (c & 2) ? h - 10.f : 10.f;
        float dirX = (c & 1) ? -1.f : 1.f, dirY = (c & 2) ? -1.f : 1.f;
        for (int s = 0; s < 7; ++s) {
            float nx = x + dirX * rng.range(20, 60), ny = y + dirY * rng.range(15, 45);
            segment(img, x, y, nx, ny, 2.f, solid(rgb(0xFFF0E0, 0.8f)));
            x = nx;
            y = ny;
        }
    }
    TextStyle st =
        lettering(vgrad(rgb(0xFFFFFF), rgb(0xFFE0A0), 700, 820), rgb(0xB00000), 8.f, rgb(0x200000, 0.8f), 4.f);
    drawTextCentred(img, fonts.bold, "LINE BREAKING!", 840, 770, 130, st, 1200.f, 150.f, 6.f);
    // Warning triangles either side of the text.
    for (int s = -1; s <= 1; s += 2) {
        float tx = 840 + s * 690.f, ty = 770;
        polygon(img, {tx, ty - 55, tx + 60, ty + 48, tx - 60, ty + 48}, solid(rgb(0xFFD000)), 4.f);
        polygon(img, {tx, ty - 40, tx + 46, ty + 40, tx - 46, ty + 40}, solid(rgb(0x200000)));
        polygon(img, {tx, ty - 30, tx + 37, ty + 34, tx - 37, ty + 34}, solid(rgb(0xFFD000)));
        segment(img, tx, ty - 12, tx, ty + 12, 5, solid(rgb(0x200000)));
        circle(img, tx, ty + 24, 5, solid(rgb(0x200000)));
    }
    return img;
}

Image resultBackground(const Fonts& fonts) {
    const int w = 1680, h = 900;
    Image img(w, h);
    img.fill([](float, float v) { return mix(rgb(0x7FD3FF), rgb(0xFFC46B), clamp01(v / 0.62f)); });
    // A setting sun with rays, then three bands of sea in front of it.
    const float sunX = 1450, sunY = 545;
    for (int i = 0; i < 9; ++i) {
        float a = kPi + i * kPi / 8.f;
        segment(img, sunX + std::cos(a) * 115, sunY + std::sin(a) * 115, sunX + std::cos(a) * 200,
                sunY + std::sin(a) * 200, 9, solid(rgb(0xFFF3B0, 0.6f)));
    }
    circle(img, sunX, sunY, 100, vgrad(rgb(0xFFF9D0), rgb(0xFFB23C), 445, 600));
    const int seaCol[3][2] = {{0x3AB0EE, 0x1C7FC8}, {0x2590D8, 0x1464B0}, {0x1A78C4, 0x0A3F86}};
    for (int k = 0; k < 3; ++k) {
        float base = 560 + k * 70.f;
        Paint p = vgrad(rgb(seaCol[k][0]), rgb(seaCol[k][1]), base - 10, float(h));
        drawSdf(
            img, 0, base - 14, w, float(h),
            [=](float x, float y) { return (base + 10 * std::sin(x * 0.02f + k * 1.7f)) - y; }, p);
        for (int i = 0; i < 21; ++i) {
            float x = i * 84.f + k * 30.f, y = base + 10 * std::sin(x * 0.02f + k * 1.7f) + 8;
            segment(img, x - 16, y, x + 16, y, 3, solid(rgb(0xFFFFFF, 0.5f)));
        }
    }
    // Sunlight glittering on the water.
    for (int i = 0; i < 10; ++i) {
        float y = 585 + i * 26.f, half = 90 - i * 7.f;
        segment(img, sunX - half, y, sunX + half, y, 3, solid(rgb(0xFFE6A0, 0.55f - i * 0.04f)));
    }
    // Confetti.
    Rng rng(3);
    const int colours[] = {0xFF5A5A, 0xFFD23A, 0x5AE07A, 0x5AB8FF, 0xE07AFF};
    for (int i = 0; i < 140; ++i) {
        float x = rng.range(0, w), y = rng.range(0, h);
        if (x > 300 && x < 1380 && y > 110 && y < 840) continue;
        float a = rng.range(0, kPi), l = rng.range(6, 14);
        segment(img, x - std::cos(a) * l, y - std::sin(a) * l, x + std::cos(a) * l, y + std::sin(a) * l, 4,
                solid(rgb(colours[rng.below(5)], 0.9f)));
    }
    // The panel behind the name, the score and the prompt.
    roundRect(img, 322, 122, 1358, 838, 40, solid(rgb(0x000000, 0.25f)));
    roundRect(img, 330, 115, 1350, 830, 36, vgrad(rgb(0x0B2F6E, 0.82f), rgb(0x061A42, 0.86f), 115, 830));
    drawSdf(
        img, 320, 105, 1360, 840,
        [](float x, float y) { return std::fabs(sdBox(x, y, 840, 472.5f, 505, 352.5f, 34)) - 3.f; },
        solid(rgb(0xFFE27A, 0.9f)));
    TextStyle st = captionStyle(7.f);
    st.fill = vgrad(rgb(0xFFF8B0), rgb(0xFF9A1F), 15, 100);
    drawTextCentred(img, fonts.bold, "RESULT", 840, 58, 100, st, 800.f, 96.f, 10.f);
    return img;
}

Image fishingPicture(const Fonts& fonts) {
    const int w = 1680, h = 900;
    Image img(w, h);
    img.fill([](float, float v) {
        return v < 0.6f ? mix(rgb(0xFF9A4A), rgb(0x4A2A7A), 1.f - v / 0.6f)
                        : mix(rgb(0x2A3F7A), rgb(0x0C1634), (v - 0.6f) / 0.4f);
    });
    circle(img, 840, 560, 150, vgrad(rgb(0xFFE89A), rgb(0xFF7A2A), 410, 560));
    drawSdf(
        img, 0, 540, w, h, [](float, float y) { return 540.f - y; }, vgrad(rgb(0x2A3F7A), rgb(0x0C1634), 540, 900));
    for (int i = 0; i < 12; ++i) {
        float y = 560 + i * 22.f, half = 140 - i * 9.f;
        segment(img, 840 - half, y, 840 + half, y, 3, solid(rgb(0xFFC070, 0.5f - i * 0.035f)));
    }
    // Boat and angler in silhouette with a bent rod.
    Col ink = rgb(0x120A1C);
    polygon(img, {420, 600, 760, 600, 720, 650, 470, 650}, solid(ink));
    circle(img, 600, 470, 22, solid(ink));
    roundRect(img, 578, 495, 622, 600, 12, solid(ink));
    drawSdf(
        img, 600, 200, 1200, 520, [](float x, float y) { return sdQuadStroke(x, y, 615, 510, 850, 250, 1120, 260, 4); },
        solid(ink));
    drawSdf(
        img, 1100, 250, 1140, 700,
        [](float x, float y) { return sdQuadStroke(x, y, 1120, 262, 1126, 450, 1122, 640, 1.2f); },
        solid(rgb(0xFFFFFF, 0.6f)));
    TextStyle st = captionStyle(6.f);
    drawTextCentred(img, fonts.bold, "GONE FISHING", 840, 120, 120, st, 1200.f, 150.f, 8.f);
    return img;
}

Image keepOutSign(const Fonts& fonts) {
    const int w = 480, h = 244;
    Image img(w, h, rgb(0xFFD21A));
    for (int band = 0; band < 2; ++band) {
        float y0 = band ? h - 46.f : 0.f;
        for (int i = -2; i < 20; ++i) {
            float x = i * 40.f;
            polygon(img, {x, y0 + 46, x + 20, y0 + 46, x + 46, y0, x + 26, y0}, solid(rgb(0x111111)));
        }
    }
    roundRect(img, 12, 52, 468, 192, 10, solid(rgb(0xFFFFFF)));
    drawSdf(
        img, 0, 0, w, h, [](float x, float y) { return std::fabs(sdBox(x, y, 240, 122, 228, 70, 10)) - 3.f; },
        solid(rgb(0x111111)));
    drawTextCentred(img, fonts.bold, "KEEP OUT", 240, 110, 92, lettering(solid(rgb(0xD01010))), 420.f, 80.f, 3.f);
    drawTextCentred(img, fonts.bold, "NO BOATS BEYOND THIS POINT", 240, 170, 24, lettering(solid(rgb(0x111111))), 420.f,
                    24.f);
    return img;
}

}  // namespace

bool loadFonts(Fonts& fonts, std::string& error) {
    const std::pair<Font*, const char*> files[] = {{&fonts.bold, "DejaVuSans-Bold.ttf"},
                                                   {&fonts.boldOblique, "DejaVuSans-BoldOblique.ttf"}};
    for (const auto& f : files) {
        std::string path = std::string(kFontDir) + f.second;
        if (!f.first->load(path)) {
            error = path;
            return false;
        }
    }
    return true;
}

std::vector<Texture> makeTextures(const Fonts& fonts) {
    std::vector<Texture> t;
    auto add = [&t](const char* name, Image img, bool jpeg, bool alpha) {
        t.push_back({std::string("asset/texture/") + name, std::move(img), jpeg, alpha});
    };
    TextStyle digits = lettering(vgrad(rgb(0xFF6A50), rgb(0xC00010), 15, 85), rgb(0xFFFFFF), 3.5f, rgb(0x4A0008), 2.f);
    TextStyle letters = lettering(vgrad(rgb(0xFFFFFF), rgb(0xA8E4FF), 15, 85), rgb(0x0A2260), 4.f);

    add("field001.jpg", seabed(), true, false);
    add("back_sylin.jpg", sky(), true, false);
    add("cursol.png", arrowCursor(), false, true);
    add("keepout.jpg", keepOutSign(fonts), true, false);
    add("mountain.png", mountains(), false, true);
    add("result.png", resultBackground(fonts), false, false);
    add("turi.png", fishingPicture(fonts), false, false);
    add("fish.png", fishMarker(), false, true);
    add("radergrid.png", radarGrid(), false, true);
    add("break.png", breakWarning(fonts), false, true);
    add("title_haikei.png", titleBackground(), false, false);
    add("Title_logo.png", titleLogo(fonts), false, true);
    add("title_sakana1.png", titleFish(false), false, true);
    add("title_sakana2.png", titleFish(true), false, true);
    add("press_start.png", prompt(fonts, 699, 72, "PRESS SPACE", 60), false, true);
    add("awa.png", bubble(), false, true);
    add("cutinB.png", strikeCutIn(fonts), false, true);
    add("HpBar.png", gaugeBar(vgrad(rgb(0x9CFF6A), rgb(0x169A2A), 6, 44), fonts, "HP"), false, true);
    add("HpBack.png", gaugeBack(), false, true);
    add("Tension.png",
        gaugeBar(
            [](float x, float y) {
                float t = clamp01((x - 5) / 990.f);
                Col c = t < 0.5f ? mix(rgb(0xFFF04A), rgb(0xFF9A1A), t / 0.5f)
                                 : mix(rgb(0xFF9A1A), rgb(0xE8140E), (t - 0.5f) / 0.5f);
                return scaleRgb(c, 1.1f - 0.25f * clamp01((y - 6) / 38.f));
            },
            fonts, "TENSION"),
        false, true);
    add("number_red.png", glyphSheet(fonts, "0123456789", 120, 100, digits, 6.f, "0"), false, true);
    add("alphabet.png", glyphSheet(fonts, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 100, 100, letters, 5.f, "H"), false, true);
    add("highlight.png", highlightFrame(), false, true);
    add("resultscore.png", caption(fonts, 300, 70, "SCORE", 56), false, true);
    add("resultname.png", caption(fonts, 300, 70, "NAME", 56), false, true);
    add("resultpress.png", prompt(fonts, 900, 100, "PRESS SPACE", 80), false, true);
    return t;
}

}  // namespace ag
