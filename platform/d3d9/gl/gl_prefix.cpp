// The kept prefix: a frame's first draws, when they are the same as last
// frame's, are not drawn again; their pixels are copied back.
//
// Menus draw the same background, logo and pictures at the start of every
// frame and move a few small things on top; a 3-D scene whose camera stands
// still draws the same scenery first. After a clear of the whole back
// buffer, each draw of a few sprites or of a mesh of modest size is recorded
// by content (its vertices in the order it reads them, every render, sampler
// and stage state, the viewport, the vertex layout, the texture, and for a
// mesh the matrices, lights and material its vertex program reads) and
// compared with the draw at the same place in the previous frame. Once three
// frames in a row share their clear and first n draws, the back buffer after
// those n draws (colour and depth) is copied aside. A later frame whose clear
// and first n draws match again leaves them undone and copies the buffers
// back: the same bytes, for one copy instead of n filtered, blended draws.
//
// While a frame's first draws are being matched they are held back; anything
// that needs them done (a draw that differs, a read-back, a present, a
// texture rewritten, another clear) first replays the clear and the held
// draws from their records, through the same draw code as any other draw.
// A texture that is rewritten or destroyed ends the records at its first use,
// and drops the copy when the copy holds its pixels.
//
// State (members of GLBackend, gl_backend.h): the records of the latest
// frame's first draws and the clear before them, how far this frame has
// matched them, the length of the kept copy and its framebuffer. Lifetime of
// the back end. Off in fill-floor mode and while the drawing shortcuts are off.
#include "gl_backend.h"

#include <stdlib.h>
#include <string.h>

namespace d3d9 {

namespace {

// Larger draws are not recorded (and end the frame's run of records):
// pretransformed draws of more vertices than a few sprites, meshes of more
// than a piece of scenery or a model's part (as read, indices expanded).
const UINT kMaxPrefixVertices = 64;
const UINT kMaxPrefixMeshVertices = 2048;

}  // namespace

bool GLBackend::PrefixAllowed() const { return !m_floor && !m_prefixBroken && DrawShortcutsAllowed(); }

// A clear that leaves nothing of the previous frame: the whole back buffer,
// every buffer it has.
bool GLBackend::ClearsEverything(DWORD count, DWORD flags, const D3DVIEWPORT9& area) const {
    if (count != 0 || !(flags & D3DCLEAR_TARGET)) return false;
    if (m_hasDepth && !(flags & D3DCLEAR_ZBUFFER)) return false;
    return area.X == 0 && area.Y == 0 && (int)area.Width == m_bbWidth && (int)area.Height == m_bbHeight;
}

bool GLBackend::PrefixClear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil,
                            const D3DVIEWPORT9& area) {
    FinishHeldDraws();
    m_prefixRun = false;
    if (!PrefixAllowed() || !ClearsEverything(count, flags, area)) return false;
    PrefixClearRecord c;
    memset(&c, 0, sizeof c);
    c.flags = flags;
    c.color = color;
    c.z = z;
    c.stencil = stencil;
    m_prefixRun = true;
    m_prefixPos = 0;
    m_prefixPrevCommon = m_prefixCommon;
    m_prefixCommon = 0;
    m_prefixMatching = m_prefixLen > 0 && memcmp(&c, &m_prefixClear, sizeof c) == 0;
    if (!m_prefixMatching) {
        DropKeptPrefix();
        m_prefixClear = c;
        m_prefixLen = 0;
        m_prefixPrevCommon = 0;
        return false;
    }
    if (m_keptLen == 0) return false;
    m_holding = true;  // the clear waits with the draws that follow
    return true;
}

// Fills `out` with what decides the draw's pixels; false when the draw is not
// one that is recorded.
bool GLBackend::MakePrefixDraw(const DrawCall& call, const DrawState& ds, PrefixDraw* out) const {
    const State& s = *ds.state;
    const UINT maxVertices = call.layout->rhw ? kMaxPrefixVertices : kMaxPrefixMeshVertices;
    if (call.count == 0 || call.count > maxVertices) return false;
    if (ds.config.sampleTexture && (!s.textures[0] || !s.textures[0]->gpu))
        return false;  // its GL copy comes with the draw
    PrefixKey& k = out->key;
    memset(static_cast<void*>(&k), 0, sizeof k);  // padding included
    k.type = call.type;
    k.primitives = call.primitives;
    k.count = call.count;
    k.texSet = call.texSet;
    k.stride = call.stride;
    // Member by member: a layout's padding bytes hold whatever was on the
    // stack where it was parsed, and would make equal draws compare unequal.
    static_assert(sizeof(VertexLayout) == 92, "a member added to VertexLayout is copied here too");
    const VertexLayout& l = *call.layout;
    k.layout.rhw = l.rhw;
    k.layout.posOffset = l.posOffset;
    k.layout.normalOffset = l.normalOffset;
    k.layout.diffuseOffset = l.diffuseOffset;
    k.layout.specularOffset = l.specularOffset;
    k.layout.texCount = l.texCount;
    memcpy(k.layout.texOffset, l.texOffset, sizeof k.layout.texOffset);
    memcpy(k.layout.texSize, l.texSize, sizeof k.layout.texSize);
    k.layout.size = l.size;
    k.config = ds.config;
    k.fvf = s.fvf;
    k.viewport = s.viewport;
    memcpy(k.rs, s.rs, sizeof k.rs);
    memcpy(k.samp, s.samp, sizeof k.samp);
    memcpy(k.tss, s.tss, sizeof k.tss);
    memcpy(k.textures, s.textures, sizeof k.textures);
    k.texture0 = s.textures[0] ? s.textures[0]->gpu : 0;
    if (!call.layout->rhw) {
        // What the mesh's vertex program reads: the matrices, and when it is
        // lit the active lights and the material (the rest stays zero).
        const Derived& d = *ds.derived;
        memcpy(k.derived.wvp, d.wvp, sizeof k.derived.wvp);
        memcpy(k.derived.wv, d.wv, sizeof k.derived.wv);
        memcpy(k.derived.normalMatrix, d.normalMatrix, sizeof k.derived.normalMatrix);
        if (ds.config.lighting) {
            const int n = d.activeLights;
            k.derived.activeLights = n;
            memcpy(k.derived.lightDir, d.lightDir, sizeof(float) * 3 * n);
            memcpy(k.derived.lightDiffuse, d.lightDiffuse, sizeof(float) * 4 * n);
            memcpy(k.derived.lightSpecular, d.lightSpecular, sizeof(float) * 4 * n);
            memcpy(k.derived.lightAmbient, d.lightAmbient, sizeof(float) * 4 * n);
            k.material = s.material;
        }
    }
    // The vertices in the order the draw reads them: drawn without indices
    // they make the same primitives from the same values.
    out->vertices.resize((size_t)call.count * call.stride);
    uint8_t* dst = out->vertices.data();
    return ForEachDrawVertex(call, maxVertices, [&](const uint8_t* v) {
        memcpy(dst, v, call.stride);
        dst += call.stride;
        return true;
    });
}

bool GLBackend::SamePrefixDraw(const PrefixDraw& a, const PrefixDraw& b) {
    return memcmp(&a.key, &b.key, sizeof a.key) == 0 && a.vertices == b.vertices;
}

bool GLBackend::PrefixDrawTaken(const DrawCall& call, const DrawState& ds) {
    if (!m_prefixRun) return false;
    if (!PrefixAllowed()) {
        FinishHeldDraws();
        m_prefixRun = false;
        return false;
    }
    const int n = m_prefixPos;
    const bool recorded = n < kMaxPrefixDraws && MakePrefixDraw(call, ds, &m_prefixScratch);
    const bool same = recorded && m_prefixMatching && n < m_prefixLen && SamePrefixDraw(m_prefixScratch, m_prefix[n]);
    if (m_holding) {
        if (same) {
            m_prefixPos = m_prefixCommon = n + 1;
            if (m_prefixPos == m_keptLen) RestoreKeptPrefix();
            return true;
        }
        // This frame leaves the kept draws here.
        ReplayAndKeep(n);
    }
    if (!same) {
        KeepSharedDraws(n);
        m_prefixMatching = false;
        if (recorded) {
            std::swap(m_prefix[n], m_prefixScratch);
            m_prefixLen = n + 1;
        } else {
            m_prefixLen = n;
            m_prefixRun = false;
            return false;
        }
    } else {
        m_prefixCommon = n + 1;
    }
    m_prefixPos = n + 1;
    return false;
}

void GLBackend::PrefixPresent() {
    if (!m_prefixRun) return;
    const int n = m_prefixPos;
    if (m_holding)
        ReplayAndKeep(n);
    else
        KeepSharedDraws(n);
    m_prefixLen = n;
    m_prefixRun = false;
}

// A held frame stops matching after n draws: does those, and keeps them.
void GLBackend::ReplayAndKeep(int n) {
    ReplayHeldDraws(n);
    if (n > 0)
        KeepPrefix(n);
    else
        DropKeptPrefix();
}

// The draws this frame shares with the previous one end after n: keeps them
// when they are more than the copy holds and the frame before shared them too.
void GLBackend::KeepSharedDraws(int n) {
    if (m_prefixMatching && n > m_keptLen && n <= m_prefixPrevCommon) KeepPrefix(n);
}

void GLBackend::FinishHeldDraws() {
    if (!m_holding) return;
    ReplayHeldDraws(m_prefixPos);
    m_prefixRun = false;  // what follows is not recorded
}

// Does the held clear and the first n recorded draws, as they would have been.
void GLBackend::ReplayHeldDraws(int n) {
    m_holding = false;
    const PrefixClearRecord& c = m_prefixClear;
    D3DVIEWPORT9 all = {0, 0, (DWORD)m_bbWidth, (DWORD)m_bbHeight, 0.0f, 1.0f};
    ClearNow(0, nullptr, c.flags, c.color, c.z, c.stencil, all);
    for (int i = 0; i < n; ++i) {
        const PrefixKey& k = m_prefix[i].key;
        State& s = m_replayState;
        memcpy(s.rs, k.rs, sizeof s.rs);
        memcpy(s.samp, k.samp, sizeof s.samp);
        memcpy(s.tss, k.tss, sizeof s.tss);
        memcpy(s.textures, k.textures, sizeof s.textures);
        s.viewport = k.viewport;
        s.fvf = k.fvf;
        s.material = k.material;
        memcpy(static_cast<void*>(&m_replayDerived), &k.derived, sizeof m_replayDerived);
        DrawCall call;
        call.type = k.type;
        call.primitives = k.primitives;
        call.count = k.count;
        call.layout = &k.layout;
        call.texSet = k.texSet;
        call.stride = k.stride;
        call.userVertices = m_prefix[i].vertices.data();
        call.userBytes = m_prefix[i].vertices.size();
        // Versions no device hands out, so every program takes this state's
        // uniforms, and the next live draw's again.
        ++m_replayVersion;
        for (uint64_t& v : m_replayVersions) v = m_replayVersion;
        DrawState ds;
        ds.state = &s;
        ds.dirty = kDirtyAll;
        ds.versions = m_replayVersions;
        ds.derived = &m_replayDerived;
        ds.config = k.config;
        DrawNow(call, ds);
    }
    m_glDirty = kDirtyAll;  // the live state is applied whole at the next draw
}

// Creates the framebuffer the kept pixels go to: colour, and depth in the
// back buffer's own format (a copy between depth buffers needs the same
// format); false if the GL cannot.
bool GLBackend::MakeKeptTargets() {
    if (m_keptFbo) return true;
    if (m_hasDepth && !m_depthFormat) return false;
    glGenFramebuffers(1, &m_keptFbo);
    glBindFramebuffer(GL_FRAMEBUFFER, m_keptFbo);
    m_keptColor = AttachRenderbuffer(GL_RGBA8, GL_COLOR_ATTACHMENT0);
    if (m_hasDepth) m_keptDepth = AttachRenderbuffer(m_depthFormat, DepthAttachment(m_depthFormat));
    const bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    ApplyBackBufferBinding();
    return ok;
}

// Copies the back buffer (colour and depth) aside as the pixels of the first
// n recorded draws.
void GLBackend::KeepPrefix(int n) {
    DropKeptPrefix();
    if (m_prefixBroken) return;
    if (!MakeKeptTargets()) {
        m_prefixBroken = true;
        return;
    }
    CopyBuffer(m_fbo, m_fboColor, m_keptFbo, m_keptColor, GL_COLOR_BUFFER_BIT);
    if (m_hasDepth) CopyBuffer(m_fbo, m_fboDepth, m_keptFbo, m_keptDepth, GL_DEPTH_BUFFER_BIT);
    ApplyBackBufferBinding();
    if (glGetError() != GL_NO_ERROR) {
        m_prefixBroken = true;  // never restore what may not have been copied
        return;
    }
    m_keptLen = n;
}

void GLBackend::DropKeptPrefix() { m_keptLen = 0; }

// Copies the whole colour (or depth) buffer of one framebuffer to another:
// between two renderbuffers of the same format as a plain copy when the GL
// has one (glCopyImageSubData), else by a blit without scaling (the window's
// own back buffer is not a renderbuffer). Either way the same bytes.
void GLBackend::CopyBuffer(GLuint fromFbo, GLuint fromRb, GLuint toFbo, GLuint toRb, GLbitfield which) {
    if (m_copyImage && fromRb && toRb) {
        glCopyImageSubData(fromRb, GL_RENDERBUFFER, 0, 0, 0, 0, toRb, GL_RENDERBUFFER, 0, 0, 0, 0, m_bbWidth,
                           m_bbHeight, 1);
        return;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fromFbo);
    if (!fromFbo) glReadBuffer(GL_BACK);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, toFbo);
    if (!toFbo) glDrawBuffer(GL_BACK);
    glBlitFramebuffer(0, 0, m_bbWidth, m_bbHeight, 0, 0, m_bbWidth, m_bbHeight, which, GL_NEAREST);
}

// The back buffer as the kept draws left it, in place of drawing them.
void GLBackend::RestoreKeptPrefix() {
    m_holding = false;
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    CopyBuffer(m_keptFbo, m_keptColor, m_fbo, m_fboColor, GL_COLOR_BUFFER_BIT);
    if (m_hasDepth) CopyBuffer(m_keptFbo, m_keptDepth, m_fbo, m_fboDepth, GL_DEPTH_BUFFER_BIT);
    ApplyBackBufferBinding();
    if (m_prefixClear.flags & D3DCLEAR_STENCIL) {
        // No draw writes the stencil buffer: it holds what the clear left.
        glClearStencil((GLint)(m_prefixClear.stencil & 0xff));
        glStencilMask(0xff);
        glClear(GL_STENCIL_BUFFER_BIT);
    }
    m_glDirty = kDirtyAll;
    CountShortcutDraw(kShortcutPrefixKept);
}

// A texture's pixels change or it goes away: records that draw it, and a
// copy holding its pixels, no longer stand for anything.
void GLBackend::PrefixTextureChanged(const Texture& t) {
    FinishHeldDraws();
    for (int i = 0; i < m_prefixLen; ++i) {
        const PrefixKey& k = m_prefix[i].key;
        bool uses = false;
        for (Texture* used : k.textures) uses = uses || used == &t;
        if (!uses) continue;
        if (m_keptLen > i) DropKeptPrefix();
        m_prefixLen = i;
        if (m_prefixPos > i) m_prefixMatching = false;
        break;
    }
}

void GLBackend::FreeKeptTargets() {
    if (m_keptFbo) glDeleteFramebuffers(1, &m_keptFbo);
    if (m_keptColor) glDeleteRenderbuffers(1, &m_keptColor);
    if (m_keptDepth) glDeleteRenderbuffers(1, &m_keptDepth);
    m_keptFbo = m_keptColor = m_keptDepth = 0;
}

}  // namespace d3d9
