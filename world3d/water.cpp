// Water surface: a flat grid of 3-unit squares in the x-z plane whose
// vertices rise and fall under up to ten ring waves (ripples). The CPU
// rewrites the heights every frame; the grid is drawn as one triangle strip.
//
// State, per object: the grid size, the slot written by the last AddRipple,
// and per ripple slot a strength and a keep flag. Each vertex carries, next to
// its position and colour, per slot the distance the wave front still has to
// travel to it, its amplitude there and the height step it adds every frame.
// Per class (WaterSurface for stage one, WaterSurface2 for stage two, both
// made from the one template WaterSurfaceOf): one
// vertex buffer of 30000 vertices of 144 bytes, one index buffer of 30000
// 16-bit indices and the 32-bit staging copy of those indices.
//
// Lifetime: the stage creates its surface with new in its Init and deletes it
// when it ends. The buffers belong to the class: a constructor releases
// whatever the class still holds and creates them anew, and only the object
// that made the class's current buffers releases them in its destructor, so
// destroying an older object late cannot pull the buffers from under a newer
// one. A grid that does not fit the buffers is stored as 0 x 0: nothing is
// built and every method does nothing.
//
// Drawing: unlit, no texture, identity world. The colour on screen is the
// vertex colour alone and its alpha the vertex alpha (texture stage 0 selects
// the diffuse colour and alpha for this draw and is put back as it was
// afterwards). The row colours run from cyan to white; so that the water reads
// as translucent water over the ground and the fish below it, every vertex
// alpha is raised by WATER_ALPHA_BASE (0x90) over the row's own alpha byte
// (0x00, or 0x10 on two rows of WaterSurface2). Blending is set to the usual
// source-alpha blend, the same states the renderer sets for all drawing.
#include "world3d/water.h"

#include <math.h>
#include <stddef.h>
#include <string.h>

#include "app/renderer.h"

#define WATER_CELL (3.0f)
#define WATER_ORIGIN_ROW (45)           // vertex row at z = 0
#define WATER_FRONT_SPEED (0.06f)       // units the wave front travels per frame
#define WATER_AMPLITUDE_MAX (8.0)       // amplitude at the source
#define WATER_AMPLITUDE_FALLOFF (0.03)  // amplitude lost per unit of distance
#define WATER_SETTLE_STEP (0.00001f)    // idle slots nudge heights towards this
#define WATER_STRENGTH_FADE (0.00001f)  // strength lost per frame without keep
#define WATER_DRAW_TRIANGLES (18000)
#define WATER_ALPHA_BASE (0x90u)

// One set of buffers per class, plus what tells the two classes apart.
struct WaterClassData {
    LPDIRECT3DVERTEXBUFFER9 vertexBuffer;
    LPDIRECT3DINDEXBUFFER9 indexBuffer;
    int indexStaging[WATER_INDEX_CAPACITY];
    const void* owner;     // the object that created the buffers above
    D3DCOLOR rowColor[3];  // by vertex row modulo 3, as designed
};

static WaterClassData g_waterClass1 = {NULL, NULL, {0}, NULL, {0x0000FFFF, 0x0090FFFF, 0x00FFFFFF}};
static WaterClassData g_waterClass2 = {NULL, NULL, {0}, NULL, {0x0000FFFF, 0x1090FFFF, 0x10FFFFFF}};

template <>
WaterClassData& WaterSurfaceOf<1>::ClassData() {
    return g_waterClass1;
}

template <>
WaterClassData& WaterSurfaceOf<2>::ClassData() {
    return g_waterClass2;
}

template <int Stage>
int WaterSurfaceOf<Stage>::VertexCount() const {
    return (rows + 1) * columns;
}

template <int Stage>
UINT WaterSurfaceOf<Stage>::LockSize() const {
    return (UINT)(VertexCount() * sizeof(VertexWater));
}

static void ReleaseBuffers(WaterClassData& cls) {
    if (cls.vertexBuffer != NULL) {
        cls.vertexBuffer->Release();
        cls.vertexBuffer = NULL;
    }
    if (cls.indexBuffer != NULL) {
        cls.indexBuffer->Release();
        cls.indexBuffer = NULL;
    }
    cls.owner = NULL;
}

// True when a rows x columns grid and its strip fit the fixed buffers.
static bool GridFits(int rows, int columns) {
    if (rows < 1 || columns < 1) {
        return false;
    }
    const long long vertices = (long long)(rows + 1) * columns;
    const long long indices = (long long)rows * 2 * columns + (long long)(rows - 1) * 2;
    return vertices <= WATER_VERTEX_CAPACITY && indices <= WATER_INDEX_CAPACITY;
}

// Builds the strip's indices and the flat grid, and fills both buffers.
template <int Stage>
WaterSurfaceOf<Stage>::WaterSurfaceOf(int rowCount, int columnCount)
    : rows(rowCount), columns(columnCount), currentRipple(0), rippleStrength(), rippleKeep(), lockedVertices(NULL) {
    WaterClassData& cls = ClassData();
    ReleaseBuffers(cls);
    if (!GridFits(rows, columns)) {
        rows = 0;
        columns = 0;
        return;
    }

    // One strip: per strip of squares the pairs (lower row, upper row),
    // joined to the next strip by repeating its last and next first index.
    memset(cls.indexStaging, 0, sizeof(cls.indexStaging));
    int n = 0;
    for (int s = 0; s < rows; s++) {
        if (s > 0) {
            cls.indexStaging[n] = cls.indexStaging[n - 1];
            n++;
            cls.indexStaging[n++] = (s + 1) * columns;
        }
        for (int j = 0; j < columns; j++) {
            cls.indexStaging[n++] = (s + 1) * columns + j;
            cls.indexStaging[n++] = s * columns + j;
        }
    }

    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL) {
        return;
    }
    device->CreateVertexBuffer(WATER_VERTEX_CAPACITY * sizeof(VertexWater), D3DUSAGE_WRITEONLY, FVF_VERTEX_WATER,
                               D3DPOOL_MANAGED, &cls.vertexBuffer, NULL);
    device->CreateIndexBuffer(WATER_INDEX_CAPACITY * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                              &cls.indexBuffer, NULL);
    if (cls.vertexBuffer == NULL || cls.indexBuffer == NULL) {
        ReleaseBuffers(cls);
        return;
    }
    cls.owner = this;

    if (SUCCEEDED(cls.vertexBuffer->Lock(0, 0, (void**)&lockedVertices, 0)) && lockedVertices != NULL) {
        memset(lockedVertices, 0, WATER_VERTEX_CAPACITY * sizeof(VertexWater));
        for (int r = 0; r <= rows; r++) {
            const D3DCOLOR color = cls.rowColor[r % 3] + (WATER_ALPHA_BASE << 24);
            for (int c = 0; c < columns; c++) {
                VertexWater& vertex = lockedVertices[r * columns + c];
                vertex.x = (float)((c - 0.5 * columns) * WATER_CELL);
                vertex.y = 0.0f;
                vertex.z = (float)((WATER_ORIGIN_ROW - r) * WATER_CELL);
                vertex.diffuse = color;
            }
        }
        cls.vertexBuffer->Unlock();
    }
    lockedVertices = NULL;

    WORD* indices = NULL;
    if (SUCCEEDED(cls.indexBuffer->Lock(0, 0, (void**)&indices, 0)) && indices != NULL) {
        for (int i = 0; i < WATER_INDEX_CAPACITY; i++) {
            indices[i] = (WORD)cls.indexStaging[i];
        }
        cls.indexBuffer->Unlock();
    }
}

template <int Stage>
WaterSurfaceOf<Stage>::~WaterSurfaceOf() {
    WaterClassData& cls = ClassData();
    if (cls.owner == this) {
        ReleaseBuffers(cls);
    }
}

// Locks the vertices the grid uses; false when there is nothing to lock.
template <int Stage>
bool WaterSurfaceOf<Stage>::LockVertices() {
    WaterClassData& cls = ClassData();
    lockedVertices = NULL;
    if (cls.vertexBuffer == NULL || cls.owner != this || VertexCount() <= 0) {
        return false;
    }
    if (FAILED(cls.vertexBuffer->Lock(0, LockSize(), (void**)&lockedVertices, 0)) || lockedVertices == NULL) {
        lockedVertices = NULL;
        return false;
    }
    return true;
}

template <int Stage>
void WaterSurfaceOf<Stage>::UnlockVertices() {
    WaterClassData& cls = ClassData();
    cls.vertexBuffer->Unlock();
    lockedVertices = NULL;
}

// Starts a ring wave at (x, z) in the next free slot: the slot after the
// last one used, passing over one slot kept by its flag, wrapping to 0.
template <int Stage>
void WaterSurfaceOf<Stage>::AddRipple(int x, int z, float strength, int keep) {
    if (currentRipple < RIPPLE_MAX) {
        currentRipple++;
    }
    if (currentRipple < RIPPLE_MAX && rippleKeep[currentRipple] == 1) {
        currentRipple++;
    }
    if (currentRipple == RIPPLE_MAX) {
        currentRipple = 0;
    }
    const int slot = currentRipple;
    rippleStrength[slot] = strength;
    rippleKeep[slot] = keep;

    if (!LockVertices()) {
        return;
    }
    const float fx = (float)x;
    const float fz = (float)z;
    const int count = VertexCount();
    for (int i = 0; i < count; i++) {
        VertexWater& vertex = lockedVertices[i];
        const float dx = vertex.x - fx;
        const float dz = vertex.z - fz;
        const float squared = dx * dx + dz * dz;
        const float distance = (float)sqrt((double)squared);
        float amplitude = (float)(WATER_AMPLITUDE_MAX - (double)distance * WATER_AMPLITUDE_FALLOFF);
        if (amplitude <= 0.0f) {
            amplitude = 0.0f;
        }
        vertex.rippleDistance[slot] = distance;
        vertex.rippleAmplitude[slot] = amplitude;
    }
    UnlockVertices();
}

// One frame: moves every front on, updates the height steps of the
// vertices it has passed, nudges heights under idle slots towards the
// rest level, adds the steps, and fades the strengths.
// The nudges of the idle slots are one step applied once per idle slot; a
// height the step leaves as it is (the rest level itself) stays so under
// the steps after it, so they stop there.
template <int Stage>
void WaterSurfaceOf<Stage>::Update() {
    int idleSlots = 0;
    for (int k = 0; k < RIPPLE_MAX; k++) {
        if (rippleStrength[k] == 0.0f) {
            idleSlots++;
        }
    }
    if (LockVertices()) {
        const int count = VertexCount();
        for (int i = 0; i < count; i++) {
            VertexWater& vertex = lockedVertices[i];
            for (int k = 0; k < RIPPLE_MAX; k++) {
                vertex.rippleDistance[k] -= WATER_FRONT_SPEED;
                if (vertex.rippleDistance[k] <= 0.0f) {
                    const float scale = rippleStrength[k] * vertex.rippleAmplitude[k];
                    vertex.rippleHeight[k] =
                        scale == 0.0f ? 0.0f : (float)((double)scale * cos((double)vertex.rippleDistance[k]));
                }
            }
            for (int n = 0; n < idleSlots; n++) {
                const float before = vertex.y;
                if (vertex.y > WATER_SETTLE_STEP) {
                    vertex.y -= WATER_SETTLE_STEP;
                }
                if (vertex.y < WATER_SETTLE_STEP) {
                    vertex.y += WATER_SETTLE_STEP;
                }
                if (vertex.y == before) {
                    break;
                }
            }
            for (int k = 0; k < RIPPLE_MAX; k++) {
                vertex.y += vertex.rippleHeight[k];
            }
        }
        UnlockVertices();
    }

    for (int k = 0; k < RIPPLE_MAX; k++) {
        if (rippleStrength[k] > 0.0f) {
            if (rippleKeep[k] == 0) {
                rippleStrength[k] -= WATER_STRENGTH_FADE;
            }
        } else if (rippleStrength[k] < 0.0f) {
            rippleStrength[k] = 0.0f;
        }
    }
}

// Draws the first 18000 triangles of the strip, unlit and untextured,
// in the vertex colours and alphas.
template <int Stage>
void WaterSurfaceOf<Stage>::Draw() {
    WaterClassData& cls = ClassData();
    if (cls.vertexBuffer == NULL || cls.indexBuffer == NULL || cls.owner != this) {
        return;
    }
    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL) {
        return;
    }

    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    D3DXMATRIX mtxWorld;
    D3DXMatrixIdentity(&mtxWorld);
    device->SetTransform(D3DTS_WORLD, &mtxWorld);

    device->SetStreamSource(0, cls.vertexBuffer, 0, sizeof(VertexWater));
    device->SetIndices(cls.indexBuffer);
    device->SetFVF(FVF_VERTEX_WATER);
    device->SetTexture(0, NULL);

    // Stage 0 takes colour and alpha from the vertex for this draw only:
    // the other draws rely on the stage as they found it.
    DWORD colorOp = D3DTOP_MODULATE, colorArg1 = D3DTA_TEXTURE;
    DWORD alphaOp = D3DTOP_SELECTARG1, alphaArg1 = D3DTA_TEXTURE;
    device->GetTextureStageState(0, D3DTSS_COLOROP, &colorOp);
    device->GetTextureStageState(0, D3DTSS_COLORARG1, &colorArg1);
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
    device->GetTextureStageState(0, D3DTSS_ALPHAARG1, &alphaArg1);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);

    device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, WATER_VERTEX_CAPACITY, 0, WATER_DRAW_TRIANGLES);

    device->SetTextureStageState(0, D3DTSS_COLOROP, colorOp);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, colorArg1);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg1);
}

template <int Stage>
LPDIRECT3DVERTEXBUFFER9 WaterSurfaceOf<Stage>::GetVertexBuffer() {
    return ClassData().vertexBuffer;
}

template <int Stage>
LPDIRECT3DINDEXBUFFER9 WaterSurfaceOf<Stage>::GetIndexBuffer() {
    return ClassData().indexBuffer;
}

template <int Stage>
const int* WaterSurfaceOf<Stage>::GetIndexStaging() {
    return ClassData().indexStaging;
}

template class WaterSurfaceOf<1>;
template class WaterSurfaceOf<2>;
