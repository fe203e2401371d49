// The GL back end's context and frame: creating the context on the window,
// the off-screen back buffer, the fill-rule calibration, Clear, Present,
// read-back, and deleting the GL objects of resources that go away.
#include "gl_backend.h"

#include <SDL.h>
#include <initializer_list>
#include <new>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace d3d9 {

Backend* CreateGLBackend(SDL_Window* window, const D3DPRESENT_PARAMETERS& params, HRESULT* hr) {
    *hr = D3DERR_NOTAVAILABLE;
    if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
        fprintf(stderr, "d3d9: CreateDevice: the window was not created for OpenGL\n");
        return nullptr;
    }

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        fprintf(stderr, "d3d9: CreateDevice: cannot create an OpenGL 3.3 core context: %s\n", SDL_GetError());
        return nullptr;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        fprintf(stderr, "d3d9: CreateDevice: cannot make the OpenGL context current: %s\n", SDL_GetError());
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    if (epoxy_gl_version() < 33) {
        fprintf(stderr, "d3d9: CreateDevice: OpenGL %d.%d is too old, 3.3 core is needed (%s)\n",
                epoxy_gl_version() / 10, epoxy_gl_version() % 10, (const char*)glGetString(GL_VERSION));
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    SDL_GL_SetSwapInterval(params.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);

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
    const bool wantStencil = params.EnableAutoDepthStencil && params.AutoDepthStencilFormat == D3DFMT_D24S8;
    // D3DFMT_D16 keeps 16 bits of depth, no more: the window's drawable has
    // 24 as a rule, so such a device draws into a buffer of its own.
    const bool want16 = params.EnableAutoDepthStencil && params.AutoDepthStencilFormat == D3DFMT_D16;
    const bool offscreen = dw != (int)params.BackBufferWidth || dh != (int)params.BackBufferHeight ||
                           (params.EnableAutoDepthStencil && depthBits < 16) || (wantStencil && stencilBits < 8) ||
                           (want16 && depthBits != 16);

    GLBackend* backend = new (std::nothrow) GLBackend(window, context, params);
    if (!backend) {
        SDL_GL_DeleteContext(context);
        *hr = E_OUTOFMEMORY;
        return nullptr;
    }
    if (!backend->Init(offscreen)) {
        delete backend;
        return nullptr;
    }
    *hr = D3D_OK;
    return backend;
}

GLBackend::GLBackend(SDL_Window* window, void* context, const D3DPRESENT_PARAMETERS& params)
    : m_window(window), m_context(context) {
    m_bbWidth = (int)params.BackBufferWidth;
    m_bbHeight = (int)params.BackBufferHeight;
    m_hasDepth = params.EnableAutoDepthStencil != 0;
    m_depth16 = m_hasDepth && params.AutoDepthStencilFormat == D3DFMT_D16;
    m_alphaWrites = params.BackBufferFormat == D3DFMT_A8R8G8B8;
    const char* floor = getenv("WINAPI_D3D9_FLOOR");
    m_floor = floor != nullptr && strcmp(floor, "1") == 0;
}

GLBackend::~GLBackend() {
    if (!m_abandoned && MakeCurrent()) {
        for (int i = 0; i < m_programCount; ++i) glDeleteProgram(m_programs[i].prog);
        if (m_vao) glDeleteVertexArrays(1, &m_vao);
        glDeleteSamplers(kSamplers, m_samplers);
        if (m_exactSampler) glDeleteSamplers(1, &m_exactSampler);
        if (m_vertexRing.gl) glDeleteBuffers(1, &m_vertexRing.gl);
        if (m_indexRing.gl) glDeleteBuffers(1, &m_indexRing.gl);
        if (m_fbo) glDeleteFramebuffers(1, &m_fbo);
        if (m_fboColor) glDeleteRenderbuffers(1, &m_fboColor);
        if (m_fboDepth) glDeleteRenderbuffers(1, &m_fboDepth);
        FreeKeptTargets();
        FreeSampledTarget();
    }
    if (m_context) SDL_GL_DeleteContext((SDL_GLContext)m_context);
}

bool GLBackend::MakeCurrent() {
    if (SDL_GL_GetCurrentContext() != (SDL_GLContext)m_context || SDL_GL_GetCurrentWindow() != m_window) {
        if (SDL_GL_MakeCurrent(m_window, (SDL_GLContext)m_context) != 0) {
            fprintf(stderr, "d3d9: cannot make the device's OpenGL context current: %s\n", SDL_GetError());
            return false;
        }
    }
    return true;
}

bool GLBackend::Init(bool needOffscreen) {
    m_clipControl = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    m_texStorage = epoxy_gl_version() >= 42 || epoxy_has_gl_extension("GL_ARB_texture_storage");
    m_copyImage = epoxy_gl_version() >= 43 || epoxy_has_gl_extension("GL_ARB_copy_image");
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &m_maxTextureSize);

    if (needOffscreen) {
        glGenFramebuffers(1, &m_fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
        m_fboColor = AttachRenderbuffer(GL_RGBA8, GL_COLOR_ATTACHMENT0);
        if (m_hasDepth) {
            glGenRenderbuffers(1, &m_fboDepth);
            glBindRenderbuffer(GL_RENDERBUFFER, m_fboDepth);
            // DEPTH_COMPONENT16 is a format every GL 3.3 implementation must
            // render to; should one still refuse it, the device gets 24 bits
            // (finer, never coarser) rather than no depth at all.
            if (m_depth16) {
                glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, m_bbWidth, m_bbHeight);
                glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_fboDepth);
                m_depthFormat = GL_DEPTH_COMPONENT16;
            }
            if (!m_depth16 || glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
                glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, 0);
                glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, m_bbWidth, m_bbHeight);
                glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_fboDepth);
                m_depthFormat = GL_DEPTH24_STENCIL8;
            }
        }
        const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
        if (status != GL_FRAMEBUFFER_COMPLETE) {
            fprintf(stderr, "d3d9: CreateDevice: cannot make a %dx%d back buffer (framebuffer status 0x%x)\n",
                    m_bbWidth, m_bbHeight, status);
            return false;
        }
    }
    if (!needOffscreen && m_hasDepth) {
        // The window's depth buffer: its format, for the kept prefix's depth copy.
        GLint depthBits = 0, stencilBits = 0;
        glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE,
                                              &depthBits);
        glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE,
                                              &stencilBits);
        glGetError();
        if (depthBits == 24) m_depthFormat = stencilBits == 8 ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT24;
        if (depthBits == 16 && stencilBits == 0) m_depthFormat = GL_DEPTH_COMPONENT16;
    }
    // Copies of a multisampled back buffer would not be the same pixels.
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &samples);
    m_prefixBroken = samples != 0;
    SetDefaultState(&m_replayState, (UINT)m_bbWidth, (UINT)m_bbHeight, m_hasDepth);
    ApplyBackBufferBinding();

    glGenVertexArrays(1, &m_vao);
    glBindVertexArray(m_vao);
    glGenSamplers(kSamplers, m_samplers);
    glBindSampler(0, m_samplers[0]);
    glGenSamplers(1, &m_exactSampler);
    glSamplerParameteri(m_exactSampler, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glSamplerParameteri(m_exactSampler, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glSamplerParameteri(m_exactSampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(m_exactSampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

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
void GLBackend::ApplyOrientation() {
    if (m_clipControl) glClipControl(m_flipY ? GL_UPPER_LEFT : GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glFrontFace(m_flipY ? GL_CCW : GL_CW);
}

GLuint GLBackend::AttachRenderbuffer(GLenum format, GLenum attachment) {
    GLuint rb = 0;
    glGenRenderbuffers(1, &rb);
    glBindRenderbuffer(GL_RENDERBUFFER, rb);
    glRenderbufferStorage(GL_RENDERBUFFER, format, m_bbWidth, m_bbHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, rb);
    return rb;
}

void GLBackend::ApplyBackBufferBinding() {
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

// Makes edges through pixel centres fall as Direct3D's top-left rule has
// them, by drawing a probe quad through the device and flipping the GL
// rasterizer's vertical orientation when the GL breaks such ties the other way.
void GLBackend::Started(IDirect3DDevice9* device) {
    static bool warned = false;
    if (m_bbWidth < 5 || m_bbHeight < 5 || !MakeCurrent()) return;
    // A 4x4 quad whose edges run through pixel centres: Direct3D fills rows
    // and columns 0 to 3, taking the top and left edges and leaving the others.
    struct Probe {
        float x, y, z, rhw;
        D3DCOLOR c;
    } quad[4] = {
        {0, 0, 0, 1, 0xFFFFFFFF}, {4, 0, 0, 1, 0xFFFFFFFF}, {0, 4, 0, 1, 0xFFFFFFFF}, {4, 4, 0, 1, 0xFFFFFFFF}};
    const DWORD clearFlags = D3DCLEAR_TARGET | (m_hasDepth ? D3DCLEAR_ZBUFFER : 0);
    bool good = false;
    for (int attempt = 0; attempt < 2 && !good; ++attempt) {
        device->Clear(0, nullptr, clearFlags, 0xFF000000, 1.0f, 0);
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Probe));
        uint32_t column[5] = {}, row[5] = {};
        ReadBack(1, 0, 1, 5, column);  // rows 0..4 of column 1
        ReadBack(0, 1, 5, 1, row);     // columns 0..4 of row 1
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
    device->SetFVF(0);
    device->Clear(0, nullptr, clearFlags, 0xFF000000, 1.0f, 0);
}

void GLBackend::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil,
                      const D3DVIEWPORT9& area) {
    if (!PrefixClear(count, rects, flags, color, z, stencil, area))
        ClearNow(count, rects, flags, color, z, stencil, area);
}

void GLBackend::ClearNow(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil,
                         const D3DVIEWPORT9& area) {
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        mask |= GL_COLOR_BUFFER_BIT;
        const float a = m_alphaWrites ? ((color >> 24) & 0xff) / 255.0f : 1.0f;
        glClearColor(((color >> 16) & 0xff) / 255.0f, ((color >> 8) & 0xff) / 255.0f, (color & 0xff) / 255.0f, a);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        mask |= GL_DEPTH_BUFFER_BIT;
        glClearDepth(z);
        glDepthMask(GL_TRUE);
    }
    if (flags & D3DCLEAR_STENCIL) {
        mask |= GL_STENCIL_BUFFER_BIT;
        glClearStencil((GLint)(stencil & 0xff));
        glStencilMask(0xff);
    }

    // The cleared area is the viewport, intersected with each rectangle.
    const LONG vx0 = (LONG)area.X, vy0 = (LONG)area.Y;
    const LONG vx1 = vx0 + (LONG)area.Width, vy1 = vy0 + (LONG)area.Height;
    glEnable(GL_SCISSOR_TEST);
    const DWORD n = count > 0 ? count : 1;
    for (DWORD i = 0; i < n; ++i) {
        LONG x0 = vx0, y0 = vy0, x1 = vx1, y1 = vy1;
        if (count > 0) {
            if (rects[i].x1 > x0) x0 = rects[i].x1;
            if (rects[i].y1 > y0) y0 = rects[i].y1;
            if (rects[i].x2 < x1) x1 = rects[i].x2;
            if (rects[i].y2 < y1) y1 = rects[i].y2;
        }
        if (x1 <= x0 || y1 <= y0) continue;
        glScissor(x0, m_bbHeight - y1, x1 - x0, y1 - y0);
        glClear(mask);
    }
    glDisable(GL_SCISSOR_TEST);
    m_glDirty |= kDirtyBlend | kDirtyDepth;  // colour and depth masks are reapplied at the next draw
}

void GLBackend::Present() {
    PrefixPresent();
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
        m_glDirty |= kDirtyBlend;
    } else {
        SDL_GL_SwapWindow(m_window);
    }
}

bool GLBackend::ReadBack(int x, int y, int w, int h, uint32_t* out) {
    FinishHeldDraws();
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

void GLBackend::BufferGone(BufferStore& store) {
    const GLuint buffer = store.gpu;
    if (m_boundSource.buffer == buffer) m_sourceValid = false;
    if (m_boundElementBuffer == buffer) m_boundElementBuffer = 0;
    glDeleteBuffers(1, &buffer);
}

void GLBackend::TextureGone(Texture& texture) {
    TextureChanged(texture);
    const GLuint name = texture.gpu;
    if (m_boundTexture0 == name) m_boundTexture0 = 0;
    glDeleteTextures(1, &name);
}

}  // namespace d3d9
