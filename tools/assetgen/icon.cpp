// The game's icon: a rounded tile of sea with a fish rising to a red and
// white float. Drawn from distance functions at each size, so the small
// sizes are sharp rather than shrunk, then written as the hicolor PNGs of a
// desktop install and as one multi-size Windows .ico.
#include <algorithm>
#include <cstdint>

#include "assetgen/assets.h"

namespace ag {

const std::vector<int>& iconSizes() {
    static const std::vector<int> sizes = {16, 24, 32, 48, 64, 128, 256};
    return sizes;
}

// The icon at size x size pixels. Every coordinate below is in a 256-unit
// square scaled to the size.
Image makeIcon(int size) {
    Image img(size, size);
    const float k = size / 256.f;
    const float n = float(size);
    // Tile: sea gradient with a light surface band, rounded corners.
    auto tile = [=](float x, float y) { return sdBox(x, y, n * 0.5f, n * 0.5f, n * 0.47f, n * 0.47f, 44 * k); };
    drawSdf(img, 0, 0, n, n, tile, [=](float, float y) {
        float v = y / n;
        Col sky = rgb(0x7FD8F0), surf = rgb(0x2AA6D8), deep = rgb(0x082C6A);
        return v < 0.36f ? mix(sky, surf, v / 0.36f) : mix(surf, deep, smooth(0.36f, 1.f, v));
    });
    // The water line: a gentle wave across the tile.
    drawSdf(
        img, 0, 80 * k, n, 110 * k,
        [=](float x, float y) {
            float w = 94 * k + 4 * k * std::sin(x / k * 0.07f);
            return std::max(std::fabs(y - w) - 3.f * k, tile(x, y));
        },
        solid(rgb(0xE8FAFF, 0.9f)));
    // The line from the top edge down to the float.
    const float fx = 170 * k, fy = 94 * k;
    drawSdf(
        img, fx - 6 * k, 10 * k, fx + 6 * k, fy,
        [=](float x, float y) { return sdSegment(x, y, fx, 14 * k, fx, fy - 10 * k, std::max(1.2f * k, 0.6f)); },
        solid(rgb(0xF4F4F4)));
    // The float: red top, white bottom, dark outline.
    drawSdf(
        img, fx - 22 * k, fy - 26 * k, fx + 22 * k, fy + 26 * k,
        [=](float x, float y) { return sdEllipse(x, y, fx, fy, 15 * k, 19 * k) - 2.5f * k; }, solid(rgb(0x1A1A2A)));
    drawSdf(
        img, fx - 20 * k, fy - 24 * k, fx + 20 * k, fy + 24 * k,
        [=](float x, float y) { return sdEllipse(x, y, fx, fy, 15 * k, 19 * k); },
        [=](float, float y) { return y < fy ? rgb(0xE8262E) : rgb(0xFFFFFF); });
    // The fish, rising towards the float from the lower left.
    const float cx = 118 * k, cy = 172 * k;
    auto body = [=](float x, float y) {
        // Turned 25 degrees about its centre so the head points up-right.
        const float c = 0.906f, s = 0.423f;
        float dx = x - cx, dy = y - cy;
        float rx = dx * c - dy * s, ry = dx * s + dy * c;
        float b = sdEllipse(rx + cx, ry + cy, cx, cy, 66 * k, 30 * k);
        float t = sdPolygon(rx + cx, ry + cy,
                            {cx - 50 * k, cy, cx - 92 * k, cy - 30 * k, cx - 82 * k, cy, cx - 92 * k, cy + 30 * k});
        return std::min(b, t);
    };
    drawSdf(
        img, 0, 90 * k, n, n, [=](float x, float y) { return std::max(body(x, y) - 3.f * k, tile(x, y)); },
        solid(rgb(0x061838)));
    drawSdf(
        img, 0, 90 * k, n, n, [=](float x, float y) { return std::max(body(x, y), tile(x, y)); },
        [=](float x, float y) {
            // Dark back to a pale belly across the fish.
            float t = clamp01(((y - cy) * 0.906f + (x - cx) * 0.423f) / (60 * k) + 0.5f);
            return mix(rgb(0x2F6FD0), rgb(0xF2F8FF), smooth(0.5f, 0.95f, t));
        });
    // The eye, left out below 24 pixels where it would only blur.
    if (size >= 24) {
        const float ex = cx + 35 * k, ey = cy - 25 * k;
        drawSdf(
            img, ex - 12 * k, ey - 12 * k, ex + 12 * k, ey + 12 * k,
            [=](float x, float y) { return sdCircle(x, y, ex, ey, 9 * k); }, solid(rgb(0xFFFFFF)));
        drawSdf(
            img, ex - 12 * k, ey - 12 * k, ex + 12 * k, ey + 12 * k,
            [=](float x, float y) { return sdCircle(x, y, ex + 1.5f * k, ey, 5.5f * k); }, solid(rgb(0x0A0A14)));
    }
    return img;
}

namespace {

void put16(std::string& s, unsigned v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

// One image of an .ico as a bottom-up 32-bit DIB with its 1-bit AND mask.
std::string icoDib(const Image& img) {
    std::string s;
    put32(s, 40);
    put32(s, uint32_t(img.w));
    put32(s, uint32_t(img.h * 2));  // colour rows then mask rows
    put16(s, 1);
    put16(s, 32);
    put32(s, 0);  // BI_RGB
    put32(s, 0);
    put32(s, 0);
    put32(s, 0);
    put32(s, 0);
    put32(s, 0);
    for (int y = img.h - 1; y >= 0; --y)
        for (int x = 0; x < img.w; ++x) {
            const Col& c = img.at(x, y);
            s.push_back(char(std::lround(clamp01(c.b) * 255.f)));
            s.push_back(char(std::lround(clamp01(c.g) * 255.f)));
            s.push_back(char(std::lround(clamp01(c.r) * 255.f)));
            s.push_back(char(std::lround(clamp01(c.a) * 255.f)));
        }
    const int maskRow = ((img.w + 31) / 32) * 4;
    for (int y = img.h - 1; y >= 0; --y) {
        std::string row(size_t(maskRow), '\0');
        for (int x = 0; x < img.w; ++x)
            if (img.at(x, y).a < 0.5f / 255.f) row[size_t(x / 8)] = char(row[size_t(x / 8)] | (0x80 >> (x % 8)));
        s += row;
    }
    return s;
}

}  // namespace

// A Windows icon file holding every image: DIBs up to 128 pixels and the
// 256-pixel image as PNG, as Windows Vista and later read it.
std::string writeIco(const std::vector<Image>& images) {
    std::vector<std::string> blobs;
    for (const Image& img : images) blobs.push_back(img.w >= 256 ? pngBytes(img, true) : icoDib(img));
    std::string s;
    put16(s, 0);
    put16(s, 1);  // icon
    put16(s, unsigned(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        s.push_back(char(images[i].w >= 256 ? 0 : images[i].w));
        s.push_back(char(images[i].h >= 256 ? 0 : images[i].h));
        s.push_back(0);  // no palette
        s.push_back(0);
        put16(s, 1);   // planes
        put16(s, 32);  // bits per pixel
        put32(s, uint32_t(blobs[i].size()));
        put32(s, offset);
        offset += uint32_t(blobs[i].size());
    }
    for (const std::string& b : blobs) s += b;
    return s;
}

}  // namespace ag
