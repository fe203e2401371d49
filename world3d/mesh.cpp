// Scenery meshes: the flat ground grid under the water, the open mountain
// ring around the play area and the sky dome overhead. All three are grids of
// (columns + 1) x (rows + 1) vertices drawn as one indexed triangle strip,
// unlit, with a texture from the texture registry.
//
// State: a small table of slots (vertex buffer, index buffer, vertex count,
// strip triangle count); the game fills slots 0 (ground), 1 (mountains) and
// 2 (sky). Two staging arrays of vertices live for the whole run; a builder
// writes its vertices there first and then copies them into its buffer.
//
// Lifetime: slots are empty at start. Each stage's Init builds the three
// slots and its Uninit releases them with UninitMesh. Building a slot that
// still holds buffers releases the old ones first. Arguments that do not fit
// 16-bit indices or the staging arrays leave the slot empty, and drawing an
// empty slot does nothing.
#include "world3d/mesh.h"
#include "world3d/mesh_testing.h"

#include <math.h>
#include <string.h>

#include "app/renderer.h"
#include "device/keyboard.h"
#include "ui2d/texture.h"

#define MESH_DEG_TO_RAD (0.017453292f)
#define MESH_NORMAL D3DXVECTOR3(0.0f, 0.5f, -1.0f)
#define MESH_COLOR (0xFFFFFFFF)
#define MESH_DOME_DROP (100.0f)  // the dome is lowered by this much

static LPDIRECT3DVERTEXBUFFER9 g_meshVertexBuffer[MESH_SLOT_MAX];
static LPDIRECT3DINDEXBUFFER9 g_meshIndexBuffer[MESH_SLOT_MAX];
static int g_meshVertexCount[MESH_SLOT_MAX];
static int g_meshPrimitiveCount[MESH_SLOT_MAX];

static Vertex3D g_fieldStaging[MESH_STAGING_MAX];
static Vertex3D g_meshStaging[MESH_STAGING_MAX];

// Texture drawn on each slot (ground, mountains, sky; the rest unused).
static const int g_meshTexture[MESH_SLOT_MAX] = {
    TEXTURE_FIELD001, TEXTURE_MOUNTAIN, TEXTURE_BACK_SYLIN, -1, -1, -1, -1,
};

// Releases a slot's buffers and leaves it empty.
static void ReleaseMeshSlot(int slot) {
    if (g_meshIndexBuffer[slot] != NULL) {
        g_meshIndexBuffer[slot]->Release();
        g_meshIndexBuffer[slot] = NULL;
    }
    if (g_meshVertexBuffer[slot] != NULL) {
        g_meshVertexBuffer[slot]->Release();
        g_meshVertexBuffer[slot] = NULL;
    }
    g_meshVertexCount[slot] = 0;
    g_meshPrimitiveCount[slot] = 0;
}

// True when a grid of that size fits the staging arrays and 16-bit indices.
static bool MeshGridFits(int columns, int rows) {
    if (columns < 1 || rows < 1) {
        return false;
    }
    const long long vertices = (long long)(columns + 1) * (long long)(rows + 1);
    return vertices <= 65536 && vertices <= MESH_STAGING_MAX;
}

// Angle of column x of a ring of `columns` steps, in radians. The step is a
// whole number of degrees, so the ring closes exactly only when columns
// divides 360.
static float MeshRingAngle(int columns, int x) { return (float)(360 / columns * x) * MESH_DEG_TO_RAD; }

static void SetStagingVertex(Vertex3D* vertex, float x, float y, float z, float u, float v) {
    vertex->position = D3DXVECTOR3(x, y, z);
    vertex->normal = MESH_NORMAL;
    vertex->diffuse = MESH_COLOR;
    vertex->texcoord = D3DXVECTOR2(u, v);
}

// Creates the slot's buffers for a columns x rows grid, copies the staged
// vertices in and writes the strip's indices: band by band, lower row first,
// with two repeated indices joining each band to the next.
static void BuildMeshSlot(int slot, const Vertex3D* staging, int columns, int rows) {
    const int c = columns;
    const int d = rows;
    const int vertexCount = (c + 1) * (d + 1);
    const int indexCount = (c + 2) * 2 * d - 2;

    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL) {
        return;
    }

    g_meshVertexCount[slot] = vertexCount;
    g_meshPrimitiveCount[slot] = indexCount - 2;

    device->CreateVertexBuffer(vertexCount * sizeof(Vertex3D), D3DUSAGE_WRITEONLY, FVF_VERTEX_3D, D3DPOOL_MANAGED,
                               &g_meshVertexBuffer[slot], NULL);
    device->CreateIndexBuffer(indexCount * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                              &g_meshIndexBuffer[slot], NULL);
    if (g_meshVertexBuffer[slot] == NULL || g_meshIndexBuffer[slot] == NULL) {
        ReleaseMeshSlot(slot);
        return;
    }

    Vertex3D* vertices = NULL;
    if (SUCCEEDED(g_meshVertexBuffer[slot]->Lock(0, 0, (void**)&vertices, 0)) && vertices != NULL) {
        memcpy(vertices, staging, vertexCount * sizeof(Vertex3D));
        g_meshVertexBuffer[slot]->Unlock();
    }

    WORD* indices = NULL;
    if (SUCCEEDED(g_meshIndexBuffer[slot]->Lock(0, 0, (void**)&indices, 0)) && indices != NULL) {
        int n = 0;
        for (int m = 0; m < d; m++) {
            for (int x = 0; x <= c; x++) {
                indices[n++] = (WORD)((m + 1) * (c + 1) + x);
                indices[n++] = (WORD)(m * (c + 1) + x);
            }
            if (m < d - 1) {
                indices[n++] = (WORD)(m * (c + 1) + c);
                indices[n++] = (WORD)((m + 2) * (c + 1));
            }
        }
        g_meshIndexBuffer[slot]->Unlock();
    }
}

// The ground: a flat square of columns x rows cells at height -1, centred on
// the origin. Its texture coordinates are the world x and z, so the ground
// texture repeats once per unit.
void InitMeshField(float cellSize, int columns, int rows) {
    ReleaseMeshSlot(MESH_FIELD);
    if (!MeshGridFits(columns, rows)) {
        return;
    }
    const int c = columns;
    const int d = rows;
    for (int z = 0; z <= d; z++) {
        for (int x = 0; x <= c; x++) {
            const float px = -c * 0.5f * cellSize + x * cellSize;
            const float pz = (float)(d * 0.5 * cellSize - z * (double)cellSize);
            SetStagingVertex(&g_fieldStaging[z * (c + 1) + x], px, -1.0f, pz, px, pz);
        }
    }
    BuildMeshSlot(MESH_FIELD, g_fieldStaging, c, d);
}

// The mountain ring: an open cylinder of the given radius, rows bands of
// rowHeight each, from the top ring (row 0) down to height 0.
void InitMeshCylinder(float rowHeight, float radius, int columns, int rows) {
    ReleaseMeshSlot(MESH_CYLINDER);
    if (!MeshGridFits(columns, rows)) {
        return;
    }
    const int c = columns;
    const int d = rows;
    for (int z = 0; z <= d; z++) {
        for (int x = 0; x <= c; x++) {
            const float angle = MeshRingAngle(c, x);
            const float s = (float)sin(angle);
            const float co = (float)cos(angle);
            const float u = (float)((c + 1) - x) / (float)(c + 1);
            const float v = (float)(z - (d + 1)) / (float)(d + 1);
            SetStagingVertex(&g_meshStaging[z * (c + 1) + x], s * radius, d * rowHeight - z * rowHeight, co * radius, u,
                             v);
        }
    }
    BuildMeshSlot(MESH_CYLINDER, g_meshStaging, c, d);
}

// The sky dome: row 0 is the apex, each further row a wider ring lower down,
// the rim (row rows) at radius * rows / (rows + 1). Seen from inside.
void InitMeshDome(float rowStep, float radius, int columns, int rows) {
    ReleaseMeshSlot(MESH_DOME);
    if (!MeshGridFits(columns, rows)) {
        return;
    }
    const int c = columns;
    const int d = rows;
    const float rise = d * rowStep;
    float h = 0.0f;
    for (int z = 0; z <= d; z++) {
        float r = 0.0f;
        float v = (float)((d + 1) - z) / (float)(d + 2);
        if (z > 0) {
            h = h + z * rowStep / (d + 1) * 2;
            r = radius / (d + 1) * z;
            v = (float)(z - (d + 1)) / (float)(d + 2);
        }
        for (int x = 0; x <= c; x++) {
            const float u = (float)((c + 1) - x) / (float)(c + 2);
            if (z == 0) {
                SetStagingVertex(&g_meshStaging[x], 0.0f, rise - MESH_DOME_DROP, 0.0f, u, v);
                continue;
            }
            const float angle = MeshRingAngle(c, x);
            const float s = (float)sin(angle);
            const float co = (float)cos(angle);
            // rise - h - drop, in that order: each step rounds in float.
            SetStagingVertex(&g_meshStaging[z * (c + 1) + x], r * s, rise - h - MESH_DOME_DROP, r * co, u, v);
        }
    }
    BuildMeshSlot(MESH_DOME, g_meshStaging, c, d);
}

// Draws one slot unlit with its texture; while C is held, as wireframe.
// Neither the lighting nor the fill mode is restored afterwards.
void DrawMesh(int slot) {
    if (slot < 0 || slot >= MESH_SLOT_MAX || g_meshVertexBuffer[slot] == NULL || g_meshIndexBuffer[slot] == NULL) {
        return;
    }
    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL) {
        return;
    }

    D3DXMATRIX mtxWorld;
    D3DXMatrixIdentity(&mtxWorld);

    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_FILLMODE, GetKeyboardPress(DIK_C) ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
    device->SetTransform(D3DTS_WORLD, &mtxWorld);
    device->SetFVF(FVF_VERTEX_3D);
    device->SetTexture(0, g_meshTexture[slot] >= 0 ? GetTexture(g_meshTexture[slot]) : NULL);
    device->SetStreamSource(0, g_meshVertexBuffer[slot], 0, sizeof(Vertex3D));
    device->SetIndices(g_meshIndexBuffer[slot]);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, g_meshVertexCount[slot], 0, g_meshPrimitiveCount[slot]);
}

// Releases every slot's buffers.
void UninitMesh(void) {
    for (int slot = 0; slot < MESH_SLOT_MAX; slot++) {
        ReleaseMeshSlot(slot);
    }
}

int GetMeshVertexCount(int slot) { return (slot >= 0 && slot < MESH_SLOT_MAX) ? g_meshVertexCount[slot] : 0; }

int GetMeshPrimitiveCount(int slot) { return (slot >= 0 && slot < MESH_SLOT_MAX) ? g_meshPrimitiveCount[slot] : 0; }

LPDIRECT3DVERTEXBUFFER9 GetMeshVertexBuffer(int slot) {
    return (slot >= 0 && slot < MESH_SLOT_MAX) ? g_meshVertexBuffer[slot] : NULL;
}

LPDIRECT3DINDEXBUFFER9 GetMeshIndexBuffer(int slot) {
    return (slot >= 0 && slot < MESH_SLOT_MAX) ? g_meshIndexBuffer[slot] : NULL;
}
