// A small software rasteriser used by `assetgen --preview`: it draws the
// models the way the game's fixed-function pipeline does (row-vector
// matrices, left-handed view, counter-clockwise triangles culled, one white
// light straight down plus the stages' ambient colour, Ambient = Diffuse)
// so that orientation, winding, normals and proportions can be checked by
// eye, together with the ground, mountain ring and sky dome textures.
#include <algorithm>
#include <cmath>
#include <map>

#include "assetgen/assets.h"

namespace ag {

namespace {

struct M4 {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};
M4 operator*(const M4& a, const M4& b) {
    M4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = 0;
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
        }
    return r;
}
M4 rotX(float a) {
    M4 r;
    r.m[1][1] = std::cos(a);
    r.m[1][2] = std::sin(a);
    r.m[2][1] = -std::sin(a);
    r.m[2][2] = std::cos(a);
    return r;
}
M4 rotY(float a) {
    M4 r;
    r.m[0][0] = std::cos(a);
    r.m[0][2] = -std::sin(a);
    r.m[2][0] = std::sin(a);
    r.m[2][2] = std::cos(a);
    return r;
}
M4 translate(float x, float y, float z) {
    M4 r;
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}
struct V4 {
    float x, y, z, w;
};
V4 xform(V3 p, const M4& m) {
    return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
            p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
            p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2],
            p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3]};
}
V3 xformNormal(V3 n, const M4& m) {
    return normalize({n.x * m.m[0][0] + n.y * m.m[1][0] + n.z * m.m[2][0],
                      n.x * m.m[0][1] + n.y * m.m[1][1] + n.z * m.m[2][1],
                      n.x * m.m[0][2] + n.y * m.m[1][2] + n.z * m.m[2][2]});
}
M4 lookAtLH(V3 eye, V3 at, V3 up) {
    V3 z = normalize(at - eye), x = normalize(cross(up, z)), y = cross(z, x);
    M4 r;
    r.m[0][0] = x.x;
    r.m[0][1] = y.x;
    r.m[0][2] = z.x;
    r.m[1][0] = x.y;
    r.m[1][1] = y.y;
    r.m[1][2] = z.y;
    r.m[2][0] = x.z;
    r.m[2][1] = y.z;
    r.m[2][2] = z.z;
    r.m[3][0] = -dot(x, eye);
    r.m[3][1] = -dot(y, eye);
    r.m[3][2] = -dot(z, eye);
    return r;
}
M4 perspectiveLH(float fovy, float aspect, float zn, float zf) {
    M4 r;
    float ys = 1.f / std::tan(fovy / 2), xs = ys / aspect;
    r.m[0][0] = xs;
    r.m[1][1] = ys;
    r.m[2][2] = zf / (zf - zn);
    r.m[2][3] = 1;
    r.m[3][2] = -zn * zf / (zf - zn);
    r.m[3][3] = 0;
    return r;
}

// Mip chain of a texture, for sampling the repeating ground at a distance.
struct Mips {
    std::vector<Image> levels;
    explicit Mips(const Image& img) {
        levels.push_back(img);
        while (levels.back().w > 1 && levels.back().h > 1) {
            const Image& s = levels.back();
            Image d(std::max(1, s.w / 2), std::max(1, s.h / 2));
            for (int y = 0; y < d.h; ++y)
                for (int x = 0; x < d.w; ++x) {
                    Col a = s.at(std::min(2 * x, s.w - 1), std::min(2 * y, s.h - 1));
                    Col b = s.at(std::min(2 * x + 1, s.w - 1), std::min(2 * y, s.h - 1));
                    Col c = s.at(std::min(2 * x, s.w - 1), std::min(2 * y + 1, s.h - 1));
                    Col e = s.at(std::min(2 * x + 1, s.w - 1), std::min(2 * y + 1, s.h - 1));
                    d.at(x, y) = {(a.r + b.r + c.r + e.r) / 4, (a.g + b.g + c.g + e.g) / 4, (a.b + b.b + c.b + e.b) / 4,
                                  (a.a + b.a + c.a + e.a) / 4};
                }
            levels.push_back(d);
        }
    }
    Col sample(float u, float v, float texelsPerPixel) const {
        float lod = texelsPerPixel > 1.f ? std::log2(texelsPerPixel) : 0.f;
        int l = std::min(int(levels.size()) - 1, int(lod));
        const Image& img = levels[l];
        return img.sampleWrap(u * img.w, v * img.h);
    }
};

struct PVert {
    V4 clip;
    Col col;
    float u, v;
};

class Raster {
public:
    Raster(int w, int h, Col clear) : img(w, h, clear), depth(size_t(w) * h, 1.f) {}
    Image img;
    std::vector<float> depth;
    M4 view, proj;

    // One triangle in clip space: near-clipped, culled like Direct3D's default
    // (counter-clockwise on screen is the back), depth-tested, blended.
    void triangle(PVert a, PVert b, PVert c, const Mips* tex) {
        std::vector<PVert> poly = {a, b, c}, out;
        for (size_t i = 0; i < poly.size(); ++i) {
            const PVert& p = poly[i];
            const PVert& q = poly[(i + 1) % poly.size()];
            bool pin = p.clip.z >= 0, qin = q.clip.z >= 0;
            if (pin) out.push_back(p);
            if (pin != qin) {
                float t = p.clip.z / (p.clip.z - q.clip.z);
                PVert r;
                r.clip = {lerp(p.clip.x, q.clip.x, t), lerp(p.clip.y, q.clip.y, t), lerp(p.clip.z, q.clip.z, t),
                          lerp(p.clip.w, q.clip.w, t)};
                r.col = mix(p.col, q.col, t);
                r.u = lerp(p.u, q.u, t);
                r.v = lerp(p.v, q.v, t);
                out.push_back(r);
            }
        }
        for (size_t i = 1; i + 1 < out.size(); ++i) raster(out[0], out[i], out[i + 1], tex);
    }

private:
    void raster(const PVert& a, const PVert& b, const PVert& c, const Mips* tex) {
        const PVert* v[3] = {&a, &b, &c};
        float sx[3], sy[3], sz[3], iw[3];
        for (int i = 0; i < 3; ++i) {
            iw[i] = 1.f / v[i]->clip.w;
            sx[i] = (v[i]->clip.x * iw[i] + 1.f) * 0.5f * img.w;
            sy[i] = (1.f - v[i]->clip.y * iw[i]) * 0.5f * img.h;
            sz[i] = v[i]->clip.z * iw[i];
        }
        // Screen y runs down, so a clockwise triangle has a positive area here.
        float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sy[1] - sy[0]) * (sx[2] - sx[0]);
        if (area <= 0) return;
        int x0 = std::max(0, int(std::floor(std::min({sx[0], sx[1], sx[2]}))));
        int x1 = std::min(img.w - 1, int(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
        int y0 = std::max(0, int(std::floor(std::min({sy[0], sy[1], sy[2]}))));
        int y1 = std::min(img.h - 1, int(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
        auto bary = [&](float px, float py, float& w0, float& w1, float& w2) {
            w0 = ((sx[1] - px) * (sy[2] - py) - (sy[1] - py) * (sx[2] - px)) / area;
            w1 = ((sx[2] - px) * (sy[0] - py) - (sy[2] - py) * (sx[0] - px)) / area;
            w2 = 1.f - w0 - w1;
        };
        auto uvAt = [&](float px, float py, float& u, float& vv) {
            float w0, w1, w2;
            bary(px, py, w0, w1, w2);
            float q = w0 * iw[0] + w1 * iw[1] + w2 * iw[2];
            u = (w0 * v[0]->u * iw[0] + w1 * v[1]->u * iw[1] + w2 * v[2]->u * iw[2]) / q;
            vv = (w0 * v[0]->v * iw[0] + w1 * v[1]->v * iw[1] + w2 * v[2]->v * iw[2]) / q;
        };
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                float px = x + 0.5f, py = y + 0.5f, w0, w1, w2;
                bary(px, py, w0, w1, w2);
                if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                float z = w0 * sz[0] + w1 * sz[1] + w2 * sz[2];
                size_t di = size_t(y) * img.w + x;
                if (z < 0 || z >= depth[di]) continue;
                float q = w0 * iw[0] + w1 * iw[1] + w2 * iw[2];
                float p0 = w0 * iw[0] / q, p1 = w1 * iw[1] / q, p2 = w2 * iw[2] / q;
                Col col = {p0 * v[0]->col.r + p1 * v[1]->col.r + p2 * v[2]->col.r,
                           p0 * v[0]->col.g + p1 * v[1]->col.g + p2 * v[2]->col.g,
                           p0 * v[0]->col.b + p1 * v[1]->col.b + p2 * v[2]->col.b,
                           p0 * v[0]->col.a + p1 * v[1]->col.a + p2 * v[2]->col.a};
                if (tex) {
                    float u = p0 * v[0]->u + p1 * v[1]->u + p2 * v[2]->u,
                          vv = p0 * v[0]->v + p1 * v[1]->v + p2 * v[2]->v;
                    float ux, vx, uy, vy;
                    uvAt(px + 1, py, ux, vx);
                    uvAt(px, py + 1, uy, vy);
                    const Image& base = tex->levels[0];
                    float d = std::max(std::hypot((ux - u) * base.w, (vx - vv) * base.h),
                                       std::hypot((uy - u) * base.w, (vy - vv) * base.h));
                    Col t = tex->sample(u, vv, d);
                    col = {col.r * t.r, col.g * t.g, col.b * t.b, col.a * t.a};
                }
                depth[di] = z;  // depth writes stay on, as on the device
                img.blend(x, y, col, 1.f);
            }
    }
};

const Col kAmbient = rgb(0x443355);

using TexCache = std::map<std::string, Mips>;

class Scene {
public:
    Scene(int w, int h, const TexCache& textures) : r(w, h, rgb(0x018CFF)), tex_(textures) {}
    Raster r;

    void camera(V3 eye, V3 at, float fovy = 1.0471976f, float zf = 300.f) {
        r.view = lookAtLH(eye, at, {0, 1, 0});
        r.proj = perspectiveLH(fovy, float(r.img.w) / r.img.h, 0.1f, zf);
    }

    void model(const Mesh& mesh, const M4& world) {
        M4 wvp = world * r.view * r.proj;
        std::vector<PVert> pv(mesh.verts.size());
        for (const Tri& t : mesh.tris) {
            const Material& m = mesh.materials[t.material];
            const Mips* tex = m.texture.empty() ? nullptr : &tex_.at(m.texture);
            PVert p[3];
            const int idx[3] = {t.a, t.b, t.c};
            for (int k = 0; k < 3; ++k) {
                const Vertex& v = mesh.verts[idx[k]];
                V3 n = xformNormal(v.normal, world);
                float lit = std::max(0.f, n.y);  // light shines straight down
                Col c = {m.emissive.r + kAmbient.r * m.diffuse.r + m.diffuse.r * lit,
                         m.emissive.g + kAmbient.g * m.diffuse.g + m.diffuse.g * lit,
                         m.emissive.b + kAmbient.b * m.diffuse.b + m.diffuse.b * lit, m.diffuse.a};
                c.r = clamp01(c.r);
                c.g = clamp01(c.g);
                c.b = clamp01(c.b);
                p[k] = {xform(v.pos, wvp), c, v.u, v.v};
            }
            r.triangle(p[0], p[1], p[2], tex);
        }
    }

    // The stages' scenery grids, built as the mesh module builds them: one
    // triangle strip of (c + 1)(d + 1) vertices drawn unlit.
    void grid(int c, int d, const std::function<void(int z, int x, V3&, float&, float&)>& vertex,
              const std::string& texture) {
        std::vector<PVert> verts;
        M4 vp = r.view * r.proj;
        for (int z = 0; z <= d; ++z)
            for (int x = 0; x <= c; ++x) {
                V3 p;
                float u, v;
                vertex(z, x, p, u, v);
                verts.push_back({xform(p, vp), {1, 1, 1, 1}, u, v});
            }
        std::vector<int> idx;
        for (int m = 0; m < d; ++m) {
            for (int x = 0; x <= c; ++x) {
                idx.push_back((m + 1) * (c + 1) + x);
                idx.push_back(m * (c + 1) + x);
            }
            if (m + 1 < d) {
                idx.push_back(m * (c + 1) + c);
                idx.push_back((m + 2) * (c + 1));
            }
        }
        const Mips* tex = &tex_.at(texture);
        for (size_t i = 0; i + 2 < idx.size(); ++i) {
            int a = idx[i], b = idx[i + 1], e = idx[i + 2];
            if (a == b || b == e || a == e) continue;
            if (i & 1) std::swap(a, b);  // strips alternate their winding
            r.triangle(verts[a], verts[b], verts[e], tex);
        }
    }

    void scenery() {
        grid(
            5, 5,
            [](int z, int x, V3& p, float& u, float& v) {
                p = {-5 * 0.5f * 50 + x * 50.f, -1.f, float(5 * 0.5 * 50 - z * 50.0)};
                u = p.x;
                v = p.z;
            },
            "asset/texture/field001.jpg");
        grid(
            5, 2,
            [](int z, int x, V3& p, float& u, float& v) {
                float th = float((360 / 5) * x) * 0.017453292f;
                p = {std::sin(th) * 200.f, 2 * 10.f - z * 10.f, std::cos(th) * 200.f};
                u = float(6 - x) / 6.f;
                v = float(z - 3) / 3.f;
            },
            "asset/texture/mountain.png");
        grid(
            20, 20,
            [](int z, int x, V3& p, float& u, float& v) {
                float th = float((360 / 20) * x) * 0.017453292f;
                float h = 10.f * z * (z + 1) / 21.f, rad = 350.f / 21.f * z;
                p = {rad * std::sin(th), 20 * 10.f - h - 100.f, rad * std::cos(th)};
                u = float(21 - x) / 22.f;
                v = z == 0 ? 21.f / 22.f : float(z - 21) / 22.f;
            },
            "asset/texture/back_sylin.jpg");
    }

private:
    const TexCache& tex_;
};

const Mesh& find(const Models& models, const std::string& path) {
    for (const Model& m : models.models)
        if (m.path == path) return m.mesh;
    static Mesh empty;
    return empty;
}

const float kHalfPi = 1.5707964f, kDeg = 0.017453292f;

M4 fishWorld(int kind, V3 pos, float yawDeg, bool stageTwo) {
    float pitch = kind == 2 ? 4.712389f : kHalfPi;
    M4 w = rotX(pitch);
    if (stageTwo) w = w * rotY(yawDeg * kDeg);
    return w * translate(pos.x, pos.y, pos.z);
}

const char* fishFile(int kind, int pose) {
    static std::string s;
    s = kind == 0 ? "model/maguromananimation" : (kind == 1 ? "model/sameanimation" : "model/mantaman");
    s += std::to_string(pose) + ".x";
    return s.c_str();
}

// Three views of one model under the game's light: from its side, above
// and behind, each framed on the model's bounds.
Image modelSheet(const Mesh& mesh, const M4& world, const TexCache& textures) {
    V3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    for (const Vertex& v : mesh.verts) {
        V4 p = xform(v.pos, world);
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    V3 c = (lo + hi) * 0.5f;
    float r = std::max(0.05f, length(hi - lo) * 0.5f);
    const int w = 360, h = 300;
    Image sheet(w * 4, h, rgb(0x303840));
    const V3 dirs[4] = {{1, 0.25f, 0}, {0.01f, 1, -0.25f}, {0, 0.4f, -1}, {-0.7f, -0.45f, 0.6f}};
    for (int i = 0; i < 4; ++i) {
        Scene s(w, h, textures);
        s.r.img = Image(w, h, rgb(0x5A6470));
        V3 eye = c + normalize(dirs[i]) * (r * 2.6f);
        s.camera(eye, c, 0.8f, r * 10.f);
        s.model(mesh, world);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) sheet.at(i * w + x, y) = s.r.img.at(x, y);
    }
    return sheet;
}

}  // namespace

bool writePreviews(const std::string& dir, const std::vector<Texture>& textures, const Models& models) {
    if (!makeDirs(dir)) return false;
    bool ok = true;
    TexCache cache;
    for (const Texture& t : textures) cache.emplace(t.path, Mips(t.image));
    for (const Texture& t : models.textures) cache.emplace(t.path, Mips(t.image));
    const int w = 840, h = 450;  // half the game's resolution
    // Stage one, as the chase camera first settles behind the boat.
    {
        Scene s(w, h, cache);
        s.camera({0, 3.5f, -26}, {0, 3.5f, -20});
        s.scenery();
        s.model(find(models, "model/Player.x"), translate(0, 0.5f, -20));
        s.model(find(models, fishFile(1, 1)), fishWorld(1, {0, 0.5f, 0}, 0, false));
        ok &= writePng(dir + "/stage1_start.png", s.r.img, false);
    }
    // Stage one, the boat turned towards a tuna-man, a shark and a manta-man.
    const struct {
        const char* name;
        int kind;
        V3 fish;
        float yaw;
    } shots[] = {{"stage1_tuna", 0, {80, 0.5f, 0}, 60},
                 {"stage1_shark", 1, {0, 0.5f, 0}, 30},
                 {"stage1_manta", 2, {60, 0.5f, 60}, 90}};
    for (auto& shot : shots) {
        Scene s(w, h, cache);
        float yaw = shot.yaw * kDeg;
        V3 front{std::sin(yaw), 0, std::cos(yaw)};
        V3 boatPos = shot.fish - front * 9.f;
        boatPos.y = 0.5f;
        s.camera(boatPos + V3{0, 3, 0} - front * 6.f, boatPos + V3{0, 3, 0});
        s.scenery();
        s.model(find(models, "model/Player.x"), rotY(yaw) * translate(boatPos.x, boatPos.y, boatPos.z));
        V3 fp = shot.fish;
        if (shot.kind == 2) fp.y -= 1.5f;
        s.model(find(models, fishFile(shot.kind, 3)), fishWorld(shot.kind, fp, 0, false));
        ok &= writePng(dir + "/" + shot.name + ".png", s.r.img, false);
    }
    // Stage two: before the cast, and hooked (for each kind).
    for (int kind = 0; kind < 3; ++kind) {
        for (int phase = 0; phase < 2; ++phase) {
            Scene s(w, h, cache);
            s.camera({0, 3.5f, -26}, {0, 3.5f, -20});
            s.scenery();
            s.model(find(models, "model/Player.x"), rotY(kHalfPi) * translate(0, 0.5f, -21));
            float charge = phase == 0 ? 30.f : 0.f;
            M4 rodWorld =
                rotX((-20.f - charge) * kDeg) * rotY(phase == 0 ? 0.f : 30.f * kDeg) * translate(0, 1.5f, -20);
            s.model(find(models, "model/sao.x"), rodWorld);
            V3 floatPos{1, 1.5f, -17.8f};
            if (phase == 0) {
                s.model(find(models, "model/saori-ru.x"), rodWorld);
                float off = kind == 2 ? -1.5f : 0.f;
                s.model(find(models, fishFile(kind, 2)), fishWorld(kind, {4, 0.5f + off, 0}, -90, true));
            } else {
                s.model(find(models, "model/saori-ru2.x"), rotX((-20.f - 700.f) * kDeg) * translate(0, 1.5f, -17.8f));
                floatPos = {1 + 3.f, 1.5f - 1.f, float(30.5 / 3 - 17.8)};
                s.model(find(models, fishFile(kind, 5)), fishWorld(kind, floatPos, -90, true));
            }
            s.model(find(models, "model/uki.x"), translate(floatPos.x, floatPos.y, floatPos.z));
            ok &= writePng(dir + "/stage2_kind" + std::to_string(kind) + (phase ? "_hooked.png" : "_ready.png"),
                           s.r.img, false);
        }
    }
    // Every model on its own, with the world matrix the game draws it with.
    for (const Model& m : models.models) {
        M4 world;
        if (m.path.find("maguro") != std::string::npos || m.path.find("same") != std::string::npos ||
            m.path.find("title") != std::string::npos)
            world = rotX(kHalfPi);
        else if (m.path.find("manta") != std::string::npos)
            world = rotX(4.712389f);
        else if (m.path.find("sao") != std::string::npos || m.path.find("saori-ru.x") != std::string::npos)
            world = rotX(-20.f * kDeg);
        std::string name = m.path.substr(m.path.find('/') + 1);
        name = name.substr(0, name.size() - 2);
        ok &= writePng(dir + "/model_" + name + ".png", modelSheet(m.mesh, world, cache), false);
    }
    return ok;
}

}  // namespace ag
