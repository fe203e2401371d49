// The Direct3D 9 device over one OpenGL 3.3 core context.
//
// State: the Direct3D shadow state (render, sampler and texture-stage states,
// transforms, viewport, material, lights, FVF, bound texture/streams/indices),
// the GL objects the device owns (VAO, sampler objects, two streaming rings,
// an off-screen back buffer when the window's drawable cannot serve as one,
// the fixed-function program cache), and a cache of the GL state last applied
// so a draw only issues what changed. Lifetime: from CreateDevice until the
// last Release (see d3d9_private.h for how resources keep it alive).
#pragma once

#include "d3d9_private.h"

namespace d3d9 {

// One compiled fixed-function program and the uniform data it last received.
struct Program {
    uint64_t key = 0;
    GLuint prog = 0;
    uint64_t lastUse = 0;
    uint64_t versions[4] = {};  // per uniform group, the version last uploaded
    GLint uWvp = -1, uWv = -1, uNormal = -1;
    GLint uVpMap = -1, uZMap = -1, uHalfPixel = -1;
    GLint uAmbient = -1, uMatDiffuse = -1, uMatAmbient = -1, uMatSpecular = -1, uMatEmissive = -1,
          uMatPower = -1;
    GLint uLightDir = -1, uLightDiffuse = -1, uLightSpecular = -1, uLightAmbient = -1;
    GLint uTexFactor = -1, uAlphaRef = -1, uTex0 = -1;
};

// Builds the program for a key (see d3d9_shaders.cpp); false with the GL log
// on stderr if it does not compile.
bool BuildProgram(uint64_t key, Program* out);

// Fixed-function configuration a program is generated for.
struct ShaderConfig {
    bool rhw = false, hasNormal = false, hasDiffuse = false, hasSpecular = false, hasTex = false;
    bool lighting = false;
    int numLights = 0;
    int diffuseSrc = 0, ambientSrc = 0, specularSrc = 0, emissiveSrc = 0;  // 0 material, 1 COLOR1, 2 COLOR2
    bool normalize = false, specularEnable = false, localViewer = false, flat = false;
    bool remapDepth = false;  // no clip control: z' = 2z - w
    bool flipY = false;       // rasterizer orientation flipped (see Device::CalibrateFillRule)
    int colorOp = D3DTOP_SELECTARG1, colorArg1 = D3DTA_CURRENT, colorArg2 = D3DTA_CURRENT;
    int alphaOp = D3DTOP_SELECTARG1, alphaArg1 = D3DTA_CURRENT, alphaArg2 = D3DTA_CURRENT;
    bool sampleTexture = false;
    int alphaFunc = 0;  // 0: no alpha test, else D3DCMPFUNC
};
uint64_t PackShaderKey(const ShaderConfig& c);
ShaderConfig UnpackShaderKey(uint64_t key);


class Device final : public winapi::ComObject<IDirect3DDevice9> {
public:
    Device(IDirect3D9* parent, SDL_Window* window, void* context, const D3DPRESENT_PARAMETERS& params);
    // Creates the device's GL objects; false (message on stderr) on failure.
    bool InitGL(bool needOffscreen);
    // Makes edges through pixel centres fall as Direct3D's top-left rule has
    // them, by trying a probe quad and flipping the GL rasterizer's vertical
    // orientation when the GL breaks such ties the other way.
    void CalibrateFillRule();

    // IDirect3DDevice9
    HRESULT STDMETHODCALLTYPE TestCooperativeLevel() override;
    HRESULT STDMETHODCALLTYPE Present(CONST RECT* pSourceRect, CONST RECT* pDestRect, HWND hDestWindowOverride,
                                      CONST RGNDATA* pDirtyRegion) override;
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, IDirect3DTexture9** ppTexture,
                                            HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                                 IDirect3DVertexBuffer9** ppVertexBuffer,
                                                 HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                IDirect3DIndexBuffer9** ppIndexBuffer,
                                                HANDLE* pSharedHandle) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD Count, CONST D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z,
                                    DWORD Stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE State, CONST D3DMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
    HRESULT STDMETHODCALLTYPE SetViewport(CONST D3DVIEWPORT9* pViewport) override;
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT9* pViewport) override;
    HRESULT STDMETHODCALLTYPE SetMaterial(CONST D3DMATERIAL9* pMaterial) override;
    HRESULT STDMETHODCALLTYPE GetMaterial(D3DMATERIAL9* pMaterial) override;
    HRESULT STDMETHODCALLTYPE SetLight(DWORD Index, CONST D3DLIGHT9* pLight) override;
    HRESULT STDMETHODCALLTYPE GetLight(DWORD Index, D3DLIGHT9* pLight) override;
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD Index, BOOL Enable) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
    HRESULT STDMETHODCALLTYPE GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                                   DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type,
                                                   DWORD Value) override;
    HRESULT STDMETHODCALLTYPE GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                                            UINT PrimitiveCount) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex,
                                                   UINT MinVertexIndex, UINT NumVertices, UINT startIndex,
                                                   UINT primCount) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                              CONST void* pVertexStreamZeroData,
                                              UINT VertexStreamZeroStride) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex,
                                                     UINT NumVertices, UINT PrimitiveCount,
                                                     CONST void* pIndexData, D3DFORMAT IndexDataFormat,
                                                     CONST void* pVertexStreamZeroData,
                                                     UINT VertexStreamZeroStride) override;
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD FVF) override;
    HRESULT STDMETHODCALLTYPE GetFVF(DWORD* pFVF) override;
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData,
                                              UINT OffsetInBytes, UINT Stride) override;
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer9* pIndexData) override;

    // ---- for the resources and the test hooks ----
    // Makes the GL context current; false once the window has been destroyed
    // (GL work is then skipped, CPU copies keep working).
    bool Activate();
    DeviceCounters counters;
    // Counts a draw carried out (and records it for the test hook).
    void NoteDraw(D3DPRIMITIVETYPE type, UINT primitives);
    bool ReadBackBuffer(int x, int y, int w, int h, uint32_t* out);
    GLint MaxTextureSize() const { return m_maxTextureSize; }
    // Binds a texture on unit 0 for an upload, keeping the binding cache right.
    void BindTextureUnit0(GLuint texture);
    // A GL object is about to be deleted: drop it from the binding caches, as
    // GL may hand its name out again.
    void ForgetBuffer(GLuint buffer);
    void ForgetTexture(GLuint texture);

    static const int kStages = 8;
    static const int kSamplers = 16;
    static const int kStreams = 16;
    static const int kMaxLights = 64;       // light indices SetLight accepts
    static const int kMaxActiveLights = 8;  // lights the shader evaluates

private:
    ~Device() override;

    // A buffer object written front to back and orphaned when full; draws
    // that bring their own data (UP draws, small buffers rewritten between
    // draws) stream through it without waiting for the GL.
    struct Ring {
        GLuint gl = 0;
        GLenum target = 0;
        size_t size = 0;
        size_t head = 0;
    };
    // Copies `len` bytes into the ring, returns the offset it landed at.
    size_t RingWrite(Ring& ring, const void* data, size_t len);

    struct VertexSource {
        GLuint buffer = 0;
        size_t base = 0;  // byte offset of vertex 0
        UINT stride = 0;
        DWORD fvf = 0;
        int texSet = -1;  // texture coordinate set fed to stage 0
        bool operator==(const VertexSource& o) const {
            return buffer == o.buffer && base == o.base && stride == o.stride && fvf == o.fvf &&
                   texSet == o.texSet;
        }
    };

    struct LightSlot {
        D3DLIGHT9 light;
        bool set = false;
        bool enabled = false;
    };

    void SetDefaultStates();
    void ResetBindings();
    void ApplyBackBufferBinding();
    void ApplyOrientation();
    // Prepares stream 0 for drawing: uploads or streams what changed and says
    // where the vertices are in GL and how many there are.
    bool PrepareVertexStream(const VertexLayout& layout, VertexSource* src, UINT* vertexCount);
    void UploadBufferRange(BufferStore& store, GLenum target, UINT begin, UINT end);
    void RepackVertices(VertexBuffer* vb, UINT offset, UINT stride, UINT size, UINT first, UINT last);
    // Puts an index range into GL, returns the byte offset to draw from.
    bool PrepareIndices(IndexBuffer* ib, UINT startIndex, UINT count, GLuint* buffer, size_t* offset);
    bool ApplyState(const VertexLayout& layout);
    void BindVertexSource(const VertexSource& src, const VertexLayout& layout);
    void BindElementBuffer(GLuint buffer);
    Program* FindProgram(uint64_t key);
    void UploadUniforms(Program* p);
    void ComputeDerived();
    void ApplySampler(int stage);
    void WarnUnsupportedStates();
    void FinishUpDraw();

    IDirect3D9* m_parent;
    SDL_Window* m_window;
    uint32_t m_windowId;
    void* m_context;
    bool m_windowGone = false;
    D3DPRESENT_PARAMETERS m_params;
    int m_bbWidth, m_bbHeight;
    bool m_hasDepth, m_hasStencil;
    bool m_alphaWrites;     // A8R8G8B8 back buffer: alpha is stored
    bool m_clipControl = false;
    bool m_flipY = false;
    bool m_inScene = false;
    GLint m_maxTextureSize = 2048;

    // Off-screen back buffer (used when the drawable size differs from the
    // back buffer or lacks a depth buffer).
    GLuint m_fbo = 0, m_fboColor = 0, m_fboDepth = 0;

    // ---- Direct3D shadow state ----
    DWORD m_rs[256];
    DWORD m_samp[kSamplers][14];
    DWORD m_tss[kStages][33];
    D3DMATRIX m_xform[512];
    D3DVIEWPORT9 m_viewport;
    D3DMATERIAL9 m_material;
    LightSlot m_lights[kMaxLights];
    DWORD m_fvf = 0;
    Texture* m_textures[kSamplers] = {};
    VertexBuffer* m_streams[kStreams] = {};
    UINT m_streamOffset[kStreams] = {};
    UINT m_streamStride[kStreams] = {};
    IndexBuffer* m_indices = nullptr;

    // ---- change tracking ----
    enum : uint32_t {
        kDirtyBlend = 1u << 0,
        kDirtyDepth = 1u << 1,
        kDirtyRaster = 1u << 2,
        kDirtyViewport = 1u << 3,
        kDirtyTexture0 = 1u << 4,
        kDirtySampler0 = 1u << 5,
        kDirtyAll = 0xffffffffu,
    };
    uint32_t m_dirty = kDirtyAll;
    enum { kGroupTransform = 0, kGroupLighting = 1, kGroupViewport = 2, kGroupPixel = 3 };
    uint64_t m_versionCounter = 1;
    uint64_t m_groupVersion[4] = {1, 1, 1, 1};
    void Touch(int group) { m_groupVersion[group] = ++m_versionCounter; }

    // Matrices and light data derived from the shadow state.
    uint64_t m_derivedTransformVersion = 0, m_derivedLightVersion = 0;
    float m_wvp[16], m_wv[16], m_normalMatrix[9];
    int m_activeLights = 0;
    float m_lightDir[kMaxActiveLights * 3];
    float m_lightDiffuse[kMaxActiveLights * 4], m_lightSpecular[kMaxActiveLights * 4],
        m_lightAmbient[kMaxActiveLights * 4];

    // ---- GL objects and the GL state last applied ----
    GLuint m_vao = 0;
    GLuint m_samplers[kSamplers] = {};
    Ring m_vertexRing, m_indexRing;
    static const int kProgramCacheSize = 64;
    Program m_programs[kProgramCacheSize];
    int m_programCount = 0;
    uint64_t m_programClock = 0;
    Program* m_currentProgram = nullptr;
    VertexSource m_boundSource;
    bool m_sourceValid = false;
    DWORD m_enabledAttribs = 0;  // bit per attribute location
    GLuint m_boundElementBuffer = 0;
    GLuint m_boundTexture0 = 0;
};

}  // namespace d3d9
