// Tests of D3DXLoadMeshFromXA and the mesh and buffer objects it returns,
// on a device of the null back end, which records every draw: what goes
// into the vertex and index buffers,
// the material buffer's layout, what DrawSubset issues, and how failures
// leave the out parameters and the device.
#include <d3dx9.h>
#include <gtest/gtest.h>

#include "d3dx9_testing.h"
#include <d3d9_testing.h>

#include "ci_skip.h"
#include "platform/d3dx9/xfile_parser.h"
#include "test_device.h"
#include "xfile_builder.h"

namespace {

// A device of the null back end that keeps a log of its draws.
struct NullDevice {
    NullDevice() {
        if (!td.Open(64, 64, testsupport::Drawing::kNoPixels)) return;
        device = td.Device();
        D3D9Testing_RecordDraws(device, true);
        live = D3D9Testing_LiveObjectCount();
    }
    // Buffers and textures made through the device since and still alive.
    int LiveResources() const { return (int)D3D9Testing_LiveObjectCount() - (int)live; }
    // The device's references (the test's own is one).
    ULONG Refs() {
        device->AddRef();
        return device->Release();
    }
    std::vector<D3D9TestingDraw> Draws() const { return D3D9Testing_DrawLog(device); }

    testsupport::TestDevice td;
    IDirect3DDevice9* device = nullptr;
    unsigned live = 0;
};

#define REQUIRE_DEVICE(d)                                                                                              \
    if (!(d).device) SKIP_OR_FAIL_IN_CI() << (d).td.Why()

// A buffer's description and its bytes, read through a read-only lock.
template <class Buffer, class Desc>
std::vector<uint8_t> BytesOf(Buffer* buffer, Desc* desc) {
    std::vector<uint8_t> out;
    void* p = nullptr;
    if (FAILED(buffer->GetDesc(desc)) || FAILED(buffer->Lock(0, 0, &p, D3DLOCK_READONLY))) return out;
    out.assign(static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + desc->Size);
    buffer->Unlock();
    return out;
}

struct MeshBuffers {
    explicit MeshBuffers(LPD3DXMESH mesh) {
        if (mesh) {
            mesh->GetVertexBuffer(&vb);
            mesh->GetIndexBuffer(&ib);
        }
        if (vb) vertices = BytesOf(vb, &vbDesc);
        if (ib) indices = BytesOf(ib, &ibDesc);
    }
    ~MeshBuffers() {
        if (vb) vb->Release();
        if (ib) ib->Release();
    }
    IDirect3DVertexBuffer9* vb = nullptr;
    IDirect3DIndexBuffer9* ib = nullptr;
    D3DVERTEXBUFFER_DESC vbDesc = {};
    D3DINDEXBUFFER_DESC ibDesc = {};
    std::vector<uint8_t> vertices, indices;
};

// Three materials: the first by reference and textured, the second without
// faces, the third on a quad and a triangle. Normals, texture coordinates
// and vertex colours.
const char* kModel = R"(xof 0303txt 0032
Material Shell {
  0.8;0.6;0.4;1.0;;
  12.0;
  0.3;0.3;0.3;;
  0.1;0.0;0.0;;
  TextureFilename { "asset/texture/shell.png"; }
}
Mesh {
  5;
  0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 2;0;0;;
  3;
  4;0,1,2,3;,
  3;1,4,2;,
  3;0,2,3;;
  MeshNormals { 1; 0;0;-1;; 3; 4;0,0,0,0;, 3;0,0,0;, 3;0,0,0;; }
  MeshTextureCoords { 5; 0;0;, 1;0;, 1;1;, 0;1;, 0.5;0.5;; }
  MeshVertexColors { 1; 4;1;0;0;1;;; }
  MeshMaterialList {
    3; 3; 2, 0, 2;;
    { Shell }
    Material { 0;0;1;1;; 0; 0;0;0;; 0;0;0;; }
    Material { 1;1;1;0.5;; 2; 1;1;1;; 0;0;0;; }
  }
}
)";

xfile::MeshData ParseModel(const std::string& text) {
    xfile::MeshData m;
    std::string error;
    EXPECT_EQ(xfile::Status::Ok, xfile::ParseXFile((const uint8_t*)text.data(), text.size(), &m, &error)) << error;
    return m;
}

struct Loaded {
    HRESULT hr = E_FAIL;
    LPD3DXMESH mesh = nullptr;
    LPD3DXBUFFER materials = nullptr;
    LPD3DXBUFFER adjacency = nullptr;
    LPD3DXBUFFER effects = nullptr;
    DWORD numMaterials = 0;

    ~Loaded() {
        if (mesh) mesh->Release();
        if (materials) materials->Release();
        if (adjacency) adjacency->Release();
        if (effects) effects->Release();
    }
};

void Load(const std::string& path, DWORD options, IDirect3DDevice9* device, Loaded* out, bool adjacency = false) {
    out->hr = D3DXLoadMeshFromXA(path.c_str(), options, device, adjacency ? &out->adjacency : nullptr, &out->materials,
                                 &out->effects, &out->numMaterials, &out->mesh);
}

// Each test: a temporary folder holding the model file, and a device.
class MeshLoader : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.Write("model.x", kModel);
        REQUIRE_DEVICE(device);
    }
    xtest::TempDir dir;
    std::string path;
    NullDevice device;
};

TEST_F(MeshLoader, FillsBuffersInTheLayoutItsFvfNames) {
    xfile::MeshData expected = ParseModel(kModel);
    {
        Loaded l;
        Load(path, D3DXMESH_MANAGED, device.device, &l);
        ASSERT_EQ(D3D_OK, l.hr);
        ASSERT_NE(nullptr, l.mesh);
        EXPECT_EQ((DWORD)(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1), l.mesh->GetFVF());
        EXPECT_EQ(36u, l.mesh->GetNumBytesPerVertex());
        EXPECT_EQ(expected.vertices.size(), l.mesh->GetNumVertices());
        EXPECT_EQ(4u, l.mesh->GetNumFaces());
        EXPECT_EQ((DWORD)D3DXMESH_MANAGED, l.mesh->GetOptions());

        EXPECT_EQ(2, device.LiveResources()) << "one vertex and one index buffer";
        MeshBuffers b(l.mesh);
        ASSERT_NE(nullptr, b.vb);
        ASSERT_NE(nullptr, b.ib);
        EXPECT_EQ(D3DPOOL_MANAGED, b.vbDesc.Pool);
        EXPECT_EQ(D3DPOOL_MANAGED, b.ibDesc.Pool);
        EXPECT_EQ(l.mesh->GetFVF(), b.vbDesc.FVF);
        EXPECT_EQ(D3DFMT_INDEX16, b.ibDesc.Format);
        ASSERT_EQ(expected.vertices.size() * 36, b.vertices.size());
        ASSERT_EQ(4u * 3 * 2, b.indices.size());
        EXPECT_EQ(D3DERR_INVALIDCALL, b.vb->Unlock()) << "the loader left the vertex buffer locked";
        EXPECT_EQ(D3DERR_INVALIDCALL, b.ib->Unlock()) << "the loader left the index buffer locked";

        // Position, normal, diffuse, texture coordinate, in that order.
        for (size_t i = 0; i < expected.vertices.size(); ++i) {
            const xfile::Vertex& v = expected.vertices[i];
            const uint8_t* p = &b.vertices[i * 36];
            EXPECT_EQ(0, memcmp(p, v.position, 12)) << i;
            EXPECT_EQ(0, memcmp(p + 12, v.normal, 12)) << i;
            EXPECT_EQ(0, memcmp(p + 24, &v.color, 4)) << i;
            EXPECT_EQ(0, memcmp(p + 28, v.texcoord, 8)) << i;
        }
        uint32_t red;
        memcpy(&red, &b.vertices[4 * 36 + 24], 4);
        EXPECT_EQ(0xFFFF0000u, red);  // the vertex colour of vertex 4
        for (size_t i = 0; i < expected.indices.size(); ++i) {
            uint16_t index;
            memcpy(&index, &b.indices[i * 2], 2);
            EXPECT_EQ(expected.indices[i], index) << i;
        }

        // The mesh's own lock hands out the buffers' bytes.
        void* bytes = nullptr;
        void* direct = nullptr;
        ASSERT_EQ(D3D_OK, l.mesh->LockVertexBuffer(D3DLOCK_READONLY, &bytes));
        ASSERT_EQ(D3D_OK, b.vb->Lock(0, 0, &direct, D3DLOCK_READONLY));
        EXPECT_EQ(direct, bytes);
        b.vb->Unlock();
        EXPECT_EQ(D3D_OK, l.mesh->UnlockVertexBuffer());
        ASSERT_EQ(D3D_OK, l.mesh->LockIndexBuffer(0, &bytes));
        ASSERT_EQ(D3D_OK, b.ib->Lock(0, 0, &direct, D3DLOCK_READONLY));
        EXPECT_EQ(direct, bytes);
        b.ib->Unlock();
        EXPECT_EQ(D3D_OK, l.mesh->UnlockIndexBuffer());
        DWORD* attributes = nullptr;
        ASSERT_EQ(D3D_OK, l.mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes));
        EXPECT_EQ(expected.attributes, std::vector<uint32_t>(attributes, attributes + 4));
        EXPECT_EQ(D3D_OK, l.mesh->UnlockAttributeBuffer());
    }
    // Releasing the mesh releases both buffers and the device reference.
    EXPECT_EQ(0, device.LiveResources());
    EXPECT_EQ(1u, device.Refs());
}

TEST_F(MeshLoader, MaterialBufferAsD3dxLaysItOut) {
    Loaded l;
    Load(path, D3DXMESH_MANAGED, device.device, &l);
    ASSERT_EQ(D3D_OK, l.hr);
    ASSERT_EQ(3u, l.numMaterials);
    ASSERT_NE(nullptr, l.materials);
    EXPECT_EQ(nullptr, l.effects);
    const uint8_t* base = static_cast<const uint8_t*>(l.materials->GetBufferPointer());
    DWORD size = l.materials->GetBufferSize();
    ASSERT_GE(size, 3 * sizeof(D3DXMATERIAL));
    const D3DXMATERIAL* m = static_cast<const D3DXMATERIAL*>(l.materials->GetBufferPointer());

    const D3DMATERIAL9& shell = m[0].MatD3D;
    EXPECT_FLOAT_EQ(0.8f, shell.Diffuse.r);
    EXPECT_FLOAT_EQ(0.6f, shell.Diffuse.g);
    EXPECT_FLOAT_EQ(0.4f, shell.Diffuse.b);
    EXPECT_FLOAT_EQ(1.0f, shell.Diffuse.a);
    EXPECT_FLOAT_EQ(12.0f, shell.Power);
    EXPECT_FLOAT_EQ(0.3f, shell.Specular.g);
    EXPECT_FLOAT_EQ(0.1f, shell.Emissive.r);
    EXPECT_FLOAT_EQ(0.0f, shell.Emissive.g);
    EXPECT_EQ(0.0f, shell.Ambient.r);
    EXPECT_EQ(0.0f, shell.Ambient.a);
    // The name lives inside the buffer itself, terminated.
    ASSERT_NE(nullptr, m[0].pTextureFilename);
    const uint8_t* name = reinterpret_cast<const uint8_t*>(m[0].pTextureFilename);
    EXPECT_GE(name, base + 3 * sizeof(D3DXMATERIAL));
    EXPECT_LE(name + strlen(m[0].pTextureFilename) + 1, base + size);
    EXPECT_STREQ("asset/texture/shell.png", m[0].pTextureFilename);

    EXPECT_EQ(nullptr, m[1].pTextureFilename);
    EXPECT_FLOAT_EQ(1.0f, m[1].MatD3D.Diffuse.b);
    EXPECT_EQ(nullptr, m[2].pTextureFilename);
    EXPECT_FLOAT_EQ(0.5f, m[2].MatD3D.Diffuse.a);
    EXPECT_FLOAT_EQ(2.0f, m[2].MatD3D.Power);
}

TEST_F(MeshLoader, DrawSubsetIssuesOneDrawOfItsRange) {
    xfile::MeshData expected = ParseModel(kModel);
    Loaded l;
    Load(path, D3DXMESH_MANAGED, device.device, &l);
    ASSERT_EQ(D3D_OK, l.hr);

    DWORD count = 0;
    ASSERT_EQ(D3D_OK, l.mesh->GetAttributeTable(nullptr, &count));
    ASSERT_EQ(expected.ranges.size(), count);
    std::vector<D3DXATTRIBUTERANGE> table(count);
    ASSERT_EQ(D3D_OK, l.mesh->GetAttributeTable(table.data(), &count));

    // Material 1 has no faces: DrawSubset succeeds and draws nothing.
    EXPECT_EQ(D3D_OK, l.mesh->DrawSubset(1));
    EXPECT_TRUE(device.Draws().empty());
    EXPECT_EQ(D3D_OK, l.mesh->DrawSubset(17));
    EXPECT_TRUE(device.Draws().empty());

    MeshBuffers b(l.mesh);
    for (DWORD id : {0u, 2u}) {
        size_t before = device.Draws().size();
        EXPECT_EQ(D3D_OK, l.mesh->DrawSubset(id));
        const std::vector<D3D9TestingDraw> draws = device.Draws();
        ASSERT_EQ(before + 1, draws.size()) << "subset " << id;
        const D3D9TestingDraw& d = draws.back();
        const D3DXATTRIBUTERANGE* r = nullptr;
        for (const D3DXATTRIBUTERANGE& e : table)
            if (e.AttribId == id) r = &e;
        ASSERT_NE(nullptr, r);
        EXPECT_EQ((DWORD)D3DPT_TRIANGLELIST, d.primitiveType);
        EXPECT_TRUE(d.indexed);
        EXPECT_EQ(0, d.baseVertex);
        EXPECT_EQ(r->VertexStart, d.minIndex);
        EXPECT_EQ(r->VertexCount, d.numVertices);
        EXPECT_EQ(r->FaceStart * 3, d.startIndex);
        EXPECT_EQ(r->FaceCount, d.primitiveCount);
        EXPECT_EQ(l.mesh->GetFVF(), d.fvf);
        EXPECT_EQ(b.vb, d.stream);
        EXPECT_EQ(0u, d.streamOffset);
        EXPECT_EQ(36u, d.stride);
        EXPECT_EQ(b.ib, d.indices);
    }
    // Material 0 owns one triangle, material 2 three (a quad and a triangle),
    // and those two indexed draws are all the mesh issued.
    const std::vector<D3D9TestingDraw> draws = device.Draws();
    ASSERT_EQ(2u, draws.size());
    EXPECT_EQ(1u, draws[0].primitiveCount);
    EXPECT_EQ(3u, draws[1].primitiveCount);
}

TEST_F(MeshLoader, AdjacencyAndOptionalOutParameters) {
    // Faces in subset order: (1,4,2) of material 0, then the quad's halves
    // (0,1,2) and (0,2,3), then the triangle (0,2,3) of material 2. Per face,
    // the neighbours across its edges v0-v1, v1-v2, v2-v0. Edge 0-2 has three
    // faces: the first two, faces 1 and 2, pair up and face 3 gets none there.
    const uint32_t none = 0xFFFFFFFF;
    const std::vector<uint32_t> adjacency = {none, none, 1, none, 0, 2, 1, 3, 3, none, 2, 2};
    {
        Loaded l;
        Load(path, D3DXMESH_MANAGED, device.device, &l, true);
        ASSERT_EQ(D3D_OK, l.hr);
        ASSERT_NE(nullptr, l.adjacency);
        ASSERT_EQ(3u * 4 * sizeof(DWORD), l.adjacency->GetBufferSize());
        const DWORD* a = static_cast<const DWORD*>(l.adjacency->GetBufferPointer());
        EXPECT_EQ(adjacency, std::vector<uint32_t>(a, a + 12));
    }
    // Everything but the file, the device and the mesh may be left out.
    LPD3DXMESH mesh = nullptr;
    ASSERT_EQ(D3D_OK, D3DXLoadMeshFromXA(path.c_str(), 0, device.device, nullptr, nullptr, nullptr, nullptr, &mesh));
    ASSERT_NE(nullptr, mesh);
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(D3D_OK, mesh->GetVertexBuffer(&vb));
    ASSERT_NE(nullptr, vb);
    // The mesh's buffer outlives the mesh while the caller holds it.
    EXPECT_EQ(0u, mesh->Release());
    EXPECT_EQ(1, device.LiveResources());
    vb->Release();
    EXPECT_EQ(0, device.LiveResources());
    EXPECT_EQ(1u, device.Refs());
}

TEST_F(MeshLoader, ThirtyTwoBitIndices) {
    {
        Loaded l;
        Load(dir.Write("model.x", kModel), D3DXMESH_MANAGED | D3DXMESH_32BIT, device.device, &l);
        ASSERT_EQ(D3D_OK, l.hr);
        MeshBuffers b(l.mesh);
        EXPECT_EQ(D3DFMT_INDEX32, b.ibDesc.Format);
        ASSERT_EQ(4u * 3 * 4, b.indices.size());
        xfile::MeshData expected = ParseModel(kModel);
        EXPECT_EQ(0, memcmp(b.indices.data(), expected.indices.data(), 12 * 4));
    }
    {
        // More vertices than 16-bit indices reach: 32-bit ones, and the
        // options say so.
        const uint32_t n = 70000;
        xtest::BinaryWriter w;
        std::vector<double> coords((size_t)n * 3);
        for (uint32_t i = 0; i < n; ++i) coords[(size_t)i * 3] = i;
        w.Open("Mesh").Ints({n}).Floats(coords).Ints({2, 3, 0, 1, 2, 3, n - 3, n - 2, n - 1}).Close();
        Loaded l;
        Load(dir.Write("big.x", w.bytes), D3DXMESH_MANAGED, device.device, &l);
        ASSERT_EQ(D3D_OK, l.hr);
        EXPECT_EQ(n, l.mesh->GetNumVertices());
        EXPECT_EQ((DWORD)(D3DXMESH_MANAGED | D3DXMESH_32BIT), l.mesh->GetOptions());
        MeshBuffers b(l.mesh);
        ASSERT_EQ(D3DFMT_INDEX32, b.ibDesc.Format);
        ASSERT_GE(b.indices.size(), 6u * 4);
        uint32_t last;
        memcpy(&last, &b.indices[5 * 4], 4);
        EXPECT_EQ(n - 1, last);
        EXPECT_EQ((DWORD)D3DFVF_XYZ, l.mesh->GetFVF());
        EXPECT_EQ(12u, l.mesh->GetNumBytesPerVertex());
    }
}

TEST_F(MeshLoader, FailuresLeaveEveryOutParameterEmpty) {
    std::string good = dir.Write("good.x", kModel);
    std::string bad = dir.Write("bad.x", std::string("xof 0303txt 0032 Mesh { 3; 0;0;0;; }"));
    IDirect3DDevice9* dev = device.device;

    auto attempt = [&](const char* path, IDirect3DDevice9* dev, bool withMesh) {
        LPD3DXBUFFER adjacency = reinterpret_cast<LPD3DXBUFFER>(1);
        LPD3DXBUFFER materials = reinterpret_cast<LPD3DXBUFFER>(1);
        LPD3DXBUFFER effects = reinterpret_cast<LPD3DXBUFFER>(1);
        DWORD count = 99;
        LPD3DXMESH mesh = reinterpret_cast<LPD3DXMESH>(1);
        HRESULT hr = D3DXLoadMeshFromXA(path, D3DXMESH_MANAGED, dev, &adjacency, &materials, &effects, &count,
                                        withMesh ? &mesh : nullptr);
        EXPECT_TRUE(FAILED(hr));
        EXPECT_EQ(nullptr, adjacency);
        EXPECT_EQ(nullptr, materials);
        EXPECT_EQ(nullptr, effects);
        EXPECT_EQ(0u, count);
        if (withMesh) {
            EXPECT_EQ(nullptr, mesh);
        }
        return hr;
    };
    WinapiTest_ClearMeshLoadMessages();
    testing::internal::CaptureStderr();
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), attempt((dir.path() + "/missing.x").c_str(), dev, true));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), attempt(dir.path().c_str(), dev, true));  // a directory
    EXPECT_EQ(D3DXERR_INVALIDDATA, attempt(bad.c_str(), dev, true));
    EXPECT_EQ(D3DERR_INVALIDCALL, attempt(nullptr, dev, true));
    EXPECT_EQ(D3DERR_INVALIDCALL, attempt(good.c_str(), nullptr, true));
    EXPECT_EQ(D3DERR_INVALIDCALL, attempt(good.c_str(), dev, false));

    // The device refusing a buffer fails the load without leaking anything.
    D3D9Testing_FailCreation(dev, D3DRTYPE_INDEXBUFFER, true);
    EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY, attempt(good.c_str(), dev, true));
    D3D9Testing_FailCreation(dev, D3DRTYPE_INDEXBUFFER, false);
    D3D9Testing_FailCreation(dev, D3DRTYPE_VERTEXBUFFER, true);
    EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY, attempt(good.c_str(), dev, true));
    D3D9Testing_FailCreation(dev, D3DRTYPE_VERTEXBUFFER, false);
    EXPECT_EQ(0, device.LiveResources());
    EXPECT_EQ(1u, device.Refs());

    // Nothing reaches the console; the reasons wait for a test to ask.
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    const std::vector<std::string>& why = WinapiTest_MeshLoadMessages();
    ASSERT_EQ(5u, why.size());
    EXPECT_EQ(0u, why[0].find(dir.path() + "/missing.x: cannot read"));
    EXPECT_EQ(0u, why[2].find(bad + ": "));
    EXPECT_NE(std::string::npos, why[4].find("the device refused the mesh buffers"));
}

TEST_F(MeshLoader, BackslashPathsAndBinaryFiles) {
    xtest::BinaryWriter w;
    w.Open("Mesh").Ints({3}).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).Ints({1, 3, 0, 1, 2});
    w.Open("MeshTextureCoords").Ints({3}).Floats({0, 0, 1, 0, 0, 1}).Close().Close();
    std::string windowsPath = dir.Write("tri.x", w.bytes);
    windowsPath[windowsPath.rfind('/')] = '\\';
    Loaded l;
    Load(windowsPath, D3DXMESH_MANAGED, device.device, &l);
    ASSERT_EQ(D3D_OK, l.hr);
    EXPECT_EQ((DWORD)(D3DFVF_XYZ | D3DFVF_TEX1), l.mesh->GetFVF());
    EXPECT_EQ(20u, l.mesh->GetNumBytesPerVertex());
    // No material list: one opaque white material without a texture.
    ASSERT_EQ(1u, l.numMaterials);
    const D3DXMATERIAL* m = static_cast<const D3DXMATERIAL*>(l.materials->GetBufferPointer());
    EXPECT_EQ(nullptr, m[0].pTextureFilename);
    EXPECT_EQ(1.0f, m[0].MatD3D.Diffuse.r);
    EXPECT_EQ(1.0f, m[0].MatD3D.Diffuse.a);
    float u;
    MeshBuffers b(l.mesh);
    ASSERT_GE(b.vertices.size(), 40u);
    memcpy(&u, &b.vertices[20 + 12], 4);
    EXPECT_EQ(1.0f, u);  // vertex 1's texture coordinate follows its position
}

}  // namespace
