// A CPU-only IDirect3DDevice9 for the D3DX tests: textures are plain memory,
// states are remembered, and every DrawPrimitiveUP is recorded with the
// states and texture in force at that moment. It lets the texture loader and
// the font be checked texel by texel without a GL context.
#pragma once

#include <d3d9.h>

#include <map>
#include <utility>
#include <vector>

namespace fake {

class Texture : public IDirect3DTexture9 {
public:
    // Textures of this kind currently alive, across all devices.
    static int& Live() {
        static int live = 0;
        return live;
    }
    ~Texture() override { --Live(); }
    Texture(UINT w, UINT h, UINT levels, D3DFORMAT fmt, D3DPOOL pool) : format(fmt), pool(pool) {
        ++Live();
        UINT full = 1;
        for (UINT s = (w > h ? w : h); s > 1; s >>= 1) ++full;
        if (levels == 0 || levels > full) levels = full;
        for (UINT i = 0; i < levels; ++i) {
            Level l;
            l.w = w;
            l.h = h;
            l.bits.assign(static_cast<size_t>(w) * h * 4, 0xCD);
            this->levels.push_back(l);
            w = w > 1 ? w / 2 : 1;
            h = h > 1 ? h / 2 : 1;
        }
    }
    struct Level {
        UINT w, h;
        std::vector<unsigned char> bits;  // B, G, R, A
        bool locked = false;
    };
    // 0xAARRGGBB of texel (x, y) of a level.
    DWORD Texel(UINT level, UINT x, UINT y) const {
        const unsigned char* p = &levels[level].bits[(static_cast<size_t>(y) * levels[level].w + x) * 4];
        return (DWORD(p[3]) << 24) | (DWORD(p[2]) << 16) | (DWORD(p[1]) << 8) | p[0];
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG r = --refs;
        if (r == 0) delete this;
        return r;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return E_NOTIMPL; }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return static_cast<DWORD>(levels.size()); }
    void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* d) override {
        if (level >= levels.size() || !d) return D3DERR_INVALIDCALL;
        *d = D3DSURFACE_DESC();
        d->Format = format;
        d->Type = D3DRTYPE_SURFACE;
        d->Pool = pool;
        d->Width = levels[level].w;
        d->Height = levels[level].h;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* lr, CONST RECT*, DWORD) override {
        if (level >= levels.size() || !lr || levels[level].locked) return D3DERR_INVALIDCALL;
        levels[level].locked = true;
        lr->Pitch = static_cast<INT>(levels[level].w * 4);
        lr->pBits = levels[level].bits.data();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override {
        if (level >= levels.size() || !levels[level].locked) return D3DERR_INVALIDCALL;
        levels[level].locked = false;
        return D3D_OK;
    }

    ULONG refs = 1;
    D3DFORMAT format;
    D3DPOOL pool;
    std::vector<Level> levels;
};

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

struct DrawRecord {
    D3DPRIMITIVETYPE type;
    UINT primitives;
    UINT stride;
    DWORD fvf;
    std::vector<Vertex> vertices;  // when fvf is XYZRHW | DIFFUSE | TEX1
    Texture* texture;              // bound at stage 0 (not referenced)
    std::map<DWORD, DWORD> renderStates;
    std::map<std::pair<DWORD, DWORD>, DWORD> stageStates;
    std::map<DWORD, DWORD> samplerStates;
};

class Device : public IDirect3DDevice9 {
public:
    ~Device() override {
        if (boundTexture) boundTexture->Release();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    // The test owns the object; the count only tells who still holds it.
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE Present(CONST RECT*, CONST RECT*, HWND, CONST RGNDATA*) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT w, UINT h, UINT levels, DWORD, D3DFORMAT fmt, D3DPOOL pool,
                                            IDirect3DTexture9** out, HANDLE*) override {
        if (!out || w == 0 || h == 0 || w > maxTextureSize || h > maxTextureSize) return D3DERR_INVALIDCALL;
        Texture* t = new Texture(w, h, levels, fmt, pool);
        created.push_back(t);
        *out = t;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**,
                                                 HANDLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**,
                                                HANDLE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BeginScene() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE EndScene() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE Clear(DWORD, CONST D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE, CONST D3DMATRIX*) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetViewport(CONST D3DVIEWPORT9*) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMaterial(CONST D3DMATERIAL9*) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetLight(DWORD, CONST D3DLIGHT9*) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE GetLight(DWORD, D3DLIGHT9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD, BOOL) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE s, DWORD v) override {
        renderStates[s] = v;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE s, DWORD* v) override {
        *v = renderStates.count(s) ? renderStates[s] : 0;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9** t) override {
        *t = stage == 0 ? boundTexture : NULL;
        if (*t) (*t)->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* t) override {
        if (stage != 0) return D3D_OK;
        if (t) t->AddRef();
        if (boundTexture) boundTexture->Release();
        boundTexture = static_cast<Texture*>(t);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD st, D3DTEXTURESTAGESTATETYPE ty, DWORD* v) override {
        auto k = std::make_pair(st, static_cast<DWORD>(ty));
        *v = stageStates.count(k) ? stageStates[k] : 0;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD st, D3DTEXTURESTAGESTATETYPE ty, DWORD v) override {
        stageStates[std::make_pair(st, static_cast<DWORD>(ty))] = v;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD s, D3DSAMPLERSTATETYPE ty, DWORD* v) override {
        *v = (s == 0 && samplerStates.count(ty)) ? samplerStates[ty] : 0;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD s, D3DSAMPLERSTATETYPE ty, DWORD v) override {
        if (s == 0) samplerStates[ty] = v;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) override {
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, CONST void* data,
                                              UINT stride) override {
        ++drawCount;
        if (!record) return D3D_OK;
        DrawRecord r;
        r.type = type;
        r.primitives = count;
        r.stride = stride;
        r.fvf = fvf;
        UINT n = type == D3DPT_TRIANGLESTRIP ? count + 2 : type == D3DPT_TRIANGLELIST ? count * 3 : 0;
        if (fvf == (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1) && stride == sizeof(Vertex))
            r.vertices.assign(static_cast<const Vertex*>(data), static_cast<const Vertex*>(data) + n);
        r.texture = boundTexture;
        for (auto& kv : renderStates) r.renderStates[kv.first] = kv.second;
        r.stageStates = stageStates;
        for (auto& kv : samplerStates) r.samplerStates[kv.first] = kv.second;
        draws.push_back(r);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, CONST void*, D3DFORMAT,
                                                     CONST void*, UINT) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD f) override {
        fvf = f;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* f) override {
        *f = fvf;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9*) override { return D3D_OK; }

    ULONG refs = 1;
    UINT maxTextureSize = 8192;
    std::map<D3DRENDERSTATETYPE, DWORD> renderStates;
    std::map<std::pair<DWORD, DWORD>, DWORD> stageStates;
    std::map<D3DSAMPLERSTATETYPE, DWORD> samplerStates;
    Texture* boundTexture = NULL;
    DWORD fvf = 0;
    std::vector<Texture*> created;  // every texture made, in order (not referenced)
    std::vector<DrawRecord> draws;
    bool record = true;  // false: draws are only counted (the recording allocates)
    int drawCount = 0;
};

}  // namespace fake
