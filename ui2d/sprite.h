// Sprite drawing: every 2-D draw of the game, one textured quad at a time.
#pragma once

#include <d3d9.h>

struct Vertex2D {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
#define FVF_VERTEX_2D (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1)

void InitSprite(void);
void UninitSprite(void);
void DrawSprite(int texture, float x, float y);
void DrawSpriteCut(int texture, float x, float y, int cutX, int cutY, int cutWidth, int cutHeight);
void DrawSpriteRotate(int texture, float x, float y, int cutX, int cutY, int cutWidth, int cutHeight, float pivotX,
                      float pivotY, float scaleX, float scaleY, float angle);
void DrawScreenFill(D3DCOLOR color);
void SetSpriteColor(D3DCOLOR color);
void DrawTensionGauge(float tension);

// The four vertices each draw writes (top-left, top-right, bottom-left,
// bottom-right); the draws use these, and tests check them.
void MakeSpriteVertices(Vertex2D out[4], int texture, float x, float y);
void MakeSpriteCutVertices(Vertex2D out[4], int texture, float x, float y, int cutX, int cutY, int cutWidth,
                           int cutHeight);
void MakeSpriteRotateVertices(Vertex2D out[4], int texture, float x, float y, int cutX, int cutY, int cutWidth,
                              int cutHeight, float pivotX, float pivotY, float scaleX, float scaleY, float angle);
void MakeScreenFillVertices(Vertex2D out[4], D3DCOLOR color);
// Width in pixels of the tension bar for a tension.
int GetTensionGaugeLength(float tension);
