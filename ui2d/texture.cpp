// Placeholder so the tree links while this module is written; replaced by the real module.
#include "ui2d/texture.h"
int LoadTextures(void) { return 0; }
void ReleaseTextures(void) {  }
LPDIRECT3DTEXTURE9 GetTexture(int index) { return nullptr; }
int GetTextureWidth(int index) { return 0; }
int GetTextureHeight(int index) { return 0; }
const char* GetTexturePath(int index) { return nullptr; }
