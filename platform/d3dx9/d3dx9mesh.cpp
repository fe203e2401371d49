// d3dx9mesh.cpp: D3DXLoadMeshFromXA, ID3DXMesh and ID3DXBuffer over the
// public Direct3D 9 interface.
//
// The X file is read into memory and parsed by xfile_parser (no device
// needed); this file packs the result into a managed vertex buffer and a
// 16- or 32-bit index buffer on the caller's device and wraps them in a mesh.
//
// State and lifetime: at module level only the reasons of the latest failed
// loads, kept for tests (nothing is printed) for the life of the process.
// Each XMesh holds a reference on
// its device and owns its vertex buffer, index buffer, attribute buffer and
// attribute table until its last Release. Each XBuffer owns one block of
// bytes until its last Release.
#include <d3dx9.h>

#include "common/com_object.h"
#include "testing/d3dx9_testing.h"
#include "xfile_parser.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_loadMessages;
const size_t kLoadMessagesKept = 64;

void NoteLoadFailure(LPCSTR file, const std::string& why) {
    if (g_loadMessages.size() >= kLoadMessagesKept) g_loadMessages.erase(g_loadMessages.begin());
    g_loadMessages.push_back(std::string(file) + ": " + why);
}

// A block of bytes handed out through ID3DXBuffer.
class XBuffer : public winapi::ComObject<ID3DXBuffer> {
public:
    // Null if the bytes cannot be had.
    static XBuffer* Create(size_t size) {
        void* data = malloc(size ? size : 1);
        if (!data) return nullptr;
        XBuffer* buffer = new (std::nothrow) XBuffer(data, size);
        if (!buffer) free(data);
        return buffer;
    }

    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return data_; }
    DWORD STDMETHODCALLTYPE GetBufferSize() override { return (DWORD)size_; }

private:
    XBuffer(void* data, size_t size) : data_(data), size_(size) {}
    ~XBuffer() override { free(data_); }

    void* data_;
    size_t size_;
};

DWORD FvfOf(const xfile::MeshData& mesh) {
    DWORD fvf = D3DFVF_XYZ;
    if (mesh.hasNormals) fvf |= D3DFVF_NORMAL;
    if (mesh.hasColors) fvf |= D3DFVF_DIFFUSE;
    if (mesh.hasTexcoords) fvf |= D3DFVF_TEX1;
    return fvf;
}

DWORD StrideOf(DWORD fvf) {
    DWORD stride = 12;
    if (fvf & D3DFVF_NORMAL) stride += 12;
    if (fvf & D3DFVF_DIFFUSE) stride += 4;
    if (fvf & D3DFVF_TEX1) stride += 8;
    return stride;
}

// Writes the vertices in FVF order: position, normal, diffuse, texcoord.
void PackVertices(const xfile::MeshData& mesh, DWORD fvf, uint8_t* out) {
    for (const xfile::Vertex& v : mesh.vertices) {
        memcpy(out, v.position, 12);
        out += 12;
        if (fvf & D3DFVF_NORMAL) {
            memcpy(out, v.normal, 12);
            out += 12;
        }
        if (fvf & D3DFVF_DIFFUSE) {
            memcpy(out, &v.color, 4);
            out += 4;
        }
        if (fvf & D3DFVF_TEX1) {
            memcpy(out, v.texcoord, 8);
            out += 8;
        }
    }
}

class XMesh : public winapi::ComObject<ID3DXMesh> {
public:
    XMesh(IDirect3DDevice9* device, DWORD options, DWORD fvf, DWORD numVertices, DWORD numFaces)
        : device_(device), options_(options), fvf_(fvf), stride_(StrideOf(fvf)), numVertices_(numVertices),
          numFaces_(numFaces) {
        device_->AddRef();
    }

    // Creates the buffers and fills them; a failure leaves the mesh to be released.
    HRESULT Upload(const xfile::MeshData& mesh) {
        attributes_.assign(mesh.attributes.begin(), mesh.attributes.end());
        for (const xfile::AttributeRange& r : mesh.ranges) {
            table_.push_back(D3DXATTRIBUTERANGE{r.attribId, r.faceStart, r.faceCount, r.vertexStart, r.vertexCount});
        }
        bool wide = (options_ & D3DXMESH_32BIT) != 0;
        UINT vbBytes = numVertices_ * stride_;
        UINT ibBytes = numFaces_ * 3 * (wide ? 4 : 2);
        HRESULT hr = device_->CreateVertexBuffer(vbBytes, 0, fvf_, D3DPOOL_MANAGED, &vb_, nullptr);
        if (FAILED(hr)) return hr;
        hr = device_->CreateIndexBuffer(ibBytes, 0, wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib_,
                                        nullptr);
        if (FAILED(hr)) return hr;

        void* data = nullptr;
        hr = vb_->Lock(0, 0, &data, 0);
        if (FAILED(hr)) return hr;
        if (!data) {
            vb_->Unlock();
            return E_FAIL;
        }
        PackVertices(mesh, fvf_, static_cast<uint8_t*>(data));
        vb_->Unlock();

        data = nullptr;
        hr = ib_->Lock(0, 0, &data, 0);
        if (FAILED(hr)) return hr;
        if (!data) {
            ib_->Unlock();
            return E_FAIL;
        }
        if (wide) {
            memcpy(data, mesh.indices.data(), mesh.indices.size() * 4);
        } else {
            uint16_t* out = static_cast<uint16_t*>(data);
            for (size_t i = 0; i < mesh.indices.size(); ++i) out[i] = (uint16_t)mesh.indices[i];
        }
        ib_->Unlock();
        return D3D_OK;
    }

    // Draws the faces of one material; a material without faces draws nothing.
    HRESULT STDMETHODCALLTYPE DrawSubset(DWORD AttribId) override {
        for (const D3DXATTRIBUTERANGE& r : table_) {
            if (r.AttribId != AttribId) continue;
            if (r.FaceCount == 0) return D3D_OK;
            device_->SetFVF(fvf_);
            device_->SetStreamSource(0, vb_, 0, stride_);
            device_->SetIndices(ib_);
            return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, r.VertexStart, r.VertexCount, r.FaceStart * 3,
                                                 r.FaceCount);
        }
        return D3D_OK;
    }

    DWORD STDMETHODCALLTYPE GetNumFaces() override { return numFaces_; }
    DWORD STDMETHODCALLTYPE GetNumVertices() override { return numVertices_; }
    DWORD STDMETHODCALLTYPE GetFVF() override { return fvf_; }
    DWORD STDMETHODCALLTYPE GetNumBytesPerVertex() override { return stride_; }
    DWORD STDMETHODCALLTYPE GetOptions() override { return options_; }

    HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* ppVB) override {
        if (!ppVB) return D3DERR_INVALIDCALL;
        *ppVB = vb_;
        vb_->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* ppIB) override {
        if (!ppIB) return D3DERR_INVALIDCALL;
        *ppIB = ib_;
        ib_->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD Flags, LPVOID* ppData) override {
        if (!ppData) return D3DERR_INVALIDCALL;
        return vb_->Lock(0, 0, ppData, Flags);
    }
    HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() override { return vb_->Unlock(); }
    HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD Flags, LPVOID* ppData) override {
        if (!ppData) return D3DERR_INVALIDCALL;
        return ib_->Lock(0, 0, ppData, Flags);
    }
    HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() override { return ib_->Unlock(); }

    // With a null table, reports only the number of entries.
    HRESULT STDMETHODCALLTYPE GetAttributeTable(D3DXATTRIBUTERANGE* pAttribTable, DWORD* pAttribTableSize) override {
        if (!pAttribTableSize) return D3DERR_INVALIDCALL;
        if (pAttribTable) {
            for (size_t i = 0; i < table_.size(); ++i) pAttribTable[i] = table_[i];
        }
        *pAttribTableSize = (DWORD)table_.size();
        return D3D_OK;
    }

    // The material id of every face, sorted by material as loaded. Changing
    // it does not reorder the faces or change the attribute table.
    HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD Flags, DWORD** ppData) override {
        if (!ppData) return D3DERR_INVALIDCALL;
        *ppData = attributes_.data();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() override { return D3D_OK; }

private:
    ~XMesh() override {
        if (ib_) ib_->Release();
        if (vb_) vb_->Release();
        device_->Release();
    }

    IDirect3DDevice9* device_;
    IDirect3DVertexBuffer9* vb_ = nullptr;
    IDirect3DIndexBuffer9* ib_ = nullptr;
    DWORD options_;
    DWORD fvf_;
    DWORD stride_;
    DWORD numVertices_;
    DWORD numFaces_;
    std::vector<DWORD> attributes_;
    std::vector<D3DXATTRIBUTERANGE> table_;
};

// The materials as D3DX hands them out: D3DXMATERIAL entries followed by the
// texture names they point at, all in one buffer.
XBuffer* MakeMaterialBuffer(const std::vector<xfile::Material>& materials) {
    size_t header = materials.size() * sizeof(D3DXMATERIAL);
    size_t total = header;
    for (const xfile::Material& m : materials)
        if (m.hasTexture) total += m.textureFilename.size() + 1;
    XBuffer* buffer = XBuffer::Create(total);
    if (!buffer) return nullptr;
    uint8_t* base = static_cast<uint8_t*>(buffer->GetBufferPointer());
    D3DXMATERIAL* out = reinterpret_cast<D3DXMATERIAL*>(base);
    char* names = reinterpret_cast<char*>(base + header);
    for (size_t i = 0; i < materials.size(); ++i) {
        const xfile::Material& m = materials[i];
        D3DMATERIAL9& d = out[i].MatD3D;
        memset(&d, 0, sizeof d);
        d.Diffuse = D3DCOLORVALUE{m.diffuse[0], m.diffuse[1], m.diffuse[2], m.diffuse[3]};
        d.Specular = D3DCOLORVALUE{m.specular[0], m.specular[1], m.specular[2], 1.0f};
        d.Emissive = D3DCOLORVALUE{m.emissive[0], m.emissive[1], m.emissive[2], 1.0f};
        d.Power = m.power;
        if (m.hasTexture) {
            memcpy(names, m.textureFilename.c_str(), m.textureFilename.size() + 1);
            out[i].pTextureFilename = names;
            names += m.textureFilename.size() + 1;
        } else {
            out[i].pTextureFilename = nullptr;
        }
    }
    return buffer;
}

// Reads a whole file; a failure HRESULT if it cannot be read.
HRESULT ReadWholeFile(const char* path, std::vector<uint8_t>* data, std::string* error) {
    // Windows takes both separators; ours only '/'.
    std::string native(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    struct stat st;
    if (stat(native.c_str(), &st) != 0) {
        *error = strerror(errno);
        if (errno == EACCES) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        if (errno == ENOENT || errno == ENOTDIR) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        return E_FAIL;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = "not a regular file";
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    if ((uint64_t)st.st_size > xfile::kMaxFileBytes) {
        *error = "file is larger than " + std::to_string(xfile::kMaxFileBytes) + " bytes";
        return D3DXERR_INVALIDDATA;
    }
    FILE* f = fopen(native.c_str(), "rb");
    if (!f) {
        *error = strerror(errno);
        return errno == EACCES ? HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    data->resize((size_t)st.st_size);
    size_t got = data->empty() ? 0 : fread(data->data(), 1, data->size(), f);
    bool readError = ferror(f) != 0;
    fclose(f);
    if (readError || got != data->size()) {
        *error = "read error";
        return E_FAIL;
    }
    return D3D_OK;
}

HRESULT LoadMesh(LPCSTR pFilename, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice, LPD3DXBUFFER* ppAdjacency,
                 LPD3DXBUFFER* ppMaterials, DWORD* pNumMaterials, LPD3DXMESH* ppMesh) {
    std::vector<uint8_t> bytes;
    std::string error;
    HRESULT hr = ReadWholeFile(pFilename, &bytes, &error);
    if (FAILED(hr)) {
        NoteLoadFailure(pFilename, "cannot read: " + error);
        return hr;
    }
    xfile::MeshData mesh;
    xfile::Status status = xfile::ParseXFile(bytes.data(), bytes.size(), &mesh, &error);
    if (status != xfile::Status::Ok) {
        NoteLoadFailure(pFilename, error);
        return status == xfile::Status::OutOfMemory ? E_OUTOFMEMORY : D3DXERR_INVALIDDATA;
    }
    bytes = std::vector<uint8_t>();

    DWORD numVertices = (DWORD)mesh.vertices.size();
    DWORD numFaces = (DWORD)mesh.attributes.size();
    // 16-bit indices reach 65535 vertices; more need 32-bit ones.
    DWORD options = Options;
    if (numVertices > 65535) options |= D3DXMESH_32BIT;

    XMesh* xmesh = new (std::nothrow) XMesh(pD3DDevice, options, FvfOf(mesh), numVertices, numFaces);
    if (!xmesh) return E_OUTOFMEMORY;
    hr = xmesh->Upload(mesh);
    if (FAILED(hr)) {
        char code[16];
        snprintf(code, sizeof code, "0x%08x", (unsigned)hr);
        NoteLoadFailure(pFilename, std::string("the device refused the mesh buffers (") + code + ")");
        xmesh->Release();
        return hr;
    }

    XBuffer* adjacency = nullptr;
    if (ppAdjacency) {
        std::vector<uint32_t> adj;
        xfile::ComputeAdjacency(mesh, &adj);
        adjacency = XBuffer::Create(adj.size() * sizeof(DWORD));
        if (!adjacency) {
            xmesh->Release();
            return E_OUTOFMEMORY;
        }
        memcpy(adjacency->GetBufferPointer(), adj.data(), adj.size() * sizeof(DWORD));
    }
    XBuffer* materials = nullptr;
    if (ppMaterials) {
        materials = MakeMaterialBuffer(mesh.materials);
        if (!materials) {
            if (adjacency) adjacency->Release();
            xmesh->Release();
            return E_OUTOFMEMORY;
        }
    }

    if (ppAdjacency) *ppAdjacency = adjacency;
    if (ppMaterials) *ppMaterials = materials;
    if (pNumMaterials) *pNumMaterials = (DWORD)mesh.materials.size();
    *ppMesh = xmesh;
    return D3D_OK;
}

}  // namespace

extern "C" HRESULT WINAPI D3DXLoadMeshFromXA(LPCSTR pFilename, DWORD Options, LPDIRECT3DDEVICE9 pD3DDevice,
                                             LPD3DXBUFFER* ppAdjacency, LPD3DXBUFFER* ppMaterials,
                                             LPD3DXBUFFER* ppEffectInstances, DWORD* pNumMaterials,
                                             LPD3DXMESH* ppMesh) {
    // Every out parameter starts cleared, so a failure leaves nothing behind.
    if (ppAdjacency) *ppAdjacency = nullptr;
    if (ppMaterials) *ppMaterials = nullptr;
    if (ppEffectInstances) *ppEffectInstances = nullptr;  // effect instances are not read
    if (pNumMaterials) *pNumMaterials = 0;
    if (ppMesh) *ppMesh = nullptr;
    if (!pFilename || !pD3DDevice || !ppMesh) return D3DERR_INVALIDCALL;
    try {
        return LoadMesh(pFilename, Options, pD3DDevice, ppAdjacency, ppMaterials, pNumMaterials, ppMesh);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    }
}

const std::vector<std::string>& WinapiTest_MeshLoadMessages() { return g_loadMessages; }

void WinapiTest_ClearMeshLoadMessages() { g_loadMessages.clear(); }
