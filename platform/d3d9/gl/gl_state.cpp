// The GL back end's state: one apply function per dirty group of the front
// end, the fixed-function program of a configuration (built once, cached),
// and the uniforms each program is sent when their group's version moves.
#include "gl_backend.h"

#include <string.h>

namespace d3d9 {

namespace {

GLenum CompareFunc(DWORD f) {
    switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
    }
}

// Direct3D blend factor as GL's; `src` distinguishes the two legacy "both" modes.
GLenum BlendFactor(DWORD f, bool src, bool* usesConstant) {
    switch (f) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BOTHSRCALPHA: return src ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_BOTHINVSRCALPHA: return src ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    case D3DBLEND_BLENDFACTOR: *usesConstant = true; return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: *usesConstant = true; return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return src ? GL_ONE : GL_ZERO;
    }
}

GLenum BlendEquation(DWORD op) {
    switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum AddressMode(DWORD a) {
    switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_CLAMP_TO_EDGE;  // the nearest GL 3.3 has
    default: return GL_REPEAT;
    }
}

void ColorToFloats(D3DCOLOR c, float* out) {
    out[0] = ((c >> 16) & 0xff) / 255.0f;
    out[1] = ((c >> 8) & 0xff) / 255.0f;
    out[2] = (c & 0xff) / 255.0f;
    out[3] = ((c >> 24) & 0xff) / 255.0f;
}

}  // namespace

bool GLBackend::ApplyState(const DrawState& ds) {
    static bool warnedProgram = false;
    if (m_floor) return ApplyFloorState(ds);
    const State& s = *ds.state;
    ShaderConfig c = ds.config;
    c.remapDepth = !m_clipControl;
    c.flipY = m_flipY;
    Program* p = FindProgram(PackShaderKey(c));
    if (!p) {
        WarnOnce(&warnedProgram, "a fixed-function program failed to build; its draws are skipped");
        return false;
    }
    if (p != m_currentProgram) {
        glUseProgram(p->prog);
        m_currentProgram = p;
    }
    UploadUniforms(p, ds);

    const uint32_t dirty = ds.dirty | m_glDirty;
    if (dirty & kDirtyBlend) ApplyBlend(s);
    if (dirty & kDirtyDepth) ApplyDepth(s);
    if (dirty & kDirtyRaster) ApplyRaster(s);
    if (dirty & kDirtyViewport) ApplyViewport(s);
    if (dirty & kDirtySampler0) ApplySampler(s, 0);
    m_glDirty = 0;

    if (c.sampleTexture) BindTextureUnit0(TextureName(*s.textures[0]));
    return true;
}

// The fill floor's draw set-up: the draw's own positions, texture coordinates
// and texture through the simplest program; fixed GL state, re-set only when
// a clear or present disturbed it, and the viewport when it moves.
bool GLBackend::ApplyFloorState(const DrawState& ds) {
    const State& s = *ds.state;
    const ShaderConfig& from = ds.config;
    ShaderConfig c;
    c.rhw = from.rhw;
    c.hasTex = from.hasTex;
    c.sampleTexture = from.sampleTexture;
    c.hasDiffuse = from.sampleTexture ? 0 : from.hasDiffuse;
    c.colorArg1 = c.alphaArg1 = from.sampleTexture ? D3DTA_TEXTURE : D3DTA_DIFFUSE;
    c.remapDepth = !m_clipControl;
    c.flipY = m_flipY;
    Program* p = FindProgram(PackShaderKey(c));
    if (!p) return false;
    if (p != m_currentProgram) {
        glUseProgram(p->prog);
        m_currentProgram = p;
    }
    UploadUniforms(p, ds);
    if (m_glDirty) {
        glDisable(GL_BLEND);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, m_alphaWrites ? GL_TRUE : GL_FALSE);
        if (m_hasDepth) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(GL_LEQUAL);
            glDepthMask(GL_TRUE);
        }
        glDisable(GL_CULL_FACE);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glSamplerParameteri(m_samplers[0], GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glSamplerParameteri(m_samplers[0], GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        ApplyViewport(s);
        m_glDirty = 0;
    } else if (ds.dirty & kDirtyViewport) {
        ApplyViewport(s);
    }
    if (c.sampleTexture) BindTextureUnit0(TextureName(*s.textures[0]));
    return true;
}

void GLBackend::ApplyBlend(const State& s) {
    if (s.rs[D3DRS_ALPHABLENDENABLE]) {
        bool constant = false;
        const GLenum src = BlendFactor(s.rs[D3DRS_SRCBLEND], true, &constant);
        GLenum dst = BlendFactor(s.rs[D3DRS_DESTBLEND], false, &constant);
        // The legacy "both" source modes decide the destination factor too.
        const DWORD srcMode = s.rs[D3DRS_SRCBLEND];
        if (srcMode == D3DBLEND_BOTHSRCALPHA || srcMode == D3DBLEND_BOTHINVSRCALPHA)
            dst = BlendFactor(srcMode, false, &constant);
        glEnable(GL_BLEND);
        m_glBlendOn = true;
        glBlendFunc(src, dst);
        glBlendEquation(BlendEquation(s.rs[D3DRS_BLENDOP]));
        if (constant) {
            float bf[4];
            ColorToFloats(s.rs[D3DRS_BLENDFACTOR], bf);
            glBlendColor(bf[0], bf[1], bf[2], bf[3]);
        }
    } else {
        glDisable(GL_BLEND);
        m_glBlendOn = false;
    }
    ApplyColorMask(s);
}

void GLBackend::ApplyColorMask(const State& s) {
    const DWORD mask = s.rs[D3DRS_COLORWRITEENABLE];
    glColorMask((mask & D3DCOLORWRITEENABLE_RED) != 0, (mask & D3DCOLORWRITEENABLE_GREEN) != 0,
                (mask & D3DCOLORWRITEENABLE_BLUE) != 0, (mask & D3DCOLORWRITEENABLE_ALPHA) != 0 && m_alphaWrites);
}

void GLBackend::ApplyDepth(const State& s) {
    if (m_hasDepth && s.rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(CompareFunc(s.rs[D3DRS_ZFUNC]));
        glDepthMask(s.rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    } else {
        glDisable(GL_DEPTH_TEST);  // and so no depth writes, as in Direct3D
    }
}

void GLBackend::ApplyRaster(const State& s) {
    switch (s.rs[D3DRS_CULLMODE]) {
    case D3DCULL_NONE: glDisable(GL_CULL_FACE); break;
    case D3DCULL_CW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        break;
    default:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        break;
    }
    const DWORD fill = s.rs[D3DRS_FILLMODE];
    glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
}

void GLBackend::ApplyViewport(const State& s) {
    glViewport((GLint)s.viewport.X, m_bbHeight - (GLint)s.viewport.Y - (GLint)s.viewport.Height,
               (GLsizei)s.viewport.Width, (GLsizei)s.viewport.Height);
    glDepthRange(s.viewport.MinZ, s.viewport.MaxZ);
}

void GLBackend::UploadUniforms(Program* p, const DrawState& ds) {
    const State& s = *ds.state;
    const Derived& d = *ds.derived;
    const uint64_t* v = ds.versions;
    if (p->versions[kGroupTransform] != v[kGroupTransform]) {
        glUniformMatrix4fv(p->uWvp, 1, GL_FALSE, d.wvp);
        glUniformMatrix4fv(p->uWv, 1, GL_FALSE, d.wv);
        glUniformMatrix3fv(p->uNormal, 1, GL_FALSE, d.normalMatrix);
        p->versions[kGroupTransform] = v[kGroupTransform];
    }
    if (p->versions[kGroupViewport] != v[kGroupViewport]) {
        const float X = (float)s.viewport.X, Y = (float)s.viewport.Y;
        const float W = (float)s.viewport.Width, H = (float)s.viewport.Height;
        glUniform4f(p->uVpMap, 2.0f / W, (0.5f - X) * 2.0f / W - 1.0f, -2.0f / H, 1.0f - (0.5f - Y) * 2.0f / H);
        const float range = s.viewport.MaxZ - s.viewport.MinZ;
        const float zs = range != 0.0f ? 1.0f / range : 0.0f;
        glUniform2f(p->uZMap, zs, -s.viewport.MinZ * zs);
        glUniform2f(p->uHalfPixel, 1.0f / W, -1.0f / H);
        p->versions[kGroupViewport] = v[kGroupViewport];
    }
    if (p->versions[kGroupLighting] != v[kGroupLighting]) {
        float amb[4];
        ColorToFloats(s.rs[D3DRS_AMBIENT], amb);
        glUniform4fv(p->uAmbient, 1, amb);
        glUniform4fv(p->uMatDiffuse, 1, &s.material.Diffuse.r);
        glUniform4fv(p->uMatAmbient, 1, &s.material.Ambient.r);
        glUniform4fv(p->uMatSpecular, 1, &s.material.Specular.r);
        glUniform4fv(p->uMatEmissive, 1, &s.material.Emissive.r);
        glUniform1f(p->uMatPower, s.material.Power);
        if (d.activeLights > 0) {
            glUniform3fv(p->uLightDir, d.activeLights, d.lightDir);
            glUniform4fv(p->uLightDiffuse, d.activeLights, d.lightDiffuse);
            glUniform4fv(p->uLightSpecular, d.activeLights, d.lightSpecular);
            glUniform4fv(p->uLightAmbient, d.activeLights, d.lightAmbient);
        }
        p->versions[kGroupLighting] = v[kGroupLighting];
    }
    if (p->versions[kGroupPixel] != v[kGroupPixel]) {
        float tf[4];
        ColorToFloats(s.rs[D3DRS_TEXTUREFACTOR], tf);
        glUniform4fv(p->uTexFactor, 1, tf);
        glUniform1f(p->uAlphaRef, (float)(s.rs[D3DRS_ALPHAREF] & 0xff));
        p->versions[kGroupPixel] = v[kGroupPixel];
    }
}

Program* GLBackend::FindProgram(uint64_t key) {
    ++m_programClock;
    if (m_currentProgram && m_currentProgram->key == key) {
        m_currentProgram->lastUse = m_programClock;
        return m_currentProgram->prog ? m_currentProgram : nullptr;
    }
    for (int i = 0; i < m_programCount; ++i) {
        if (m_programs[i].key == key) {
            m_programs[i].lastUse = m_programClock;
            return m_programs[i].prog ? &m_programs[i] : nullptr;
        }
    }
    int slot = m_programCount;
    if (slot == kProgramCacheSize) {
        slot = 0;
        for (int i = 1; i < kProgramCacheSize; ++i)
            if (m_programs[i].lastUse < m_programs[slot].lastUse) slot = i;
        if (m_programs[slot].prog) glDeleteProgram(m_programs[slot].prog);
    } else {
        ++m_programCount;
    }
    Program& p = m_programs[slot];
    p = Program();
    p.key = key;
    p.lastUse = m_programClock;
    BuildProgram(key, &p);       // leaves prog 0 on failure, so the key is not retried every draw
    m_currentProgram = nullptr;  // building changed the GL program binding
    return p.prog ? &p : nullptr;
}

void GLBackend::ApplySampler(const State& state, int stage) {
    const DWORD* s = state.samp[stage];
    const GLuint smp = m_samplers[stage];
    const bool magLinear = s[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR;
    const bool minLinear = s[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    GLenum minFilter;
    switch (s[D3DSAMP_MIPFILTER]) {
    case D3DTEXF_NONE: minFilter = minLinear ? GL_LINEAR : GL_NEAREST; break;
    case D3DTEXF_POINT: minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
    default: minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
    }
    glSamplerParameteri(smp, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(smp, GL_TEXTURE_MIN_FILTER, (GLint)minFilter);
    glSamplerParameteri(smp, GL_TEXTURE_WRAP_S, (GLint)AddressMode(s[D3DSAMP_ADDRESSU]));
    glSamplerParameteri(smp, GL_TEXTURE_WRAP_T, (GLint)AddressMode(s[D3DSAMP_ADDRESSV]));
    glSamplerParameteri(smp, GL_TEXTURE_WRAP_R, (GLint)AddressMode(s[D3DSAMP_ADDRESSW]));
    float border[4];
    ColorToFloats(s[D3DSAMP_BORDERCOLOR], border);
    glSamplerParameterfv(smp, GL_TEXTURE_BORDER_COLOR, border);
    float bias;
    memcpy(&bias, &s[D3DSAMP_MIPMAPLODBIAS], sizeof bias);
    glSamplerParameterf(smp, GL_TEXTURE_LOD_BIAS, bias);
    glSamplerParameterf(smp, GL_TEXTURE_MIN_LOD, (float)s[D3DSAMP_MAXMIPLEVEL]);
}

}  // namespace d3d9
