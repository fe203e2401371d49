// The state tables, the derived matrices and lights, the shader key, the
// fixed-function configuration of a draw, and the Device's Set*/Get* calls
// that store the shadow state and mark what changed. No back end here.
#include "d3d9_device.h"

#include <math.h>
#include <string.h>

namespace d3d9 {

namespace {

// Render states, stage states and values the game's header does not name,
// with Direct3D's numbers.
enum : DWORD {
    kRsFogEnd = 37,
    kRsFogDensity = 38,
    kRsStencilFail = 53,
    kRsStencilZFail = 54,
    kRsStencilPass = 55,
    kRsStencilFunc = 56,
    kRsStencilMask = 58,
    kRsStencilWriteMask = 59,
    kRsPointSize = 154,
    kRsPointSizeMin = 155,
    kRsPointScaleA = 158,
    kRsMultisampleAntialias = 161,
    kRsMultisampleMask = 162,
    kRsPointSizeMax = 166,
    kRsPositionDegree = 172,
    kRsNormalDegree = 173,
    kRsMinTessellation = 178,
    kRsMaxTessellation = 179,
    kRsAdaptiveTessZ = 182,
    kRsCcwStencilFail = 186,
    kRsCcwStencilZFail = 187,
    kRsCcwStencilPass = 188,
    kRsCcwStencilFunc = 189,
    kRsColorWriteEnable1 = 190,
    kRsColorWriteEnable2 = 191,
    kRsColorWriteEnable3 = 192,
    kRsSrcBlendAlpha = 207,
    kRsDestBlendAlpha = 208,
    kRsBlendOpAlpha = 209,
    kTssColorArg0 = 26,
    kTssAlphaArg0 = 27,
    kTssResultArg = 28,
    kStencilKeep = 1,
    kDegreeLinear = 1,
    kDegreeCubic = 3,
};

const DWORD kOne = 0x3f800000u;        // 1.0f
const DWORD kSixtyFour = 0x42800000u;  // 64.0f
const DWORD kAllBits = 0xffffffffu;

void SetIdentity(D3DMATRIX* m) {
    memset(m, 0, sizeof *m);
    m->_11 = m->_22 = m->_33 = m->_44 = 1.0f;
}

bool ValidTransform(DWORD state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION || (state >= 16 && state <= 23) ||
           (state >= 256 && state < 512);
}

// out = a x b for row-major 4x4 matrices (row vectors: a is applied first).
void MatMul(const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX* out) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    *out = r;
}

// Arguments pack into 5 bits: selector, complement, alpha replicate.
uint64_t PackArg(int a) {
    return (uint64_t)((a & 7) | ((a & D3DTA_COMPLEMENT) ? 8 : 0) | ((a & D3DTA_ALPHAREPLICATE) ? 16 : 0));
}
int UnpackArg(uint64_t v) {
    return (int)(v & 7) | ((v & 8) ? D3DTA_COMPLEMENT : 0) | ((v & 16) ? D3DTA_ALPHAREPLICATE : 0);
}

bool OpUsesArg1(int op) { return op != D3DTOP_SELECTARG2; }
bool OpUsesArg2(int op) { return op != D3DTOP_SELECTARG1; }
bool SupportedOp(int op) {
    switch (op) {
    case D3DTOP_SELECTARG1:
    case D3DTOP_SELECTARG2:
    case D3DTOP_MODULATE:
    case D3DTOP_MODULATE2X:
    case D3DTOP_MODULATE4X:
    case D3DTOP_ADD:
    case D3DTOP_ADDSIGNED:
    case D3DTOP_ADDSIGNED2X:
    case D3DTOP_SUBTRACT:
    case D3DTOP_ADDSMOOTH:
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA: return true;
    default: return false;
    }
}
bool IsTexture(int arg) { return (arg & 0xf) == D3DTA_TEXTURE; }
bool OpReadsTexture(int op, int a1, int a2) {
    return (OpUsesArg1(op) && IsTexture(a1)) || (OpUsesArg2(op) && IsTexture(a2)) || op == D3DTOP_BLENDTEXTUREALPHA;
}
// Keeps the selector and the two modifiers this layer knows.
int CleanArg(int arg, bool* ok) {
    const int sel = arg & 0xf;
    if (sel > D3DTA_TEMP || (arg & ~(0xf | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE))) {
        *ok = false;
        return D3DTA_CURRENT;
    }
    return arg;
}

}  // namespace

// ---------------------------------------------------------------------------
// Tables
// ---------------------------------------------------------------------------

const RenderStateInfo kRenderStates[] = {
    // state                          default              dirty           uniform group
    {D3DRS_ZENABLE, D3DZB_TRUE, kDirtyDepth, -1},  // FALSE without a depth buffer
    {D3DRS_FILLMODE, D3DFILL_SOLID, kDirtyRaster, -1},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD, 0, -1},
    {D3DRS_ZWRITEENABLE, TRUE, kDirtyDepth, -1},
    {D3DRS_ALPHATESTENABLE, FALSE, 0, -1},
    {D3DRS_LASTPIXEL, TRUE, 0, -1},
    {D3DRS_SRCBLEND, D3DBLEND_ONE, kDirtyBlend, -1},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO, kDirtyBlend, -1},
    {D3DRS_CULLMODE, D3DCULL_CCW, kDirtyRaster, -1},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL, kDirtyDepth, -1},
    {D3DRS_ALPHAREF, 0, 0, kGroupPixel},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS, 0, -1},
    {D3DRS_ALPHABLENDENABLE, FALSE, kDirtyBlend, -1},
    {kRsFogEnd, kOne, 0, -1},
    {kRsFogDensity, kOne, 0, -1},
    {kRsStencilFail, kStencilKeep, 0, -1},
    {kRsStencilZFail, kStencilKeep, 0, -1},
    {kRsStencilPass, kStencilKeep, 0, -1},
    {kRsStencilFunc, D3DCMP_ALWAYS, 0, -1},
    {kRsStencilMask, kAllBits, 0, -1},
    {kRsStencilWriteMask, kAllBits, 0, -1},
    {D3DRS_TEXTUREFACTOR, kAllBits, 0, kGroupPixel},
    {D3DRS_CLIPPING, TRUE, 0, -1},
    {D3DRS_LIGHTING, TRUE, 0, -1},
    {D3DRS_AMBIENT, 0, 0, kGroupLighting},
    {D3DRS_COLORVERTEX, TRUE, 0, -1},
    {D3DRS_LOCALVIEWER, TRUE, 0, -1},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1, 0, -1},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2, 0, -1},
    {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL, 0, -1},
    {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL, 0, -1},
    {kRsPointSize, kOne, 0, -1},
    {kRsPointSizeMin, kOne, 0, -1},
    {kRsPointScaleA, kOne, 0, -1},
    {kRsMultisampleAntialias, TRUE, 0, -1},
    {kRsMultisampleMask, kAllBits, 0, -1},
    {kRsPointSizeMax, kSixtyFour, 0, -1},
    {D3DRS_COLORWRITEENABLE, 0xf, kDirtyBlend, -1},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD, kDirtyBlend, -1},
    {kRsPositionDegree, kDegreeCubic, 0, -1},
    {kRsNormalDegree, kDegreeLinear, 0, -1},
    {kRsMinTessellation, kOne, 0, -1},
    {kRsMaxTessellation, kOne, 0, -1},
    {kRsAdaptiveTessZ, kOne, 0, -1},
    {kRsCcwStencilFail, kStencilKeep, 0, -1},
    {kRsCcwStencilZFail, kStencilKeep, 0, -1},
    {kRsCcwStencilPass, kStencilKeep, 0, -1},
    {kRsCcwStencilFunc, D3DCMP_ALWAYS, 0, -1},
    {kRsColorWriteEnable1, 0xf, 0, -1},
    {kRsColorWriteEnable2, 0xf, 0, -1},
    {kRsColorWriteEnable3, 0xf, 0, -1},
    {D3DRS_BLENDFACTOR, kAllBits, kDirtyBlend, -1},
    {kRsSrcBlendAlpha, D3DBLEND_ONE, 0, -1},
    {kRsDestBlendAlpha, D3DBLEND_ZERO, 0, -1},
    {kRsBlendOpAlpha, D3DBLENDOP_ADD, 0, -1},
};
const int kRenderStateInfoCount = (int)(sizeof kRenderStates / sizeof kRenderStates[0]);

const RenderStateInfo* FindRenderState(DWORD state) {
    static const RenderStateInfo* index[kRenderStateCount];
    static bool built = false;
    if (!built) {
        for (const RenderStateInfo& info : kRenderStates) index[info.state] = &info;
        built = true;
    }
    return state < (DWORD)kRenderStateCount ? index[state] : nullptr;
}

const ShaderKeyField kShaderKeyFields[] = {
    {"rhw", &ShaderConfig::rhw, 1, false},
    {"hasNormal", &ShaderConfig::hasNormal, 1, false},
    {"hasDiffuse", &ShaderConfig::hasDiffuse, 1, false},
    {"hasSpecular", &ShaderConfig::hasSpecular, 1, false},
    {"hasTex", &ShaderConfig::hasTex, 1, false},
    {"lighting", &ShaderConfig::lighting, 1, false},
    {"numLights", &ShaderConfig::numLights, 4, false},
    {"diffuseSrc", &ShaderConfig::diffuseSrc, 2, false},
    {"ambientSrc", &ShaderConfig::ambientSrc, 2, false},
    {"specularSrc", &ShaderConfig::specularSrc, 2, false},
    {"emissiveSrc", &ShaderConfig::emissiveSrc, 2, false},
    {"normalize", &ShaderConfig::normalize, 1, false},
    {"specularEnable", &ShaderConfig::specularEnable, 1, false},
    {"localViewer", &ShaderConfig::localViewer, 1, false},
    {"flat", &ShaderConfig::flat, 1, false},
    {"remapDepth", &ShaderConfig::remapDepth, 1, false},
    {"colorOp", &ShaderConfig::colorOp, 5, false},
    {"colorArg1", &ShaderConfig::colorArg1, 5, true},
    {"colorArg2", &ShaderConfig::colorArg2, 5, true},
    {"alphaOp", &ShaderConfig::alphaOp, 5, false},
    {"alphaArg1", &ShaderConfig::alphaArg1, 5, true},
    {"alphaArg2", &ShaderConfig::alphaArg2, 5, true},
    {"sampleTexture", &ShaderConfig::sampleTexture, 1, false},
    {"alphaFunc", &ShaderConfig::alphaFunc, 4, false},
    {"flipY", &ShaderConfig::flipY, 1, false},
};
const int kShaderKeyFieldCount = (int)(sizeof kShaderKeyFields / sizeof kShaderKeyFields[0]);

uint64_t PackShaderKey(const ShaderConfig& c) {
    uint64_t key = 0;
    int shift = 0;
    for (const ShaderKeyField& f : kShaderKeyFields) {
        const int v = c.*f.member;
        const uint64_t bits = f.textureArg ? PackArg(v) : (uint64_t)v;
        key |= (bits & ((1ull << f.bits) - 1)) << shift;
        shift += f.bits;
    }
    return key;
}

ShaderConfig UnpackShaderKey(uint64_t key) {
    ShaderConfig c;
    int shift = 0;
    for (const ShaderKeyField& f : kShaderKeyFields) {
        const uint64_t bits = (key >> shift) & ((1ull << f.bits) - 1);
        c.*f.member = f.textureArg ? UnpackArg(bits) : (int)bits;
        shift += f.bits;
    }
    return c;
}

// ---------------------------------------------------------------------------
// Defaults
// ---------------------------------------------------------------------------

void SetDefaultState(State* s, UINT width, UINT height, bool hasDepth) {
    memset(s->rs, 0, sizeof s->rs);
    for (const RenderStateInfo& info : kRenderStates) s->rs[info.state] = info.defaultValue;
    s->rs[D3DRS_ZENABLE] = hasDepth ? D3DZB_TRUE : D3DZB_FALSE;

    for (int i = 0; i < kSamplers; ++i) {
        DWORD* v = s->samp[i];
        memset(v, 0, sizeof s->samp[i]);
        v[D3DSAMP_ADDRESSU] = v[D3DSAMP_ADDRESSV] = v[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        v[D3DSAMP_MAGFILTER] = v[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        v[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        v[D3DSAMP_MAXANISOTROPY] = 1;
    }
    for (int t = 0; t < kStages; ++t) {
        DWORD* v = s->tss[t];
        memset(v, 0, sizeof s->tss[t]);
        v[D3DTSS_COLOROP] = t == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        v[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        v[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        v[D3DTSS_ALPHAOP] = t == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        v[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        v[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        v[D3DTSS_TEXCOORDINDEX] = (DWORD)t;
        v[kTssColorArg0] = v[kTssAlphaArg0] = v[kTssResultArg] = D3DTA_CURRENT;
    }
    for (D3DMATRIX& m : s->xform) SetIdentity(&m);
    s->viewport = {0, 0, (DWORD)width, (DWORD)height, 0.0f, 1.0f};
    memset(&s->material, 0, sizeof s->material);
    for (LightSlot& l : s->lights) l = LightSlot();
}

// ---------------------------------------------------------------------------
// Derived data
// ---------------------------------------------------------------------------

void UpdateDerived(const State& s, const uint64_t versions[kUniformGroups], Derived* d) {
    if (d->transformVersion != versions[kGroupTransform]) {
        D3DMATRIX wv, wvp;
        MatMul(s.xform[D3DTS_WORLD], s.xform[D3DTS_VIEW], &wv);
        MatMul(wv, s.xform[D3DTS_PROJECTION], &wvp);
        memcpy(d->wv, &wv, sizeof d->wv);
        memcpy(d->wvp, &wvp, sizeof d->wvp);
        // Normals go through the inverse transpose of the world-view 3x3,
        // which is the cofactor matrix over the determinant.
        const float(*a)[4] = wv.m;
        float c[9];
        c[0] = a[1][1] * a[2][2] - a[1][2] * a[2][1];
        c[1] = a[1][2] * a[2][0] - a[1][0] * a[2][2];
        c[2] = a[1][0] * a[2][1] - a[1][1] * a[2][0];
        c[3] = a[0][2] * a[2][1] - a[0][1] * a[2][2];
        c[4] = a[0][0] * a[2][2] - a[0][2] * a[2][0];
        c[5] = a[0][1] * a[2][0] - a[0][0] * a[2][1];
        c[6] = a[0][1] * a[1][2] - a[0][2] * a[1][1];
        c[7] = a[0][2] * a[1][0] - a[0][0] * a[1][2];
        c[8] = a[0][0] * a[1][1] - a[0][1] * a[1][0];
        const float det = a[0][0] * c[0] + a[0][1] * c[1] + a[0][2] * c[2];
        if (fabsf(det) > 1e-20f) {
            for (int i = 0; i < 9; ++i) d->normalMatrix[i] = c[i] / det;
        } else {
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) d->normalMatrix[i * 3 + j] = a[i][j];
        }
        d->transformVersion = versions[kGroupTransform];
    }
    if (d->lightVersion != versions[kGroupLighting]) {
        static bool warnedType = false, warnedCount = false;
        const D3DMATRIX& v = s.xform[D3DTS_VIEW];
        d->activeLights = 0;
        for (int i = 0; i < kMaxLights; ++i) {
            const LightSlot& slot = s.lights[i];
            if (!slot.enabled) continue;
            if (slot.light.Type != D3DLIGHT_DIRECTIONAL) {
                WarnOnce(&warnedType, "point and spot lights are not drawn; only directional lights light vertices");
                continue;
            }
            if (d->activeLights == kMaxActiveLights) {
                WarnOnce(&warnedCount, "more than 8 lights enabled; the extra ones are ignored");
                break;
            }
            const D3DVECTOR& dir = slot.light.Direction;
            float x = dir.x * v._11 + dir.y * v._21 + dir.z * v._31;
            float y = dir.x * v._12 + dir.y * v._22 + dir.z * v._32;
            float z = dir.x * v._13 + dir.y * v._23 + dir.z * v._33;
            const float len = sqrtf(x * x + y * y + z * z);
            if (len <= 0.0f) continue;
            const int k = d->activeLights++;
            d->lightDir[k * 3 + 0] = x / len;
            d->lightDir[k * 3 + 1] = y / len;
            d->lightDir[k * 3 + 2] = z / len;
            memcpy(&d->lightDiffuse[k * 4], &slot.light.Diffuse, 16);
            memcpy(&d->lightSpecular[k * 4], &slot.light.Specular, 16);
            memcpy(&d->lightAmbient[k * 4], &slot.light.Ambient, 16);
        }
        d->lightVersion = versions[kGroupLighting];
    }
}

// ---------------------------------------------------------------------------
// The fixed-function configuration of a draw
// ---------------------------------------------------------------------------

ShaderConfig MakeShaderConfig(const State& s, const VertexLayout& layout, int activeLights) {
    static bool warnedOp = false, warnedArg = false;
    ShaderConfig c;
    c.rhw = layout.rhw;
    c.hasNormal = layout.normalOffset >= 0 && !layout.rhw;
    c.hasDiffuse = layout.diffuseOffset >= 0;
    c.hasSpecular = layout.specularOffset >= 0;
    const DWORD texSet = s.tss[0][D3DTSS_TEXCOORDINDEX] & 0xffff;
    c.hasTex = texSet < (DWORD)layout.texCount;
    c.lighting = s.rs[D3DRS_LIGHTING] && !layout.rhw;
    if (c.lighting) {
        c.numLights = activeLights;
        const bool colorVertex = s.rs[D3DRS_COLORVERTEX] != FALSE;
        auto source = [&](DWORD v) {
            if (!colorVertex) return 0;
            if (v == D3DMCS_COLOR1 && c.hasDiffuse) return 1;
            if (v == D3DMCS_COLOR2 && c.hasSpecular) return 2;
            return 0;
        };
        c.diffuseSrc = source(s.rs[D3DRS_DIFFUSEMATERIALSOURCE]);
        c.ambientSrc = source(s.rs[D3DRS_AMBIENTMATERIALSOURCE]);
        c.specularSrc = source(s.rs[D3DRS_SPECULARMATERIALSOURCE]);
        c.emissiveSrc = source(s.rs[D3DRS_EMISSIVEMATERIALSOURCE]);
        c.normalize = s.rs[D3DRS_NORMALIZENORMALS] != FALSE;
        c.specularEnable = s.rs[D3DRS_SPECULARENABLE] != FALSE;
        c.localViewer = c.specularEnable && s.rs[D3DRS_LOCALVIEWER] != FALSE;
    } else {
        c.specularEnable = s.rs[D3DRS_SPECULARENABLE] != FALSE && c.hasSpecular;
    }
    c.flat = s.rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;

    // Texture stage 0, with a missing texture read as the diffuse colour.
    const bool texBound = s.textures[0] != nullptr;
    int cop = (int)s.tss[0][D3DTSS_COLOROP], aop = (int)s.tss[0][D3DTSS_ALPHAOP];
    bool argsOk = true;
    int ca1 = CleanArg((int)s.tss[0][D3DTSS_COLORARG1], &argsOk);
    int ca2 = CleanArg((int)s.tss[0][D3DTSS_COLORARG2], &argsOk);
    int aa1 = CleanArg((int)s.tss[0][D3DTSS_ALPHAARG1], &argsOk);
    int aa2 = CleanArg((int)s.tss[0][D3DTSS_ALPHAARG2], &argsOk);
    if (!argsOk) WarnOnce(&warnedArg, "a texture stage argument is not supported; CURRENT is used instead");
    // An operation that cannot run passes the stage's input (CURRENT) on.
    auto passOn = [](int* op, int* arg1) {
        *op = D3DTOP_SELECTARG1;
        *arg1 = D3DTA_CURRENT;
    };
    auto unsupported = [&](int* op, int* arg1) {
        WarnOnce(&warnedOp, "a texture stage operation is not supported; the stage passes its input on");
        passOn(op, arg1);
    };
    if (cop == D3DTOP_DISABLE) {
        passOn(&cop, &ca1);
        passOn(&aop, &aa1);
    } else {
        if (!SupportedOp(cop)) unsupported(&cop, &ca1);
        if (!texBound && OpReadsTexture(cop, ca1, ca2)) passOn(&cop, &ca1);
        if (aop == D3DTOP_DISABLE)
            passOn(&aop, &aa1);
        else if (!SupportedOp(aop))
            unsupported(&aop, &aa1);
        if (!texBound && OpReadsTexture(aop, aa1, aa2)) passOn(&aop, &aa1);
    }
    if (!OpUsesArg2(cop)) ca2 = D3DTA_CURRENT;
    if (!OpUsesArg1(cop)) ca1 = D3DTA_CURRENT;
    if (!OpUsesArg2(aop)) aa2 = D3DTA_CURRENT;
    if (!OpUsesArg1(aop)) aa1 = D3DTA_CURRENT;
    c.colorOp = cop;
    c.colorArg1 = ca1;
    c.colorArg2 = ca2;
    c.alphaOp = aop;
    c.alphaArg1 = aa1;
    c.alphaArg2 = aa2;
    c.sampleTexture = texBound && (OpReadsTexture(cop, ca1, ca2) || OpReadsTexture(aop, aa1, aa2));
    if (s.rs[D3DRS_ALPHATESTENABLE] && s.rs[D3DRS_ALPHAFUNC] >= D3DCMP_NEVER && s.rs[D3DRS_ALPHAFUNC] < D3DCMP_ALWAYS)
        c.alphaFunc = (int)s.rs[D3DRS_ALPHAFUNC];
    return c;
}

void WarnUnsupportedStates(const State& s) {
    static bool fog = false, stencil = false, scissor = false, stage1 = false, texTransform = false, texGen = false,
                clipPlanes = false, blend = false;
    if (s.rs[D3DRS_FOGENABLE]) WarnOnce(&fog, "fog is not drawn");
    if (s.rs[D3DRS_STENCILENABLE]) WarnOnce(&stencil, "the stencil test is not applied");
    if (s.rs[D3DRS_SCISSORTESTENABLE]) WarnOnce(&scissor, "the scissor test is not applied");
    if (s.tss[1][D3DTSS_COLOROP] != D3DTOP_DISABLE) WarnOnce(&stage1, "texture stages after stage 0 are not applied");
    if (s.tss[0][D3DTSS_TEXTURETRANSFORMFLAGS]) WarnOnce(&texTransform, "texture transforms are not applied");
    if (s.tss[0][D3DTSS_TEXCOORDINDEX] & 0xffff0000u)
        WarnOnce(&texGen, "generated texture coordinates are not supported");
    if (s.rs[D3DRS_CLIPPLANEENABLE]) WarnOnce(&clipPlanes, "user clip planes are not applied");
    if (s.rs[D3DRS_VERTEXBLEND]) WarnOnce(&blend, "vertex blending is not applied");
}

// ---------------------------------------------------------------------------
// The Device's state calls
// ---------------------------------------------------------------------------

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    const DWORD s = (DWORD)State;
    if (s >= (DWORD)kRenderStateCount) return D3DERR_INVALIDCALL;
    if (m_state.rs[s] == Value) return D3D_OK;
    m_state.rs[s] = Value;
    if (const RenderStateInfo* info = FindRenderState(s)) {
        m_dirty |= info->dirty;
        if (info->uniformGroup >= 0) Touch(info->uniformGroup);
    }
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
    if (!pValue || (DWORD)State >= (DWORD)kRenderStateCount) return D3DERR_INVALIDCALL;
    *pValue = m_state.rs[State];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
    if (Sampler >= (DWORD)kSamplers || (DWORD)Type < 1 || (DWORD)Type > 13) return D3DERR_INVALIDCALL;
    if (m_state.samp[Sampler][Type] == Value) return D3D_OK;
    m_state.samp[Sampler][Type] = Value;
    if (Sampler == 0) m_dirty |= kDirtySampler0;
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
    if (!pValue || Sampler >= (DWORD)kSamplers || (DWORD)Type < 1 || (DWORD)Type > 13) return D3DERR_INVALIDCALL;
    *pValue = m_state.samp[Sampler][Type];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
    if (Stage >= (DWORD)kStages || (DWORD)Type < 1 || (DWORD)Type > 32) return D3DERR_INVALIDCALL;
    m_state.tss[Stage][Type] = Value;
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
    if (!pValue || Stage >= (DWORD)kStages || (DWORD)Type < 1 || (DWORD)Type > 32) return D3DERR_INVALIDCALL;
    *pValue = m_state.tss[Stage][Type];
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE State, CONST D3DMATRIX* pMatrix) {
    if (!pMatrix || !ValidTransform((DWORD)State)) return D3DERR_INVALIDCALL;
    m_state.xform[State] = *pMatrix;
    if (State == D3DTS_WORLD || State == D3DTS_PROJECTION) Touch(kGroupTransform);
    if (State == D3DTS_VIEW) {
        Touch(kGroupTransform);
        Touch(kGroupLighting);  // light directions are kept in view space
    }
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
    if (!pMatrix || !ValidTransform((DWORD)State)) return D3DERR_INVALIDCALL;
    *pMatrix = m_state.xform[State];
    return D3D_OK;
}

HRESULT Device::SetViewport(CONST D3DVIEWPORT9* vp) {
    if (!vp || vp->Width == 0 || vp->Height == 0 || (uint64_t)vp->X + vp->Width > (uint64_t)m_bbWidth ||
        (uint64_t)vp->Y + vp->Height > (uint64_t)m_bbHeight || !(vp->MinZ >= 0.0f && vp->MinZ <= 1.0f) ||
        !(vp->MaxZ >= 0.0f && vp->MaxZ <= 1.0f))
        return D3DERR_INVALIDCALL;
    m_state.viewport = *vp;
    m_dirty |= kDirtyViewport;
    Touch(kGroupViewport);
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* vp) {
    if (!vp) return D3DERR_INVALIDCALL;
    *vp = m_state.viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(CONST D3DMATERIAL9* pMaterial) {
    if (!pMaterial) return D3DERR_INVALIDCALL;
    m_state.material = *pMaterial;
    Touch(kGroupLighting);
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* pMaterial) {
    if (!pMaterial) return D3DERR_INVALIDCALL;
    *pMaterial = m_state.material;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD Index, CONST D3DLIGHT9* pLight) {
    if (!pLight || Index >= (DWORD)kMaxLights) return D3DERR_INVALIDCALL;
    if (pLight->Type != D3DLIGHT_POINT && pLight->Type != D3DLIGHT_SPOT && pLight->Type != D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    m_state.lights[Index].light = *pLight;
    m_state.lights[Index].set = true;
    Touch(kGroupLighting);
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD Index, D3DLIGHT9* pLight) {
    if (!pLight || Index >= (DWORD)kMaxLights || !m_state.lights[Index].set) return D3DERR_INVALIDCALL;
    *pLight = m_state.lights[Index].light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD Index, BOOL Enable) {
    if (Index >= (DWORD)kMaxLights) return D3DERR_INVALIDCALL;
    LightSlot& slot = m_state.lights[Index];
    if (!slot.set) {
        // Direct3D makes a default light: white, directional, along +z.
        memset(&slot.light, 0, sizeof slot.light);
        slot.light.Type = D3DLIGHT_DIRECTIONAL;
        slot.light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        slot.light.Direction = {0.0f, 0.0f, 1.0f};
        slot.set = true;
    }
    slot.enabled = Enable != FALSE;
    Touch(kGroupLighting);
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
    if (Stage >= (DWORD)kSamplers) return D3DERR_INVALIDCALL;
    Texture* tex = nullptr;
    if (pTexture) {
        tex = dynamic_cast<Texture*>(pTexture);
        if (!tex || tex->OwnerDevice() != this) return D3DERR_INVALIDCALL;
        if (tex->Pool() == D3DPOOL_SYSTEMMEM || tex->Pool() == D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
    }
    // Its first use on a device that draws (one that does not waits for a lock).
    if (tex && tex->ContentsPending() && GetBackend()->DrawsPixels()) tex->EnsureContents();
    if (m_state.textures[Stage] == tex) return D3D_OK;
    Rebind(m_state.textures[Stage], tex);
    if (Stage == 0) m_dirty |= kDirtyTexture0;
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
    if (!ppTexture || Stage >= (DWORD)kSamplers) return D3DERR_INVALIDCALL;
    *ppTexture = m_state.textures[Stage];
    if (m_state.textures[Stage]) m_state.textures[Stage]->AddRef();
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD FVF) {
    m_state.fvf = FVF;
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* pFVF) {
    if (!pFVF) return D3DERR_INVALIDCALL;
    *pFVF = m_state.fvf;
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                UINT Stride) {
    if (StreamNumber >= (UINT)kStreams) return D3DERR_INVALIDCALL;
    VertexBuffer* vb = nullptr;
    if (pStreamData) {
        vb = dynamic_cast<VertexBuffer*>(pStreamData);
        if (!vb || vb->OwnerDevice() != this) return D3DERR_INVALIDCALL;
    }
    Rebind(m_state.streams[StreamNumber], vb);
    m_state.streamOffset[StreamNumber] = OffsetInBytes;
    m_state.streamStride[StreamNumber] = Stride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
    IndexBuffer* ib = nullptr;
    if (pIndexData) {
        ib = dynamic_cast<IndexBuffer*>(pIndexData);
        if (!ib || ib->OwnerDevice() != this) return D3DERR_INVALIDCALL;
    }
    Rebind(m_state.indices, ib);
    return D3D_OK;
}

// Drops the device's references on everything bound.
void Device::ResetBindings() {
    for (Texture*& t : m_state.textures) Rebind(t, (Texture*)nullptr);
    for (VertexBuffer*& v : m_state.streams) Rebind(v, (VertexBuffer*)nullptr);
    Rebind(m_state.indices, (IndexBuffer*)nullptr);
}

}  // namespace d3d9
