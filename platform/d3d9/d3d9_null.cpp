// The null back end: a device that draws nothing. Every call keeps its
// Direct3D result (the front end checks and stores everything); draws are
// recorded with the state they were made in, Clear and Present succeed, and
// there are no pixels to read back. No GL context or GPU is needed, so tests
// of game logic run on it at the speed of the logic. Chosen for a process by
// D3D9Testing_UseNullBackend or WINAPI_D3D9_BACKEND=null, never by the game.
//
// State: the last draw's record, a running count and, while recording is on,
// the log of every draw; lives as long as its device.
#include "d3d9_state.h"
#include "testing/d3d9_testing.h"

#include <string.h>

#include <new>
#include <vector>

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
        const State& st = *ds.state;
        D3D9TestingDraw& r = m_last;
        r.primitiveType = (DWORD)call.type;
        r.primitiveCount = call.primitives;
        r.vertexCount = call.count;
        r.indexed = call.indexed;
        r.fvf = st.fvf;
        r.shaderKey = PackShaderKey(ds.config);
        r.lighting = ds.config.lighting != 0;
        r.textured = ds.config.sampleTexture != 0;
        r.alphaBlend = st.rs[D3DRS_ALPHABLENDENABLE] != FALSE;
        r.zEnable = st.rs[D3DRS_ZENABLE] != D3DZB_FALSE;
        r.texture = st.textures[0];
        r.stream = call.buffer;
        r.streamOffset = call.buffer ? call.offset : 0;
        r.stride = call.stride;
        r.indices = call.indices;
        r.baseVertex = call.baseVertex;
        r.minIndex = call.minIndex;
        r.numVertices = call.numVertices;
        r.startIndex = call.startIndex;
        r.startVertex = call.firstVertex;
        memcpy(r.renderStates, st.rs, sizeof r.renderStates);
        memcpy(r.stage0, st.tss[0], sizeof r.stage0);
        ++m_draws;
        if (m_recording) {
            m_log.push_back(r);
            if (call.userVertices) {
                const uint8_t* v = static_cast<const uint8_t*>(call.userVertices);
                m_log.back().userVertices.assign(v, v + call.userBytes);
            }
        }
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

    void Record(bool on) {
        m_recording = on;
        if (!on) std::vector<D3D9TestingDraw>().swap(m_log);
    }
    const std::vector<D3D9TestingDraw>& Log() const { return m_log; }

private:
    D3D9TestingDraw m_last = {};
    uint64_t m_draws = 0;
    bool m_recording = false;
    std::vector<D3D9TestingDraw> m_log;
};

}  // namespace

Backend* CreateNullBackend() { return new (std::nothrow) NullBackend(); }

bool NullLastDraw(Backend* backend, D3D9TestingDraw* out) {
    const NullBackend* null = dynamic_cast<const NullBackend*>(backend);
    return null && null->LastDraw(out);
}

bool NullRecordDraws(Backend* backend, bool on) {
    NullBackend* null = dynamic_cast<NullBackend*>(backend);
    if (null) null->Record(on);
    return null != nullptr;
}

std::vector<D3D9TestingDraw> NullDrawLog(Backend* backend) {
    const NullBackend* null = dynamic_cast<const NullBackend*>(backend);
    return null ? null->Log() : std::vector<D3D9TestingDraw>();
}

}  // namespace d3d9
