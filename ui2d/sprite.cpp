// Sprite drawing: every 2-D draw of the game (whole textures, cut-outs,
// cut-outs scaled and turned about a pivot, the full-screen fill of the fade)
// and the line-tension gauge. Each draw is one quad of two triangles, written
// into one shared four-vertex buffer and drawn at once, so later draws cover
// earlier ones.
//
// State: the four-vertex buffer (vertices always top-left, top-right,
// bottom-left, bottom-right), the six-index buffer (0 1 2, 1 3 2) and the tint
// applied to every textured draw (opaque white). The textures belong to the
// texture registry.
//
// Lifetime: InitSprite after the textures at start-up, UninitSprite at
// shutdown before the textures and the device go. Without the device or the
// buffers every draw does nothing. Drawing allocates nothing. Main thread only.
#include "ui2d/sprite.h"

#include <math.h>
#include <string.h>

#include "app/main.h"
#include "app/renderer.h"
#include "ui2d/texture.h"

static_assert(sizeof(Vertex2D) == 28, "Vertex2D must match the 28-byte vertex format");

#define SPRITE_VERTEX_COUNT (4)
#define SPRITE_INDEX_COUNT (6)
#define SPRITE_PRIMITIVE_COUNT (2)

// The tension gauge: empty frame and bar, 1000 by 50, 60 pixels from the top.
#define TENSION_GAUGE_X (0.0f)
#define TENSION_GAUGE_Y (60.0f)
#define TENSION_GAUGE_HEIGHT (50)
#define TENSION_GAUGE_LENGTH (1000.0f)
#define TENSION_GAUGE_FULL (200.0f)

static LPDIRECT3DVERTEXBUFFER9 g_spriteVertexBuffer = NULL;
static LPDIRECT3DINDEXBUFFER9 g_spriteIndexBuffer = NULL;
static D3DCOLOR g_spriteColor = 0xFFFFFFFF;

static void SetVertex(Vertex2D* vertex, float x, float y, D3DCOLOR color, float u, float v) {
    vertex->x = x;
    vertex->y = y;
    vertex->z = 0.0f;
    vertex->rhw = 1.0f;
    vertex->diffuse = color;
    vertex->u = u;
    vertex->v = v;
}

// The cut-out's texture coordinates: sums in integers, divisions in floats.
static void SetCutUVs(Vertex2D out[4], int texture, int cutX, int cutY, int cutWidth, int cutHeight) {
    float width = (float)GetTextureWidth(texture);
    float height = (float)GetTextureHeight(texture);
    float uLeft = (float)cutX / width;
    float vTop = (float)cutY / height;
    float uRight = (float)(cutX + cutWidth) / width;
    float vBottom = (float)(cutY + cutHeight) / height;
    out[0].u = uLeft;
    out[0].v = vTop;
    out[1].u = uRight;
    out[1].v = vTop;
    out[2].u = uLeft;
    out[2].v = vBottom;
    out[3].u = uRight;
    out[3].v = vBottom;
}

void MakeSpriteVertices(Vertex2D out[4], int texture, float x, float y) {
    float width = (float)GetTextureWidth(texture);
    float height = (float)GetTextureHeight(texture);
    SetVertex(&out[0], x - 0.5f, y - 0.5f, g_spriteColor, 0.0f, 0.0f);
    SetVertex(&out[1], x + width - 0.5f, y - 0.5f, g_spriteColor, 1.0f, 0.0f);
    SetVertex(&out[2], x - 0.5f, y + height - 0.5f, g_spriteColor, 0.0f, 1.0f);
    SetVertex(&out[3], x + width - 0.5f, y + height - 0.5f, g_spriteColor, 1.0f, 1.0f);
}

void MakeSpriteCutVertices(Vertex2D out[4], int texture, float x, float y, int cutX, int cutY, int cutWidth,
                           int cutHeight) {
    float width = (float)cutWidth;
    float height = (float)cutHeight;
    SetVertex(&out[0], x - 0.5f, y - 0.5f, g_spriteColor, 0.0f, 0.0f);
    SetVertex(&out[1], x + width - 0.5f, y - 0.5f, g_spriteColor, 0.0f, 0.0f);
    SetVertex(&out[2], x - 0.5f, y + height - 0.5f, g_spriteColor, 0.0f, 0.0f);
    SetVertex(&out[3], x + width - 0.5f, y + height - 0.5f, g_spriteColor, 0.0f, 0.0f);
    SetCutUVs(out, texture, cutX, cutY, cutWidth, cutHeight);
}

// Corners relative to the pivot, scaled, turned by the angle (clockwise on
// screen for a positive angle, y pointing down) and put back at the pivot.
void MakeSpriteRotateVertices(Vertex2D out[4], int texture, float x, float y, int cutX, int cutY, int cutWidth,
                              int cutHeight, float pivotX, float pivotY, float scaleX, float scaleY, float angle) {
    const float cornerX[4] = {-pivotX, (float)cutWidth - pivotX, -pivotX, (float)cutWidth - pivotX};
    const float cornerY[4] = {-pivotY, -pivotY, (float)cutHeight - pivotY, (float)cutHeight - pivotY};
    float c = cosf(angle);
    float s = sinf(angle);
    for (int i = 0; i < SPRITE_VERTEX_COUNT; i++) {
        float lx = cornerX[i] * scaleX;
        float ly = cornerY[i] * scaleY;
        float turnedX = lx * c - ly * s;
        float turnedY = lx * s + ly * c;
        SetVertex(&out[i], turnedX + x + pivotX - 0.5f, turnedY + y + pivotY - 0.5f, g_spriteColor, 0.0f, 0.0f);
    }
    SetCutUVs(out, texture, cutX, cutY, cutWidth, cutHeight);
}

// The whole screen in one colour, without the half-pixel shift.
void MakeScreenFillVertices(Vertex2D out[4], D3DCOLOR color) {
    SetVertex(&out[0], 0.0f, 0.0f, color, 0.0f, 0.0f);
    SetVertex(&out[1], (float)SCREEN_WIDTH, 0.0f, color, 1.0f, 0.0f);
    SetVertex(&out[2], 0.0f, (float)SCREEN_HEIGHT, color, 0.0f, 1.0f);
    SetVertex(&out[3], (float)SCREEN_WIDTH, (float)SCREEN_HEIGHT, color, 1.0f, 1.0f);
}

int GetTensionGaugeLength(float tension) { return (int)(tension / TENSION_GAUGE_FULL * TENSION_GAUGE_LENGTH); }

// Writes the four vertices into the shared buffer and draws the quad with the
// texture bound (null for an untextured quad). Skipped without a device, without
// the buffers, or when the buffer cannot be locked.
static void DrawQuad(const Vertex2D vertices[4], LPDIRECT3DTEXTURE9 texture) {
    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL || g_spriteVertexBuffer == NULL || g_spriteIndexBuffer == NULL) {
        return;
    }
    void* data = NULL;
    if (FAILED(g_spriteVertexBuffer->Lock(0, 0, &data, 0)) || data == NULL) {
        return;
    }
    memcpy(data, vertices, sizeof(Vertex2D) * SPRITE_VERTEX_COUNT);
    g_spriteVertexBuffer->Unlock();

    device->SetFVF(FVF_VERTEX_2D);
    device->SetTexture(0, texture);
    device->SetStreamSource(0, g_spriteVertexBuffer, 0, sizeof(Vertex2D));
    device->SetIndices(g_spriteIndexBuffer);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, SPRITE_VERTEX_COUNT, 0, SPRITE_PRIMITIVE_COUNT);
}

void InitSprite(void) {
    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL) {
        return;
    }
    if (FAILED(device->CreateVertexBuffer(sizeof(Vertex2D) * SPRITE_VERTEX_COUNT, D3DUSAGE_WRITEONLY, FVF_VERTEX_2D,
                                          D3DPOOL_DEFAULT, &g_spriteVertexBuffer, NULL))) {
        g_spriteVertexBuffer = NULL;
    }
    if (FAILED(device->CreateIndexBuffer(sizeof(WORD) * SPRITE_INDEX_COUNT, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                         D3DPOOL_DEFAULT, &g_spriteIndexBuffer, NULL))) {
        g_spriteIndexBuffer = NULL;
        return;
    }
    static const WORD indices[SPRITE_INDEX_COUNT] = {0, 1, 2, 1, 3, 2};
    void* data = NULL;
    if (SUCCEEDED(g_spriteIndexBuffer->Lock(0, 0, &data, 0)) && data != NULL) {
        memcpy(data, indices, sizeof(indices));
        g_spriteIndexBuffer->Unlock();
    }
}

void UninitSprite(void) {
    if (g_spriteIndexBuffer != NULL) {
        g_spriteIndexBuffer->Release();
        g_spriteIndexBuffer = NULL;
    }
    if (g_spriteVertexBuffer != NULL) {
        g_spriteVertexBuffer->Release();
        g_spriteVertexBuffer = NULL;
    }
}

void DrawSprite(int texture, float x, float y) {
    Vertex2D vertices[SPRITE_VERTEX_COUNT];
    MakeSpriteVertices(vertices, texture, x, y);
    DrawQuad(vertices, GetTexture(texture));
}

void DrawSpriteCut(int texture, float x, float y, int cutX, int cutY, int cutWidth, int cutHeight) {
    Vertex2D vertices[SPRITE_VERTEX_COUNT];
    MakeSpriteCutVertices(vertices, texture, x, y, cutX, cutY, cutWidth, cutHeight);
    DrawQuad(vertices, GetTexture(texture));
}

void DrawSpriteRotate(int texture, float x, float y, int cutX, int cutY, int cutWidth, int cutHeight, float pivotX,
                      float pivotY, float scaleX, float scaleY, float angle) {
    Vertex2D vertices[SPRITE_VERTEX_COUNT];
    MakeSpriteRotateVertices(vertices, texture, x, y, cutX, cutY, cutWidth, cutHeight, pivotX, pivotY, scaleX, scaleY,
                             angle);
    DrawQuad(vertices, GetTexture(texture));
}

void DrawScreenFill(D3DCOLOR color) {
    Vertex2D vertices[SPRITE_VERTEX_COUNT];
    MakeScreenFillVertices(vertices, color);
    DrawQuad(vertices, NULL);
}

void SetSpriteColor(D3DCOLOR color) { g_spriteColor = color; }

// The empty frame, then the bar cut to the tension's share of 1000 pixels.
void DrawTensionGauge(float tension) {
    DrawSprite(TEXTURE_HPBACK, TENSION_GAUGE_X, TENSION_GAUGE_Y);
    DrawSpriteCut(TEXTURE_TENSION, TENSION_GAUGE_X, TENSION_GAUGE_Y, 0, 0, GetTensionGaugeLength(tension),
                  TENSION_GAUGE_HEIGHT);
}
