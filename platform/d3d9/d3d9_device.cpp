// Device creation, lifetime, the state setters and getters, Clear, Present
// and back-buffer read-back. Drawing is in d3d9_draw.cpp, the generated
// fixed-function shaders in d3d9_shaders.cpp.
#include "d3d9_device.h"

#include <SDL.h>
#include <stdio.h>
#include <string.h>
#include <math.h>
#include <initializer_list>
#include <new>

namespace d3d9 {

namespace {

DWORD FloatBits(float f) {
    DWORD d;
    memcpy(&d, &f, sizeof d);
    return d;
}

void SetIdentity(D3DMATRIX* m) {
    memset(m, 0, sizeof *m);
    m->_11 = m->_22 = m->_33 = m->_44 = 1.0f;
}

bool ValidTransform(DWORD state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION || (state >= 16 && state <= 23) ||
           (state >= 256 && state < 512);
}

}  // namespace

void WarnOnce(bool* flag, const char* message) {
    if (*flag) return;
    *flag = true;
    fprintf(stderr, "d3d9: %s\n", message);
}

// ---------------------------------------------------------------------------
// Creation
// ---------------------------------------------------------------------------

HRESULT CreateDeviceOnWindow(IDirect3D9* parent, SDL_Window* window, DWORD behaviorFlags,
                             D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!pp) {
        fprintf(stderr, "d3d9: CreateDevice: no presentation parameters\n");
        return D3DERR_INVALIDCALL;
    }
    if (!window) {
        fprintf(stderr, "d3d9: CreateDevice: the window handle names no window\n");
        return D3DERR_INVALIDCALL;
    }
    const DWORD vp = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                      D3DCREATE_MIXED_VERTEXPROCESSING);
    if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        vp != D3DCREATE_MIXED_VERTEXPROCESSING) {
        fprintf(stderr, "d3d9: CreateDevice: behaviour flags 0x%x need exactly one vertex processing mode\n",
                (unsigned)behaviorFlags);
        return D3DERR_INVALIDCALL;
    }
    if (!pp->Windowed) {
        fprintf(stderr, "d3d9: CreateDevice: full-screen devices are not supported, only windowed ones\n");
        return D3DERR_NOTAVAILABLE;
    }
    if (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0 || pp->BackBufferWidth > 16384 ||
        pp->BackBufferHeight > 16384) {
        fprintf(stderr, "d3d9: CreateDevice: unusable back buffer size %ux%u\n", pp->BackBufferWidth,
                pp->BackBufferHeight);
        return D3DERR_INVALIDCALL;
    }
    if (pp->BackBufferFormat != D3DFMT_UNKNOWN && pp->BackBufferFormat != D3DFMT_X8R8G8B8 &&
        pp->BackBufferFormat != D3DFMT_A8R8G8B8) {
        fprintf(stderr, "d3d9: CreateDevice: back buffer format %d is not supported\n", (int)pp->BackBufferFormat);
        return D3DERR_NOTAVAILABLE;
    }
    if (pp->BackBufferCount > 3) {
        fprintf(stderr, "d3d9: CreateDevice: %u back buffers requested, at most 3 exist\n", pp->BackBufferCount);
        return D3DERR_INVALIDCALL;
    }
    if (pp->MultiSampleType != D3DMULTISAMPLE_NONE) {
        fprintf(stderr, "d3d9: CreateDevice: multisampling is not supported\n");
        return D3DERR_NOTAVAILABLE;
    }
    if (pp->SwapEffect != D3DSWAPEFFECT_DISCARD && pp->SwapEffect != D3DSWAPEFFECT_FLIP &&
        pp->SwapEffect != D3DSWAPEFFECT_COPY) {
        fprintf(stderr, "d3d9: CreateDevice: invalid swap effect %d\n", (int)pp->SwapEffect);
        return D3DERR_INVALIDCALL;
    }
    if (pp->EnableAutoDepthStencil) {
        const D3DFORMAT f = pp->AutoDepthStencilFormat;
        if (f != D3DFMT_D16 && f != D3DFMT_D24S8 && f != D3DFMT_D24X8 && f != D3DFMT_D32) {
            fprintf(stderr, "d3d9: CreateDevice: depth format %d is not supported\n", (int)f);
            return D3DERR_INVALIDCALL;
        }
    }
    if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
        fprintf(stderr, "d3d9: CreateDevice: the window was not created for OpenGL\n");
        return D3DERR_NOTAVAILABLE;
    }

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        fprintf(stderr, "d3d9: CreateDevice: cannot create an OpenGL 3.3 core context: %s\n", SDL_GetError());
        return D3DERR_NOTAVAILABLE;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        fprintf(stderr, "d3d9: CreateDevice: cannot make the OpenGL context current: %s\n", SDL_GetError());
        SDL_GL_DeleteContext(context);
        return D3DERR_NOTAVAILABLE;
    }
    if (epoxy_gl_version() < 33) {
        fprintf(stderr, "d3d9: CreateDevice: OpenGL %d.%d is too old, 3.3 core is needed (%s)\n",
                epoxy_gl_version() / 10, epoxy_gl_version() % 10, (const char*)glGetString(GL_VERSION));
        SDL_GL_DeleteContext(context);
        return D3DERR_NOTAVAILABLE;
    }
    SDL_GL_SetSwapInterval(pp->PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);

    // Can the window's own drawable serve as the back buffer?
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window, &dw, &dh);
    GLint depthBits = 0, stencilBits = 0;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE,
                                          &depthBits);
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE,
                                          &stencilBits);
    glGetError();  // a drawable without depth may report the query as an error
    const bool wantStencil = pp->EnableAutoDepthStencil && pp->AutoDepthStencilFormat == D3DFMT_D24S8;
    // D3DFMT_D16 keeps 16 bits of depth, no more: the window's drawable has
    // 24 as a rule, so such a device draws into a buffer of its own.
    const bool want16 = pp->EnableAutoDepthStencil && pp->AutoDepthStencilFormat == D3DFMT_D16;
    const bool offscreen = dw != (int)pp->BackBufferWidth || dh != (int)pp->BackBufferHeight ||
                           (pp->EnableAutoDepthStencil && depthBits < 16) || (wantStencil && stencilBits < 8) ||
                           (want16 && depthBits != 16);

    Device* device = new (std::nothrow) Device(parent, window, context, *pp);
    if (!device) {
        SDL_GL_DeleteContext(context);
        return E_OUTOFMEMORY;
    }
    if (!device->InitGL(offscreen)) {
        device->Release();
        return D3DERR_NOTAVAILABLE;
    }
    device->CalibrateFillRule();
    if (pp->BackBufferFormat == D3DFMT_UNKNOWN) pp->BackBufferFormat = D3DFMT_X8R8G8B8;
    if (pp->BackBufferCount == 0) pp->BackBufferCount = 1;
    *out = device;
    return D3D_OK;
}

Device::Device(IDirect3D9* parent, SDL_Window* window, void* context, const D3DPRESENT_PARAMETERS& params)
    : m_parent(parent), m_window(window), m_windowId(SDL_GetWindowID(window)), m_context(context),
      m_params(params) {
    if (m_parent) m_parent->AddRef();
    m_bbWidth = (int)params.BackBufferWidth;
    m_bbHeight = (int)params.BackBufferHeight;
    m_hasDepth = params.EnableAutoDepthStencil != 0;
    m_hasStencil = m_hasDepth && params.AutoDepthStencilFormat == D3DFMT_D24S8;
    m_alphaWrites = params.BackBufferFormat == D3DFMT_A8R8G8B8;
    SetDefaultStates();
}

bool Device::InitGL(bool needOffscreen) {
    m_clipControl = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &m_maxTextureSize);

    if (needOffscreen) {
        glGenFramebuffers(1, &m_fbo);
        glGenRenderbuffers(1, &m_fboColor);
        glBindRenderbuffer(GL_RENDERBUFFER, m_fboColor);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, m_bbWidth, m_bbHeight);
        glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_fboColor);
        if (m_hasDepth) {
            glGenRenderbuffers(1, &m_fboDepth);
            glBindRenderbuffer(GL_RENDERBUFFER, m_fboDepth);
            // DEPTH_COMPONENT16 is a format every GL 3.3 implementation must
            // render to; should one still refuse it, the device gets 24 bits
            // (finer, never coarser) rather than no depth at all.
            if (m_params.AutoDepthStencilFormat == D3DFMT_D16) {
                glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, m_bbWidth, m_bbHeight);
                glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_fboDepth);
            }
            if (m_params.AutoDepthStencilFormat != D3DFMT_D16 ||
                glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
                glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, 0);
                glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, m_bbWidth, m_bbHeight);
                glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_fboDepth);
            }
        }
        const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
        if (status != GL_FRAMEBUFFER_COMPLETE) {
            fprintf(stderr, "d3d9: CreateDevice: cannot make a %dx%d back buffer (framebuffer status 0x%x)\n",
                    m_bbWidth, m_bbHeight, status);
            return false;
        }
    }
    ApplyBackBufferBinding();

    glGenVertexArrays(1, &m_vao);
    glBindVertexArray(m_vao);
    glGenSamplers(kSamplers, m_samplers);
    for (int i = 0; i < kSamplers; ++i) ApplySampler(i);
    glBindSampler(0, m_samplers[0]);

    m_vertexRing.target = GL_ARRAY_BUFFER;
    m_vertexRing.size = 4u << 20;
    m_indexRing.target = GL_ELEMENT_ARRAY_BUFFER;
    m_indexRing.size = 1u << 20;
    for (Ring* r : {&m_vertexRing, &m_indexRing}) {
        glGenBuffers(1, &r->gl);
        glBindBuffer(r->target, r->gl);
        glBufferData(r->target, (GLsizeiptr)r->size, nullptr, GL_STREAM_DRAW);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);  // flat shading takes the first vertex, as Direct3D
    ApplyOrientation();
    glActiveTexture(GL_TEXTURE0);

    const GLenum err = glGetError();
    if (err != GL_NO_ERROR) {
        fprintf(stderr, "d3d9: CreateDevice: OpenGL error 0x%x while setting up\n", err);
        return false;
    }
    return true;
}

// Direct3D's clip z runs 0..1, and its front faces are clockwise on screen.
// The flipped orientation gives the same window coordinates (the shaders
// negate y) but reverses GL's sense of facing.
void Device::ApplyOrientation() {
    if (m_clipControl) glClipControl(m_flipY ? GL_UPPER_LEFT : GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glFrontFace(m_flipY ? GL_CCW : GL_CW);
}

void Device::CalibrateFillRule() {
    static bool warned = false;
    if (m_bbWidth < 5 || m_bbHeight < 5 || !Activate()) return;
    // A 4x4 quad whose edges run through pixel centres: Direct3D fills rows
    // and columns 0 to 3, taking the top and left edges and leaving the others.
    struct Probe {
        float x, y, z, rhw;
        D3DCOLOR c;
    } quad[4] = {{0, 0, 0, 1, 0xFFFFFFFF}, {4, 0, 0, 1, 0xFFFFFFFF}, {0, 4, 0, 1, 0xFFFFFFFF},
                 {4, 4, 0, 1, 0xFFFFFFFF}};
    const DWORD clearFlags = D3DCLEAR_TARGET | (m_hasDepth ? D3DCLEAR_ZBUFFER : 0);
    bool good = false;
    for (int attempt = 0; attempt < 2 && !good; ++attempt) {
        Clear(0, nullptr, clearFlags, 0xFF000000, 1.0f, 0);
        SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Probe));
        uint32_t column[5] = {}, row[5] = {};
        ReadBackBuffer(1, 0, 1, 5, column);  // rows 0..4 of column 1
        ReadBackBuffer(0, 1, 5, 1, row);     // columns 0..4 of row 1
        const bool rowsRight = (column[0] & 0xffffff) && (column[3] & 0xffffff) && !(column[4] & 0xffffff);
        const bool colsRight = (row[0] & 0xffffff) && (row[3] & 0xffffff) && !(row[4] & 0xffffff);
        if (rowsRight && !colsRight)
            WarnOnce(&warned, "the GL breaks edge ties unlike Direct3D; some edges may move by a pixel");
        good = rowsRight;
        if (!good && attempt == 0 && m_clipControl) {
            m_flipY = true;
            ApplyOrientation();
        } else if (!good) {
            WarnOnce(&warned, "the GL breaks edge ties unlike Direct3D; some edges may move by a pixel");
            if (m_flipY) {
                m_flipY = false;
                ApplyOrientation();
            }
            break;
        }
    }
    SetFVF(0);
    Clear(0, nullptr, clearFlags, 0xFF000000, 1.0f, 0);
    counters = DeviceCounters();
}

void Device::ApplyBackBufferBinding() {
    if (m_fbo) {
        glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
    } else {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDrawBuffer(GL_BACK);
        glReadBuffer(GL_BACK);
    }
}

void Device::SetDefaultStates() {
    memset(m_rs, 0, sizeof m_rs);
    m_rs[D3DRS_ZENABLE] = m_hasDepth ? D3DZB_TRUE : D3DZB_FALSE;
    m_rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    m_rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    m_rs[D3DRS_ZWRITEENABLE] = TRUE;
    m_rs[D3DRS_ALPHATESTENABLE] = FALSE;
    m_rs[D3DRS_LASTPIXEL] = TRUE;
    m_rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    m_rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    m_rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    m_rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    m_rs[D3DRS_ALPHAREF] = 0;
    m_rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    m_rs[D3DRS_DITHERENABLE] = FALSE;
    m_rs[D3DRS_ALPHABLENDENABLE] = FALSE;
    m_rs[D3DRS_FOGENABLE] = FALSE;
    m_rs[D3DRS_SPECULARENABLE] = FALSE;
    m_rs[D3DRS_FOGCOLOR] = 0;
    m_rs[35] = 0;                  // FOGTABLEMODE: NONE
    m_rs[36] = FloatBits(0.0f);    // FOGSTART
    m_rs[37] = FloatBits(1.0f);    // FOGEND
    m_rs[38] = FloatBits(1.0f);    // FOGDENSITY
    m_rs[D3DRS_STENCILENABLE] = FALSE;
    m_rs[53] = m_rs[54] = m_rs[55] = 1;  // STENCILFAIL/ZFAIL/PASS: KEEP
    m_rs[56] = D3DCMP_ALWAYS;      // STENCILFUNC
    m_rs[58] = m_rs[59] = 0xffffffffu;  // STENCILMASK, STENCILWRITEMASK
    m_rs[D3DRS_TEXTUREFACTOR] = 0xffffffffu;
    m_rs[D3DRS_CLIPPING] = TRUE;
    m_rs[D3DRS_LIGHTING] = TRUE;
    m_rs[D3DRS_AMBIENT] = 0;
    m_rs[D3DRS_COLORVERTEX] = TRUE;
    m_rs[D3DRS_LOCALVIEWER] = TRUE;
    m_rs[D3DRS_NORMALIZENORMALS] = FALSE;
    m_rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    m_rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    m_rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    m_rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    m_rs[154] = FloatBits(1.0f);   // POINTSIZE
    m_rs[155] = FloatBits(1.0f);   // POINTSIZE_MIN
    m_rs[158] = FloatBits(1.0f);   // POINTSCALE_A
    m_rs[161] = TRUE;              // MULTISAMPLEANTIALIAS
    m_rs[162] = 0xffffffffu;       // MULTISAMPLEMASK
    m_rs[166] = FloatBits(64.0f);  // POINTSIZE_MAX
    m_rs[D3DRS_COLORWRITEENABLE] = 0xf;
    m_rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    m_rs[172] = 3;                 // POSITIONDEGREE: CUBIC
    m_rs[173] = 1;                 // NORMALDEGREE: LINEAR
    m_rs[D3DRS_SCISSORTESTENABLE] = FALSE;
    m_rs[178] = m_rs[179] = FloatBits(1.0f);  // MIN/MAXTESSELLATIONLEVEL
    m_rs[182] = FloatBits(1.0f);   // ADAPTIVETESS_Z
    m_rs[186] = m_rs[187] = m_rs[188] = 1;  // CCW_STENCIL*: KEEP
    m_rs[189] = D3DCMP_ALWAYS;     // CCW_STENCILFUNC
    m_rs[190] = m_rs[191] = m_rs[192] = 0xf;  // COLORWRITEENABLE1..3
    m_rs[D3DRS_BLENDFACTOR] = 0xffffffffu;
    m_rs[207] = D3DBLEND_ONE;      // SRCBLENDALPHA
    m_rs[208] = D3DBLEND_ZERO;     // DESTBLENDALPHA
    m_rs[209] = D3DBLENDOP_ADD;    // BLENDOPALPHA

    for (int s = 0; s < kSamplers; ++s) {
        DWORD* v = m_samp[s];
        memset(v, 0, sizeof m_samp[s]);
        v[D3DSAMP_ADDRESSU] = v[D3DSAMP_ADDRESSV] = v[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        v[D3DSAMP_MAGFILTER] = v[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        v[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        v[D3DSAMP_MAXANISOTROPY] = 1;
    }
    for (int t = 0; t < kStages; ++t) {
        DWORD* v = m_tss[t];
        memset(v, 0, sizeof m_tss[t]);
        v[D3DTSS_COLOROP] = t == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        v[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        v[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        v[D3DTSS_ALPHAOP] = t == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        v[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        v[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        v[D3DTSS_TEXCOORDINDEX] = (DWORD)t;
        v[26] = v[27] = v[28] = D3DTA_CURRENT;  // COLORARG0, ALPHAARG0, RESULTARG
    }
    for (D3DMATRIX& m : m_xform) SetIdentity(&m);
    m_viewport = {0, 0, (DWORD)m_bbWidth, (DWORD)m_bbHeight, 0.0f, 1.0f};
    memset(&m_material, 0, sizeof m_material);
    for (LightSlot& l : m_lights) l = LightSlot();
}

// ---------------------------------------------------------------------------
// Lifetime
// ---------------------------------------------------------------------------

void Device::ResetBindings() {
    for (Texture*& t : m_textures) {
        if (t) t->BindRelease();
        t = nullptr;
    }
    for (VertexBuffer*& v : m_streams) {
        if (v) v->BindRelease();
        v = nullptr;
    }
    if (m_indices) m_indices->BindRelease();
    m_indices = nullptr;
}

Device::~Device() {
    // Bound resources whose callers already released them die here, while the
    // context is still alive to delete their GL objects.
    const bool live = Activate();
    ResetBindings();
    if (live) {
        for (int i = 0; i < m_programCount; ++i) glDeleteProgram(m_programs[i].prog);
        if (m_vao) glDeleteVertexArrays(1, &m_vao);
        glDeleteSamplers(kSamplers, m_samplers);
        if (m_vertexRing.gl) glDeleteBuffers(1, &m_vertexRing.gl);
        if (m_indexRing.gl) glDeleteBuffers(1, &m_indexRing.gl);
        if (m_fbo) glDeleteFramebuffers(1, &m_fbo);
        if (m_fboColor) glDeleteRenderbuffers(1, &m_fboColor);
        if (m_fboDepth) glDeleteRenderbuffers(1, &m_fboDepth);
    }
    if (m_context) SDL_GL_DeleteContext((SDL_GLContext)m_context);
    if (m_parent) m_parent->Release();
}

bool Device::Activate() {
    if (m_windowGone) return false;
    if (SDL_GetWindowFromID(m_windowId) != m_window) {
        m_windowGone = true;  // destroyed: nothing can be drawn or presented any more
        return false;
    }
    if (SDL_GL_GetCurrentContext() != (SDL_GLContext)m_context || SDL_GL_GetCurrentWindow() != m_window) {
        if (SDL_GL_MakeCurrent(m_window, (SDL_GLContext)m_context) != 0) {
            fprintf(stderr, "d3d9: cannot make the device's OpenGL context current: %s\n", SDL_GetError());
            return false;
        }
    }
    return true;
}

HRESULT Device::TestCooperativeLevel() {
    if (m_windowGone || SDL_GetWindowFromID(m_windowId) != m_window) {
        m_windowGone = true;
        return D3DERR_DEVICELOST;
    }
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Frame
// ---------------------------------------------------------------------------

HRESULT Device::BeginScene() {
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT Device::Clear(DWORD Count, CONST D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) {
    if (Flags & ~(DWORD)(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_ZBUFFER) && !m_hasDepth) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_STENCIL) && !m_hasStencil) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_ZBUFFER) && !(Z >= 0.0f && Z <= 1.0f)) return D3DERR_INVALIDCALL;
    if (Count > 0 && !pRects) return D3DERR_INVALIDCALL;
    if (Flags == 0) return D3D_OK;
    if (!Activate()) return D3D_OK;  // window gone: like a lost device, the call does nothing

    GLbitfield mask = 0;
    if (Flags & D3DCLEAR_TARGET) {
        mask |= GL_COLOR_BUFFER_BIT;
        const float a = m_alphaWrites ? ((Color >> 24) & 0xff) / 255.0f : 1.0f;
        glClearColor(((Color >> 16) & 0xff) / 255.0f, ((Color >> 8) & 0xff) / 255.0f, (Color & 0xff) / 255.0f, a);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    if (Flags & D3DCLEAR_ZBUFFER) {
        mask |= GL_DEPTH_BUFFER_BIT;
        glClearDepth(Z);
        glDepthMask(GL_TRUE);
    }
    if (Flags & D3DCLEAR_STENCIL) {
        mask |= GL_STENCIL_BUFFER_BIT;
        glClearStencil((GLint)(Stencil & 0xff));
        glStencilMask(0xff);
    }

    // The cleared area is the viewport, intersected with each rectangle.
    const LONG vx0 = (LONG)m_viewport.X, vy0 = (LONG)m_viewport.Y;
    const LONG vx1 = vx0 + (LONG)m_viewport.Width, vy1 = vy0 + (LONG)m_viewport.Height;
    glEnable(GL_SCISSOR_TEST);
    const DWORD n = Count > 0 ? Count : 1;
    for (DWORD i = 0; i < n; ++i) {
        LONG x0 = vx0, y0 = vy0, x1 = vx1, y1 = vy1;
        if (Count > 0) {
            if (pRects[i].x1 > x0) x0 = pRects[i].x1;
            if (pRects[i].y1 > y0) y0 = pRects[i].y1;
            if (pRects[i].x2 < x1) x1 = pRects[i].x2;
            if (pRects[i].y2 < y1) y1 = pRects[i].y2;
        }
        if (x1 <= x0 || y1 <= y0) continue;
        glScissor(x0, m_bbHeight - y1, x1 - x0, y1 - y0);
        glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
    m_dirty |= kDirtyBlend | kDirtyDepth;  // colour and depth masks are reapplied at the next draw
    return D3D_OK;
}

HRESULT Device::Present(CONST RECT* pSourceRect, CONST RECT* pDestRect, HWND hDestWindowOverride,
                        CONST RGNDATA* pDirtyRegion) {
    static bool warnedRects = false;
    if (pSourceRect || pDestRect || hDestWindowOverride)
        WarnOnce(&warnedRects, "Present: source/destination rectangles and override windows are ignored");
    if (!Activate()) return D3DERR_DEVICELOST;
    if (m_fbo) {
        int dw = 0, dh = 0;
        SDL_GL_GetDrawableSize(m_window, &dw, &dh);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glDrawBuffer(GL_BACK);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glBlitFramebuffer(0, 0, m_bbWidth, m_bbHeight, 0, 0, dw, dh, GL_COLOR_BUFFER_BIT,
                          (dw == m_bbWidth && dh == m_bbHeight) ? GL_NEAREST : GL_LINEAR);
        SDL_GL_SwapWindow(m_window);
        ApplyBackBufferBinding();
        m_dirty |= kDirtyBlend;
    } else {
        SDL_GL_SwapWindow(m_window);
    }
    return D3D_OK;
}

bool Device::ReadBackBuffer(int x, int y, int w, int h, uint32_t* out) {
    if (!out || w <= 0 || h <= 0 || x < 0 || y < 0 || x + w > m_bbWidth || y + h > m_bbHeight) return false;
    if (!Activate()) return false;
    glReadPixels(x, m_bbHeight - y - h, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out);
    // GL rows run bottom-up; Direct3D's top-down.
    for (int r = 0; r < h / 2; ++r) {
        uint32_t* a = out + (size_t)r * w;
        uint32_t* b = out + (size_t)(h - 1 - r) * w;
        for (int i = 0; i < w; ++i) {
            const uint32_t t = a[i];
            a[i] = b[i];
            b[i] = t;
        }
    }
    if (!m_alphaWrites)
        for (size_t i = 0; i < (size_t)w * h; ++i) out[i] |= 0xff000000u;
    return glGetError() == GL_NO_ERROR;
}

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
    const DWORD s = (DWORD)State;
    if (s >= 256) return D3DERR_INVALIDCALL;
    if (m_rs[s] == Value) return D3D_OK;
    m_rs[s] = Value;
    switch (s) {
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_BLENDOP:
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_BLENDFACTOR:
        m_dirty |= kDirtyBlend;
        break;
    case D3DRS_ZENABLE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ZFUNC:
        m_dirty |= kDirtyDepth;
        break;
    case D3DRS_CULLMODE:
    case D3DRS_FILLMODE:
        m_dirty |= kDirtyRaster;
        break;
    case D3DRS_AMBIENT:
        Touch(kGroupLighting);
        break;
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_ALPHAREF:
        Touch(kGroupPixel);
        break;
    default:
        break;  // the rest shape the generated program, read at each draw
    }
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
    if (!pValue || (DWORD)State >= 256) return D3DERR_INVALIDCALL;
    *pValue = m_rs[State];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
    if (Sampler >= (DWORD)kSamplers || (DWORD)Type < 1 || (DWORD)Type > 13) return D3DERR_INVALIDCALL;
    if (m_samp[Sampler][Type] == Value) return D3D_OK;
    m_samp[Sampler][Type] = Value;
    if (Sampler == 0) m_dirty |= kDirtySampler0;
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
    if (!pValue || Sampler >= (DWORD)kSamplers || (DWORD)Type < 1 || (DWORD)Type > 13) return D3DERR_INVALIDCALL;
    *pValue = m_samp[Sampler][Type];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
    if (Stage >= (DWORD)kStages || (DWORD)Type < 1 || (DWORD)Type > 32) return D3DERR_INVALIDCALL;
    m_tss[Stage][Type] = Value;
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
    if (!pValue || Stage >= (DWORD)kStages || (DWORD)Type < 1 || (DWORD)Type > 32) return D3DERR_INVALIDCALL;
    *pValue = m_tss[Stage][Type];
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE State, CONST D3DMATRIX* pMatrix) {
    if (!pMatrix || !ValidTransform((DWORD)State)) return D3DERR_INVALIDCALL;
    m_xform[State] = *pMatrix;
    if (State == D3DTS_WORLD || State == D3DTS_PROJECTION) Touch(kGroupTransform);
    if (State == D3DTS_VIEW) {
        Touch(kGroupTransform);
        Touch(kGroupLighting);  // light directions are kept in view space
    }
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
    if (!pMatrix || !ValidTransform((DWORD)State)) return D3DERR_INVALIDCALL;
    *pMatrix = m_xform[State];
    return D3D_OK;
}

HRESULT Device::SetViewport(CONST D3DVIEWPORT9* vp) {
    if (!vp || vp->Width == 0 || vp->Height == 0 || (uint64_t)vp->X + vp->Width > (uint64_t)m_bbWidth ||
        (uint64_t)vp->Y + vp->Height > (uint64_t)m_bbHeight || !(vp->MinZ >= 0.0f && vp->MinZ <= 1.0f) ||
        !(vp->MaxZ >= 0.0f && vp->MaxZ <= 1.0f))
        return D3DERR_INVALIDCALL;
    m_viewport = *vp;
    m_dirty |= kDirtyViewport;
    Touch(kGroupViewport);
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* vp) {
    if (!vp) return D3DERR_INVALIDCALL;
    *vp = m_viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(CONST D3DMATERIAL9* pMaterial) {
    if (!pMaterial) return D3DERR_INVALIDCALL;
    m_material = *pMaterial;
    Touch(kGroupLighting);
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* pMaterial) {
    if (!pMaterial) return D3DERR_INVALIDCALL;
    *pMaterial = m_material;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD Index, CONST D3DLIGHT9* pLight) {
    if (!pLight || Index >= (DWORD)kMaxLights) return D3DERR_INVALIDCALL;
    if (pLight->Type != D3DLIGHT_POINT && pLight->Type != D3DLIGHT_SPOT && pLight->Type != D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    m_lights[Index].light = *pLight;
    m_lights[Index].set = true;
    Touch(kGroupLighting);
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD Index, D3DLIGHT9* pLight) {
    if (!pLight || Index >= (DWORD)kMaxLights || !m_lights[Index].set) return D3DERR_INVALIDCALL;
    *pLight = m_lights[Index].light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD Index, BOOL Enable) {
    if (Index >= (DWORD)kMaxLights) return D3DERR_INVALIDCALL;
    LightSlot& slot = m_lights[Index];
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
    if (m_textures[Stage] == tex) return D3D_OK;
    if (tex) tex->BindRef();
    if (m_textures[Stage]) m_textures[Stage]->BindRelease();
    m_textures[Stage] = tex;
    if (Stage == 0) m_dirty |= kDirtyTexture0;
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
    if (!ppTexture || Stage >= (DWORD)kSamplers) return D3DERR_INVALIDCALL;
    *ppTexture = m_textures[Stage];
    if (m_textures[Stage]) m_textures[Stage]->AddRef();
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD FVF) {
    m_fvf = FVF;
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* pFVF) {
    if (!pFVF) return D3DERR_INVALIDCALL;
    *pFVF = m_fvf;
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
    if (vb != m_streams[StreamNumber]) {
        if (vb) vb->BindRef();
        if (m_streams[StreamNumber]) m_streams[StreamNumber]->BindRelease();
        m_streams[StreamNumber] = vb;
    }
    m_streamOffset[StreamNumber] = OffsetInBytes;
    m_streamStride[StreamNumber] = Stride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
    IndexBuffer* ib = nullptr;
    if (pIndexData) {
        ib = dynamic_cast<IndexBuffer*>(pIndexData);
        if (!ib || ib->OwnerDevice() != this) return D3DERR_INVALIDCALL;
    }
    if (ib == m_indices) return D3D_OK;
    if (ib) ib->BindRef();
    if (m_indices) m_indices->BindRelease();
    m_indices = ib;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Resource creation
// ---------------------------------------------------------------------------

HRESULT Device::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                   IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
    if (!ppVertexBuffer) return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (pSharedHandle) return D3DERR_INVALIDCALL;
    if (Length == 0 || (Pool != D3DPOOL_DEFAULT && Pool != D3DPOOL_MANAGED && Pool != D3DPOOL_SYSTEMMEM))
        return D3DERR_INVALIDCALL;
    if (FVF) {
        VertexLayout layout;
        if (ParseFVF(FVF, &layout) && Length < layout.size) return D3DERR_INVALIDCALL;
    }
    if (Length > (1u << 30)) return D3DERR_OUTOFVIDEOMEMORY;
    VertexBuffer* vb = new (std::nothrow) VertexBuffer(this, Length, Usage, FVF, Pool);
    if (!vb) return E_OUTOFMEMORY;
    if (!vb->store.data) {
        vb->Release();
        return E_OUTOFMEMORY;
    }
    *ppVertexBuffer = vb;
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
    if (!ppIndexBuffer) return D3DERR_INVALIDCALL;
    *ppIndexBuffer = nullptr;
    if (pSharedHandle) return D3DERR_INVALIDCALL;
    if (Length == 0 || (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32) ||
        (Pool != D3DPOOL_DEFAULT && Pool != D3DPOOL_MANAGED && Pool != D3DPOOL_SYSTEMMEM))
        return D3DERR_INVALIDCALL;
    if (Length > (1u << 30)) return D3DERR_OUTOFVIDEOMEMORY;
    IndexBuffer* ib = new (std::nothrow) IndexBuffer(this, Length, Usage, Format, Pool);
    if (!ib) return E_OUTOFMEMORY;
    if (!ib->store.data) {
        ib->Release();
        return E_OUTOFMEMORY;
    }
    *ppIndexBuffer = ib;
    return D3D_OK;
}

HRESULT Device::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
    if (!ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (pSharedHandle || Width == 0 || Height == 0) return D3DERR_INVALIDCALL;
    if (Pool != D3DPOOL_DEFAULT && Pool != D3DPOOL_MANAGED && Pool != D3DPOOL_SYSTEMMEM && Pool != D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    if (Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) {
        fprintf(stderr, "d3d9: CreateTexture: render-target and depth textures are not supported\n");
        return D3DERR_NOTAVAILABLE;
    }
    const TextureFormat* format = FindTextureFormat(Format);
    if (!format) {
        fprintf(stderr, "d3d9: CreateTexture: texture format %d is not supported\n", (int)Format);
        return D3DERR_NOTAVAILABLE;
    }
    if (Width > (UINT)m_maxTextureSize || Height > (UINT)m_maxTextureSize) {
        fprintf(stderr, "d3d9: CreateTexture: %ux%u is larger than the %d texels the GL allows\n", Width, Height,
                m_maxTextureSize);
        return D3DERR_INVALIDCALL;
    }
    UINT full = 1;
    for (UINT m = Width > Height ? Width : Height; m > 1; m >>= 1) ++full;
    UINT levels = Levels == 0 ? full : Levels;
    if (levels > full) return D3DERR_INVALIDCALL;
    if (Usage & D3DUSAGE_AUTOGENMIPMAP) {
        if (Pool == D3DPOOL_SYSTEMMEM || Pool == D3DPOOL_SCRATCH || (Levels != 0 && Levels != 1))
            return D3DERR_INVALIDCALL;
        levels = 1;
    }
    Texture* tex = new (std::nothrow) Texture(this, Width, Height, levels, Usage, format, Pool);
    if (!tex) return E_OUTOFMEMORY;
    if (!tex->Allocate()) {
        tex->Release();
        return E_OUTOFMEMORY;
    }
    *ppTexture = tex;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Hook access
// ---------------------------------------------------------------------------

DeviceCounters* CountersOf(IDirect3DDevice9* device) {
    Device* d = dynamic_cast<Device*>(device);
    return d ? &d->counters : nullptr;
}

bool ReadBack(IDirect3DDevice9* device, int x, int y, int w, int h, uint32_t* out) {
    Device* d = dynamic_cast<Device*>(device);
    return d && d->ReadBackBuffer(x, y, w, h, out);
}

}  // namespace d3d9
