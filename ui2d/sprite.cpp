// Placeholder so the tree links while this module is written; replaced by the real module.
#include "ui2d/sprite.h"
void InitSprite(void) {  }
void UninitSprite(void) {  }
void DrawSprite(int texture, float x, float y) {  }
void DrawSpriteCut(int texture, float x, float y, int cutX, int cutY, int cutWidth, int cutHeight) {  }
void DrawSpriteRotate(int texture, float x, float y, int cutX, int cutY, int cutWidth, int cutHeight, float pivotX,
                      float pivotY, float scaleX, float scaleY, float angle) {  }
void DrawScreenFill(D3DCOLOR color) {  }
void SetSpriteColor(D3DCOLOR color) {  }
void DrawTensionGauge(float tension) {  }
void MakeSpriteVertices(Vertex2D out[4], int texture, float x, float y) {  }
void MakeSpriteCutVertices(Vertex2D out[4], int texture, float x, float y, int cutX, int cutY, int cutWidth,
                           int cutHeight) {  }
void MakeSpriteRotateVertices(Vertex2D out[4], int texture, float x, float y, int cutX, int cutY, int cutWidth,
                              int cutHeight, float pivotX, float pivotY, float scaleX, float scaleY, float angle) {  }
void MakeScreenFillVertices(Vertex2D out[4], D3DCOLOR color) {  }
int GetTensionGaugeLength(float tension) { return 0; }
