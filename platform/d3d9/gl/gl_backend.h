// The GL back end: draws a device's checked calls with OpenGL 3.3 core.
//
// State: one GL context on the device's window, an off-screen back buffer
// when the window's drawable cannot serve as one, the VAO, sampler objects,
// two streaming rings, the fixed-function program cache, and a cache of the
// GL state last applied so a draw only issues what changed. Each dirty group
// of the front end has one apply function here (gl_state.cpp).
// Lifetime: made by CreateDevice, destroyed with the device; the context is
// deleted last.
// Fill-floor mode (WINAPI_D3D9_FLOOR=1, read once at creation; for the
// benchmark, never set by the game): every draw keeps its vertices, transforms,
// viewport and texture, but is drawn with the simplest textured program, no
// blending, depth test LESSEQUAL with writes, no culling and nearest sampling,
// set once after each clear or present: the cost of the frame's pixels alone.
// Files: gl_device.cpp (context, clear, present, read-back,
// resources' GL objects), gl_stream.cpp (buffers, rings, texture uploads),
// gl_state.cpp (state and programs), gl_draw.cpp (the draw), gl_shaders.cpp
// (generated GLSL), gl_exact.cpp (shortcuts that keep every pixel: nearest
// sampling for one-to-one quads, no blending for opaque draws), gl_prefix.cpp
// (a frame's first draws, unchanged since the last frames, copied back
// instead of drawn), gl_sampled.cpp (a large picture drawn the same way
// frame after frame, filtered once and then read one texel per pixel).
#pragma once

#include <epoxy/gl.h>
#include <string.h>

#include <utility>
#include <vector>

#include "d3d9/d3d9_state.h"

namespace d3d9 {

// Calls `fn(vertex bytes)` for every vertex the draw reads, in the order it
// reads them; false when it reads more than `maxVertices`, when they cannot
// be read (a buffer without a CPU copy, out of range) or when `fn` says so.
template <typename Fn>
bool ForEachDrawVertex(const DrawCall& call, UINT maxVertices, Fn fn) {
    if (call.count == 0 || call.count > maxVertices) return false;
    const uint8_t* vertices;
    if (call.userVertices) {
        vertices = static_cast<const uint8_t*>(call.userVertices);
    } else {
        if (!call.buffer || !call.buffer->store.data) return false;
        vertices = call.buffer->store.data.get() + call.offset;
    }
    const uint8_t* indices = nullptr;
    bool wide = false;
    if (call.indexed) {
        if (call.userIndices) {
            indices = static_cast<const uint8_t*>(call.userIndices);
            wide = call.wideIndices;
        } else {
            if (!call.indices || !call.indices->store.data) return false;
            wide = call.indices->IndexSize() == 4;
            const size_t begin = (size_t)call.startIndex * (wide ? 4 : 2);
            if (begin + (size_t)call.count * (wide ? 4 : 2) > call.indices->store.size) return false;
            indices = call.indices->store.data.get() + begin;
        }
    }
    for (UINT i = 0; i < call.count; ++i) {
        INT64 vertex;
        if (!call.indexed) {
            vertex = (INT64)call.firstVertex + i;
        } else if (wide) {
            uint32_t v;
            memcpy(&v, indices + (size_t)i * 4, 4);
            vertex = (INT64)v + call.baseVertex;
        } else {
            uint16_t v;
            memcpy(&v, indices + (size_t)i * 2, 2);
            vertex = (INT64)v + call.baseVertex;
        }
        if (vertex < 0) return false;
        if (call.userVertices ? ((UINT64)vertex + 1) * call.stride > call.userBytes
                              : (UINT64)vertex >= call.streamVertices)
            return false;
        if (!fn(vertices + (size_t)vertex * call.stride)) return false;
    }
    return true;
}

inline GLenum GLPrimitiveMode(D3DPRIMITIVETYPE type) {
    switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
    }
}

// The arguments a stage operation reads, for the shortcuts that ask what a
// stage gives back (gl_exact.cpp, gl_sampled.cpp): SELECTARG1, SELECTARG2 and
// MODULATE fill `args` and return how many; any other operation returns -1.
inline int StageOpArgs(int op, int arg1, int arg2, int args[2]) {
    switch (op) {
    case D3DTOP_SELECTARG1: args[0] = arg1; return 1;
    case D3DTOP_SELECTARG2: args[0] = arg2; return 1;
    case D3DTOP_MODULATE:
        args[0] = arg1;
        args[1] = arg2;
        return 2;
    default: return -1;
    }
}

// An argument that is the texture or the diffuse colour, unmodified.
inline bool TextureOrDiffuseArg(int arg) {
    return arg == D3DTA_TEXTURE || arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT;
}

// One compiled fixed-function program and the uniform data it last received.
struct Program {
    uint64_t key = 0;
    GLuint prog = 0;
    uint64_t lastUse = 0;
    uint64_t versions[kUniformGroups] = {};  // per uniform group, the version last uploaded
    GLint uWvp = -1, uWv = -1, uNormal = -1;
    GLint uVpMap = -1, uZMap = -1, uHalfPixel = -1;
    GLint uAmbient = -1, uMatDiffuse = -1, uMatAmbient = -1, uMatSpecular = -1, uMatEmissive = -1, uMatPower = -1;
    GLint uLightDir = -1, uLightDiffuse = -1, uLightSpecular = -1, uLightAmbient = -1;
    GLint uTexFactor = -1, uAlphaRef = -1, uTex0 = -1;
};

// Builds the program for a key (gl_shaders.cpp); false with the GL log on
// stderr if it does not compile.
bool BuildProgram(uint64_t key, Program* out);

class GLBackend final : public Backend {
public:
    GLBackend(SDL_Window* window, void* context, const D3DPRESENT_PARAMETERS& params);
    ~GLBackend() override;
    // Creates the GL objects; false (message on stderr) on failure.
    bool Init(bool needOffscreen);

    bool MakeCurrent() override;
    void Abandon() override { m_abandoned = true; }
    void Started(IDirect3DDevice9* device) override;
    UINT MaxTextureSize() const override { return (UINT)m_maxTextureSize; }
    bool DrawsPixels() const override { return true; }
    void Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil,
               const D3DVIEWPORT9& area) override;
    void Present() override;
    bool ReadBack(int x, int y, int w, int h, uint32_t* out) override;
    bool Draw(const DrawCall& call, const DrawState& state) override;
    void BufferGone(BufferStore& store) override;
    void TextureGone(Texture& texture) override;
    void TextureWritten(Texture& texture, UINT level, const RECT& area) override;
    void TextureMipsFromTop(Texture& texture) override;
    bool ReadTexture(Texture& texture, UINT level, uint8_t* out) override;
    void TextureFilled(Texture& texture) override { TextureName(texture); }
    uint64_t UploadBytes() const override { return m_uploadBytes; }
    void ResetCounters() override { m_uploadBytes = 0; }

private:
    // A buffer object written front to back and orphaned when full; draws
    // that bring their own data (UP draws, small buffers rewritten between
    // draws) stream through it without waiting for the GL.
    struct Ring {
        GLuint gl = 0;
        GLenum target = 0;
        size_t size = 0;
        size_t head = 0;
    };

    // Where a draw's vertices are in GL.
    // What decides a recorded draw's pixels (gl_prefix.cpp), as plain bytes:
    // zeroed, then filled, so that two records compare with memcmp.
    struct PrefixKey {
        D3DPRIMITIVETYPE type;
        UINT primitives, count, stride;
        int texSet;
        VertexLayout layout;
        ShaderConfig config;
        DWORD fvf;
        D3DVIEWPORT9 viewport;
        DWORD rs[kRenderStateCount];
        DWORD samp[kSamplers][kSamplerStateCount];
        DWORD tss[kStages][kStageStateCount];
        Texture* textures[kSamplers];
        GLuint texture0;
        // Mesh draws only (zero for pretransformed ones): the matrices their
        // vertex program reads and, for a lit mesh, the lights and material.
        Derived derived;
        D3DMATERIAL9 material;
    };
    // Its key starts zeroed and is copied byte for byte, padding included
    // (a member-wise copy may leave the padding as it was), so that memcmp
    // compares only what was filled in.
    struct PrefixDraw {
        PrefixKey key;
        std::vector<uint8_t> vertices;  // as the draw read them, drawn without indices
        PrefixDraw() { memset(static_cast<void*>(&key), 0, sizeof key); }
        PrefixDraw(const PrefixDraw& o) : vertices(o.vertices) { memcpy(&key, &o.key, sizeof key); }
        PrefixDraw(PrefixDraw&& o) noexcept : vertices(std::move(o.vertices)) { memcpy(&key, &o.key, sizeof key); }
        PrefixDraw& operator=(const PrefixDraw& o) {
            if (this == &o) return *this;
            memcpy(&key, &o.key, sizeof key);
            vertices = o.vertices;
            return *this;
        }
        PrefixDraw& operator=(PrefixDraw&& o) noexcept {
            if (this == &o) return *this;
            memcpy(&key, &o.key, sizeof key);
            vertices = std::move(o.vertices);
            return *this;
        }
    };
    struct PrefixClearRecord {
        DWORD flags;
        D3DCOLOR color;
        float z;
        DWORD stencil;
    };
    static const int kMaxPrefixDraws = 32;
    // A draw seen by the sampled copy (gl_sampled.cpp), and its copy.
    struct SampledSlot {
        PrefixDraw draw;
        bool recorded = false;  // `draw` holds a draw seen once at least
        bool valid = false;     // the copy holds its colours
        uint64_t lastUse = 0;
        GLuint fbo = 0, tex = 0;
        std::vector<uint8_t> readVertices;  // `draw`'s vertices, coordinates on the copy
    };

    struct VertexSource {
        GLuint buffer = 0;
        size_t base = 0;  // byte offset of vertex 0
        UINT stride = 0;
        DWORD fvf = 0;
        int texSet = -1;  // texture coordinate set fed to stage 0
        bool operator==(const VertexSource& o) const {
            return buffer == o.buffer && base == o.base && stride == o.stride && fvf == o.fvf && texSet == o.texSet;
        }
    };

    // ---- gl_device.cpp ----
    void ClearNow(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil,
                  const D3DVIEWPORT9& area);
    void ApplyBackBufferBinding();
    // A renderbuffer of the back buffer's size in `format`, attached to the
    // bound framebuffer at `attachment`.
    GLuint AttachRenderbuffer(GLenum format, GLenum attachment);
    static GLenum DepthAttachment(GLenum format) {
        return format == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    }

    // ---- gl_draw.cpp ----
    bool DrawNow(const DrawCall& call, const DrawState& ds);
    // The GL draw call itself, vertices and state already in place.
    void IssueDraw(const DrawCall& call, GLuint indexBuffer, size_t indexOffset);
    // A texture's pixels change or it goes away (the kept prefix, the sampled copy).
    void TextureChanged(const Texture& t) {
        PrefixTextureChanged(t);
        SampledTextureChanged(t);
    }

    // ---- gl_prefix.cpp ----
    bool PrefixAllowed() const;
    bool ClearsEverything(DWORD count, DWORD flags, const D3DVIEWPORT9& area) const;
    // At a clear: true when the clear is held back with the draws that follow.
    bool PrefixClear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil,
                     const D3DVIEWPORT9& area);
    // At a draw: true when the draw is held back or its pixels were copied back.
    bool PrefixDrawTaken(const DrawCall& call, const DrawState& ds);
    void PrefixPresent();
    void PrefixTextureChanged(const Texture& t);
    // Does the held clear and draws now (before anything that needs them done).
    void FinishHeldDraws();
    bool MakePrefixDraw(const DrawCall& call, const DrawState& ds, PrefixDraw* out) const;
    static bool SamePrefixDraw(const PrefixDraw& a, const PrefixDraw& b);
    void ReplayHeldDraws(int n);
    bool MakeKeptTargets();
    void ReplayAndKeep(int n);
    void KeepSharedDraws(int n);
    void KeepPrefix(int n);
    void DropKeptPrefix();
    void RestoreKeptPrefix();
    void CopyBuffer(GLuint fromFbo, GLuint fromRb, GLuint toFbo, GLuint toRb, GLbitfield which);
    void FreeKeptTargets();
    void ApplyOrientation();

    // ---- gl_sampled.cpp ----
    static const UINT kMaxSampledVertices = 64;
    enum { kSampledNo, kSampledUse, kSampledMake };
    // Whether the draw may come from the sampled copy: a large pretransformed
    // picture whose stage gives the sampled texel itself.
    bool SampledEligible(const DrawCall& call, const DrawState& ds) const;
    // At a draw, its state applied: drawn as usual, from the copy, or the copy filled first.
    int SampledPlan(const DrawCall& call, const DrawState& ds);
    bool MakeSampledTarget(SampledSlot& slot);
    // The fill: the draw goes to the copy, unblended, without depth test.
    bool BeginSampledFill();
    // Ends the fill; on success the slot is valid and its read vertices made.
    void EndSampledFill(const DrawCall& call, const State& s);
    bool DrawSampled(const DrawCall& call, const DrawState& ds);
    void SampledTextureChanged(const Texture& t);
    void FreeSampledTarget();

    // ---- gl_stream.cpp ----
    // Copies `len` bytes into the ring, returns the offset it landed at.
    size_t RingWrite(Ring& ring, const void* data, size_t len);
    // Makes the GL copy of a buffer, to be filled by the next upload.
    void CreateBufferObject(BufferStore& store, GLenum target);
    void UploadBufferRange(BufferStore& store, GLenum target, UINT begin, UINT end);
    void RepackVertices(VertexBuffer* vb, UINT offset, UINT stride, UINT size, UINT first, UINT last);
    // Puts stream 0's vertices into GL (uploads or streams what changed).
    void PrepareVertexStream(const DrawCall& call, VertexSource* src);
    // Puts an index range into GL, returns the buffer and byte offset to draw from.
    void PrepareIndices(IndexBuffer* ib, UINT startIndex, UINT count, GLuint* buffer, size_t* offset);
    void BindVertexSource(const VertexSource& src, const VertexLayout& layout);
    void BindElementBuffer(GLuint buffer);
    // Binds a texture on unit 0 for an upload, keeping the binding cache right.
    void BindTextureUnit0(GLuint texture);
    // The GL texture of a texture, created and filled on first use.
    GLuint TextureName(Texture& texture);

    // ---- gl_exact.cpp ----
    // True when the draw is pretransformed and every vertex it uses puts its
    // texel centre exactly on a pixel centre of the texture's top level, at
    // scale one, inside the texture: nearest sampling then reads the same
    // texels linear or trilinear filtering would, for less work.
    bool MapsTexelsOneToOne(const DrawCall& call, const DrawState& ds) const;
    // Binds the nearest sampler to unit 0 for such a draw, the state's own otherwise.
    void ChooseSampler0(bool exact);
    // True when the draw blends SRCALPHA/INVSRCALPHA with a source alpha of
    // exactly one everywhere (opaque texture, vertex alpha 255, an alpha
    // operation that keeps one): blending then leaves the source as it is.
    bool BlendsOpaque(const DrawCall& call, const DrawState& ds) const;
    // Turns GL blending on or off as the state asks, or off for an opaque draw.
    void ChooseBlending(const State& s, bool opaque);
    // Whether every texel the GL copy holds has alpha 255 (from the CPU copy).
    static bool TextureIsOpaque(const Texture& t);

    // ---- gl_state.cpp: one apply function per dirty group ----
    bool ApplyState(const DrawState& ds);
    bool ApplyFloorState(const DrawState& ds);
    void ApplyBlend(const State& s);
    void ApplyColorMask(const State& s);
    void ApplyDepth(const State& s);
    void ApplyRaster(const State& s);
    void ApplyViewport(const State& s);
    void ApplySampler(const State& s, int stage);
    Program* FindProgram(uint64_t key);
    void UploadUniforms(Program* p, const DrawState& ds);

    SDL_Window* m_window;
    void* m_context;
    bool m_abandoned = false;
    int m_bbWidth, m_bbHeight;
    bool m_hasDepth;
    bool m_depth16;      // D3DFMT_D16 asked for: a 16-bit depth renderbuffer
    bool m_alphaWrites;  // A8R8G8B8 back buffer: alpha is stored
    bool m_clipControl = false;
    bool m_texStorage = false;  // glTexStorage2D: a texture's levels allocated once, together
    bool m_flipY = false;
    bool m_floor = false;  // fill-floor mode (see the top of this file)
    GLint m_maxTextureSize = 2048;
    uint64_t m_uploadBytes = 0;

    // Off-screen back buffer (used when the drawable size differs from the
    // back buffer or lacks a depth buffer).
    GLuint m_fbo = 0, m_fboColor = 0, m_fboDepth = 0;

    GLuint m_vao = 0;
    GLuint m_samplers[kSamplers] = {};
    GLuint m_exactSampler = 0;  // nearest, top level only, for one-to-one quads
    bool m_exactBound = false;  // unit 0 holds m_exactSampler
    bool m_glBlendOn = false;   // GL_BLEND as last set (ApplyBlend, ChooseBlending)
    Ring m_vertexRing, m_indexRing;
    static const int kProgramCacheSize = 64;
    Program m_programs[kProgramCacheSize];
    int m_programCount = 0;
    uint64_t m_programClock = 0;
    Program* m_currentProgram = nullptr;
    // GL state the front end does not know was changed (by Clear, Present).
    uint32_t m_glDirty = kDirtyAll;
    VertexSource m_boundSource;
    bool m_sourceValid = false;
    DWORD m_enabledAttribs = 0;  // bit per attribute location
    GLuint m_boundElementBuffer = 0;
    GLuint m_boundTexture0 = 0;

    // The kept prefix (gl_prefix.cpp).
    GLenum m_depthFormat = 0;       // the back buffer's depth format, for a depth copy; 0: none possible
    bool m_prefixBroken = false;    // a copy failed: the kept prefix is off for good
    bool m_prefixRun = false;       // after a whole clear, the draws are being recorded
    bool m_prefixMatching = false;  // this frame has matched the records so far
    bool m_holding = false;         // the clear and the draws matched so far are not done yet
    int m_prefixPos = 0;            // draws of this frame's run so far
    int m_prefixCommon = 0, m_prefixPrevCommon = 0;  // draws shared with the frame before: this frame's, the last's
    int m_prefixLen = 0;                             // records in m_prefix
    PrefixClearRecord m_prefixClear = {};
    PrefixDraw m_prefix[kMaxPrefixDraws];
    PrefixDraw m_prefixScratch;
    int m_keptLen = 0;  // draws whose pixels m_keptFbo holds (0: none)
    GLuint m_keptFbo = 0, m_keptColor = 0, m_keptDepth = 0;
    bool m_copyImage = false;  // glCopyImageSubData
    State m_replayState;
    Derived m_replayDerived = {};
    uint64_t m_replayVersion = 1ull << 62;
    uint64_t m_replayVersions[kUniformGroups] = {};

    // The sampled copy (gl_sampled.cpp): two slots, for screens that draw two
    // such pictures a frame.
    static const int kSampledSlots = 2;
    SampledSlot m_sampledSlots[kSampledSlots];
    SampledSlot* m_sampledSlot = nullptr;  // the slot of the draw being done
    PrefixDraw m_sampledScratch;           // the draw being looked at
    uint64_t m_sampledClock = 0;
    bool m_sampledBroken = false;  // a copy could not be made: off for good
};

}  // namespace d3d9
