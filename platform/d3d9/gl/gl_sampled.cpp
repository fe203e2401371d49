// The sampled copy: a large pretransformed picture that is drawn the same way
// frame after frame is filtered once, then read back one texel per pixel.
//
// A full-screen picture over the 3-D scene (the hit cut-in, the break
// warning) comes from a texture of another size (1680x900 from 2048x1024),
// so every pixel of it costs a trilinear sample. When the same draw (same
// vertices, states, viewport and texture, recorded as the kept prefix records
// them) comes a second time, its fragment colours are drawn once more into a
// texture of the back buffer's size, without blending or depth test. From
// then on the draw samples that texture with nearest filtering, texture
// coordinates on the texel centres under the pixel centres, and is blended,
// depth-tested and written as the draw itself would be: the same bytes,
// since the stage's result is the sampled texel itself or one. Only draws
// whose stage selects or modulates the texture and a diffuse colour that is
// opaque white qualify, with no alpha test and no specular colour.
//
// State (members of GLBackend, gl_backend.h): two slots, each the record of
// such a draw (the two seen last), whether its copy holds the draw's colours,
// the copy's texture and framebuffer. Lifetime of the back end. A texture
// rewritten or destroyed ends the copy made from it. Off in fill-floor mode
// and while the drawing shortcuts are off.
#include "gl_backend.h"

#include <math.h>
#include <string.h>

#include <algorithm>

namespace d3d9 {

namespace {

// An operation whose result is its texture argument, or one (a white diffuse colour).
bool PlainOp(int op, int arg1, int arg2) {
    int args[2] = {0, 0};
    const int n = StageOpArgs(op, arg1, arg2, args);
    for (int i = 0; i < n; ++i)
        if (!TextureOrDiffuseArg(args[i])) return false;
    return n > 0;
}

}  // namespace

bool GLBackend::SampledEligible(const DrawCall& call, const DrawState& ds) const {
    const ShaderConfig& c = ds.config;
    const VertexLayout& layout = *call.layout;
    if (!c.rhw || !c.sampleTexture || c.lighting || c.specularEnable || c.alphaFunc) return false;
    if (call.type != D3DPT_TRIANGLELIST && call.type != D3DPT_TRIANGLESTRIP && call.type != D3DPT_TRIANGLEFAN)
        return false;
    if (call.texSet < 0 || call.texSet >= layout.texCount || layout.texSize[call.texSet] < 2) return false;
    if (!PlainOp(c.colorOp, c.colorArg1, c.colorArg2) || !PlainOp(c.alphaOp, c.alphaArg1, c.alphaArg2)) return false;
    // Vertices at w = 1 (texture coordinates then run linearly across the
    // screen), white and opaque, over at least a quarter of the back buffer.
    float x0 = 1e30f, y0 = 1e30f, x1 = -1e30f, y1 = -1e30f;
    const bool plain = ForEachDrawVertex(call, kMaxSampledVertices, [&](const uint8_t* v) {
        float pos[4];
        memcpy(pos, v + layout.posOffset, sizeof pos);
        if (pos[3] != 1.0f || !(fabsf(pos[0]) < 1e6f) || !(fabsf(pos[1]) < 1e6f)) return false;
        if (c.hasDiffuse) {
            D3DCOLOR color;
            memcpy(&color, v + layout.diffuseOffset, sizeof color);
            if (color != 0xFFFFFFFFu) return false;
        }
        x0 = std::min(x0, pos[0]);
        y0 = std::min(y0, pos[1]);
        x1 = std::max(x1, pos[0]);
        y1 = std::max(y1, pos[1]);
        return true;
    });
    if (!plain) return false;
    const double w = std::min<double>(x1, m_bbWidth) - std::max<double>(x0, 0.0);
    const double h = std::min<double>(y1, m_bbHeight) - std::max<double>(y0, 0.0);
    return w > 0.0 && h > 0.0 && w * h * 4.0 >= (double)m_bbWidth * m_bbHeight;
}

int GLBackend::SampledPlan(const DrawCall& call, const DrawState& ds) {
    if (m_sampledBroken || m_exactBound || !SampledEligible(call, ds)) return kSampledNo;
    if (!MakePrefixDraw(call, ds, &m_sampledScratch)) return kSampledNo;
    ++m_sampledClock;
    for (SampledSlot& slot : m_sampledSlots) {
        if (slot.recorded && SamePrefixDraw(m_sampledScratch, slot.draw)) {
            slot.lastUse = m_sampledClock;
            m_sampledSlot = &slot;
            return slot.valid ? kSampledUse : kSampledMake;
        }
    }
    // Seen for the first time: recorded in the slot used longest ago.
    SampledSlot* oldest = &m_sampledSlots[0];
    for (SampledSlot& slot : m_sampledSlots)
        if (slot.lastUse < oldest->lastUse) oldest = &slot;
    std::swap(oldest->draw, m_sampledScratch);
    oldest->recorded = true;
    oldest->valid = false;
    oldest->lastUse = m_sampledClock;
    return kSampledNo;
}

bool GLBackend::MakeSampledTarget(SampledSlot& slot) {
    if (slot.fbo) return true;
    const GLuint bound = m_boundTexture0;
    glGenTextures(1, &slot.tex);
    BindTextureUnit0(slot.tex);
    if (m_texStorage)
        glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, m_bbWidth, m_bbHeight);
    else
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, m_bbWidth, m_bbHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glGenFramebuffers(1, &slot.fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, slot.fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, slot.tex, 0);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    const bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    ApplyBackBufferBinding();
    BindTextureUnit0(bound);  // the draw's texture, for the fill
    return ok;
}

bool GLBackend::BeginSampledFill() {
    if (!MakeSampledTarget(*m_sampledSlot)) {
        m_sampledBroken = true;
        return false;
    }
    glGetError();  // clear what an earlier call left: the fill's own errors are checked
    glBindFramebuffer(GL_FRAMEBUFFER, m_sampledSlot->fbo);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    return true;
}

void GLBackend::EndSampledFill(const DrawCall& call, const State& s) {
    ApplyBackBufferBinding();
    ApplyDepth(s);
    ApplyColorMask(s);
    if (m_glBlendOn) glEnable(GL_BLEND);
    SampledSlot& slot = *m_sampledSlot;
    slot.valid = glGetError() == GL_NO_ERROR;
    if (!slot.valid) {
        m_sampledBroken = true;  // never read what may not have been drawn
        return;
    }
    // The vertices that read the copy: each one's texture coordinates put on
    // the copy's texel under it (window x + 0.5, rows from the bottom), which
    // nearest sampling then reads at every pixel centre.
    const VertexLayout& layout = *call.layout;
    slot.readVertices = slot.draw.vertices;
    const double w = m_bbWidth, h = m_bbHeight;
    for (size_t at = 0; at + call.stride <= slot.readVertices.size(); at += call.stride) {
        uint8_t* v = slot.readVertices.data() + at;
        float pos[4];
        memcpy(pos, v + layout.posOffset, sizeof pos);
        const float uv[2] = {(float)((pos[0] + 0.5) / w), (float)((h - pos[1] - 0.5) / h)};
        memcpy(v + layout.texOffset[call.texSet], uv, sizeof uv);
    }
}

// The recorded draw once more, reading the copy with nearest sampling.
bool GLBackend::DrawSampled(const DrawCall& call, const DrawState& ds) {
    const SampledSlot& slot = *m_sampledSlot;
    VertexSource src;
    src.texSet = call.texSet;
    src.fvf = ds.state->fvf;
    src.stride = call.stride;
    src.buffer = m_vertexRing.gl;
    src.base = RingWrite(m_vertexRing, slot.readVertices.data(), slot.readVertices.size());
    BindVertexSource(src, *call.layout);
    BindTextureUnit0(slot.tex);
    glBindSampler(0, m_exactSampler);
    m_exactBound = true;
    glDrawArrays(GLPrimitiveMode(call.type), 0, (GLsizei)call.count);
    BindTextureUnit0(TextureName(*ds.state->textures[0]));
    CountShortcutDraw(kShortcutSampledCopy);
    return true;
}

void GLBackend::SampledTextureChanged(const Texture& t) {
    for (SampledSlot& slot : m_sampledSlots) {
        if (!slot.recorded) continue;
        for (Texture* used : slot.draw.key.textures) {
            if (used == &t) slot.recorded = slot.valid = false;
        }
    }
}

void GLBackend::FreeSampledTarget() {
    for (SampledSlot& slot : m_sampledSlots) {
        if (slot.fbo) glDeleteFramebuffers(1, &slot.fbo);
        if (slot.tex) glDeleteTextures(1, &slot.tex);
        slot.fbo = slot.tex = 0;
    }
}

}  // namespace d3d9
