// A CPU-only IDirect3DDevice9 for the texture fuzz target (so that it needs
// neither a window nor the Direct3D layer): textures are plain memory,
// states are remembered, and every DrawPrimitiveUP is recorded with the
// states and texture in force at that moment, so the texture loader and the
// font can be checked texel by texel without a GL context.
#pragma once

#include <d3d9.h>

#include <map>
#include <utility>
#include <vector>

namespace fake {

class Texture : public IDirect3DTexture9 {
public:
    struct Level {
        UINT w, h;
        std::vector<unsigned char> bits;  // B, G, R, A; new memory is 0xCD
        bool locked;
    };
    static int& Live() {  // textures alive, across all devices
        static int live = 0;
        return live;
    }
    Texture(UINT w, UINT h, UINT levels, D3DFORMAT fmt) : format(fmt) {
        ++Live();
        for (UINT i = 0; i == 0 || (levels ? i < levels : (w > 1 || h > 1)); ++i) {
            if (i) w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1;
            level.push_back(Level{w, h, std::vector<unsigned char>(size_t(w) * h * 4, 0xCD), false});
        }
    }
    ~Texture() override { --Live(); }
    DWORD Texel(UINT l, UINT x, UINT y) const {  // 0xAARRGGBB
        const unsigned char* p = &level[l].bits[(size_t(y) * level[l].w + x) * 4];
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
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return DWORD(level.size()); }
    void STDMETHODCALLTYPE GenerateMipSubLevels() override {}
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT l, D3DSURFACE_DESC* d) override {
        if (l >= level.size()) return D3DERR_INVALIDCALL;
        *d = D3DSURFACE_DESC();
        d->Format = format;
        d->Pool = D3DPOOL_MANAGED;
        d->Width = level[l].w;
        d->Height = level[l].h;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRect(UINT l, D3DLOCKED_RECT* lr, CONST RECT*, DWORD) override {
        if (l >= level.size() || level[l].locked) return D3DERR_INVALIDCALL;
        level[l].locked = true;
        lr->Pitch = INT(level[l].w * 4);
        lr->pBits = level[l].bits.data();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT l) override {
        if (l >= level.size() || !level[l].locked) return D3DERR_INVALIDCALL;
        level[l].locked = false;
        return D3D_OK;
    }

    ULONG refs = 1;
    D3DFORMAT format;
    std::vector<Level> level;
};

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

struct DrawRecord {
    D3DPRIMITIVETYPE type;
    DWORD fvf;
    std::vector<Vertex> vertices;
    Texture* texture;                             // bound at stage 0 (not referenced)
    std::map<DWORD, DWORD> rs;                    // render states
    std::map<std::pair<DWORD, DWORD>, DWORD> ts;  // (stage, type) -> value
};

class Device : public IDirect3DDevice9 {
public:
    // keep: the device holds a reference on every texture it made, so they
    // stay readable after their user released them.
    explicit Device(bool keep = false) : keep(keep) {}
    ~Device() override {
        if (bound) bound->Release();
        if (keep)
            for (Texture* t : created) t->Release();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // owned by the test
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT w, UINT h, UINT levels, DWORD, D3DFORMAT fmt, D3DPOOL,
                                            IDirect3DTexture9** out, HANDLE*) override {
        if (w == 0 || h == 0 || w > maxSize || h > maxSize) return D3DERR_INVALIDCALL;
        created.push_back(new Texture(w, h, levels, fmt));
        if (keep) created.back()->AddRef();
        *out = created.back();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE s, DWORD v) override { return rs[s] = v, D3D_OK; }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE s, DWORD* v) override { return *v = rs[s], D3D_OK; }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD st, D3DTEXTURESTAGESTATETYPE t, DWORD v) override {
        return ts[{st, DWORD(t)}] = v, D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD st, D3DTEXTURESTAGESTATETYPE t, DWORD* v) override {
        return *v = ts[{st, DWORD(t)}], D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD s, D3DSAMPLERSTATETYPE t, DWORD v) override {
        return ss[{s, DWORD(t)}] = v, D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD s, D3DSAMPLERSTATETYPE t, DWORD* v) override {
        return *v = ss[{s, DWORD(t)}], D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD stage, IDirect3DBaseTexture9** t) override {
        *t = stage == 0 ? bound : NULL;
        if (*t) (*t)->AddRef();
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* t) override {
        if (stage != 0) return D3D_OK;
        if (t) t->AddRef();
        if (bound) bound->Release();
        bound = static_cast<Texture*>(t);
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD f) override { return fvf = f, D3D_OK; }
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* f) override { return *f = fvf, D3D_OK; }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, CONST void* data,
                                              UINT stride) override {
        ++drawCount;
        if (!record) return D3D_OK;  // recording allocates
        DrawRecord r{type, fvf, {}, bound, {}, ts};
        for (auto& kv : rs) r.rs[kv.first] = kv.second;
        if (stride == sizeof(Vertex) && type == D3DPT_TRIANGLESTRIP)
            r.vertices.assign(static_cast<const Vertex*>(data), static_cast<const Vertex*>(data) + count + 2);
        draws.push_back(r);
        return D3D_OK;
    }

    // Not used by D3DX's textures and fonts.
#define FAKE_UNUSED(sig)                                                                                               \
    HRESULT STDMETHODCALLTYPE sig override { return E_NOTIMPL; }
    FAKE_UNUSED(TestCooperativeLevel())
    FAKE_UNUSED(Present(CONST RECT*, CONST RECT*, HWND, CONST RGNDATA*))
    FAKE_UNUSED(CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*))
    FAKE_UNUSED(CreateIndexBuffer(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**, HANDLE*))
    FAKE_UNUSED(BeginScene())
    FAKE_UNUSED(EndScene())
    FAKE_UNUSED(Clear(DWORD, CONST D3DRECT*, DWORD, D3DCOLOR, float, DWORD))
    FAKE_UNUSED(SetTransform(D3DTRANSFORMSTATETYPE, CONST D3DMATRIX*))
    FAKE_UNUSED(GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*))
    FAKE_UNUSED(SetViewport(CONST D3DVIEWPORT9*))
    FAKE_UNUSED(GetViewport(D3DVIEWPORT9*))
    FAKE_UNUSED(SetMaterial(CONST D3DMATERIAL9*))
    FAKE_UNUSED(GetMaterial(D3DMATERIAL9*))
    FAKE_UNUSED(SetLight(DWORD, CONST D3DLIGHT9*))
    FAKE_UNUSED(GetLight(DWORD, D3DLIGHT9*))
    FAKE_UNUSED(LightEnable(DWORD, BOOL))
    FAKE_UNUSED(DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT))
    FAKE_UNUSED(DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT))
    FAKE_UNUSED(DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, CONST void*, D3DFORMAT, CONST void*, UINT))
    FAKE_UNUSED(SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT))
    FAKE_UNUSED(SetIndices(IDirect3DIndexBuffer9*))
#undef FAKE_UNUSED

    ULONG refs = 1;
    bool keep;
    UINT maxSize = 8192;
    std::map<DWORD, DWORD> rs;
    std::map<std::pair<DWORD, DWORD>, DWORD> ts, ss;
    Texture* bound = NULL;
    DWORD fvf = 0;
    std::vector<Texture*> created;  // every texture made, in order (not referenced)
    std::vector<DrawRecord> draws;
    bool record = true;
    int drawCount = 0;
};

}  // namespace fake
