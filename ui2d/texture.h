// Texture registry: the fixed table of 26 textures, loaded once at start-up.
#pragma once

#include <d3d9.h>

enum {
    TEXTURE_FIELD001 = 0,
    TEXTURE_BACK_SYLIN,
    TEXTURE_CURSOL,
    TEXTURE_KEEPOUT,
    TEXTURE_MOUNTAIN,
    TEXTURE_RESULT,
    TEXTURE_TURI,
    TEXTURE_FISH,
    TEXTURE_RADERGRID,
    TEXTURE_BREAK,
    TEXTURE_TITLE_HAIKEI,
    TEXTURE_TITLE_LOGO,
    TEXTURE_TITLE_SAKANA1,
    TEXTURE_TITLE_SAKANA2,
    TEXTURE_PRESS_START,
    TEXTURE_AWA,
    TEXTURE_CUTINB,
    TEXTURE_HPBAR,
    TEXTURE_HPBACK,
    TEXTURE_TENSION,
    TEXTURE_NUMBER_RED,
    TEXTURE_ALPHABET,
    TEXTURE_HIGHLIGHT,
    TEXTURE_RESULTSCORE,
    TEXTURE_RESULTNAME,
    TEXTURE_RESULTPRESS,
    TEXTURE_MAX
};

struct TextureInfo {
    char path[64];
    int width;
    int height;
};

int LoadTextures(void);
void ReleaseTextures(void);
LPDIRECT3DTEXTURE9 GetTexture(int index);
int GetTextureWidth(int index);
int GetTextureHeight(int index);
