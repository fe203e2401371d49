// The GL back end's draw: vertices and indices into GL, the state applied,
// then one glDrawArrays or glDrawElementsBaseVertex (or the sampled copy's
// draw, gl_sampled.cpp).
#include "gl_backend.h"

namespace d3d9 {

bool GLBackend::Draw(const DrawCall& call, const DrawState& ds) {
    if (PrefixDrawTaken(call, ds)) return true;
    return DrawNow(call, ds);
}

bool GLBackend::DrawNow(const DrawCall& call, const DrawState& ds) {
    VertexSource src;
    src.texSet = call.texSet;
    src.fvf = ds.state->fvf;
    GLuint indexBuffer = 0;
    size_t indexOffset = 0;
    if (call.userVertices) {
        src.stride = call.stride;
        src.buffer = m_vertexRing.gl;
        src.base = RingWrite(m_vertexRing, call.userVertices, call.userBytes);
        if (call.indexed) {
            indexBuffer = m_indexRing.gl;
            indexOffset = RingWrite(m_indexRing, call.userIndices, (size_t)call.count * (call.wideIndices ? 4 : 2));
        }
    } else {
        PrepareVertexStream(call, &src);
        if (call.indexed) PrepareIndices(call.indices, call.startIndex, call.count, &indexBuffer, &indexOffset);
    }
    if (!ApplyState(ds)) return false;
    if (!m_floor && DrawShortcutsAllowed()) {
        ChooseSampler0(ds.config.sampleTexture && MapsTexelsOneToOne(call, ds));
        ChooseBlending(*ds.state, ds.state->rs[D3DRS_ALPHABLENDENABLE] && BlendsOpaque(call, ds));
    } else if (!m_floor) {
        ChooseSampler0(false);
        ChooseBlending(*ds.state, false);
    }
    BindVertexSource(src, *call.layout);
    const int sampled = !m_floor && DrawShortcutsAllowed() ? SampledPlan(call, ds) : kSampledNo;
    if (sampled == kSampledMake && BeginSampledFill()) {
        IssueDraw(call, indexBuffer, indexOffset);
        EndSampledFill(call, *ds.state);
    }
    if (sampled != kSampledNo && m_sampledSlot->valid) return DrawSampled(call, ds);
    IssueDraw(call, indexBuffer, indexOffset);
    return true;
}

void GLBackend::IssueDraw(const DrawCall& call, GLuint indexBuffer, size_t indexOffset) {
    const GLenum mode = GLPrimitiveMode(call.type);
    if (!call.indexed) {
        glDrawArrays(mode, (GLint)call.firstVertex, (GLsizei)call.count);
        return;
    }
    const bool wide = call.userIndices ? call.wideIndices : call.indices->IndexSize() == 4;
    BindElementBuffer(indexBuffer);
    glDrawElementsBaseVertex(mode, (GLsizei)call.count, wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(indexOffset), call.baseVertex);
}

}  // namespace d3d9
