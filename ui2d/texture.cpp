// Texture registry: the one fixed table of the game's 26 texture files, with a
// nominal width and height per row that the sprite draws use as the on-screen
// size and as the denominator of cut-out texture coordinates.
//
// State: the constant table and one texture pointer per row; the registry owns
// one reference on each loaded texture. A row whose file failed to load stays
// null and draws untextured.
//
// Lifetime: LoadTextures once at start-up after the device exists and before
// the sprite module; ReleaseTextures once at shutdown before the device goes.
// Main thread only.
#include "ui2d/texture.h"
#include "ui2d/texture_testing.h"

#include <d3dx9.h>

#include "app/renderer.h"

static const TextureInfo g_textureInfo[TEXTURE_MAX] = {
    {"asset/texture/field001.jpg", 160, 160},      {"asset/texture/back_sylin.jpg", 160, 160},
    {"asset/texture/cursol.png", 25, 25},          {"asset/texture/keepout.jpg", 480, 244},
    {"asset/texture/mountain.png", 1900, 180},     {"asset/texture/result.png", 1680, 900},
    {"asset/texture/turi.png", 1680, 900},         {"asset/texture/fish.png", 25, 25},
    {"asset/texture/radergrid.png", 250, 250},     {"asset/texture/break.png", 1680, 900},
    {"asset/texture/title_haikei.png", 1680, 900}, {"asset/texture/Title_logo.png", 1245, 335},
    {"asset/texture/title_sakana1.png", 759, 293}, {"asset/texture/title_sakana2.png", 759, 293},
    {"asset/texture/press_start.png", 699, 72},    {"asset/texture/awa.png", 327, 325},
    {"asset/texture/cutinB.png", 1680, 900},       {"asset/texture/HpBar.png", 1000, 50},
    {"asset/texture/HpBack.png", 1000, 50},        {"asset/texture/Tension.png", 1000, 50},
    {"asset/texture/number_red.png", 1200, 100},   {"asset/texture/alphabet.png", 2600, 100},
    {"asset/texture/highlight.png", 100, 100},     {"asset/texture/resultscore.png", 300, 70},
    {"asset/texture/resultname.png", 300, 70},     {"asset/texture/resultpress.png", 900, 100},
};

static LPDIRECT3DTEXTURE9 g_texture[TEXTURE_MAX] = {NULL};

static bool IsValidTexture(int index) { return index >= 0 && index < TEXTURE_MAX; }

// Loads every row; returns how many files failed (all 26 without a device).
// A row that already holds a texture gives it up first, so loading again
// replaces the textures instead of leaking them.
int LoadTextures(void) {
    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL) {
        return TEXTURE_MAX;
    }
    int failed = 0;
    for (int i = 0; i < TEXTURE_MAX; i++) {
        if (g_texture[i] != NULL) {
            g_texture[i]->Release();
            g_texture[i] = NULL;
        }
        if (FAILED(D3DXCreateTextureFromFileA(device, g_textureInfo[i].path, &g_texture[i]))) {
            // Whatever the loader left there is not a texture we own.
            g_texture[i] = NULL;
            failed++;
        }
    }
    return failed;
}

void ReleaseTextures(void) {
    for (int i = 0; i < TEXTURE_MAX; i++) {
        if (g_texture[i] != NULL) {
            g_texture[i]->Release();
            g_texture[i] = NULL;
        }
    }
}

LPDIRECT3DTEXTURE9 GetTexture(int index) {
    if (!IsValidTexture(index)) {
        return NULL;
    }
    return g_texture[index];
}

int GetTextureWidth(int index) {
    if (!IsValidTexture(index)) {
        return 0;
    }
    return g_textureInfo[index].width;
}

int GetTextureHeight(int index) {
    if (!IsValidTexture(index)) {
        return 0;
    }
    return g_textureInfo[index].height;
}

const char* GetTexturePath(int index) {
    if (!IsValidTexture(index)) {
        return NULL;
    }
    return g_textureInfo[index].path;
}
