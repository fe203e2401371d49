// mesh_fake_device.h: a recording IDirect3DDevice9 for the mesh loader
// tests. It keeps created buffers in memory, counts references, and logs the
// state and draw calls a mesh makes; everything else answers E_NOTIMPL.
#pragma once

#include <d3d9.h>

#include <type_traits>
#include <vector>

namespace meshtest {

// A vertex or index buffer held in memory.
template <class Interface>
class FakeBuffer : public Interface {
public:
    FakeBuffer(UINT length, DWORD usage, DWORD fvf, D3DFORMAT format, D3DPOOL pool, int* live)
        : data(length), usage(usage), fvf(fvf), format(format), pool(pool), live_(live) {
        ++*live_;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** out, DWORD) override {
        if (locked || offset > data.size()) return D3DERR_INVALIDCALL;
        locked = true;
        *out = data.data() + offset;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Unlock() override {
        if (!locked) return D3DERR_INVALIDCALL;
        locked = false;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDesc(typename std::conditional<std::is_same<Interface, IDirect3DVertexBuffer9>::value,
                                                                D3DVERTEXBUFFER_DESC, D3DINDEXBUFFER_DESC>::type*) override {
        return E_NOTIMPL;
    }

    std::vector<uint8_t> data;
    DWORD usage;
    DWORD fvf;
    D3DFORMAT format;
    D3DPOOL pool;
    bool locked = false;
    ULONG refs = 1;

private:
    ~FakeBuffer() override { --*live_; }
    int* live_;
};

typedef FakeBuffer<IDirect3DVertexBuffer9> FakeVB;
typedef FakeBuffer<IDirect3DIndexBuffer9> FakeIB;

struct DrawCall {
    D3DPRIMITIVETYPE type;
    INT baseVertex;
    UINT minIndex, numVertices, startIndex, primCount;
    // The state in force when the draw was issued.
    DWORD fvf;
    IDirect3DVertexBuffer9* stream;
    UINT offset, stride;
    IDirect3DIndexBuffer9* indices;
};

class FakeDevice : public IDirect3DDevice9 {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the test's stack

    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                                 IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE*) override {
        if (failVertexBuffers) return D3DERR_OUTOFVIDEOMEMORY;
        FakeVB* vb = new FakeVB(Length, Usage, FVF, D3DFMT_VERTEXDATA, Pool, &liveBuffers);
        vertexBuffers.push_back(vb);
        *ppVertexBuffer = vb;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE*) override {
        if (failIndexBuffers) return D3DERR_OUTOFVIDEOMEMORY;
        FakeIB* ib = new FakeIB(Length, Usage, 0, Format, Pool, &liveBuffers);
        indexBuffers.push_back(ib);
        *ppIndexBuffer = ib;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD FVF) override {
        fvf = FVF;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                              UINT OffsetInBytes, UINT Stride) override {
        if (StreamNumber != 0) return D3DERR_INVALIDCALL;
        stream = pStreamData;
        offset = OffsetInBytes;
        stride = Stride;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* pIndexData) override {
        indices = pIndexData;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                                   UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                                   UINT primCount) override {
        draws.push_back(DrawCall{PrimitiveType, BaseVertexIndex, MinVertexIndex, NumVertices, startIndex, primCount,
                                 fvf, stream, offset, stride, indices});
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override {
        ++otherDraws;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, CONST void*, UINT) override {
        ++otherDraws;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, CONST void*, D3DFORMAT,
                                                     CONST void*, UINT) override {
        ++otherDraws;
        return D3D_OK;
    }

    // Not used by meshes.
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE Present(CONST RECT*, CONST RECT*, HWND, CONST RGNDATA*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**,
                                            HANDLE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE EndScene() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE Clear(DWORD, CONST D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE, CONST D3DMATRIX*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetViewport(CONST D3DVIEWPORT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMaterial(CONST D3DMATERIAL9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD, CONST D3DLIGHT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD, D3DLIGHT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD, IDirect3DBaseTexture9**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD, IDirect3DBaseTexture9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* pFVF) override {
        *pFVF = fvf;
        return D3D_OK;
    }

    ULONG refs = 1;
    int liveBuffers = 0;
    bool failVertexBuffers = false;
    bool failIndexBuffers = false;
    std::vector<FakeVB*> vertexBuffers;  // not owned; valid while live
    std::vector<FakeIB*> indexBuffers;
    DWORD fvf = 0;
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 0, stride = 0;
    IDirect3DIndexBuffer9* indices = nullptr;
    std::vector<DrawCall> draws;
    int otherDraws = 0;
};

}  // namespace meshtest
