// The Direct3D shadow state of a device, as tables.
//
// - State: every value the Set* calls store (render, sampler and texture-stage
//   states, transforms, viewport, material, lights, FVF, bound resources).
// - kRenderStates (d3d9_state.cpp): per render state its default and the
//   dirty group a change marks; the defaults and SetRenderState read it.
// - Dirty groups: what a back end must re-apply before the next draw. Each
//   group has one apply function in a back end.
// - Uniform groups: versions of the data a draw's program reads (matrices,
//   lighting, viewport, pixel constants), so a back end uploads only what
//   changed since it last looked.
// - ShaderConfig and kShaderKeyFields: the fixed-function configuration of a
//   draw and the one field list that packs it into a 64-bit key and back.
// Everything here is plain data and pure functions; a Device owns one State.
#pragma once

#include "d3d9_private.h"

namespace d3d9 {

const int kStages = 8;
const int kSamplers = 16;
const int kStreams = 16;
const int kMaxLights = 64;       // light indices SetLight accepts
const int kMaxActiveLights = 8;  // lights the fixed-function shader evaluates
const int kRenderStateCount = 256;
const int kSamplerStateCount = 14;
const int kStageStateCount = 33;
const int kTransformCount = 512;

struct LightSlot {
    D3DLIGHT9 light;
    bool set = false;
    bool enabled = false;
};

struct State {
    DWORD rs[kRenderStateCount];
    DWORD samp[kSamplers][kSamplerStateCount];
    DWORD tss[kStages][kStageStateCount];
    D3DMATRIX xform[kTransformCount];
    D3DVIEWPORT9 viewport;
    D3DMATERIAL9 material;
    LightSlot lights[kMaxLights];
    DWORD fvf = 0;
    Texture* textures[kSamplers] = {};
    VertexBuffer* streams[kStreams] = {};
    UINT streamOffset[kStreams] = {};
    UINT streamStride[kStreams] = {};
    IndexBuffer* indices = nullptr;
};

// Binds `next` in a slot of the state: the device's binding reference moves
// from the old resource to the new one.
template <class Resource>
void Rebind(Resource*& slot, Resource* next) {
    if (slot == next) return;
    if (next) next->BindRef();
    if (slot) slot->BindRelease();
    slot = next;
}

// Fills `s` with Direct3D's defaults for a back buffer of this size; the
// depth test is on by default only when there is a depth buffer.
void SetDefaultState(State* s, UINT width, UINT height, bool hasDepth);

// ---- what a back end must re-apply ----
enum DirtyGroup : uint32_t {
    kDirtyBlend = 1u << 0,     // blending, colour write mask
    kDirtyDepth = 1u << 1,     // depth test, function and writes
    kDirtyRaster = 1u << 2,    // culling, fill mode
    kDirtyViewport = 1u << 3,  // viewport rectangle and depth range
    kDirtyTexture0 = 1u << 4,  // the texture of stage 0
    kDirtySampler0 = 1u << 5,  // the sampler states of stage 0
    kDirtyAll = 0xffffffffu,
};

// ---- versions of the data the programs read ----
enum UniformGroup { kGroupTransform, kGroupLighting, kGroupViewport, kGroupPixel, kUniformGroups };

// Per render state: its default and what a change to it marks. Render states
// missing from the table default to 0 and only shape the generated program
// (read at each draw) or are not drawn at all.
struct RenderStateInfo {
    DWORD state;
    DWORD defaultValue;
    uint32_t dirty;    // DirtyGroup bits
    int uniformGroup;  // UniformGroup, or -1
};
extern const RenderStateInfo kRenderStates[];
extern const int kRenderStateInfoCount;
// The entry of a render state, or null.
const RenderStateInfo* FindRenderState(DWORD state);

// Matrices and light data worked out from the state for the programs.
struct Derived {
    uint64_t transformVersion = 0, lightVersion = 0;  // group versions they were made from
    float wvp[16], wv[16], normalMatrix[9];
    int activeLights = 0;
    float lightDir[kMaxActiveLights * 3];
    float lightDiffuse[kMaxActiveLights * 4], lightSpecular[kMaxActiveLights * 4], lightAmbient[kMaxActiveLights * 4];
};
// Brings `d` up to date with the state's transform and lighting groups.
void UpdateDerived(const State& s, const uint64_t versions[kUniformGroups], Derived* d);

// ---- the fixed-function configuration a program is generated for ----
struct ShaderConfig {
    int rhw = 0, hasNormal = 0, hasDiffuse = 0, hasSpecular = 0, hasTex = 0;
    int lighting = 0;
    int numLights = 0;
    int diffuseSrc = 0, ambientSrc = 0, specularSrc = 0, emissiveSrc = 0;  // 0 material, 1 COLOR1, 2 COLOR2
    int normalize = 0, specularEnable = 0, localViewer = 0, flat = 0;
    int remapDepth = 0;  // set by the GL back end: no clip control, z' = 2z - w
    int flipY = 0;       // set by the GL back end: rasterizer orientation flipped
    int colorOp = D3DTOP_SELECTARG1, colorArg1 = D3DTA_CURRENT, colorArg2 = D3DTA_CURRENT;
    int alphaOp = D3DTOP_SELECTARG1, alphaArg1 = D3DTA_CURRENT, alphaArg2 = D3DTA_CURRENT;
    int sampleTexture = 0;
    int alphaFunc = 0;  // 0: no alpha test, else D3DCMPFUNC
};

// One field of the shader key: where it lives in ShaderConfig and how many
// bits it takes. Texture arguments take 5 bits (selector, complement, alpha
// replicate). Fields are packed in table order from bit 0.
struct ShaderKeyField {
    const char* name;
    int ShaderConfig::*member;
    int bits;
    bool textureArg;
};
extern const ShaderKeyField kShaderKeyFields[];
extern const int kShaderKeyFieldCount;
uint64_t PackShaderKey(const ShaderConfig& c);
ShaderConfig UnpackShaderKey(uint64_t key);

// The configuration of a draw with this vertex layout in this state (texture
// stage 0 with a missing texture read as the diffuse colour, unsupported
// operations passing their input on, with a warning).
ShaderConfig MakeShaderConfig(const State& s, const VertexLayout& layout, int activeLights);
// Warns once about states a draw meets that no back end applies.
void WarnUnsupportedStates(const State& s);

// What a back end needs of the state for one draw.
struct DrawState {
    const State* state = nullptr;
    uint32_t dirty = 0;                  // DirtyGroup bits changed since the last draw
    const uint64_t* versions = nullptr;  // [kUniformGroups]
    const Derived* derived = nullptr;
    ShaderConfig config;  // remapDepth and flipY left to the back end
};

}  // namespace d3d9
