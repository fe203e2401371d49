// Drawing: vertex formats, getting buffer contents into GL (uploads of the
// written range, repacking of wide vertices, streaming of data that changes
// between draws), turning the shadow state into GL state, and the four
// Draw*Primitive* calls. Nothing here allocates per draw: streamed data goes
// through two preallocated rings, programs are cached by configuration.
#include "d3d9_device.h"

#include <stdio.h>
#include <string.h>
#include <math.h>

namespace d3d9 {

namespace {

// Buffers up to this size that are rewritten between draws stream through
// the ring instead of updating their own GL copy (no wait on earlier draws).
const UINT kStreamLimit = 64 * 1024;

// Attribute locations shared with the generated shaders.
enum { kAttrPos = 0, kAttrNormal = 1, kAttrDiffuse = 2, kAttrSpecular = 3, kAttrTex = 4 };

bool PrimitiveVertices(D3DPRIMITIVETYPE type, UINT count, GLenum* mode, UINT* vertices) {
    uint64_t n;
    switch (type) {
    case D3DPT_POINTLIST: *mode = GL_POINTS; n = count; break;
    case D3DPT_LINELIST: *mode = GL_LINES; n = 2ull * count; break;
    case D3DPT_LINESTRIP: *mode = GL_LINE_STRIP; n = (uint64_t)count + 1; break;
    case D3DPT_TRIANGLELIST: *mode = GL_TRIANGLES; n = 3ull * count; break;
    case D3DPT_TRIANGLESTRIP: *mode = GL_TRIANGLE_STRIP; n = (uint64_t)count + 2; break;
    case D3DPT_TRIANGLEFAN: *mode = GL_TRIANGLE_FAN; n = (uint64_t)count + 2; break;
    default: return false;
    }
    if (n > 0x7fffffffull) return false;
    *vertices = (UINT)n;
    return true;
}

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

// out = a x b for row-major 4x4 matrices (row vectors: a is applied first).
void MatMul(const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX* out) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    *out = r;
}

bool OpUsesArg1(int op) { return op != D3DTOP_SELECTARG2; }
bool OpUsesArg2(int op) { return op != D3DTOP_SELECTARG1; }
bool SupportedOp(int op) {
    switch (op) {
    case D3DTOP_SELECTARG1: case D3DTOP_SELECTARG2: case D3DTOP_MODULATE: case D3DTOP_MODULATE2X:
    case D3DTOP_MODULATE4X: case D3DTOP_ADD: case D3DTOP_ADDSIGNED: case D3DTOP_ADDSIGNED2X: case D3DTOP_SUBTRACT:
    case D3DTOP_ADDSMOOTH: case D3DTOP_BLENDDIFFUSEALPHA: case D3DTOP_BLENDTEXTUREALPHA: case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA:
        return true;
    default:
        return false;
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
// Vertex formats
// ---------------------------------------------------------------------------

bool ParseFVF(DWORD fvf, VertexLayout* out) {
    VertexLayout l;
    UINT off;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: off = 12; break;
    case D3DFVF_XYZRHW: l.rhw = true; off = 16; break;
    default: return false;
    }
    if (fvf & D3DFVF_NORMAL) {
        l.normalOffset = (int)off;
        off += 12;
    }
    if (fvf & D3DFVF_PSIZE) off += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuseOffset = (int)off;
        off += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        l.specularOffset = (int)off;
        off += 4;
    }
    const int n = (int)((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (n > 8) return false;
    l.texCount = n;
    for (int i = 0; i < n; ++i) {
        static const int kSizes[4] = {2, 3, 4, 1};  // D3DFVF_TEXCOORDSIZE2/3/4/1
        l.texOffset[i] = (int)off;
        l.texSize[i] = kSizes[(fvf >> (16 + 2 * i)) & 3];
        off += 4 * (UINT)l.texSize[i];
    }
    l.size = off;
    *out = l;
    return true;
}

// ---------------------------------------------------------------------------
// Getting vertex and index data into GL
// ---------------------------------------------------------------------------

void Device::BindElementBuffer(GLuint buffer) {
    if (m_boundElementBuffer != buffer) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
        m_boundElementBuffer = buffer;
    }
}

void Device::BindTextureUnit0(GLuint texture) {
    if (m_boundTexture0 != texture) {
        glBindTexture(GL_TEXTURE_2D, texture);
        m_boundTexture0 = texture;
    }
}

void Device::ForgetBuffer(GLuint buffer) {
    if (m_boundSource.buffer == buffer) m_sourceValid = false;
    if (m_boundElementBuffer == buffer) m_boundElementBuffer = 0;
}

void Device::ForgetTexture(GLuint texture) {
    if (m_boundTexture0 == texture) m_boundTexture0 = 0;
}

size_t Device::RingWrite(Ring& ring, const void* data, size_t len) {
    if (ring.target == GL_ELEMENT_ARRAY_BUFFER)
        BindElementBuffer(ring.gl);
    else
        glBindBuffer(ring.target, ring.gl);
    size_t at = (ring.head + 15) & ~(size_t)15;
    if (len > ring.size) {
        // Larger than the whole ring: grow it once, to the next power of two.
        size_t size = ring.size;
        while (size < len) size *= 2;
        ring.size = size;
        glBufferData(ring.target, (GLsizeiptr)ring.size, nullptr, GL_STREAM_DRAW);
        at = 0;
    } else if (at + len > ring.size) {
        // Full: orphan the storage (draws still reading it keep theirs) and restart.
        glBufferData(ring.target, (GLsizeiptr)ring.size, nullptr, GL_STREAM_DRAW);
        at = 0;
    }
    void* p = glMapBufferRange(ring.target, (GLintptr)at, (GLsizeiptr)len,
                               GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (p) {
        memcpy(p, data, len);
        glUnmapBuffer(ring.target);
    } else {
        glBufferSubData(ring.target, (GLintptr)at, (GLsizeiptr)len, data);
    }
    ring.head = at + len;
    counters.bufferUploadBytes += len;
    return at;
}

void Device::UploadBufferRange(BufferStore& store, GLenum target, UINT begin, UINT end) {
    if (end <= begin) return;
    if (target == GL_ELEMENT_ARRAY_BUFFER)
        BindElementBuffer(store.gl);
    else
        glBindBuffer(target, store.gl);
    glBufferSubData(target, begin, end - begin, store.data.get() + begin);
    counters.bufferUploadBytes += end - begin;
}

// Writes vertices [first, last) of a wide-stride stream tightly into the GL copy.
void Device::RepackVertices(VertexBuffer* vb, UINT offset, UINT stride, UINT size, UINT first, UINT last) {
    if (last <= first) return;
    glBindBuffer(GL_ARRAY_BUFFER, vb->store.gl);
    const size_t bytes = (size_t)(last - first) * size;
    uint8_t* dst = static_cast<uint8_t*>(glMapBufferRange(GL_ARRAY_BUFFER, (GLintptr)first * size,
                                                          (GLsizeiptr)bytes,
                                                          GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT));
    if (!dst) {
        fprintf(stderr, "d3d9: cannot map a vertex buffer for writing (GL error 0x%x)\n", glGetError());
        return;
    }
    const uint8_t* src = vb->store.data.get() + offset + (size_t)first * stride;
    for (UINT i = first; i < last; ++i, src += stride, dst += size) memcpy(dst, src, size);
    glUnmapBuffer(GL_ARRAY_BUFFER);
    counters.bufferUploadBytes += bytes;
}

bool Device::PrepareVertexStream(const VertexLayout& layout, VertexSource* src, UINT* vertexCount) {
    static bool warnedNoStream = false, warnedStride = false;
    VertexBuffer* vb = m_streams[0];
    const UINT offset = m_streamOffset[0], stride = m_streamStride[0];
    if (!vb) {
        WarnOnce(&warnedNoStream, "draw without a vertex buffer on stream 0");
        return false;
    }
    if (stride < layout.size) {
        WarnOnce(&warnedStride, "draw with a stream stride smaller than the vertex format");
        return false;
    }
    BufferStore& st = vb->store;
    if (offset >= st.size || st.size - offset < layout.size) return false;
    *vertexCount = (st.size - offset - layout.size) / stride + 1;
    src->fvf = m_fvf;

    if (st.size <= kStreamLimit && st.Dirty() && st.writtenSinceDraw) {
        // Rewritten since its last draw (a sprite quad, say): send this copy.
        src->buffer = m_vertexRing.gl;
        src->base = RingWrite(m_vertexRing, st.data.get() + offset, st.size - offset);
        src->stride = stride;
        st.writtenSinceDraw = false;
        return true;
    }
    st.writtenSinceDraw = false;
    if (!st.gl) {
        glGenBuffers(1, &st.gl);
        glBindBuffer(GL_ARRAY_BUFFER, st.gl);
        glBufferData(GL_ARRAY_BUFFER, st.size, nullptr,
                     (st.usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
        st.MarkDirty(0, st.size);
        vb->packStride = 0;
    }
    if (stride > layout.size && st.size > kStreamLimit) {
        // Wide vertices whose tail the pipeline never reads: GL keeps only
        // the first layout.size bytes of each.
        UINT first = 0, last = 0;
        if (vb->packStride != stride || vb->packOffset != offset || vb->packSize != layout.size) {
            vb->packStride = stride;
            vb->packOffset = offset;
            vb->packSize = layout.size;
            last = *vertexCount;
        } else if (st.Dirty() && st.dirtyEnd > offset) {
            first = st.dirtyBegin > offset ? (st.dirtyBegin - offset) / stride : 0;
            last = (st.dirtyEnd - offset + stride - 1) / stride;
            if (last > *vertexCount) last = *vertexCount;
        }
        RepackVertices(vb, offset, stride, layout.size, first, last);
        st.ClearDirty();
        src->buffer = st.gl;
        src->base = 0;
        src->stride = layout.size;
        return true;
    }
    if (vb->packStride != 0) {
        vb->packStride = 0;  // the GL copy was packed: bring all of it back
        st.MarkDirty(0, st.size);
    }
    if (st.Dirty()) {
        UploadBufferRange(st, GL_ARRAY_BUFFER, st.dirtyBegin, st.dirtyEnd);
        st.ClearDirty();
    }
    src->buffer = st.gl;
    src->base = offset;
    src->stride = stride;
    return true;
}

bool Device::PrepareIndices(IndexBuffer* ib, UINT startIndex, UINT count, GLuint* buffer, size_t* offset) {
    BufferStore& st = ib->store;
    const UINT isz = ib->IndexSize();
    if (st.size <= kStreamLimit && st.Dirty() && st.writtenSinceDraw) {
        *buffer = m_indexRing.gl;
        *offset = RingWrite(m_indexRing, st.data.get() + (size_t)startIndex * isz, (size_t)count * isz);
        st.writtenSinceDraw = false;
        return true;
    }
    st.writtenSinceDraw = false;
    if (!st.gl) {
        glGenBuffers(1, &st.gl);
        BindElementBuffer(st.gl);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, st.size, nullptr,
                     (st.usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
        st.MarkDirty(0, st.size);
    }
    if (st.Dirty()) {
        UploadBufferRange(st, GL_ELEMENT_ARRAY_BUFFER, st.dirtyBegin, st.dirtyEnd);
        st.ClearDirty();
    }
    *buffer = st.gl;
    *offset = (size_t)startIndex * isz;
    return true;
}

void Device::BindVertexSource(const VertexSource& src, const VertexLayout& layout) {
    if (m_sourceValid && src == m_boundSource) return;
    glBindBuffer(GL_ARRAY_BUFFER, src.buffer);
    DWORD want = 0;
    const GLsizei stride = (GLsizei)src.stride;
    auto at = [&](int offset) { return reinterpret_cast<const void*>(src.base + (size_t)offset); };
    glVertexAttribPointer(kAttrPos, layout.rhw ? 4 : 3, GL_FLOAT, GL_FALSE, stride, at(layout.posOffset));
    want |= 1u << kAttrPos;
    if (layout.normalOffset >= 0) {
        glVertexAttribPointer(kAttrNormal, 3, GL_FLOAT, GL_FALSE, stride, at(layout.normalOffset));
        want |= 1u << kAttrNormal;
    }
    if (layout.diffuseOffset >= 0) {
        glVertexAttribPointer(kAttrDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(layout.diffuseOffset));
        want |= 1u << kAttrDiffuse;
    }
    if (layout.specularOffset >= 0) {
        glVertexAttribPointer(kAttrSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              at(layout.specularOffset));
        want |= 1u << kAttrSpecular;
    }
    if (src.texSet >= 0 && src.texSet < layout.texCount) {
        glVertexAttribPointer(kAttrTex, layout.texSize[src.texSet], GL_FLOAT, GL_FALSE, stride,
                              at(layout.texOffset[src.texSet]));
        want |= 1u << kAttrTex;
    }
    for (int a = 0; a < 5; ++a) {
        const DWORD bit = 1u << a;
        if ((want & bit) && !(m_enabledAttribs & bit)) glEnableVertexAttribArray(a);
        if (!(want & bit) && (m_enabledAttribs & bit)) glDisableVertexAttribArray(a);
    }
    m_enabledAttribs = want;
    m_boundSource = src;
    m_sourceValid = true;
}

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------

void Device::ComputeDerived() {
    if (m_derivedTransformVersion != m_groupVersion[kGroupTransform]) {
        D3DMATRIX wv, wvp;
        MatMul(m_xform[D3DTS_WORLD], m_xform[D3DTS_VIEW], &wv);
        MatMul(wv, m_xform[D3DTS_PROJECTION], &wvp);
        memcpy(m_wv, &wv, sizeof m_wv);
        memcpy(m_wvp, &wvp, sizeof m_wvp);
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
            for (int i = 0; i < 9; ++i) m_normalMatrix[i] = c[i] / det;
        } else {
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) m_normalMatrix[i * 3 + j] = a[i][j];
        }
        m_derivedTransformVersion = m_groupVersion[kGroupTransform];
    }
    if (m_derivedLightVersion != m_groupVersion[kGroupLighting]) {
        static bool warnedType = false, warnedCount = false;
        const D3DMATRIX& v = m_xform[D3DTS_VIEW];
        m_activeLights = 0;
        for (int i = 0; i < kMaxLights; ++i) {
            const LightSlot& slot = m_lights[i];
            if (!slot.enabled) continue;
            if (slot.light.Type != D3DLIGHT_DIRECTIONAL) {
                WarnOnce(&warnedType, "point and spot lights are not drawn; only directional lights light vertices");
                continue;
            }
            if (m_activeLights == kMaxActiveLights) {
                WarnOnce(&warnedCount, "more than 8 lights enabled; the extra ones are ignored");
                break;
            }
            const D3DVECTOR& d = slot.light.Direction;
            float x = d.x * v._11 + d.y * v._21 + d.z * v._31;
            float y = d.x * v._12 + d.y * v._22 + d.z * v._32;
            float z = d.x * v._13 + d.y * v._23 + d.z * v._33;
            const float len = sqrtf(x * x + y * y + z * z);
            if (len <= 0.0f) continue;
            const int k = m_activeLights++;
            m_lightDir[k * 3 + 0] = x / len;
            m_lightDir[k * 3 + 1] = y / len;
            m_lightDir[k * 3 + 2] = z / len;
            memcpy(&m_lightDiffuse[k * 4], &slot.light.Diffuse, 16);
            memcpy(&m_lightSpecular[k * 4], &slot.light.Specular, 16);
            memcpy(&m_lightAmbient[k * 4], &slot.light.Ambient, 16);
        }
        m_derivedLightVersion = m_groupVersion[kGroupLighting];
    }
}

void Device::UploadUniforms(Program* p) {
    if (p->versions[kGroupTransform] != m_groupVersion[kGroupTransform]) {
        glUniformMatrix4fv(p->uWvp, 1, GL_FALSE, m_wvp);
        glUniformMatrix4fv(p->uWv, 1, GL_FALSE, m_wv);
        glUniformMatrix3fv(p->uNormal, 1, GL_FALSE, m_normalMatrix);
        p->versions[kGroupTransform] = m_groupVersion[kGroupTransform];
    }
    if (p->versions[kGroupViewport] != m_groupVersion[kGroupViewport]) {
        const float X = (float)m_viewport.X, Y = (float)m_viewport.Y;
        const float W = (float)m_viewport.Width, H = (float)m_viewport.Height;
        glUniform4f(p->uVpMap, 2.0f / W, (0.5f - X) * 2.0f / W - 1.0f, -2.0f / H, 1.0f - (0.5f - Y) * 2.0f / H);
        const float range = m_viewport.MaxZ - m_viewport.MinZ;
        const float zs = range != 0.0f ? 1.0f / range : 0.0f;
        glUniform2f(p->uZMap, zs, -m_viewport.MinZ * zs);
        glUniform2f(p->uHalfPixel, 1.0f / W, -1.0f / H);
        p->versions[kGroupViewport] = m_groupVersion[kGroupViewport];
    }
    if (p->versions[kGroupLighting] != m_groupVersion[kGroupLighting]) {
        float amb[4];
        ColorToFloats(m_rs[D3DRS_AMBIENT], amb);
        glUniform4fv(p->uAmbient, 1, amb);
        glUniform4fv(p->uMatDiffuse, 1, &m_material.Diffuse.r);
        glUniform4fv(p->uMatAmbient, 1, &m_material.Ambient.r);
        glUniform4fv(p->uMatSpecular, 1, &m_material.Specular.r);
        glUniform4fv(p->uMatEmissive, 1, &m_material.Emissive.r);
        glUniform1f(p->uMatPower, m_material.Power);
        if (m_activeLights > 0) {
            glUniform3fv(p->uLightDir, m_activeLights, m_lightDir);
            glUniform4fv(p->uLightDiffuse, m_activeLights, m_lightDiffuse);
            glUniform4fv(p->uLightSpecular, m_activeLights, m_lightSpecular);
            glUniform4fv(p->uLightAmbient, m_activeLights, m_lightAmbient);
        }
        p->versions[kGroupLighting] = m_groupVersion[kGroupLighting];
    }
    if (p->versions[kGroupPixel] != m_groupVersion[kGroupPixel]) {
        float tf[4];
        ColorToFloats(m_rs[D3DRS_TEXTUREFACTOR], tf);
        glUniform4fv(p->uTexFactor, 1, tf);
        glUniform1f(p->uAlphaRef, (float)(m_rs[D3DRS_ALPHAREF] & 0xff));
        p->versions[kGroupPixel] = m_groupVersion[kGroupPixel];
    }
}

Program* Device::FindProgram(uint64_t key) {
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
    BuildProgram(key, &p);  // leaves prog 0 on failure, so the key is not retried every draw
    m_currentProgram = nullptr;  // building changed the GL program binding
    return p.prog ? &p : nullptr;
}

void Device::ApplySampler(int stage) {
    const DWORD* s = m_samp[stage];
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

void Device::WarnUnsupportedStates() {
    static bool fog = false, stencil = false, scissor = false, stage1 = false, texTransform = false,
                texGen = false, clipPlanes = false, blend = false;
    if (m_rs[D3DRS_FOGENABLE]) WarnOnce(&fog, "fog is not drawn");
    if (m_rs[D3DRS_STENCILENABLE]) WarnOnce(&stencil, "the stencil test is not applied");
    if (m_rs[D3DRS_SCISSORTESTENABLE]) WarnOnce(&scissor, "the scissor test is not applied");
    if (m_tss[1][D3DTSS_COLOROP] != D3DTOP_DISABLE)
        WarnOnce(&stage1, "texture stages after stage 0 are not applied");
    if (m_tss[0][D3DTSS_TEXTURETRANSFORMFLAGS]) WarnOnce(&texTransform, "texture transforms are not applied");
    if (m_tss[0][D3DTSS_TEXCOORDINDEX] & 0xffff0000u)
        WarnOnce(&texGen, "generated texture coordinates are not supported");
    if (m_rs[D3DRS_CLIPPLANEENABLE]) WarnOnce(&clipPlanes, "user clip planes are not applied");
    if (m_rs[D3DRS_VERTEXBLEND]) WarnOnce(&blend, "vertex blending is not applied");
}

bool Device::ApplyState(const VertexLayout& layout) {
    static bool warnedOp = false, warnedArg = false, warnedProgram = false;
    ComputeDerived();

    ShaderConfig c;
    c.rhw = layout.rhw;
    c.hasNormal = layout.normalOffset >= 0 && !layout.rhw;
    c.hasDiffuse = layout.diffuseOffset >= 0;
    c.hasSpecular = layout.specularOffset >= 0;
    const DWORD texSet = m_tss[0][D3DTSS_TEXCOORDINDEX] & 0xffff;
    c.hasTex = texSet < (DWORD)layout.texCount;
    c.lighting = m_rs[D3DRS_LIGHTING] && !layout.rhw;
    if (c.lighting) {
        c.numLights = m_activeLights;
        const bool colorVertex = m_rs[D3DRS_COLORVERTEX] != FALSE;
        auto source = [&](DWORD v) {
            if (!colorVertex) return 0;
            if (v == D3DMCS_COLOR1 && c.hasDiffuse) return 1;
            if (v == D3DMCS_COLOR2 && c.hasSpecular) return 2;
            return 0;
        };
        c.diffuseSrc = source(m_rs[D3DRS_DIFFUSEMATERIALSOURCE]);
        c.ambientSrc = source(m_rs[D3DRS_AMBIENTMATERIALSOURCE]);
        c.specularSrc = source(m_rs[D3DRS_SPECULARMATERIALSOURCE]);
        c.emissiveSrc = source(m_rs[D3DRS_EMISSIVEMATERIALSOURCE]);
        c.normalize = m_rs[D3DRS_NORMALIZENORMALS] != FALSE;
        c.specularEnable = m_rs[D3DRS_SPECULARENABLE] != FALSE;
        c.localViewer = c.specularEnable && m_rs[D3DRS_LOCALVIEWER] != FALSE;
    } else {
        c.specularEnable = m_rs[D3DRS_SPECULARENABLE] != FALSE && c.hasSpecular;
    }
    c.flat = m_rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    c.remapDepth = !m_clipControl;
    c.flipY = m_flipY;

    // Texture stage 0, with a missing texture read as the diffuse colour.
    const bool texBound = m_textures[0] != nullptr;
    int cop = (int)m_tss[0][D3DTSS_COLOROP], aop = (int)m_tss[0][D3DTSS_ALPHAOP];
    bool argsOk = true;
    int ca1 = CleanArg((int)m_tss[0][D3DTSS_COLORARG1], &argsOk);
    int ca2 = CleanArg((int)m_tss[0][D3DTSS_COLORARG2], &argsOk);
    int aa1 = CleanArg((int)m_tss[0][D3DTSS_ALPHAARG1], &argsOk);
    int aa2 = CleanArg((int)m_tss[0][D3DTSS_ALPHAARG2], &argsOk);
    if (!argsOk) WarnOnce(&warnedArg, "a texture stage argument is not supported; CURRENT is used instead");
    if (cop == D3DTOP_DISABLE) {
        cop = aop = D3DTOP_SELECTARG1;
        ca1 = aa1 = D3DTA_CURRENT;
    } else {
        if (!SupportedOp(cop)) {
            WarnOnce(&warnedOp, "a texture stage operation is not supported; the stage passes its input on");
            cop = D3DTOP_SELECTARG1;
            ca1 = D3DTA_CURRENT;
        }
        if (!texBound && OpReadsTexture(cop, ca1, ca2)) {
            cop = D3DTOP_SELECTARG1;
            ca1 = D3DTA_CURRENT;
        }
        if (aop == D3DTOP_DISABLE) {
            aop = D3DTOP_SELECTARG1;
            aa1 = D3DTA_CURRENT;
        } else if (!SupportedOp(aop)) {
            WarnOnce(&warnedOp, "a texture stage operation is not supported; the stage passes its input on");
            aop = D3DTOP_SELECTARG1;
            aa1 = D3DTA_CURRENT;
        }
        if (!texBound && OpReadsTexture(aop, aa1, aa2)) {
            aop = D3DTOP_SELECTARG1;
            aa1 = D3DTA_CURRENT;
        }
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
    if (m_rs[D3DRS_ALPHATESTENABLE] && m_rs[D3DRS_ALPHAFUNC] >= D3DCMP_NEVER && m_rs[D3DRS_ALPHAFUNC] < D3DCMP_ALWAYS)
        c.alphaFunc = (int)m_rs[D3DRS_ALPHAFUNC];

    Program* p = FindProgram(PackShaderKey(c));
    if (!p) {
        WarnOnce(&warnedProgram, "a fixed-function program failed to build; its draws are skipped");
        return false;
    }
    if (p != m_currentProgram) {
        glUseProgram(p->prog);
        m_currentProgram = p;
    }
    UploadUniforms(p);

    if (m_dirty & kDirtyBlend) {
        if (m_rs[D3DRS_ALPHABLENDENABLE]) {
            bool constant = false;
            const GLenum src = BlendFactor(m_rs[D3DRS_SRCBLEND], true, &constant);
            GLenum dst = BlendFactor(m_rs[D3DRS_DESTBLEND], false, &constant);
            // The legacy "both" source modes decide the destination factor too.
            const DWORD s = m_rs[D3DRS_SRCBLEND];
            if (s == D3DBLEND_BOTHSRCALPHA || s == D3DBLEND_BOTHINVSRCALPHA) dst = BlendFactor(s, false, &constant);
            glEnable(GL_BLEND);
            glBlendFunc(src, dst);
            glBlendEquation(BlendEquation(m_rs[D3DRS_BLENDOP]));
            if (constant) {
                float bf[4];
                ColorToFloats(m_rs[D3DRS_BLENDFACTOR], bf);
                glBlendColor(bf[0], bf[1], bf[2], bf[3]);
            }
        } else {
            glDisable(GL_BLEND);
        }
        const DWORD mask = m_rs[D3DRS_COLORWRITEENABLE];
        glColorMask((mask & D3DCOLORWRITEENABLE_RED) != 0, (mask & D3DCOLORWRITEENABLE_GREEN) != 0,
                    (mask & D3DCOLORWRITEENABLE_BLUE) != 0, (mask & D3DCOLORWRITEENABLE_ALPHA) != 0 && m_alphaWrites);
    }
    if (m_dirty & kDirtyDepth) {
        if (m_hasDepth && m_rs[D3DRS_ZENABLE] != D3DZB_FALSE) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(CompareFunc(m_rs[D3DRS_ZFUNC]));
            glDepthMask(m_rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
        } else {
            glDisable(GL_DEPTH_TEST);  // and so no depth writes, as in Direct3D
        }
    }
    if (m_dirty & kDirtyRaster) {
        switch (m_rs[D3DRS_CULLMODE]) {
        case D3DCULL_NONE:
            glDisable(GL_CULL_FACE);
            break;
        case D3DCULL_CW:
            glEnable(GL_CULL_FACE);
            glCullFace(GL_FRONT);
            break;
        default:
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            break;
        }
        const DWORD fill = m_rs[D3DRS_FILLMODE];
        glPolygonMode(GL_FRONT_AND_BACK,
                      fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
    }
    if (m_dirty & kDirtyViewport) {
        glViewport((GLint)m_viewport.X, m_bbHeight - (GLint)m_viewport.Y - (GLint)m_viewport.Height,
                   (GLsizei)m_viewport.Width, (GLsizei)m_viewport.Height);
        glDepthRange(m_viewport.MinZ, m_viewport.MaxZ);
    }
    if (m_dirty & kDirtySampler0) ApplySampler(0);
    m_dirty = 0;

    if (c.sampleTexture) BindTextureUnit0(m_textures[0]->GLName());
    WarnUnsupportedStates();
    return true;
}

// ---------------------------------------------------------------------------
// Draw calls
// ---------------------------------------------------------------------------

namespace {

struct LayoutCache {
    DWORD fvf = 0xffffffffu;
    bool ok = false;
    VertexLayout layout;
};

const VertexLayout* LayoutFor(LayoutCache& cache, DWORD fvf) {
    static bool warned = false;
    if (cache.fvf != fvf) {
        cache.fvf = fvf;
        cache.ok = ParseFVF(fvf, &cache.layout);
    }
    if (!cache.ok) {
        WarnOnce(&warned, "draw with a vertex format this layer cannot draw (no XYZ or XYZRHW position)");
        return nullptr;
    }
    return &cache.layout;
}

LayoutCache g_layoutCache;

}  // namespace

void Device::NoteDraw(D3DPRIMITIVETYPE type, UINT primitives) {
    ++counters.drawCalls;
    if (counters.recordDraws) counters.draws.push_back({type, primitives, m_textures[0], m_fvf});
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
    GLenum mode;
    UINT count;
    if (!PrimitiveVertices(PrimitiveType, PrimitiveCount, &mode, &count)) return D3DERR_INVALIDCALL;
    if (PrimitiveCount == 0) return D3D_OK;
    const VertexLayout* layout = LayoutFor(g_layoutCache, m_fvf);
    if (!layout) return D3DERR_INVALIDCALL;
    if (!Activate()) return D3D_OK;
    VertexSource src;
    src.texSet = (int)(m_tss[0][D3DTSS_TEXCOORDINDEX] & 0xffff);
    UINT vertexCount = 0;
    if (!PrepareVertexStream(*layout, &src, &vertexCount)) return D3DERR_INVALIDCALL;
    if ((uint64_t)StartVertex + count > vertexCount) return D3DERR_INVALIDCALL;
    if (!ApplyState(*layout)) return D3DERR_INVALIDCALL;
    BindVertexSource(src, *layout);
    glDrawArrays(mode, (GLint)StartVertex, (GLsizei)count);
    NoteDraw(PrimitiveType, PrimitiveCount);
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                     UINT NumVertices, UINT startIndex, UINT primCount) {
    static bool warnedRange = false, warnedNoIndices = false;
    GLenum mode;
    UINT count;
    if (!PrimitiveVertices(PrimitiveType, primCount, &mode, &count)) return D3DERR_INVALIDCALL;
    if (primCount == 0) return D3D_OK;
    const VertexLayout* layout = LayoutFor(g_layoutCache, m_fvf);
    if (!layout) return D3DERR_INVALIDCALL;
    IndexBuffer* ib = m_indices;
    if (!ib) {
        WarnOnce(&warnedNoIndices, "indexed draw without an index buffer");
        return D3DERR_INVALIDCALL;
    }
    if ((uint64_t)startIndex + count > ib->IndexCount()) return D3DERR_INVALIDCALL;
    if (!Activate()) return D3D_OK;
    VertexSource src;
    src.texSet = (int)(m_tss[0][D3DTSS_TEXCOORDINDEX] & 0xffff);
    UINT vertexCount = 0;
    if (!PrepareVertexStream(*layout, &src, &vertexCount)) return D3DERR_INVALIDCALL;

    // Every index, moved by the base vertex, must name a vertex of the stream.
    uint32_t lo, hi;
    ib->WholeRange(&lo, &hi);
    if ((int64_t)lo + BaseVertexIndex < 0 || (int64_t)hi + BaseVertexIndex >= (int64_t)vertexCount) {
        lo = 0xffffffffu;
        hi = 0;
        const uint8_t* base = ib->store.data.get();
        for (UINT i = startIndex; i < startIndex + count; ++i) {
            const uint32_t v = ib->IndexSize() == 4 ? reinterpret_cast<const uint32_t*>(base)[i]
                                                    : reinterpret_cast<const uint16_t*>(base)[i];
            if (v < lo) lo = v;
            if (v > hi) hi = v;
        }
        if ((int64_t)lo + BaseVertexIndex < 0 || (int64_t)hi + BaseVertexIndex >= (int64_t)vertexCount) {
            WarnOnce(&warnedRange, "indexed draw refers to vertices outside the vertex buffer; skipped");
            return D3DERR_INVALIDCALL;
        }
    }
    GLuint indexBuffer = 0;
    size_t indexOffset = 0;
    PrepareIndices(ib, startIndex, count, &indexBuffer, &indexOffset);
    if (!ApplyState(*layout)) return D3DERR_INVALIDCALL;
    BindVertexSource(src, *layout);
    BindElementBuffer(indexBuffer);
    glDrawElementsBaseVertex(mode, (GLsizei)count, ib->IndexSize() == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(indexOffset), BaseVertexIndex);
    NoteDraw(PrimitiveType, primCount);
    return D3D_OK;
}

// Direct3D clears the stream (and index) bindings that user-pointer draws replace.
void Device::FinishUpDraw() {
    if (m_streams[0]) m_streams[0]->BindRelease();
    m_streams[0] = nullptr;
    m_streamOffset[0] = 0;
    m_streamStride[0] = 0;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                CONST void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
    GLenum mode;
    UINT count;
    if (!pVertexStreamZeroData || !PrimitiveVertices(PrimitiveType, PrimitiveCount, &mode, &count))
        return D3DERR_INVALIDCALL;
    const VertexLayout* layout = LayoutFor(g_layoutCache, m_fvf);
    if (!layout || VertexStreamZeroStride < layout->size) return D3DERR_INVALIDCALL;
    if (PrimitiveCount == 0) return D3D_OK;
    if (Activate()) {
        VertexSource src;
        src.texSet = (int)(m_tss[0][D3DTSS_TEXCOORDINDEX] & 0xffff);
        src.fvf = m_fvf;
        src.stride = VertexStreamZeroStride;
        const size_t bytes = (size_t)(count - 1) * VertexStreamZeroStride + layout->size;
        src.buffer = m_vertexRing.gl;
        src.base = RingWrite(m_vertexRing, pVertexStreamZeroData, bytes);
        if (ApplyState(*layout)) {
            BindVertexSource(src, *layout);
            glDrawArrays(mode, 0, (GLsizei)count);
            NoteDraw(PrimitiveType, PrimitiveCount);
        }
    }
    FinishUpDraw();
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                       UINT PrimitiveCount, CONST void* pIndexData, D3DFORMAT IndexDataFormat,
                                       CONST void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
    GLenum mode;
    UINT count;
    if (!pIndexData || !pVertexStreamZeroData || !PrimitiveVertices(PrimitiveType, PrimitiveCount, &mode, &count))
        return D3DERR_INVALIDCALL;
    if (IndexDataFormat != D3DFMT_INDEX16 && IndexDataFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    const VertexLayout* layout = LayoutFor(g_layoutCache, m_fvf);
    if (!layout || VertexStreamZeroStride < layout->size) return D3DERR_INVALIDCALL;
    if (PrimitiveCount == 0) return D3D_OK;
    // Only the vertices the indices name are sent: [lo, hi].
    const bool wide = IndexDataFormat == D3DFMT_INDEX32;
    uint32_t lo = 0xffffffffu, hi = 0;
    for (UINT i = 0; i < count; ++i) {
        const uint32_t v = wide ? static_cast<const uint32_t*>(pIndexData)[i]
                                : static_cast<const uint16_t*>(pIndexData)[i];
        if (v < lo) lo = v;
        if (v > hi) hi = v;
    }
    if (Activate()) {
        VertexSource src;
        src.texSet = (int)(m_tss[0][D3DTSS_TEXCOORDINDEX] & 0xffff);
        src.fvf = m_fvf;
        src.stride = VertexStreamZeroStride;
        const size_t bytes = (size_t)(hi - lo) * VertexStreamZeroStride + layout->size;
        src.buffer = m_vertexRing.gl;
        src.base = RingWrite(m_vertexRing,
                             static_cast<const uint8_t*>(pVertexStreamZeroData) + (size_t)lo * VertexStreamZeroStride,
                             bytes);
        const size_t indexOffset = RingWrite(m_indexRing, pIndexData, (size_t)count * (wide ? 4 : 2));
        if (ApplyState(*layout)) {
            BindVertexSource(src, *layout);
            BindElementBuffer(m_indexRing.gl);
            glDrawElementsBaseVertex(mode, (GLsizei)count, wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                     reinterpret_cast<const void*>(indexOffset), -(GLint)lo);
            NoteDraw(PrimitiveType, PrimitiveCount);
        }
    }
    FinishUpDraw();
    if (m_indices) m_indices->BindRelease();
    m_indices = nullptr;
    return D3D_OK;
}

}  // namespace d3d9
