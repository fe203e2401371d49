// The game's X-file models: the boat, three kinds of fish in six swimming
// poses each, the title fish, the rod, its two reels and the float.
//
// Every part is built as a closed solid; its triangles are turned so that
// their clockwise side (Direct3D's front face) faces outward, and smooth
// normals are accumulated per part. Fish are modelled in a "swimmer" frame
// (x to the side, y up, z forward) and mapped into the frame in which the
// game draws each kind.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

#include "assetgen/assets.h"

namespace ag {

namespace {

Material mat(int hex, float emissive = 0.4f, const std::string& texture = "") {
    Material m;
    m.diffuse = rgb(hex);
    m.emissive = scaleRgb(rgb(hex), emissive);
    m.emissive.a = 1.f;
    m.texture = texture;
    if (!texture.empty()) {
        m.diffuse = {0.85f, 0.85f, 0.85f, 1.f};
        m.emissive = {emissive, emissive, emissive, 1.f};
    }
    return m;
}

using Ring = std::vector<V3>;
using MatFn = std::function<int(int run, V3 centroid)>;

class Builder {
public:
    int material(const Material& m) {
        mesh_.materials.push_back(m);
        if (!m.texture.empty()) mesh_.hasUv = true;
        return int(mesh_.materials.size()) - 1;
    }

    // Sweeps rings (all with the same point count) into a surface. A closed
    // ring joins its last point to its first. `hard` lists ring indices where
    // the surface creases (each run between them gets its own vertices).
    // Caps close the first and last ring: fanned from the ring's centre, or,
    // with `bandCaps`, by joining point j to point K-1-j (for U-shaped bands).
    void loft(const std::vector<Ring>& rings, bool closed, std::vector<int> hard, bool capStart, bool capEnd,
              const MatFn& matFn, bool bandCaps = false) {
        beginPart();
        const int n = int(rings.size()), k = int(rings[0].size());
        std::vector<std::pair<int, int>> runs;  // [first, last] ring indices, last may exceed k-1 (wrap)
        if (hard.empty()) {
            runs.push_back({0, closed ? k : k - 1});
        } else {
            std::sort(hard.begin(), hard.end());
            for (size_t h = 0; h + 1 < hard.size(); ++h) runs.push_back({hard[h], hard[h + 1]});
            if (closed) runs.push_back({hard.back(), hard.front() + k});
        }
        for (size_t r = 0; r < runs.size(); ++r) {
            int first = runs[r].first, last = runs[r].second, len = last - first + 1;
            std::vector<int> idx(size_t(n) * len);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < len; ++j) {
                    int jj = (first + j) % k;
                    float u = float(first + j) / float(closed ? k : k - 1);
                    idx[size_t(i) * len + j] = vert(rings[i][jj], u, float(i) / float(n - 1));
                }
            for (int i = 0; i + 1 < n; ++i)
                for (int j = 0; j + 1 < len; ++j) {
                    int a = idx[size_t(i) * len + j], b = idx[size_t(i) * len + j + 1];
                    int c = idx[size_t(i + 1) * len + j + 1], d = idx[size_t(i + 1) * len + j];
                    triAuto(a, b, c, matFn, int(r));
                    triAuto(a, c, d, matFn, int(r));
                }
        }
        auto cap = [&](const Ring& ring, bool start) {
            int capRun = int(runs.size()) + (start ? 0 : 1);
            std::vector<int> idx(k);
            for (int j = 0; j < k; ++j) idx[j] = vert(ring[j], 0.5f, start ? 0.f : 1.f);
            if (bandCaps) {
                for (int j = 0; j + 1 < k / 2; ++j) {
                    int a = idx[j], b = idx[j + 1], c = idx[k - 2 - j], d = idx[k - 1 - j];
                    if (start) {
                        triAuto(a, c, b, matFn, capRun);
                        triAuto(a, d, c, matFn, capRun);
                    } else {
                        triAuto(a, b, c, matFn, capRun);
                        triAuto(a, c, d, matFn, capRun);
                    }
                }
                return;
            }
            V3 centre{0, 0, 0};
            for (const V3& p : ring) centre = centre + p;
            centre = centre * (1.f / k);
            int ci = vert(centre, 0.5f, start ? 0.f : 1.f);
            for (int j = 0; j + 1 < k || (closed && j < k); ++j) {
                int a = idx[j], b = idx[(j + 1) % k];
                if (start)
                    triAuto(ci, b, a, matFn, capRun);
                else
                    triAuto(ci, a, b, matFn, capRun);
            }
        };
        if (capStart) cap(rings.front(), true);
        if (capEnd) cap(rings.back(), false);
    }

    // A tube between two points with the radii r0 and r1 and flat ends.
    void cylinder(V3 a, V3 b, float r0, float r1, int segments, int m, bool caps = true) {
        V3 axis = normalize(b - a);
        V3 ref = std::fabs(axis.y) < 0.9f ? V3{0, 1, 0} : V3{1, 0, 0};
        V3 s = normalize(cross(ref, axis)), t = cross(axis, s);
        std::vector<Ring> rings(2);
        for (int j = 0; j < segments; ++j) {
            float ang = 2 * kPi * j / segments;
            V3 dir = s * std::cos(ang) + t * std::sin(ang);
            rings[0].push_back(a + dir * r0);
            rings[1].push_back(b + dir * r1);
        }
        loft(rings, true, {}, caps, caps, [m](int, V3) { return m; });
    }

    // An ellipsoid with the given radii, optionally rotated by a frame.
    void ellipsoid(V3 c, V3 r, int segments, int stacks, int m, V3 ax = {1, 0, 0}, V3 ay = {0, 1, 0},
                   V3 az = {0, 0, 1}) {
        std::vector<Ring> rings;
        for (int i = 0; i <= stacks; ++i) {
            float phi = kPi * i / stacks;
            Ring ring;
            for (int j = 0; j < segments; ++j) {
                float th = 2 * kPi * j / segments;
                float x = r.x * std::sin(phi) * std::cos(th), y = r.y * std::sin(phi) * std::sin(th),
                      z = r.z * std::cos(phi);
                ring.push_back(c + ax * x + ay * y + az * z);
            }
            rings.push_back(ring);
        }
        loft(rings, true, {}, false, false, [m](int, V3) { return m; });
    }

    // An axis-aligned box (hard edges), optionally turned by a frame.
    void box(V3 c, V3 h, int m, V3 ax = {1, 0, 0}, V3 ay = {0, 1, 0}, V3 az = {0, 0, 1}) {
        std::vector<Ring> rings(2);
        const float sx[4] = {-1, 1, 1, -1}, sy[4] = {-1, -1, 1, 1};
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 4; ++j)
                rings[i].push_back(c + ax * (sx[j] * h.x) + ay * (sy[j] * h.y) + az * ((i ? 1.f : -1.f) * h.z));
        loft(rings, true, {0, 1, 2, 3}, true, true, [m](int, V3) { return m; });
    }

    // A flat plate (fin, blade) through the given planar outline, `thick`
    // units thick along `normal`, capped by a fan from `centre`.
    void plate(const std::vector<V3>& outline, V3 normal, float thick, int m, V3 centre) {
        std::vector<Ring> rings(2);
        V3 off = normalize(normal) * (thick * 0.5f);
        for (const V3& p : outline) {
            rings[0].push_back(p - off);
            rings[1].push_back(p + off);
        }
        std::vector<int> hard;
        for (int j = 0; j < int(outline.size()); ++j) hard.push_back(j);
        loft(rings, true, hard, true, true, [m](int, V3) { return m; });
        // Re-fan the two caps from the requested centre (the outline may be
        // concave, but is star-shaped around it).
        fanFrom(centre - off, centre + off, int(outline.size()));
    }

    // Applies a change of position to every vertex made so far, or only to
    // those from vertex index `from` on.
    void transform(const std::function<V3(V3)>& f, size_t from = 0) {
        for (size_t i = from; i < mesh_.verts.size(); ++i) mesh_.verts[i].pos = f(mesh_.verts[i].pos);
    }
    size_t vertexCount() const { return mesh_.verts.size(); }
    void setUv(const std::function<void(V3, float&, float&)>& f, size_t from) {
        for (size_t i = from; i < mesh_.verts.size(); ++i) f(mesh_.verts[i].pos, mesh_.verts[i].u, mesh_.verts[i].v);
    }

    Mesh finish();

private:
    int vert(V3 p, float u, float v) {
        Vertex vx;
        vx.pos = p;
        vx.u = u;
        vx.v = v;
        mesh_.verts.push_back(vx);
        part_.push_back(partId_);
        return int(mesh_.verts.size()) - 1;
    }
    void triAuto(int a, int b, int c, const MatFn& f, int run) {
        V3 pa = mesh_.verts[a].pos, pb = mesh_.verts[b].pos, pc = mesh_.verts[c].pos;
        if (length(cross(pb - pa, pc - pa)) < 1e-9f) return;  // degenerate (pole of a sweep)
        mesh_.tris.push_back({a, b, c, f(run, (pa + pb + pc) * (1.f / 3.f))});
        triPart_.push_back(partId_);
    }
    void beginPart() { ++partId_; }
    void fanFrom(V3 c0, V3 c1, int k);

    Mesh mesh_;
    std::vector<int> part_, triPart_;
    int partId_ = -1;
};

// The plate's caps were fanned from the outline's average point; move the
// two hubs to the given centre, which suits concave outlines. Each cap adds
// its ring's k vertices and then its hub, so the hubs are the last vertex
// and the one k + 1 before it.
void Builder::fanFrom(V3 c0, V3 c1, int k) {
    size_t nv = mesh_.verts.size();
    mesh_.verts[nv - 1 - size_t(k) - 1].pos = c0;
    mesh_.verts[nv - 1].pos = c1;
}

Mesh Builder::finish() {
    Mesh out = mesh_;
    int parts = partId_ + 1;
    // Turn each part so that cross(b - a, c - a) points outward: its signed
    // volume must be positive.
    std::vector<double> vol(parts, 0.0);
    std::vector<V3> centre(parts, V3{0, 0, 0});
    std::vector<int> count(parts, 0);
    for (size_t i = 0; i < out.verts.size(); ++i) {
        centre[part_[i]] = centre[part_[i]] + out.verts[i].pos;
        ++count[part_[i]];
    }
    for (int p = 0; p < parts; ++p)
        if (count[p]) centre[p] = centre[p] * (1.f / count[p]);
    for (size_t t = 0; t < out.tris.size(); ++t) {
        int p = triPart_[t];
        V3 a = out.verts[out.tris[t].a].pos - centre[p], b = out.verts[out.tris[t].b].pos - centre[p],
           c = out.verts[out.tris[t].c].pos - centre[p];
        vol[p] += dot(a, cross(b, c));
    }
    for (size_t t = 0; t < out.tris.size(); ++t)
        if (vol[triPart_[t]] < 0) std::swap(out.tris[t].b, out.tris[t].c);
    // Area-weighted vertex normals.
    std::vector<V3> nrm(out.verts.size(), V3{0, 0, 0});
    for (const Tri& t : out.tris) {
        V3 a = out.verts[t.a].pos, b = out.verts[t.b].pos, c = out.verts[t.c].pos;
        V3 fn = cross(b - a, c - a);
        nrm[t.a] = nrm[t.a] + fn;
        nrm[t.b] = nrm[t.b] + fn;
        nrm[t.c] = nrm[t.c] + fn;
    }
    for (auto& v : nrm) v = normalize(v);
    // Coincident vertices of one part (texture seams, sweep poles) share a
    // normal unless they meet at a crease.
    std::map<std::array<long, 4>, std::vector<size_t>> groups;
    for (size_t i = 0; i < out.verts.size(); ++i) {
        const V3& p = out.verts[i].pos;
        groups[{long(std::lround(p.x * 1e4)), long(std::lround(p.y * 1e4)), long(std::lround(p.z * 1e4)), part_[i]}]
            .push_back(i);
    }
    std::vector<V3> welded = nrm;
    for (auto& g : groups) {
        if (g.second.size() < 2) continue;
        for (size_t i : g.second) {
            V3 sum{0, 0, 0};
            for (size_t j : g.second)
                if (dot(nrm[i], nrm[j]) > 0.6f) sum = sum + nrm[j];
            welded[i] = normalize(sum);
        }
    }
    for (size_t i = 0; i < out.verts.size(); ++i) out.verts[i].normal = welded[i];
    // Sort the faces by material so each subset is one run.
    std::stable_sort(out.tris.begin(), out.tris.end(),
                     [](const Tri& a, const Tri& b) { return a.material < b.material; });
    return out;
}

// Profile: pairs of (s, factor) with s from 0 to 1, linearly interpolated.
float profile(const std::vector<std::pair<float, float>>& table, float s) {
    if (s <= table.front().first) return table.front().second;
    for (size_t i = 1; i < table.size(); ++i)
        if (s <= table[i].first) {
            float t = (s - table[i - 1].first) / (table[i].first - table[i - 1].first);
            t = t * t * (3 - 2 * t);
            return lerp(table[i - 1].second, table[i].second, t);
        }
    return table.back().second;
}

// A ring of segs points around an ellipse of half-width hw and half-height
// hh at height y0 and depth z, point 0 on top. `flatten` squeezes the sides
// in towards the middle height.
Ring ellipseRing(float hw, float hh, float y0, float z, int segs, float flatten) {
    Ring ring;
    for (int j = 0; j < segs; ++j) {
        float th = 2 * kPi * j / segs;
        float sx = std::sin(th), cy = std::cos(th);
        ring.push_back({hw * sx, y0 + hh * cy * (1.f - flatten * sx * sx), z});
    }
    return ring;
}

// A fish body swept along z from the nose (zNose) back to zTail, with
// elliptical sections; ring point 0 is on the back, so a skin texture's u
// runs back -> belly -> back and v runs nose -> tail.
void fishBody(Builder& b, float zNose, float zTail, float halfW, float halfH,
              const std::vector<std::pair<float, float>>& shape, int m, float yShift = 0.f, int segs = 20,
              int rings = 22, float flatten = 0.f) {
    std::vector<Ring> rs;
    for (int i = 0; i <= rings; ++i) {
        float s = float(i) / rings;
        float z = lerp(zNose, zTail, s);
        float f = profile(shape, s);
        rs.push_back(ellipseRing(halfW * f, halfH * f, yShift * f, z, segs, flatten));
    }
    b.loft(rs, true, {}, false, true, [m](int, V3) { return m; });
}

// A limb: two tubes with ball joints and a ball (or boot) at the end.
void limb(Builder& b, V3 root, V3 joint, V3 end, float r, int m, int endMat, float endR) {
    b.cylinder(root, joint, r, r * 0.9f, 10, m);
    b.ellipsoid(joint, {r * 1.05f, r * 1.05f, r * 1.05f}, 10, 6, m);
    b.cylinder(joint, end, r * 0.9f, r * 0.8f, 10, m);
    b.ellipsoid(end, {endR, endR, endR}, 12, 8, endMat);
}

V3 rotateAboutX(V3 p, V3 pivot, float a) {
    V3 d = p - pivot;
    float c = std::cos(a), s = std::sin(a);
    return pivot + V3{d.x, d.y * c - d.z * s, d.y * s + d.z * c};
}

// A limb whose joint and end, given at rest, are turned by `angle` about
// the x axis through its root (a swimming stroke).
void swungLimb(Builder& b, V3 root, V3 joint, V3 end, float angle, float r, int m, int endMat, float endR) {
    limb(b, root, rotateAboutX(joint, root, angle), rotateAboutX(end, root, angle), r, m, endMat, endR);
}

// Sideways swing of a swimming body: points behind zHinge move along x,
// growing with the square of the distance behind it.
std::function<V3(V3)> tailSwing(float zHinge, float lengthBehind, float amount) {
    return [=](V3 p) {
        if (p.z >= zHinge) {
            float t = (p.z - zHinge) / 1.5f;
            p.x -= amount * 0.08f * t;  // the head turns a little the other way
            return p;
        }
        float t = (zHinge - p.z) / lengthBehind;
        p.x += amount * t * t;
        return p;
    };
}

// Poses 1..6 sweep the swing from one side to the other; the game plays
// them forwards and back.
float poseSwing(int pose) { return -1.f + 2.f * float(pose - 1) / 5.f; }

// Swimmer frame -> the frame the game draws tuna-men and sharks in (head -y,
// back -z) and manta-men in (head +y, back +z). Both are proper rotations.
Mesh toGameFrame(Mesh m, bool headUp) {
    const float s = headUp ? 1.f : -1.f;
    for (auto& v : m.verts) {
        v.pos = {-v.pos.x, s * v.pos.z, s * v.pos.y};
        v.normal = {-v.normal.x, s * v.normal.z, s * v.normal.y};
    }
    return m;
}

using ZY = std::vector<std::pair<float, float>>;

// A fin in the body's middle plane (x = 0), outlined by (z, y) points and
// fanned from (0, cy, cz).
void medianFin(Builder& b, const ZY& zy, float thick, int m, float cy, float cz) {
    std::vector<V3> outline;
    for (auto& p : zy) outline.push_back({0.f, p.second, p.first});
    b.plate(outline, {1, 0, 0}, thick, m, {0, cy, cz});
}
// A median fin on the back and its mirror image on the belly (mirrored in
// y, outline walked the other way round from the same first point).
void mirroredFins(Builder& b, const ZY& zy, float thick, int m, float cy, float cz) {
    medianFin(b, zy, thick, m, cy, cz);
    ZY below{{zy[0].first, -zy[0].second}};
    for (size_t i = zy.size() - 1; i > 0; --i) below.push_back({zy[i].first, -zy[i].second});
    medianFin(b, below, thick, m, -cy, cz);
}

void eye(Builder& b, V3 c, float r, float side, int white, int black) {
    b.ellipsoid(c, {r, r, r}, 14, 8, white);
    b.ellipsoid(c + V3{side * r * 0.7f, r * 0.1f, r * 0.35f}, {r * 0.5f, r * 0.5f, r * 0.5f}, 12, 6, black);
}

// ------------------------------------------------------------- tuna-man
Mesh tunaMan(int pose, bool withLimbs = true) {
    Builder b;
    int skin = b.material(mat(0xFFFFFF, 0.45f, "model/tex/tuna_skin.png"));
    int fin = b.material(mat(0xF5C518, 0.45f));
    int white = b.material(mat(0xFFFFFF, 0.6f));
    int black = b.material(mat(0x101010, 0.1f));
    int flesh = b.material(mat(0xF2C29B, 0.45f));
    int trunks = b.material(mat(0xE03030, 0.45f));
    int mouth = b.material(mat(0x6A1020, 0.3f));
    int glove = b.material(mat(0xFFFFFF, 0.55f));
    float swing = poseSwing(pose);

    const std::vector<std::pair<float, float>> shape = {{0, 0.0f},      {0.04f, 0.42f}, {0.12f, 0.7f},
                                                        {0.25f, 0.93f}, {0.4f, 1.f},    {0.55f, 0.93f},
                                                        {0.7f, 0.7f},   {0.85f, 0.38f}, {1.f, 0.13f}};
    fishBody(b, 1.2f, -0.8f, 0.30f, 0.40f, shape, skin);
    medianFin(b,
              {{-0.74f, 0.07f},
               {-1.0f, 0.28f},
               {-1.32f, 0.62f},
               {-1.17f, 0.2f},
               {-1.1f, 0.f},
               {-1.17f, -0.2f},
               {-1.32f, -0.62f},
               {-1.0f, -0.28f},
               {-0.74f, -0.07f}},
              0.04f, fin, 0, -0.95f);
    medianFin(b, {{0.5f, 0.3f}, {0.15f, 0.72f}, {0.0f, 0.68f}, {-0.15f, 0.3f}}, 0.035f, fin, 0.45f, 0.1f);
    mirroredFins(b, {{-0.3f, 0.22f}, {-0.55f, 0.48f}, {-0.62f, 0.18f}}, 0.03f, fin, 0.28f, -0.5f);
    for (int i = 0; i < 5; ++i) {  // finlets along the back and belly
        float z = -0.35f - i * 0.09f, hgt = 0.21f - i * 0.03f;
        mirroredFins(b, {{z + 0.03f, hgt - 0.04f}, {z - 0.04f, hgt + 0.07f}, {z - 0.05f, hgt - 0.04f}}, 0.02f, fin, hgt,
                     z - 0.02f);
    }
    eye(b, {0.19f, 0.1f, 0.82f}, 0.1f, 1.f, white, black);
    eye(b, {-0.19f, 0.1f, 0.82f}, 0.1f, -1.f, white, black);
    b.box({0, -0.11f, 1.0f}, {0.13f, 0.025f, 0.06f}, mouth);
    b.transform(tailSwing(0.45f, 1.8f, 0.32f * swing), 0);

    if (withLimbs) {
        // Arms stroke like a crawl swimmer's, legs kick in turn.
        for (int side = -1; side <= 1; side += 2) {
            float sx = float(side);
            swungLimb(b, {0.24f * sx, -0.05f, 0.38f}, {0.58f * sx, -0.2f, 0.46f}, {0.74f * sx, -0.12f, 0.76f},
                      0.65f * swing * sx, 0.065f, flesh, glove, 0.095f);
            float k = 0.45f * swing * sx;
            V3 hip{0.12f * sx, -0.28f, -0.3f};
            V3 knee = rotateAboutX({0.15f * sx, -0.58f, -0.36f}, hip, k);
            V3 foot = rotateAboutX({0.16f * sx, -0.84f, -0.40f}, hip, k);
            b.cylinder(hip, knee, 0.07f, 0.062f, 10, flesh);
            b.ellipsoid(knee, {0.065f, 0.065f, 0.065f}, 10, 6, flesh);
            b.cylinder(knee, foot, 0.062f, 0.055f, 10, flesh);
            V3 toe = rotateAboutX(foot + V3{0, -0.03f, 0.1f}, hip, 0.f);
            b.ellipsoid((foot + toe) * 0.5f, {0.06f, 0.045f, 0.11f}, 10, 6, black);
        }
        b.ellipsoid({0, -0.27f, -0.3f}, {0.2f, 0.11f, 0.17f}, 16, 8, trunks);
    }
    return toGameFrame(b.finish(), false);
}

// ------------------------------------------------------------------ shark
Mesh shark(int pose) {
    Builder b;
    int skin = b.material(mat(0xFFFFFF, 0.45f, "model/tex/shark_skin.png"));
    int finGrey = b.material(mat(0x6F7C88, 0.45f));
    int black = b.material(mat(0x0A0A0A, 0.1f));
    int gill = b.material(mat(0x39424C, 0.3f));
    int mouth = b.material(mat(0x7A1020, 0.3f));
    int tooth = b.material(mat(0xFFFFFF, 0.7f));
    float swing = poseSwing(pose);

    const std::vector<std::pair<float, float>> shape = {{0, 0.0f},      {0.03f, 0.3f}, {0.1f, 0.62f},
                                                        {0.22f, 0.88f}, {0.35f, 1.f},  {0.5f, 0.92f},
                                                        {0.7f, 0.62f},  {0.88f, 0.3f}, {1.f, 0.14f}};
    fishBody(b, 2.0f, -1.35f, 0.42f, 0.5f, shape, skin, 0.f, 22, 26);
    // Tail: the upper lobe is the long one.
    medianFin(b,
              {{-1.28f, 0.1f},
               {-1.6f, 0.45f},
               {-2.0f, 1.0f},
               {-1.88f, 0.52f},
               {-1.78f, 0.05f},
               {-1.76f, -0.15f},
               {-1.78f, -0.55f},
               {-1.5f, -0.25f},
               {-1.28f, -0.1f}},
              0.05f, finGrey, 0.05f, -1.58f);
    medianFin(b, {{0.6f, 0.38f}, {0.05f, 1.15f}, {-0.12f, 1.12f}, {-0.3f, 0.38f}}, 0.06f, finGrey, 0.6f, 0.05f);
    medianFin(b, {{-0.85f, 0.2f}, {-1.02f, 0.45f}, {-1.1f, 0.18f}}, 0.04f, finGrey, 0.26f, -1.f);
    medianFin(b, {{-0.8f, -0.2f}, {-1.08f, -0.17f}, {-1.0f, -0.42f}}, 0.04f, finGrey, -0.26f, -0.97f);
    for (int side = -1; side <= 1; side += 2) {
        float sx = float(side);
        std::vector<V3> pect = {{0.3f * sx, -0.22f, 0.75f},
                                {1.25f * sx, -0.62f, -0.05f},
                                {1.12f * sx, -0.63f, -0.22f},
                                {0.32f * sx, -0.26f, 0.25f}};
        V3 n = normalize(cross(pect[1] - pect[0], pect[3] - pect[0]));
        b.plate(pect, n, 0.05f, finGrey, (pect[0] + pect[1] + pect[2] + pect[3]) * 0.25f);
        b.ellipsoid({0.3f * sx, 0.13f, 1.42f}, {0.065f, 0.065f, 0.065f}, 12, 6, black);
        for (int g = 0; g < 4; ++g) {
            float z = 1.0f - g * 0.1f;
            b.box({0.38f * sx, -0.02f, z}, {0.035f, 0.15f, 0.012f}, gill, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
        }
    }
    // A toothy grin under the snout.
    b.box({0, -0.27f, 1.42f}, {0.2f, 0.04f, 0.13f}, mouth);
    for (int t = 0; t < 7; ++t) {
        float x = -0.17f + t * (0.34f / 6.f);
        b.cylinder({x, -0.26f, 1.52f - std::fabs(x) * 0.5f}, {x, -0.33f, 1.53f - std::fabs(x) * 0.5f}, 0.022f, 0.002f,
                   6, tooth);
    }
    b.transform(tailSwing(0.6f, 2.6f, 0.45f * swing));
    return toGameFrame(b.finish(), false);
}

// -------------------------------------------------------------- manta-man
Mesh mantaMan(int pose) {
    Builder b;
    int skin = b.material(mat(0xFFFFFF, 0.45f, "model/tex/manta_skin.png"));
    int dark = b.material(mat(0x1E2A3A, 0.5f));
    int white = b.material(mat(0xFFFFFF, 0.6f));
    int black = b.material(mat(0x0A0A0A, 0.1f));
    int arm = b.material(mat(0xE8ECF2, 0.5f));
    int glove = b.material(mat(0xFFD22E, 0.5f));
    float flap = poseSwing(pose);
    const float lift = 0.55f;  // the game draws manta-men 1.5 units low; keep them off the seabed

    // Sections across the wings, swept from the head back to the tail root.
    const float tbl[][3] = {{0.95f, 0.42f, 0.10f}, {0.85f, 0.58f, 0.16f},  {0.65f, 1.02f, 0.22f}, {0.42f, 1.5f, 0.24f},
                            {0.18f, 1.75f, 0.24f}, {0.02f, 1.7f, 0.22f},   {-0.2f, 1.32f, 0.2f},  {-0.4f, 0.85f, 0.17f},
                            {-0.6f, 0.42f, 0.13f}, {-0.75f, 0.16f, 0.08f}, {-0.8f, 0.0f, 0.0f}};
    std::vector<Ring> rings;
    const int segs = 28;
    for (auto& row : tbl) rings.push_back(ellipseRing(row[1], row[2], lift, row[0], segs, 0.6f));
    b.loft(rings, true, {}, true, false, [skin](int, V3) { return skin; });
    for (int side = -1; side <= 1; side += 2) {
        float sx = float(side);
        // Head fins curling forward.
        b.plate({{0.3f * sx, lift + 0.03f, 0.88f},
                 {0.46f * sx, lift + 0.03f, 0.88f},
                 {0.43f * sx, lift - 0.06f, 1.22f},
                 {0.34f * sx, lift - 0.06f, 1.24f}},
                {1, 0, 0}, 0.04f, dark, {0.38f * sx, lift - 0.01f, 1.05f});
        eye(b, {0.5f * sx, lift + 0.06f, 0.78f}, 0.07f, sx, white, black);
    }
    b.box({0, lift - 0.06f, 0.94f}, {0.28f, 0.03f, 0.03f}, black);
    b.cylinder({0, lift, -0.72f}, {0, lift + 0.04f, -1.75f}, 0.035f, 0.006f, 8, dark);
    // Wings beat up and down; the tail whips a little.
    b.transform([=](V3 p) {
        float t = std::fabs(p.x) / 1.75f;
        p.y += 0.45f * flap * t * t;
        if (p.z < -0.75f) p.x += 0.12f * flap * (-0.75f - p.z);
        return p;
    });
    // Little arms paddling under the head.
    for (int side = -1; side <= 1; side += 2) {
        float sx = float(side);
        swungLimb(b, {0.32f * sx, lift - 0.14f, 0.5f}, {0.48f * sx, lift - 0.42f, 0.58f},
                  {0.44f * sx, lift - 0.55f, 0.82f}, 0.5f * flap * sx, 0.045f, arm, glove, 0.075f);
    }
    return toGameFrame(b.finish(), true);
}

// ----------------------------------------------------------------- boat
// The hull paint texture spans these heights from its top row down.
const float kHullPaintTop = 0.4f, kHullPaintSpan = 1.3f;

// Bands of the hull paint by height: white topsides with a thin blue line
// under the gunwale, a blue boot stripe at the waterline, red below.
Image hullPaint() {
    const int w = 8, h = 128;
    Image img(w, h);
    img.fill([](float, float v) {
        float height = kHullPaintTop - v * kHullPaintSpan;
        Col c = rgb(0xF4F1E8);
        if (height < 0.08f && height > 0.03f) c = rgb(0x2F6FD0);
        if (height < -0.36f) c = rgb(0x1A3F8F);
        if (height < -0.47f) c = rgb(0xA8262A);
        return c;
    });
    return img;
}

Mesh boat() {
    Builder b;
    // The outer skin is painted by a texture whose v follows the height, so
    // the waterline and boot stripe stay straight whatever the triangles.
    int paint = b.material(mat(0xFFFFFF, 0.5f, "model/tex/hull.png"));
    int topside = b.material(mat(0xF4F1E8, 0.5f));
    int inside = b.material(mat(0xB08850, 0.15f));
    int rail = b.material(mat(0x5A3418, 0.3f));
    int plank = b.material(mat(0x7A4E26, 0.2f));
    int motorBody = b.material(mat(0x2A2E34, 0.45f));
    int motorCap = b.material(mat(0xD8DDE4, 0.5f));
    int steel = b.material(mat(0x8E96A0, 0.5f));
    int red = b.material(mat(0xD83A2A, 0.5f));
    int coolerBox = b.material(mat(0xF8F8F8, 0.55f));
    int coolerLid = b.material(mat(0x2F7FD8, 0.5f));

    // Hull: a thick U-shaped shell swept from the transom (z -2.5) to the bow.
    const float prof[][2] = {{1.0f, 1.0f},   {0.99f, 0.75f}, {0.95f, 0.5f}, {0.86f, 0.3f},
                             {0.68f, 0.12f}, {0.38f, 0.03f}, {0.f, 0.f}};
    const int half = 7;
    std::vector<Ring> rings;
    const int n = 18;
    for (int i = 0; i <= n; ++i) {
        float z = -2.5f + 5.f * i / n;
        float beam = z < 0.6f ? 1.0f - 0.08f * std::pow(std::max(0.f, (-z - 1.2f) / 1.3f), 2.f)
                              : std::sqrt(std::max(0.f, 1.f - std::pow((z - 0.6f) / 1.9f, 2.f)));
        beam = std::max(beam, 0.04f);
        float keel = z < 1.0f ? -0.8f : -0.8f + 0.62f * std::pow((z - 1.0f) / 1.5f, 2.f);
        float sheer = 0.15f + 0.22f * std::pow(std::max(0.f, (z - 0.5f) / 2.f), 2.f);
        float wall = std::min(0.06f, beam * 0.5f);
        Ring ring;
        // Outer skin, left gunwale -> keel -> right gunwale.
        for (int s = -(half - 1); s <= half - 1; ++s) {
            int p = half - 1 - std::abs(s);
            float x = prof[p][0] * beam * (s < 0 ? -1.f : 1.f), y = keel + prof[p][1] * (sheer - keel);
            ring.push_back({x, y, z});
        }
        // Inner skin back from the right gunwale to the left one.
        for (int s = half - 1; s >= -(half - 1); --s) {
            int p = half - 1 - std::abs(s);
            float x = prof[p][0] * (beam - wall) * (s < 0 ? -1.f : 1.f);
            float y = keel + wall + prof[p][1] * (sheer - keel - wall);
            if (p == 0) y = sheer;
            ring.push_back({x, y, z});
        }
        rings.push_back(ring);
    }
    const int outerEnd = 2 * half - 2;  // index of the right gunwale's outer point
    size_t hullStart = b.vertexCount();
    b.loft(
        rings, true, {0, outerEnd, outerEnd + 1, 2 * outerEnd + 1}, true, true,
        [=](int run, V3) {
            if (run == 0) return paint;
            if (run == 2) return inside;
            if (run == 1 || run == 3) return rail;
            return topside;  // transom and stem
        },
        true);
    b.setUv(
        [](V3 p, float& u, float& v) {
            u = p.z / 5.f + 0.5f;
            v = (kHullPaintTop - p.y) / kHullPaintSpan;
        },
        hullStart);
    // Floor boards, seats and a cooler.
    b.box({0, -0.69f, -0.4f}, {0.42f, 0.025f, 1.8f}, plank);
    b.box({0, -0.12f, -1.75f}, {0.9f, 0.04f, 0.22f}, plank);
    b.box({0, -0.12f, -0.1f}, {0.92f, 0.04f, 0.2f}, plank);
    b.box({0, -0.1f, 1.25f}, {0.72f, 0.04f, 0.18f}, plank);
    b.box({-0.45f, -0.5f, 0.55f}, {0.22f, 0.16f, 0.17f}, coolerBox);
    b.box({-0.45f, -0.32f, 0.55f}, {0.23f, 0.025f, 0.18f}, coolerLid);
    // Outboard motor on the transom.
    b.box({0, 0.12f, -2.55f}, {0.12f, 0.1f, 0.06f}, steel);
    b.box({0, 0.4f, -2.78f}, {0.19f, 0.2f, 0.24f}, motorBody);
    b.box({0, 0.62f, -2.78f}, {0.17f, 0.03f, 0.22f}, motorCap);
    b.box({0, 0.4f, -2.78f}, {0.195f, 0.03f, 0.245f}, red);
    b.cylinder({0, 0.22f, -2.8f}, {0, -0.72f, -2.8f}, 0.05f, 0.045f, 10, motorBody);
    b.ellipsoid({0, -0.78f, -2.8f}, {0.06f, 0.07f, 0.16f}, 12, 8, motorBody);
    for (int blade = 0; blade < 3; ++blade) {
        float a = blade * 2.f * kPi / 3.f;
        V3 dir{std::cos(a), std::sin(a), 0};
        V3 side{-std::sin(a), std::cos(a), 0};
        b.box(V3{0, -0.78f, -2.99f} + dir * 0.09f, {0.08f, 0.035f, 0.01f}, steel, dir, side, {0, 0, 1});
    }
    b.cylinder({0, 0.45f, -2.58f}, {0, 0.5f, -2.05f}, 0.03f, 0.03f, 8, motorBody);
    b.cylinder({0, 0.5f, -2.1f}, {0, 0.52f, -1.95f}, 0.04f, 0.04f, 8, red);
    return b.finish();
}

// -------------------------------------------------------------- tackle
Mesh rod() {
    Builder b;
    int cork = b.material(mat(0xC8A070, 0.45f));
    int butt = b.material(mat(0x202020, 0.3f));
    int seat = b.material(mat(0xB8C0C8, 0.5f));
    int blank = b.material(mat(0x1E3A8A, 0.5f));
    int wrap = b.material(mat(0xD8B030, 0.5f));
    int ring = b.material(mat(0xE0E4E8, 0.6f));
    b.cylinder({0, 0, 0}, {0, 0, 0.05f}, 0.045f, 0.045f, 12, butt);
    b.cylinder({0, 0, 0.05f}, {0, 0, 0.3f}, 0.04f, 0.037f, 12, cork);
    b.cylinder({0, 0, 0.3f}, {0, 0, 0.52f}, 0.03f, 0.03f, 12, seat);
    b.cylinder({0, 0, 0.52f}, {0, 0, 0.68f}, 0.035f, 0.028f, 12, cork);
    b.cylinder({0, 0, 0.68f}, {0, 0, 2.3f}, 0.02f, 0.006f, 10, blank);
    // Line guides under the blank, getting smaller towards the tip.
    const float zs[] = {0.95f, 1.35f, 1.7f, 2.0f, 2.25f};
    for (int g = 0; g < 5; ++g) {
        float z = zs[g], r = 0.02f - 0.0065f * (z - 0.68f) / 1.62f * 2.f;
        float ringR = 0.035f - g * 0.005f, drop = r + ringR + 0.01f;
        b.cylinder({0, 0, z - 0.02f}, {0, 0, z + 0.02f}, r + 0.004f, r + 0.004f, 8, wrap);
        b.cylinder({0, -r, z}, {0, -drop + ringR, z}, 0.004f, 0.004f, 6, ring);
        // The ring itself: a short tube seen end-on from the reel.
        b.cylinder({0, -drop, z - 0.004f}, {0, -drop, z + 0.004f}, ringR, ringR, 10, ring);
    }
    return b.finish();
}

// The reel at rest, hanging under the rod's reel seat.
Mesh reelAtRest() {
    Builder b;
    int body = b.material(mat(0x3A3F48, 0.45f));
    int spool = b.material(mat(0xC8CCD2, 0.55f));
    int line = b.material(mat(0x40D8FF, 0.6f));
    int knob = b.material(mat(0xE03A2A, 0.5f));
    b.box({0, -0.035f, 0.41f}, {0.012f, 0.008f, 0.07f}, body);
    b.cylinder({0, -0.04f, 0.4f}, {0, -0.12f, 0.4f}, 0.012f, 0.014f, 8, body);
    b.ellipsoid({0, -0.15f, 0.38f}, {0.045f, 0.045f, 0.06f}, 14, 8, body);
    b.cylinder({0, -0.15f, 0.42f}, {0, -0.15f, 0.52f}, 0.045f, 0.045f, 16, spool);
    b.cylinder({0, -0.15f, 0.435f}, {0, -0.15f, 0.505f}, 0.049f, 0.049f, 16, line);
    b.cylinder({0, -0.15f, 0.38f}, {0.075f, -0.15f, 0.38f}, 0.008f, 0.008f, 8, body);
    b.cylinder({0.075f, -0.15f, 0.38f}, {0.075f, -0.2f, 0.38f}, 0.008f, 0.008f, 8, body);
    b.cylinder({0.075f, -0.2f, 0.38f}, {0.11f, -0.2f, 0.38f}, 0.014f, 0.014f, 10, knob);
    return b.finish();
}

// The spinning reel: a spool turning about x with a crank on its side.
Mesh reelSpinning() {
    Builder b;
    int flange = b.material(mat(0xC8CCD2, 0.55f));
    int line = b.material(mat(0x40D8FF, 0.6f));
    int stripe = b.material(mat(0xE03A2A, 0.5f));
    int arm = b.material(mat(0x3A3F48, 0.45f));
    int knob = b.material(mat(0xFFD22E, 0.5f));
    b.cylinder({-0.07f, 0, 0}, {-0.055f, 0, 0}, 0.1f, 0.1f, 20, flange);
    b.cylinder({0.055f, 0, 0}, {0.07f, 0, 0}, 0.1f, 0.1f, 20, flange);
    b.cylinder({-0.055f, 0, 0}, {0.055f, 0, 0}, 0.075f, 0.075f, 20, line);
    // Two marks across the wound line so its turning shows.
    b.box({0, 0.074f, 0}, {0.056f, 0.006f, 0.018f}, stripe);
    b.box({0, -0.074f, 0}, {0.056f, 0.006f, 0.018f}, stripe);
    // Crank: hub, arm to the rim, knob sticking out sideways.
    b.cylinder({0.07f, 0, 0}, {0.095f, 0, 0}, 0.025f, 0.025f, 12, arm);
    b.box({0.09f, 0.06f, 0}, {0.008f, 0.075f, 0.014f}, arm);
    b.cylinder({0.09f, 0.13f, 0}, {0.16f, 0.13f, 0}, 0.018f, 0.022f, 12, knob);
    return b.finish();
}

Mesh fishingFloat() {
    Builder b;
    int red = b.material(mat(0xE8202A, 0.55f));
    int white = b.material(mat(0xF8F8F8, 0.6f));
    int dark = b.material(mat(0x202020, 0.3f));
    const std::vector<std::pair<float, float>> shape = {{0, 0.f},       {0.15f, 0.6f}, {0.4f, 1.f},
                                                        {0.65f, 0.85f}, {0.9f, 0.4f},  {1.f, 0.f}};
    std::vector<Ring> rings;
    for (int i = 0; i <= 16; ++i) {
        float s = i / 16.f, y = 0.1f - 0.2f * s, r = 0.07f * profile(shape, s);
        Ring ring;
        for (int j = 0; j < 18; ++j) {
            float a = 2 * kPi * j / 18;
            ring.push_back({r * std::cos(a), y, r * std::sin(a)});
        }
        rings.push_back(ring);
    }
    b.loft(rings, true, {}, false, false, [=](int, V3 c) { return c.y > 0.f ? red : white; });  // ring 8 lies at y = 0
    b.cylinder({0, 0.09f, 0}, {0, 0.15f, 0}, 0.01f, 0.008f, 8, red);
    b.cylinder({0, -0.095f, 0}, {0, -0.12f, 0}, 0.006f, 0.006f, 6, dark);
    return b.finish();
}

// Drops the materials no triangle uses, so every material is a subset with faces.
void dropUnusedMaterials(Mesh& mesh) {
    std::vector<int> remap(mesh.materials.size(), 0);
    for (const Tri& t : mesh.tris) remap[t.material] = 1;
    decltype(mesh.materials) used;
    for (size_t m = 0; m < mesh.materials.size(); ++m) {
        if (!remap[m]) continue;
        remap[m] = int(used.size());
        used.push_back(mesh.materials[m]);
    }
    for (Tri& t : mesh.tris) t.material = remap[t.material];
    mesh.materials = used;
}

// The title model: a tuna biting a hook on a line.
Mesh titleModel() {
    Mesh fish = tunaMan(3, false);
    Builder b;
    int steel = b.material(mat(0xC0C6CE, 0.55f));
    int line = b.material(mat(0xF0F0F0, 0.6f));
    // In the head-down frame the mouth is near (0, -1.0, 0.11).
    b.cylinder({0, -1.05f, 0.0f}, {0, -1.05f, -1.6f}, 0.006f, 0.006f, 6, line);
    const int segs = 10;
    V3 prev{0, -1.05f, 0.0f};
    for (int i = 1; i <= segs; ++i) {
        float a = kPi * 1.2f * i / segs;
        V3 p{0, -1.05f - 0.12f * std::sin(a), 0.12f - 0.12f * std::cos(a)};
        b.cylinder(prev, p, 0.012f, 0.012f, 8, steel);
        prev = p;
    }
    Mesh hook = b.finish();
    // Merge the hook into the fish.
    int base = int(fish.verts.size()), mbase = int(fish.materials.size());
    fish.verts.insert(fish.verts.end(), hook.verts.begin(), hook.verts.end());
    fish.materials.insert(fish.materials.end(), hook.materials.begin(), hook.materials.end());
    for (Tri t : hook.tris) fish.tris.push_back({t.a + base, t.b + base, t.c + base, t.material + mbase});
    dropUnusedMaterials(fish);
    return fish;
}

// ------------------------------------------------------------ skins
// u runs around the body (0 = back, 0.5 = belly), v from nose to tail.
Image skin(int kind) {
    const int w = 128, h = 64;
    Image img(w, h);
    img.fill([kind](float u, float v) {
        float up = std::fabs(u - 0.5f) * 2.f;  // 0 belly .. 1 back
        Col c;
        if (kind == 0) {  // tuna: navy back, blue-silver flank, white belly, yellow line
            c = up > 0.62f ? mix(rgb(0x3C6FC0), rgb(0x0E2050), smooth(0.62f, 0.95f, up))
                           : mix(rgb(0xF2F6FA), rgb(0x9FB8D8), smooth(0.2f, 0.62f, up));
            c = mix(c, rgb(0xF5C518),
                    0.8f * (1.f - smooth(0.015f, 0.04f, std::fabs(up - 0.62f))) * smooth(0.1f, 0.2f, v));
            float bars = 0.5f + 0.5f * std::sin(v * 60.f);
            if (up < 0.55f && up > 0.25f) c = scaleRgb(c, 1.f - 0.08f * bars);
        } else if (kind == 1) {  // shark: slate back, sharp countershading, white belly
            c = mix(rgb(0xF4F4F0), rgb(0x7A8894), smooth(0.4f, 0.5f, up + 0.05f * std::sin(v * 25.f)));
            c = scaleRgb(c, 1.f - 0.15f * smooth(0.7f, 1.f, up));
        } else {  // manta: black back with pale shoulder patches, white belly
            c = mix(rgb(0xF0F2F4), rgb(0x1A2230), smooth(0.47f, 0.53f, up));
            float patch = smooth(0.2f, 0.05f, std::hypot((up - 0.72f) * 1.2f, v - 0.35f));
            c = mix(c, rgb(0x9AA4B0), patch * smooth(0.5f, 0.6f, up));
        }
        return c;
    });
    return img;
}

}  // namespace

Models makeModels() {
    Models out;
    out.models.push_back({"model/Player.x", boat()});
    for (int p = 1; p <= 6; ++p)
        out.models.push_back({"model/maguromananimation" + std::to_string(p) + ".x", tunaMan(p)});
    for (int p = 1; p <= 6; ++p) out.models.push_back({"model/mantaman" + std::to_string(p) + ".x", mantaMan(p)});
    out.models.push_back({"model/title.x", titleModel()});
    for (int p = 1; p <= 6; ++p) out.models.push_back({"model/sameanimation" + std::to_string(p) + ".x", shark(p)});
    out.models.push_back({"model/sao.x", rod()});
    out.models.push_back({"model/saori-ru.x", reelAtRest()});
    out.models.push_back({"model/saori-ru2.x", reelSpinning()});
    out.models.push_back({"model/uki.x", fishingFloat()});
    out.textures.push_back({"model/tex/hull.png", hullPaint(), false, false});
    out.textures.push_back({"model/tex/tuna_skin.png", skin(0), false, false});
    out.textures.push_back({"model/tex/shark_skin.png", skin(1), false, false});
    out.textures.push_back({"model/tex/manta_skin.png", skin(2), false, false});
    return out;
}

// ------------------------------------------------------------- X files
std::string writeXFile(const Mesh& mesh) {
    std::string s;
    char buf[160];
    auto line = [&](const char* fmt, auto... args) {
        std::snprintf(buf, sizeof buf, fmt, args...);
        s += buf;
        s += '\n';
    };
    auto num = [](float v) { return std::fabs(v) < 5e-7f ? 0.f : v; };  // no "-0.000000"
    s += "xof 0303txt 0032\n\n";
    s += "Mesh {\n";
    const size_t nv = mesh.verts.size(), nf = mesh.tris.size();
    line(" %zu;", nv);
    for (size_t i = 0; i < nv; ++i) {
        const V3& p = mesh.verts[i].pos;
        line(" %.6f;%.6f;%.6f;%c", num(p.x), num(p.y), num(p.z), i + 1 < nv ? ',' : ';');
    }
    line(" %zu;", nf);
    for (size_t i = 0; i < nf; ++i)
        line(" 3;%d,%d,%d;%c", mesh.tris[i].a, mesh.tris[i].b, mesh.tris[i].c, i + 1 < nf ? ',' : ';');
    s += "\n MeshNormals {\n";
    line("  %zu;", nv);
    for (size_t i = 0; i < nv; ++i) {
        const V3& n = mesh.verts[i].normal;
        line("  %.6f;%.6f;%.6f;%c", num(n.x), num(n.y), num(n.z), i + 1 < nv ? ',' : ';');
    }
    line("  %zu;", nf);
    for (size_t i = 0; i < nf; ++i)
        line("  3;%d,%d,%d;%c", mesh.tris[i].a, mesh.tris[i].b, mesh.tris[i].c, i + 1 < nf ? ',' : ';');
    s += " }\n";
    if (mesh.hasUv) {
        s += "\n MeshTextureCoords {\n";
        line("  %zu;", nv);
        for (size_t i = 0; i < nv; ++i)
            line("  %.6f;%.6f;%c", num(mesh.verts[i].u), num(mesh.verts[i].v), i + 1 < nv ? ',' : ';');
        s += " }\n";
    }
    s += "\n MeshMaterialList {\n";
    line("  %zu;", mesh.materials.size());
    line("  %zu;", nf);
    for (size_t i = 0; i < nf; ++i) line("  %d%c", mesh.tris[i].material, i + 1 < nf ? ',' : ';');
    for (const Material& m : mesh.materials) {
        s += "\n  Material {\n";
        line("   %.6f;%.6f;%.6f;%.6f;;", m.diffuse.r, m.diffuse.g, m.diffuse.b, m.diffuse.a);
        line("   %.6f;", m.power);
        line("   %.6f;%.6f;%.6f;;", m.specular.r, m.specular.g, m.specular.b);
        line("   %.6f;%.6f;%.6f;;", m.emissive.r, m.emissive.g, m.emissive.b);
        if (!m.texture.empty()) line("   TextureFilename {\n    \"%s\";\n   }", m.texture.c_str());
        s += "  }\n";
    }
    s += " }\n}\n";
    return s;
}

}  // namespace ag
