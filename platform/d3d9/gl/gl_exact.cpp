// Drawing shortcuts that leave every pixel as it is, for less work on a
// software rasteriser (each proved by read-back tests, shortcuts on and off):
// - nearest sampling for pretransformed draws that map texels one to one onto
//   pixel centres (2-D sprites drawn at their texture's size on the pixel
//   grid): every pixel centre falls on a texel centre of the top level, where
//   linear and trilinear filtering give that texel's value unchanged;
// - no blending for SRCALPHA/INVSRCALPHA draws whose source alpha is exactly
//   one (an opaque texture, and vertex alpha 255 where the alpha operation
//   reads the diffuse colour): the blend gives the source back.
// State: which sampler unit 0 holds and whether GL_BLEND is on (gl_backend.h).
#include "gl_backend.h"

#include <math.h>
#include <string.h>

namespace d3d9 {

namespace {

// Up to this many vertices are looked at; larger draws are not sprites.
const UINT kMaxExactVertices = 64;

bool IsWhole(float f) { return f == floorf(f) && fabsf(f) < 16777216.0f; }

// Whether an argument reads the diffuse colour (in stage 0 the current colour is it).
bool ReadsDiffuse(int arg) { return arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT; }

}  // namespace

bool GLBackend::MapsTexelsOneToOne(const DrawCall& call, const DrawState& ds) const {
    const State& s = *ds.state;
    const VertexLayout& layout = *call.layout;
    if (!layout.rhw || call.texSet < 0 || call.texSet >= layout.texCount || layout.texSize[call.texSet] < 2)
        return false;
    if (call.type != D3DPT_TRIANGLELIST && call.type != D3DPT_TRIANGLESTRIP && call.type != D3DPT_TRIANGLEFAN)
        return false;
    const Texture* tex = s.textures[0];
    if (tex == nullptr) return false;
    // Level 0 must be the level sampled: no minimum level, no bias.
    const DWORD* samp = s.samp[0];
    float bias;
    memcpy(&bias, &samp[D3DSAMP_MIPMAPLODBIAS], sizeof bias);
    if (samp[D3DSAMP_MAXMIPLEVEL] != 0 || bias != 0.0f) return false;

    const float w = (float)tex->LevelWidth(0), h = (float)tex->LevelHeight(0);
    bool first = true;
    float du = 0.0f, dv = 0.0f;
    return ForEachDrawVertex(call, kMaxExactVertices, [&](const uint8_t* v) {
        float pos[4], uv[2];
        memcpy(pos, v + layout.posOffset, sizeof pos);
        memcpy(uv, v + layout.texOffset[call.texSet], sizeof uv);
        // Direct3D's pixel centres are at integers: the corner x + 0.5 must be
        // whole, the texel edge u * w whole, and both must move together.
        const float x = pos[0] + 0.5f, y = pos[1] + 0.5f;
        const float tu = uv[0] * w, tv = uv[1] * h;
        if (pos[3] != 1.0f || !IsWhole(x) || !IsWhole(y) || !IsWhole(tu) || !IsWhole(tv)) return false;
        if (tu < 0.0f || tu > w || tv < 0.0f || tv > h) return false;
        if (first) {
            du = tu - x;
            dv = tv - y;
            first = false;
            return true;
        }
        return tu - x == du && tv - y == dv;
    });
}

void GLBackend::ChooseSampler0(bool exact) {
    if (exact) CountShortcutDraw(0);
    if (exact == m_exactBound) return;
    glBindSampler(0, exact ? m_exactSampler : m_samplers[0]);
    m_exactBound = exact;
}

bool GLBackend::BlendsOpaque(const DrawCall& call, const DrawState& ds) const {
    const State& s = *ds.state;
    const ShaderConfig& c = ds.config;
    if (s.rs[D3DRS_SRCBLEND] != D3DBLEND_SRCALPHA || s.rs[D3DRS_DESTBLEND] != D3DBLEND_INVSRCALPHA) return false;
    if (s.rs[D3DRS_BLENDOP] != D3DBLENDOP_ADD) return false;
    // The alpha operation must give one when the arguments it reads are one.
    int args[2] = {0, 0};
    const int argCount = StageOpArgs(c.alphaOp, c.alphaArg1, c.alphaArg2, args);
    if (argCount < 0) return false;
    bool readsTexture = false, readsDiffuse = false;
    for (int i = 0; i < argCount; ++i) {
        if (!TextureOrDiffuseArg(args[i])) return false;
        readsTexture = readsTexture || args[i] == D3DTA_TEXTURE;
        readsDiffuse = readsDiffuse || ReadsDiffuse(args[i]);
    }
    if (readsTexture && c.sampleTexture) {
        const Texture* tex = s.textures[0];
        if (!tex || !tex->gpuOpaque) return false;
        // A border outside the texture brings its own alpha.
        const DWORD* samp = s.samp[0];
        if (samp[D3DSAMP_ADDRESSU] == D3DTADDRESS_BORDER || samp[D3DSAMP_ADDRESSV] == D3DTADDRESS_BORDER) return false;
    }
    // The diffuse alpha matters only to an operation that reads it; a draw of
    // any size whose alpha is the texture's qualifies (the sky, the field).
    if (!readsDiffuse) return true;
    if (c.lighting) return false;    // lit diffuse alpha comes from the material
    if (!c.hasDiffuse) return true;  // no diffuse colour reads opaque white
    const int at = call.layout->diffuseOffset;
    return ForEachDrawVertex(call, kMaxExactVertices, [at](const uint8_t* v) {
        D3DCOLOR color;
        memcpy(&color, v + at, sizeof color);
        return (color >> 24) == 0xff;
    });
}

void GLBackend::ChooseBlending(const State& s, bool opaque) {
    const bool on = s.rs[D3DRS_ALPHABLENDENABLE] && !opaque;
    if (opaque) CountShortcutDraw(1);
    if (on == m_glBlendOn) return;
    if (on) {
        glEnable(GL_BLEND);
    } else {
        glDisable(GL_BLEND);
    }
    m_glBlendOn = on;
}

bool GLBackend::TextureIsOpaque(const Texture& t) {
    const D3DFORMAT format = t.Format();
    if (format == D3DFMT_X8R8G8B8 || format == D3DFMT_X8B8G8R8) return true;
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_A8B8G8R8) return false;
    // Levels GL makes itself are averages of the top level's texels.
    const UINT levels = (t.Usage() & D3DUSAGE_AUTOGENMIPMAP) ? 1 : t.Levels();
    for (UINT l = 0; l < levels; ++l) {
        const uint8_t* data = t.LevelData(l);
        if (!data) return false;
        const size_t texels = (size_t)t.LevelWidth(l) * t.LevelHeight(l);
        for (size_t i = 0; i < texels; ++i) {
            if (data[i * 4 + 3] != 0xff) return false;
        }
    }
    return true;
}

}  // namespace d3d9
