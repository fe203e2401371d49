// Getting vertex, index and texture data into GL: uploads of the written
// range, repacking of wide vertices, streaming of data that changes between
// draws through two preallocated rings, and the GL textures with their
// uploads. Nothing here allocates per draw.
#include "gl_backend.h"

#include <stdio.h>
#include <string.h>

namespace d3d9 {

namespace {

// Buffers up to this size that are rewritten between draws stream through
// the ring instead of updating their own GL copy (no wait on earlier draws).
const UINT kStreamLimit = 64 * 1024;

// Attribute locations shared with the generated shaders.
enum { kAttrPos = 0, kAttrNormal = 1, kAttrDiffuse = 2, kAttrSpecular = 3, kAttrTex = 4 };

// How a texture format lives in GL.
struct GLFormat {
    D3DFORMAT d3d;
    UINT bytes;  // per texel
    GLenum internal, format, type;
    GLint swizzle[4];  // GL_TEXTURE_SWIZZLE_RGBA
};

const GLFormat kFormats[] = {
    {D3DFMT_A8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X8R8G8B8, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A8B8G8R8, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X8B8G8R8, 4, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_R5G6B5, 2, GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_X1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A1R5G5B5, 2, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_A4R4G4B4, 2, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_A8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}},
    {D3DFMT_L8, 1, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}},
};

const GLFormat& GLFormatOf(D3DFORMAT format) {
    for (const GLFormat& f : kFormats)
        if (f.d3d == format) return f;
    return kFormats[0];  // textures are only made in the formats above
}

// Levels of the GL texture: the full chain for AUTOGENMIPMAP, else the texture's own.
UINT GLLevels(const Texture& t) {
    if (!(t.Usage() & D3DUSAGE_AUTOGENMIPMAP)) return t.Levels();
    UINT levels = 1;
    for (UINT m = t.LevelWidth(0) > t.LevelHeight(0) ? t.LevelWidth(0) : t.LevelHeight(0); m > 1; m >>= 1) ++levels;
    return levels;
}

}  // namespace

void GLBackend::BindElementBuffer(GLuint buffer) {
    if (m_boundElementBuffer != buffer) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
        m_boundElementBuffer = buffer;
    }
}

void GLBackend::BindTextureUnit0(GLuint texture) {
    if (m_boundTexture0 != texture) {
        glBindTexture(GL_TEXTURE_2D, texture);
        m_boundTexture0 = texture;
    }
}

size_t GLBackend::RingWrite(Ring& ring, const void* data, size_t len) {
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
    m_uploadBytes += len;
    return at;
}

void GLBackend::CreateBufferObject(BufferStore& store, GLenum target) {
    GLuint name = 0;
    glGenBuffers(1, &name);
    store.gpu = name;
    if (target == GL_ELEMENT_ARRAY_BUFFER)
        BindElementBuffer(name);
    else
        glBindBuffer(target, name);
    glBufferData(target, store.size, nullptr, (store.usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    store.MarkDirty(0, store.size);  // all of it goes up at the first upload
}

void GLBackend::UploadBufferRange(BufferStore& store, GLenum target, UINT begin, UINT end) {
    if (end <= begin) return;
    if (target == GL_ELEMENT_ARRAY_BUFFER)
        BindElementBuffer(store.gpu);
    else
        glBindBuffer(target, store.gpu);
    glBufferSubData(target, begin, end - begin, store.data.get() + begin);
    m_uploadBytes += end - begin;
}

// Writes vertices [first, last) of a wide-stride stream tightly into the GL copy.
void GLBackend::RepackVertices(VertexBuffer* vb, UINT offset, UINT stride, UINT size, UINT first, UINT last) {
    if (last <= first) return;
    glBindBuffer(GL_ARRAY_BUFFER, vb->store.gpu);
    const size_t bytes = (size_t)(last - first) * size;
    uint8_t* dst = static_cast<uint8_t*>(glMapBufferRange(GL_ARRAY_BUFFER, (GLintptr)first * size, (GLsizeiptr)bytes,
                                                          GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT));
    if (!dst) {
        fprintf(stderr, "d3d9: cannot map a vertex buffer for writing (GL error 0x%x)\n", glGetError());
        return;
    }
    const uint8_t* src = vb->store.data.get() + offset + (size_t)first * stride;
    for (UINT i = first; i < last; ++i, src += stride, dst += size) memcpy(dst, src, size);
    glUnmapBuffer(GL_ARRAY_BUFFER);
    m_uploadBytes += bytes;
}

void GLBackend::PrepareVertexStream(const DrawCall& call, VertexSource* src) {
    VertexBuffer* vb = call.buffer;
    const UINT offset = call.offset, stride = call.stride, vertexCount = call.streamVertices;
    const VertexLayout& layout = *call.layout;
    BufferStore& st = vb->store;

    if (st.size <= kStreamLimit && st.Dirty() && st.writtenSinceDraw) {
        // Rewritten since its last draw (a sprite quad, say): send this copy.
        src->buffer = m_vertexRing.gl;
        src->base = RingWrite(m_vertexRing, st.data.get() + offset, st.size - offset);
        src->stride = stride;
        st.writtenSinceDraw = false;
        return;
    }
    st.writtenSinceDraw = false;
    if (!st.gpu) {
        CreateBufferObject(st, GL_ARRAY_BUFFER);
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
            last = vertexCount;
        } else if (st.Dirty() && st.dirtyEnd > offset) {
            first = st.dirtyBegin > offset ? (st.dirtyBegin - offset) / stride : 0;
            last = (st.dirtyEnd - offset + stride - 1) / stride;
            if (last > vertexCount) last = vertexCount;
        }
        RepackVertices(vb, offset, stride, layout.size, first, last);
        st.ClearDirty();
        src->buffer = st.gpu;
        src->base = 0;
        src->stride = layout.size;
        return;
    }
    if (vb->packStride != 0) {
        vb->packStride = 0;  // the GL copy was packed: bring all of it back
        st.MarkDirty(0, st.size);
    }
    if (st.Dirty()) {
        UploadBufferRange(st, GL_ARRAY_BUFFER, st.dirtyBegin, st.dirtyEnd);
        st.ClearDirty();
    }
    src->buffer = st.gpu;
    src->base = offset;
    src->stride = stride;
}

void GLBackend::PrepareIndices(IndexBuffer* ib, UINT startIndex, UINT count, GLuint* buffer, size_t* offset) {
    BufferStore& st = ib->store;
    const UINT isz = ib->IndexSize();
    if (st.size <= kStreamLimit && st.Dirty() && st.writtenSinceDraw) {
        *buffer = m_indexRing.gl;
        *offset = RingWrite(m_indexRing, st.data.get() + (size_t)startIndex * isz, (size_t)count * isz);
        st.writtenSinceDraw = false;
        return;
    }
    st.writtenSinceDraw = false;
    if (!st.gpu) CreateBufferObject(st, GL_ELEMENT_ARRAY_BUFFER);
    if (st.Dirty()) {
        UploadBufferRange(st, GL_ELEMENT_ARRAY_BUFFER, st.dirtyBegin, st.dirtyEnd);
        st.ClearDirty();
    }
    *buffer = st.gpu;
    *offset = (size_t)startIndex * isz;
}

void GLBackend::BindVertexSource(const VertexSource& src, const VertexLayout& layout) {
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
        glVertexAttribPointer(kAttrSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(layout.specularOffset));
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
// Textures
// ---------------------------------------------------------------------------

GLuint GLBackend::TextureName(Texture& t) {
    if (t.gpu) return t.gpu;
    const GLFormat& f = GLFormatOf(t.Format());
    GLuint name = 0;
    glGenTextures(1, &name);
    t.gpu = name;
    BindTextureUnit0(name);
    const UINT levels = GLLevels(t);
    // Storage for the whole chain at once: given level by level, Mesa keeps
    // each level's own copy beside the chain it builds, twice the memory.
    if (m_texStorage) {
        glTexStorage2D(GL_TEXTURE_2D, (GLsizei)levels, f.internal, (GLsizei)t.LevelWidth(0), (GLsizei)t.LevelHeight(0));
        for (UINT l = 0; l < levels && l < t.Levels(); ++l) {
            if (!t.LevelData(l)) continue;  // contents not made (out of memory): written when they are
            glTexSubImage2D(GL_TEXTURE_2D, (GLint)l, 0, 0, (GLsizei)t.LevelWidth(l), (GLsizei)t.LevelHeight(l),
                            f.format, f.type, t.LevelData(l));
        }
    } else {
        for (UINT l = 0; l < levels; ++l) {
            const void* data = l < t.Levels() ? t.LevelData(l) : nullptr;
            glTexImage2D(GL_TEXTURE_2D, (GLint)l, (GLint)f.internal, (GLsizei)t.LevelWidth(l),
                         (GLsizei)t.LevelHeight(l), 0, f.format, f.type, data);
        }
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, (GLint)levels - 1);
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, f.swizzle);
    if (t.Usage() & D3DUSAGE_AUTOGENMIPMAP) glGenerateMipmap(GL_TEXTURE_2D);
    t.gpuOpaque = TextureIsOpaque(t);
    // GL now holds every level; formats of whole bytes per channel read back
    // exactly as written, so their CPU copy can go.
    if (f.internal == GL_RGBA8 || f.internal == GL_R8) t.DropCpuCopy();
    return name;
}

bool GLBackend::ReadTexture(Texture& t, UINT level, uint8_t* out) {
    const GLFormat& f = GLFormatOf(t.Format());
    BindTextureUnit0(t.gpu);
    glGetError();  // clear what an earlier call left
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, (GLint)level, f.format, f.type, out);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return glGetError() == GL_NO_ERROR;
}

void GLBackend::TextureWritten(Texture& t, UINT level, const RECT& area) {
    TextureChanged(t);
    const GLFormat& f = GLFormatOf(t.Format());
    const UINT pitch = t.Pitch(level);
    const uint8_t* src = t.LevelData(level) + (size_t)area.top * pitch + (size_t)area.left * f.bytes;
    BindTextureUnit0(t.gpu);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, (GLint)t.LevelWidth(level));
    glTexSubImage2D(GL_TEXTURE_2D, (GLint)level, area.left, area.top, area.right - area.left, area.bottom - area.top,
                    f.format, f.type, src);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (level == 0 && (t.Usage() & D3DUSAGE_AUTOGENMIPMAP)) glGenerateMipmap(GL_TEXTURE_2D);
    t.gpuOpaque = TextureIsOpaque(t);
}

void GLBackend::TextureMipsFromTop(Texture& t) {
    TextureChanged(t);
    BindTextureUnit0(t.gpu);
    glGenerateMipmap(GL_TEXTURE_2D);
    t.gpuOpaque = TextureIsOpaque(t);
}

}  // namespace d3d9
