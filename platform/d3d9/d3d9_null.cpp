// The null back end: a device that draws nothing. Every call keeps its
// Direct3D result (the front end checks and stores everything); draws are
// recorded with the state they were made in, Clear and Present succeed, and
// there are no pixels to read back. No GL context or GPU is needed, so tests
// of game logic run on it at the speed of the logic. Chosen for a process by
// D3D9Testing_UseNullBackend or WINAPI_D3D9_BACKEND=null, never by the game.
//
// State: the last draw's record and a running count; lives as long as its device.
#include "d3d9_state.h"
#include "testing/d3d9_testing.h"

#include <new>

namespace d3d9 {

namespace {

// Direct3D 9 hardware commonly allows this much; the GL back end asks the GL.
const UINT kNullMaxTextureSize = 8192;

class NullBackend final : public Backend {
public:
    bool MakeCurrent() override { return true; }
    UINT MaxTextureSize() const override { return kNullMaxTextureSize; }
    bool DrawsPixels() const override { return false; }
    void Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD, const D3DVIEWPORT9&) override {}
    void Present() override {}
    bool ReadBack(int, int, int, int, uint32_t*) override { return false; }

    bool Draw(const DrawCall& call, const DrawState& ds) override {
        D3D9TestingDraw& r = m_last;
        r.primitiveType = (DWORD)call.type;
        r.vertexCount = call.count;
        r.indexed = call.indexed;
        r.fvf = ds.state->fvf;
        r.shaderKey = PackShaderKey(ds.config);
        r.lighting = ds.config.lighting != 0;
        r.textured = ds.config.sampleTexture != 0;
        r.alphaBlend = ds.state->rs[D3DRS_ALPHABLENDENABLE] != FALSE;
        r.zEnable = ds.state->rs[D3DRS_ZENABLE] != D3DZB_FALSE;
        ++m_draws;
        return true;
    }

    // Copies live only in the front end: nothing to free or update.
    void BufferGone(BufferStore&) override {}
    void TextureGone(Texture&) override {}
    void TextureWritten(Texture&, UINT, const RECT&) override {}
    void TextureMipsFromTop(Texture&) override {}

    bool LastDraw(D3D9TestingDraw* out) const {
        if (m_draws == 0) return false;
        *out = m_last;
        return true;
    }

private:
    D3D9TestingDraw m_last = {};
    uint64_t m_draws = 0;
};

}  // namespace

Backend* CreateNullBackend() {
    return new (std::nothrow) NullBackend();
}

bool NullLastDraw(Backend* backend, D3D9TestingDraw* out) {
    const NullBackend* null = dynamic_cast<const NullBackend*>(backend);
    return null && null->LastDraw(out);
}

}  // namespace d3d9
