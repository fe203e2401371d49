// xfile_parser.cpp: the data-object layer of the X-file loader. Reads the
// templates a static model is made of (Frame, FrameTransformMatrix, Mesh,
// MeshNormals, MeshTextureCoords, MeshVertexColors, MeshMaterialList,
// Material, TextureFilename), skips template definitions and every other
// data object with all it contains, and merges what it read into one
// material-sorted triangle mesh.
//
// State: a Parser lives for one ParseXFile call. It holds the token reader,
// the meshes built so far (each in its frames' space once their frames close),
// the named materials seen so far (indexed by name and by GUID), and running
// totals checked against the limits of xfile_parser.h. Nothing outlives the
// call.
#include "xfile_parser.h"

#include "xfile_tokens.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <new>
#include <stdexcept>
#include <unordered_map>

namespace xfile {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

struct ObjectHeader {
    bool hasName = false;
    std::string name;
    bool hasGuid = false;
    uint8_t guid[16] = {};
};

// A material of a MeshMaterialList: given inline, or a reference that is
// filled in once the material it names is known.
struct MaterialSlot {
    Material material;
    bool pending = false;
    ObjectHeader ref;
    std::string where;
};

// A Mesh object as it stands in the file, before it is turned into triangles.
struct RawMesh {
    uint32_t vertexCount = 0;
    std::vector<float> positions;     // 3 per vertex
    std::vector<uint32_t> faceStart;  // first corner of each face, plus the end
    std::vector<uint32_t> corners;    // vertex index of every face corner
    uint64_t triangleCount = 0;

    bool hasNormals = false;
    std::vector<float> normals;           // 3 per normal
    std::vector<uint32_t> normalCorners;  // normal index of every face corner

    bool hasTexcoords = false;
    std::vector<float> texcoords;  // 2 per vertex

    bool hasColors = false;
    std::vector<uint32_t> colors;  // per vertex

    bool hasMaterialList = false;
    std::vector<uint32_t> faceMaterials;  // per face
    std::vector<MaterialSlot> materials;
};

// A Mesh turned into triangles, in the space of the frames closed around it so far.
struct BuiltMesh {
    bool hasNormals = false;
    bool hasColors = false;
    bool hasTexcoords = false;
    std::vector<Vertex> vertices;
    std::vector<uint32_t> pointReps;      // local vertex indices
    std::vector<uint32_t> triangles;      // local vertex indices, 3 per triangle
    std::vector<uint32_t> triMaterials;   // local material of each triangle
    std::vector<MaterialSlot> materials;  // empty: one default material
};

// A file vertex together with the exact bits of one normal given to it.
struct SplitKey {
    uint32_t vertex;
    uint32_t normal[3];
    bool operator==(const SplitKey& o) const { return memcmp(this, &o, sizeof *this) == 0; }
};
struct SplitKeyHash {
    size_t operator()(const SplitKey& k) const {
        uint64_t h = k.vertex * 0x9E3779B97F4A7C15ull;
        for (uint32_t w : k.normal) h = (h ^ w) * 0x100000001B3ull + (h >> 29);
        return (size_t)h;
    }
};

uint32_t ColorFromFloats(float r, float g, float b, float a) {
    auto channel = [](float v) -> uint32_t {
        if (!(v > 0.0f)) return 0;  // also NaN
        if (v >= 1.0f) return 255;
        return (uint32_t)(v * 255.0f + 0.5f);
    };
    return channel(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
}

class Parser {
public:
    explicit Parser(TokenReader& reader) : reader_(reader) {}

    Status Run(MeshData* out, std::string* error) {
        bool ok = ParseFile() && ResolveReferences() && Merge(out);
        if (!ok) {
            *out = MeshData();
            *error = error_;
            return Status::InvalidData;
        }
        return Status::Ok;
    }

private:
    // ---- tokens ----

    bool Next(Token* t) {
        std::string lexError;
        if (!reader_.Next(t, &lexError)) {
            if (error_.empty()) error_ = lexError;
            return false;
        }
        return true;
    }

    bool Fail(const std::string& message) {
        if (error_.empty()) error_ = reader_.Where() + ": " + message;
        return false;
    }

    // Fails unless the input can still hold count * each values.
    bool CheckCount(uint64_t count, uint64_t each, const char* what) {
        if (count * each > reader_.MaxValuesLeft()) {
            return Fail(std::string(what) + " count " + std::to_string(count) + " is more than the file holds");
        }
        return true;
    }

    // Reads the next value token, passing over ',' and ';' (exporters write
    // them loosely: ";;" and ",;" endings are common).
    bool ReadValue(Token* t, const char* what) {
        do {
            if (!Next(t)) return false;
        } while (t->type == TokenType::Separator);
        switch (t->type) {
        case TokenType::Integer:
        case TokenType::Float:
        case TokenType::String: return true;
        case TokenType::End: return Fail(std::string("file ends where ") + what + " was expected");
        case TokenType::CBrace: return Fail(std::string("data object ends where ") + what + " was expected");
        default: return Fail(std::string("expected ") + what);
        }
    }

    bool ReadUInt(uint32_t* value, const char* what) {
        if (!ReadValue(&token_, what)) return false;
        if (token_.type != TokenType::Integer) return Fail(std::string("expected a whole number for ") + what);
        if (token_.negative) return Fail(std::string("negative ") + what);
        if (token_.integer > 0xFFFFFFFFull) return Fail(std::string(what) + " is too large");
        *value = (uint32_t)token_.integer;
        return true;
    }

    bool ReadFloat(float* value, const char* what) {
        if (!ReadValue(&token_, what)) return false;
        if (token_.type == TokenType::String) return Fail(std::string("expected a number for ") + what);
        *value = (float)token_.number;
        return true;
    }

    bool ReadFloats(float* values, size_t count, const char* what) {
        for (size_t i = 0; i < count; ++i)
            if (!ReadFloat(&values[i], what)) return false;
        return true;
    }

    bool ReadString(std::string* value, const char* what) {
        if (!ReadValue(&token_, what)) return false;
        if (token_.type != TokenType::String) return Fail(std::string("expected a string for ") + what);
        *value = token_.text;
        return true;
    }

    // ---- structure ----

    // After a data object's type name: the optional name and GUID, then '{'.
    bool ReadObjectHeader(const std::string& type, ObjectHeader* h) {
        Token t;
        if (!Next(&t)) return false;
        if (t.type == TokenType::Name) {
            h->hasName = true;
            h->name = t.text;
            if (!Next(&t)) return false;
        }
        if (t.type == TokenType::Guid) {
            h->hasGuid = true;
            memcpy(h->guid, t.guid, 16);
            if (!Next(&t)) return false;
        }
        if (t.type != TokenType::OBrace) return Fail("expected '{' after " + type);
        return true;
    }

    bool CheckDepth(int depth) {
        if (depth > kMaxDepth) return Fail("data objects nested deeper than " + std::to_string(kMaxDepth));
        return true;
    }

    // Skips the rest of a body whose '{' has been read, through its '}'.
    bool SkipBody(int depth) {
        int open = 1;
        Token t;
        while (open > 0) {
            if (!Next(&t)) return false;
            if (t.type == TokenType::OBrace) {
                ++open;
                if (!CheckDepth(depth + open - 1)) return false;
            } else if (t.type == TokenType::CBrace) {
                --open;
            } else if (t.type == TokenType::End) {
                return Fail("file ends before a closing brace");
            }
        }
        return true;
    }

    // A template definition: "template Name { ... }", ignored.
    bool SkipTemplate() {
        Token t;
        if (!Next(&t)) return false;
        if (t.type != TokenType::Name) return Fail("expected a name after 'template'");
        if (!Next(&t)) return false;
        if (t.type != TokenType::OBrace) return Fail("expected '{' after template " + t.text);
        return SkipBody(1);
    }

    // The rest of a body after its members: nested data objects and
    // references, through the closing '}'. onChild(type, header, depth) reads
    // a nested object whose '{' has been read; onRef(header) takes a reference.
    template <class ChildFn, class RefFn>
    bool ParseChildren(int depth, ChildFn onChild, RefFn onRef) {
        Token t;
        for (;;) {
            if (!Next(&t)) return false;
            switch (t.type) {
            case TokenType::Separator: continue;
            case TokenType::CBrace: return true;
            case TokenType::End: return Fail("file ends before a closing brace");
            case TokenType::Name: {
                std::string type = t.text;
                ObjectHeader h;
                if (!CheckDepth(depth + 1) || !ReadObjectHeader(type, &h)) return false;
                if (!onChild(type, h, depth + 1)) return false;
                continue;
            }
            case TokenType::OBrace: {
                ObjectHeader ref;
                if (!Next(&t)) return false;
                if (t.type == TokenType::Name) {
                    ref.hasName = true;
                    ref.name = t.text;
                    if (!Next(&t)) return false;
                }
                if (t.type == TokenType::Guid) {
                    ref.hasGuid = true;
                    memcpy(ref.guid, t.guid, 16);
                    if (!Next(&t)) return false;
                }
                if (t.type != TokenType::CBrace || (!ref.hasName && !ref.hasGuid)) return Fail("malformed reference");
                if (!onRef(ref)) return false;
                continue;
            }
            case TokenType::Integer:
            case TokenType::Float:
            case TokenType::String: return Fail("more data than the object's template holds");
            default: return Fail("unexpected token inside a data object");
            }
        }
    }

    // Skips every nested object and ignores every reference.
    bool SkipChildren(int depth) {
        return ParseChildren(
            depth, [this](const std::string&, const ObjectHeader&, int d) { return SkipBody(d); },
            [](const ObjectHeader&) { return true; });
    }

    // ---- templates ----

    bool ParseFile() {
        Token t;
        for (;;) {
            if (!Next(&t)) return false;
            switch (t.type) {
            case TokenType::End: return true;
            case TokenType::Separator: continue;
            case TokenType::Template:
                if (!SkipTemplate()) return false;
                continue;
            case TokenType::Name: {
                std::string type = t.text;
                ObjectHeader h;
                if (!ReadObjectHeader(type, &h) || !ParseFrameChild(type, h, 1)) return false;
                continue;
            }
            default: return Fail("expected a data object or a template");
            }
        }
    }

    // What may stand at the top level or inside a Frame.
    bool ParseFrameChild(const std::string& type, const ObjectHeader& h, int depth) {
        if (type == "Mesh") return ParseMesh(depth);
        if (type == "Frame") return ParseFrame(depth);
        if (type == "Material") {
            Material m;
            return ParseMaterial(h, depth, &m);
        }
        return SkipBody(depth);
    }

    bool ParseFrame(int depth) {
        size_t firstMesh = meshes_.size();
        float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        bool hasMatrix = false;
        bool ok = ParseChildren(
            depth,
            [&](const std::string& type, const ObjectHeader& h, int d) {
                if (type == "FrameTransformMatrix") {
                    float m[16];
                    if (!ReadFloats(m, 16, "a frame matrix element") || !SkipChildren(d)) return false;
                    if (!hasMatrix) memcpy(matrix, m, sizeof m);  // the first one counts
                    hasMatrix = true;
                    return true;
                }
                return ParseFrameChild(type, h, d);
            },
            [](const ObjectHeader&) { return true; });
        if (!ok) return false;
        if (hasMatrix) {
            for (size_t i = firstMesh; i < meshes_.size(); ++i) Transform(&meshes_[i], matrix);
        }
        return true;
    }

    // v' = v × M (row vector, w divided out as for D3DXVec3TransformCoord);
    // normals by the upper 3x3, renormalised.
    static void Transform(BuiltMesh* mesh, const float* m) {
        for (Vertex& v : mesh->vertices) {
            float x = v.position[0], y = v.position[1], z = v.position[2];
            float px = x * m[0] + y * m[4] + z * m[8] + m[12];
            float py = x * m[1] + y * m[5] + z * m[9] + m[13];
            float pz = x * m[2] + y * m[6] + z * m[10] + m[14];
            float pw = x * m[3] + y * m[7] + z * m[11] + m[15];
            if (pw != 0.0f && pw != 1.0f) {
                px /= pw;
                py /= pw;
                pz /= pw;
            }
            v.position[0] = px;
            v.position[1] = py;
            v.position[2] = pz;
            if (mesh->hasNormals) {
                x = v.normal[0];
                y = v.normal[1];
                z = v.normal[2];
                float nx = x * m[0] + y * m[4] + z * m[8];
                float ny = x * m[1] + y * m[5] + z * m[9];
                float nz = x * m[2] + y * m[6] + z * m[10];
                float len = sqrtf(nx * nx + ny * ny + nz * nz);
                if (len > 0.0f) {
                    nx /= len;
                    ny /= len;
                    nz /= len;
                }
                v.normal[0] = nx;
                v.normal[1] = ny;
                v.normal[2] = nz;
            }
        }
    }

    bool ParseMaterial(const ObjectHeader& h, int depth, Material* m) {
        if (!ReadFloats(m->diffuse, 4, "a material face colour") || !ReadFloat(&m->power, "a material power") ||
            !ReadFloats(m->specular, 3, "a material specular colour") ||
            !ReadFloats(m->emissive, 3, "a material emissive colour")) {
            return false;
        }
        bool ok = ParseChildren(
            depth,
            [&](const std::string& type, const ObjectHeader&, int d) {
                if (type != "TextureFilename") return SkipBody(d);
                std::string name;
                if (!ReadString(&name, "a texture file name") || !SkipChildren(d)) return false;
                // The first texture counts; an empty name means none.
                if (!m->hasTexture && !name.empty()) {
                    m->hasTexture = true;
                    m->textureFilename = name;
                }
                return true;
            },
            [](const ObjectHeader&) { return true; });
        if (!ok) return false;
        if (h.hasName || h.hasGuid) {
            if (named_.size() >= kMaxMaterials) return Fail("too many named materials");
            named_.push_back(*m);
            if (h.hasName) byName_[h.name] = named_.size() - 1;
            if (h.hasGuid) byGuid_[GuidKey(h.guid)] = named_.size() - 1;
        }
        return true;
    }

    static std::string GuidKey(const uint8_t* guid) { return std::string((const char*)guid, 16); }

    // The most recent named material the reference names (by name, else by GUID).
    const Material* FindMaterial(const ObjectHeader& ref) const {
        const std::map<std::string, size_t>& index = ref.hasName ? byName_ : byGuid_;
        auto found = index.find(ref.hasName ? ref.name : GuidKey(ref.guid));
        return found == index.end() ? nullptr : &named_[found->second];
    }

    bool ParseMesh(int depth) {
        RawMesh raw;
        uint32_t nv;
        if (!ReadUInt(&nv, "the vertex count")) return false;
        if ((uint64_t)inputVertices_ + nv > kMaxVertices) {
            return Fail("the file has more than " + std::to_string(kMaxVertices) + " vertices");
        }
        if (!CheckCount(nv, 3, "vertex")) return false;
        raw.vertexCount = nv;
        raw.positions.resize((size_t)nv * 3);
        if (!ReadFloats(raw.positions.data(), raw.positions.size(), "a vertex coordinate")) return false;

        uint32_t nf;
        if (!ReadUInt(&nf, "the face count") || !CheckCount(nf, 1, "face")) return false;
        raw.faceStart.reserve((size_t)nf + 1);
        for (uint32_t f = 0; f < nf; ++f) {
            raw.faceStart.push_back((uint32_t)raw.corners.size());
            uint32_t n;
            if (!ReadUInt(&n, "a face corner count") || !CheckCount(n, 1, "face corner")) return false;
            for (uint32_t c = 0; c < n; ++c) {
                uint32_t index;
                if (!ReadUInt(&index, "a face vertex index")) return false;
                if (index >= nv) {
                    return Fail("face " + std::to_string(f) + " uses vertex " + std::to_string(index) +
                                " of a mesh with " + std::to_string(nv) + " vertices");
                }
                raw.corners.push_back(index);
            }
            if (n >= 3) raw.triangleCount += n - 2;
            if (triangles_ + raw.triangleCount > kMaxTriangles) {
                return Fail("the file has more than " + std::to_string(kMaxTriangles) + " triangles");
            }
        }
        raw.faceStart.push_back((uint32_t)raw.corners.size());

        bool ok = ParseChildren(
            depth,
            [&](const std::string& type, const ObjectHeader&, int d) {
                if (type == "MeshNormals") return ParseNormals(&raw, d);
                if (type == "MeshTextureCoords") return ParseTexcoords(&raw, d);
                if (type == "MeshVertexColors") return ParseVertexColors(&raw, d);
                if (type == "MeshMaterialList") return ParseMaterialList(&raw, d);
                return SkipBody(d);
            },
            [](const ObjectHeader&) { return true; });
        if (!ok) return false;
        inputVertices_ += nv;
        triangles_ += raw.triangleCount;
        return Build(raw);
    }

    bool ParseNormals(RawMesh* raw, int depth) {
        uint32_t nn;
        if (!ReadUInt(&nn, "the normal count") || !CheckCount(nn, 3, "normal")) return false;
        std::vector<float> normals((size_t)nn * 3);
        if (!ReadFloats(normals.data(), normals.size(), "a normal coordinate")) return false;
        uint32_t nf;
        if (!ReadUInt(&nf, "the normal face count")) return false;
        uint32_t meshFaces = (uint32_t)raw->faceStart.size() - 1;
        if (nf != meshFaces) {
            return Fail("MeshNormals has " + std::to_string(nf) + " faces, its mesh " + std::to_string(meshFaces));
        }
        std::vector<uint32_t> normalCorners;
        normalCorners.reserve(raw->corners.size());
        for (uint32_t f = 0; f < nf; ++f) {
            uint32_t n;
            if (!ReadUInt(&n, "a normal face corner count")) return false;
            if (n != raw->faceStart[f + 1] - raw->faceStart[f]) {
                return Fail("MeshNormals face " + std::to_string(f) +
                            " has a different corner count from its mesh face");
            }
            for (uint32_t c = 0; c < n; ++c) {
                uint32_t index;
                if (!ReadUInt(&index, "a normal index")) return false;
                if (index >= nn) {
                    return Fail("normal face " + std::to_string(f) + " uses normal " + std::to_string(index) + " of " +
                                std::to_string(nn));
                }
                normalCorners.push_back(index);
            }
        }
        if (!SkipChildren(depth)) return false;
        raw->hasNormals = true;
        raw->normals.swap(normals);
        raw->normalCorners.swap(normalCorners);
        return true;
    }

    bool ParseTexcoords(RawMesh* raw, int depth) {
        uint32_t n;
        if (!ReadUInt(&n, "the texture coordinate count")) return false;
        if (n != raw->vertexCount) {
            return Fail("MeshTextureCoords has " + std::to_string(n) + " coordinates for " +
                        std::to_string(raw->vertexCount) + " vertices");
        }
        std::vector<float> uv((size_t)n * 2);
        if (!ReadFloats(uv.data(), uv.size(), "a texture coordinate") || !SkipChildren(depth)) return false;
        raw->hasTexcoords = true;
        raw->texcoords.swap(uv);
        return true;
    }

    bool ParseVertexColors(RawMesh* raw, int depth) {
        uint32_t n;
        if (!ReadUInt(&n, "the vertex colour count") || !CheckCount(n, 5, "vertex colour")) return false;
        std::vector<uint32_t> colors(raw->vertexCount, kWhite);
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t index;
            float rgba[4];
            if (!ReadUInt(&index, "a vertex colour index")) return false;
            if (index >= raw->vertexCount) {
                return Fail("vertex colour for vertex " + std::to_string(index) + " of " +
                            std::to_string(raw->vertexCount));
            }
            if (!ReadFloats(rgba, 4, "a vertex colour component")) return false;
            colors[index] = ColorFromFloats(rgba[0], rgba[1], rgba[2], rgba[3]);
        }
        if (!SkipChildren(depth)) return false;
        raw->hasColors = true;
        raw->colors.swap(colors);
        return true;
    }

    bool ParseMaterialList(RawMesh* raw, int depth) {
        uint32_t nMaterials, nIndices;
        if (!ReadUInt(&nMaterials, "the material count")) return false;
        if (nMaterials > kMaxMaterials) return Fail("more than " + std::to_string(kMaxMaterials) + " materials");
        if (!ReadUInt(&nIndices, "the face material count") || !CheckCount(nIndices, 1, "face material")) {
            return false;
        }
        uint32_t nf = (uint32_t)raw->faceStart.size() - 1;
        std::vector<uint32_t> faceMaterials;
        faceMaterials.reserve(nf);
        for (uint32_t i = 0; i < nIndices; ++i) {
            uint32_t index;
            if (!ReadUInt(&index, "a face material index")) return false;
            if (index >= nMaterials) {
                return Fail("face " + std::to_string(i) + " uses material " + std::to_string(index) + " of " +
                            std::to_string(nMaterials));
            }
            if (i < nf) faceMaterials.push_back(index);  // more indices than faces: the rest is unused
        }
        // Fewer indices than faces: the last one goes on for the rest.
        uint32_t last = faceMaterials.empty() ? 0 : faceMaterials.back();
        faceMaterials.resize(nf, last);

        std::vector<MaterialSlot> slots;
        bool ok = ParseChildren(
            depth,
            [&](const std::string& type, const ObjectHeader& h, int d) {
                if (type != "Material") return SkipBody(d);
                MaterialSlot slot;
                if (!ParseMaterial(h, d, &slot.material)) return false;
                if (slots.size() < nMaterials) slots.push_back(std::move(slot));
                return true;
            },
            [&](const ObjectHeader& ref) {
                if (slots.size() >= nMaterials) return true;
                MaterialSlot slot;
                if (const Material* m = FindMaterial(ref)) {
                    slot.material = *m;
                } else {
                    slot.pending = true;  // may be defined further on
                    slot.ref = ref;
                    slot.where = reader_.Where();
                }
                slots.push_back(std::move(slot));
                return true;
            });
        if (!ok) return false;
        // Materials the list counts but does not give are plain white.
        slots.resize(nMaterials);
        if (nMaterials == 0) return true;  // nothing to assign: the mesh keeps the default material
        raw->hasMaterialList = true;
        raw->faceMaterials.swap(faceMaterials);
        raw->materials.swap(slots);
        return true;
    }

    // ---- building ----

    // Turns a Mesh into triangles. A vertex whose corners carry different
    // normals is split: the first normal stays on the vertex, each other one
    // gets a copy appended after the file's vertices.
    bool Build(RawMesh& raw) {
        BuiltMesh b;
        b.hasNormals = raw.hasNormals;
        b.hasColors = raw.hasColors;
        b.hasTexcoords = raw.hasTexcoords;
        uint32_t nv = raw.vertexCount;
        b.vertices.resize(nv);
        b.pointReps.resize(nv);
        for (uint32_t i = 0; i < nv; ++i) {
            Vertex& v = b.vertices[i];
            memcpy(v.position, &raw.positions[(size_t)i * 3], sizeof v.position);
            memset(v.normal, 0, sizeof v.normal);
            v.color = raw.hasColors ? raw.colors[i] : kWhite;
            v.texcoord[0] = raw.hasTexcoords ? raw.texcoords[(size_t)i * 2] : 0.0f;
            v.texcoord[1] = raw.hasTexcoords ? raw.texcoords[(size_t)i * 2 + 1] : 0.0f;
            b.pointReps[i] = i;
        }

        std::vector<uint32_t> cornerVertex;
        if (raw.hasNormals) {
            cornerVertex.resize(raw.corners.size());
            std::vector<uint8_t> assigned(nv, 0);
            // (vertex, normal bits) -> the vertex carrying that normal
            std::unordered_map<SplitKey, uint32_t, SplitKeyHash> carrier;
            carrier.reserve(std::min(raw.corners.size(), (size_t)nv * 2));
            for (size_t k = 0; k < raw.corners.size(); ++k) {
                uint32_t p = raw.corners[k];
                const float* n = &raw.normals[(size_t)raw.normalCorners[k] * 3];
                SplitKey key;
                key.vertex = p;
                memcpy(key.normal, n, sizeof key.normal);
                auto found = carrier.find(key);
                uint32_t v;
                if (found != carrier.end()) {
                    v = found->second;
                } else if (!assigned[p]) {
                    memcpy(b.vertices[p].normal, n, sizeof(float) * 3);
                    assigned[p] = 1;
                    v = p;
                    carrier.emplace(key, v);
                } else {
                    if (outputVertices_ + b.vertices.size() >= kMaxVertices) {
                        return Fail("splitting vertices by normal makes more than " + std::to_string(kMaxVertices) +
                                    " vertices");
                    }
                    v = (uint32_t)b.vertices.size();
                    Vertex copy = b.vertices[p];
                    memcpy(copy.normal, n, sizeof(float) * 3);
                    b.vertices.push_back(copy);
                    b.pointReps.push_back(p);
                    carrier.emplace(key, v);
                }
                cornerVertex[k] = v;
            }
        }
        const std::vector<uint32_t>& corner = raw.hasNormals ? cornerVertex : raw.corners;

        // Polygons are fanned from their first corner, keeping the file's winding.
        size_t nf = raw.faceStart.size() - 1;
        b.triangles.reserve((size_t)raw.triangleCount * 3);
        b.triMaterials.reserve((size_t)raw.triangleCount);
        for (size_t f = 0; f < nf; ++f) {
            uint32_t first = raw.faceStart[f], count = raw.faceStart[f + 1] - first;
            uint32_t material = raw.hasMaterialList ? raw.faceMaterials[f] : 0;
            for (uint32_t i = 1; i + 1 < count; ++i) {
                b.triangles.push_back(corner[first]);
                b.triangles.push_back(corner[first + i]);
                b.triangles.push_back(corner[first + i + 1]);
                b.triMaterials.push_back(material);
            }
        }
        if (raw.hasMaterialList) b.materials.swap(raw.materials);
        outputVertices_ += b.vertices.size();
        meshes_.push_back(std::move(b));
        return true;
    }

    bool ResolveReferences() {
        for (BuiltMesh& b : meshes_) {
            for (MaterialSlot& slot : b.materials) {
                if (!slot.pending) continue;
                const Material* m = FindMaterial(slot.ref);
                if (!m) {
                    error_ = slot.where + ": reference to material '" + (slot.ref.hasName ? slot.ref.name : "<guid>") +
                             "', which the file does not define";
                    return false;
                }
                slot.material = *m;
                slot.pending = false;
            }
        }
        return true;
    }

    // Merges every mesh with faces into `out`, faces sorted by material
    // (stable, so each material keeps the file's face order).
    bool Merge(MeshData* out) {
        *out = MeshData();
        size_t vertexTotal = 0, triangleTotal = 0, materialTotal = 0;
        for (const BuiltMesh& b : meshes_) {
            if (b.triMaterials.empty()) continue;
            vertexTotal += b.vertices.size();
            triangleTotal += b.triMaterials.size();
            materialTotal += b.materials.empty() ? 1 : b.materials.size();
            out->hasNormals |= b.hasNormals;
            out->hasColors |= b.hasColors;
            out->hasTexcoords |= b.hasTexcoords;
        }
        if (triangleTotal == 0) {
            error_ = "the file holds no mesh with faces";
            return false;
        }
        if (materialTotal > kMaxMaterials) {
            error_ = "the file has more than " + std::to_string(kMaxMaterials) + " materials";
            return false;
        }
        out->vertices.reserve(vertexTotal);
        out->pointReps.reserve(vertexTotal);
        out->materials.reserve(materialTotal);
        std::vector<uint32_t> triangles, triMaterials;
        triangles.reserve(triangleTotal * 3);
        triMaterials.reserve(triangleTotal);
        for (const BuiltMesh& b : meshes_) {
            if (b.triMaterials.empty()) continue;
            uint32_t vertexBase = (uint32_t)out->vertices.size();
            uint32_t materialBase = (uint32_t)out->materials.size();
            out->vertices.insert(out->vertices.end(), b.vertices.begin(), b.vertices.end());
            for (uint32_t rep : b.pointReps) out->pointReps.push_back(rep + vertexBase);
            for (uint32_t index : b.triangles) triangles.push_back(index + vertexBase);
            for (uint32_t m : b.triMaterials) triMaterials.push_back(m + materialBase);
            if (b.materials.empty()) {
                out->materials.push_back(Material());
            } else {
                for (const MaterialSlot& slot : b.materials) out->materials.push_back(slot.material);
            }
        }

        // Counting sort of the triangles by material.
        size_t nm = out->materials.size();
        std::vector<uint32_t> start(nm + 1, 0);
        for (uint32_t m : triMaterials) ++start[m + 1];
        for (size_t m = 0; m < nm; ++m) start[m + 1] += start[m];
        std::vector<uint32_t> fill(start.begin(), start.end() - 1);
        out->indices.resize(triangleTotal * 3);
        out->attributes.resize(triangleTotal);
        for (size_t t = 0; t < triangleTotal; ++t) {
            uint32_t m = triMaterials[t];
            uint32_t slot = fill[m]++;
            memcpy(&out->indices[(size_t)slot * 3], &triangles[t * 3], sizeof(uint32_t) * 3);
            out->attributes[slot] = m;
        }
        for (size_t m = 0; m < nm; ++m) {
            uint32_t faceStart = start[m], faceCount = start[m + 1] - start[m];
            if (faceCount == 0) continue;
            uint32_t lo = kNone, hi = 0;
            for (size_t i = (size_t)faceStart * 3; i < (size_t)(faceStart + faceCount) * 3; ++i) {
                lo = std::min(lo, out->indices[i]);
                hi = std::max(hi, out->indices[i]);
            }
            out->ranges.push_back(AttributeRange{(uint32_t)m, faceStart, faceCount, lo, hi - lo + 1});
        }
        return true;
    }

    TokenReader& reader_;
    Token token_;
    std::string error_;
    std::vector<BuiltMesh> meshes_;
    std::vector<Material> named_;           // every named material, in file order
    std::map<std::string, size_t> byName_;  // name -> latest in named_
    std::map<std::string, size_t> byGuid_;  // GUID bytes -> latest in named_
    uint64_t inputVertices_ = 0;
    uint64_t outputVertices_ = 0;
    uint64_t triangles_ = 0;
};

}  // namespace

Status ParseXFile(const uint8_t* data, size_t size, MeshData* out, std::string* error) {
    std::string localError;
    if (!error) error = &localError;
    error->clear();
    *out = MeshData();
    try {
        if (!data && size > 0) {
            *error = "no data";
            return Status::InvalidData;
        }
        FileHeader header;
        if (!ReadFileHeader(data, size, &header, error)) return Status::InvalidData;
        if (size > kMaxFileBytes) {
            *error = "file is larger than " + std::to_string(kMaxFileBytes) + " bytes";
            return Status::InvalidData;
        }
        const uint8_t* body = data + 16;
        size_t bodySize = size - 16;
        std::vector<uint8_t> inflated;
        if (header.compressed) {
            if (!InflateMsZip(body, bodySize, &inflated, error)) return Status::InvalidData;
            body = inflated.data();
            bodySize = inflated.size();
        }
        std::unique_ptr<TokenReader> reader = header.encoding == Encoding::Text
                                                  ? MakeTextReader(body, bodySize)
                                                  : MakeBinaryReader(body, bodySize, header.floatBits);
        Parser parser(*reader);
        return parser.Run(out, error);
    } catch (const std::bad_alloc&) {
        *out = MeshData();
        *error = "out of memory";
        return Status::OutOfMemory;
    } catch (const std::length_error&) {
        *out = MeshData();
        *error = "out of memory";
        return Status::OutOfMemory;
    }
}

void ComputeAdjacency(const MeshData& mesh, std::vector<uint32_t>* adjacency) {
    size_t nf = mesh.indices.size() / 3;
    adjacency->assign(nf * 3, kNone);
    struct Edge {
        uint32_t a, b, face, edge;
    };
    std::vector<Edge> edges;
    edges.reserve(nf * 3);
    auto rep = [&](uint32_t v) { return v < mesh.pointReps.size() ? mesh.pointReps[v] : v; };
    for (size_t f = 0; f < nf; ++f) {
        for (uint32_t e = 0; e < 3; ++e) {
            uint32_t a = rep(mesh.indices[f * 3 + e]);
            uint32_t b = rep(mesh.indices[f * 3 + (e + 1) % 3]);
            if (a == b) continue;
            edges.push_back(Edge{std::min(a, b), std::max(a, b), (uint32_t)f, e});
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& x, const Edge& y) {
        if (x.a != y.a) return x.a < y.a;
        if (x.b != y.b) return x.b < y.b;
        if (x.face != y.face) return x.face < y.face;
        return x.edge < y.edge;
    });
    // Faces on the same edge are paired in order; an edge shared by more than
    // two faces joins them two by two.
    size_t i = 0;
    while (i < edges.size()) {
        size_t j = i;
        while (j < edges.size() && edges[j].a == edges[i].a && edges[j].b == edges[i].b) ++j;
        size_t k = i;
        while (k + 1 < j) {
            const Edge& x = edges[k];
            const Edge& y = edges[k + 1];
            if (x.face != y.face) {
                (*adjacency)[(size_t)x.face * 3 + x.edge] = y.face;
                (*adjacency)[(size_t)y.face * 3 + y.edge] = x.face;
                k += 2;
            } else {
                k += 1;
            }
        }
        i = j;
    }
}

}  // namespace xfile
