// xfile_parser.h: reads a DirectX X file (text or binary, plain or MSZIP
// compressed, 32- or 64-bit floats) into a plain in-memory triangle mesh.
//
// This is the device-free half of D3DXLoadMeshFromXA: it knows nothing of
// Direct3D, so it can be tested and fuzzed on its own. The D3DX wrapper
// (d3dx9mesh.cpp) uploads the result into vertex and index buffers.
//
// State: none. Every call works on the caller's bytes and fills the caller's
// MeshData; nothing is kept between calls.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace xfile {

// Limits that keep a hostile or broken file from taking the process down.
constexpr size_t kMaxNameLength = 1024;       // names and strings, in bytes
constexpr int kMaxDepth = 64;                 // nesting of data objects and braces
constexpr uint32_t kMaxVertices = 1u << 20;   // vertices, in the file and after splitting
constexpr uint32_t kMaxTriangles = 1u << 21;  // triangles after fanning polygons
constexpr uint32_t kMaxMaterials = 65536;     // materials over all meshes
constexpr size_t kMaxFileBytes = 256u << 20;  // file size, and size after decompression

// One vertex with every component a loaded mesh can carry. Components the
// file does not give are zero (colour: opaque white).
struct Vertex {
    float position[3];
    float normal[3];
    uint32_t color;  // 0xAARRGGBB
    float texcoord[2];
};

// A material as the file describes it.
struct Material {
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};  // faceColor RGBA
    float power = 0.0f;
    float specular[3] = {0.0f, 0.0f, 0.0f};
    float emissive[3] = {0.0f, 0.0f, 0.0f};
    bool hasTexture = false;
    std::string textureFilename;  // exactly as stored; meaningful only if hasTexture
};

// One contiguous run of faces sharing a material, and the span of vertex
// indices those faces use.
struct AttributeRange {
    uint32_t attribId;
    uint32_t faceStart;
    uint32_t faceCount;
    uint32_t vertexStart;
    uint32_t vertexCount;
};

// The whole loaded mesh: every Mesh of the file, with its frames' transforms
// applied, merged into one triangle list sorted by material.
struct MeshData {
    bool hasNormals = false;
    bool hasColors = false;
    bool hasTexcoords = false;
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;       // three per face
    std::vector<uint32_t> attributes;    // material of each face, non-decreasing
    std::vector<AttributeRange> ranges;  // one per material that has faces, in material order
    std::vector<Material> materials;     // at least one
    std::vector<uint32_t> pointReps;     // per vertex: the first vertex at the same file position
};

enum class Status {
    Ok,
    InvalidData,  // not an X file, or broken, truncated or over a limit
    OutOfMemory,
};

// Parses the bytes of a whole X file. On failure `out` is left empty and
// `error` (if given) says what was wrong and where.
Status ParseXFile(const uint8_t* data, size_t size, MeshData* out, std::string* error);

// Face adjacency of a parsed mesh: three entries per face, the face across
// edge (v0,v1), (v1,v2) and (v2,v0), or 0xFFFFFFFF where there is none.
// Edges are matched by point representative, so vertices that were split
// only for their normals still join their faces.
void ComputeAdjacency(const MeshData& mesh, std::vector<uint32_t>* adjacency);

}  // namespace xfile
