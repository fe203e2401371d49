// Model registry: the game's X-file meshes, loaded by number into fixed slots.
#pragma once

#include <d3dx9.h>

enum {
    MODEL_PLAYER = 0,
    MODEL_TUNAMAN_1,
    MODEL_TUNAMAN_2,
    MODEL_TUNAMAN_3,
    MODEL_TUNAMAN_4,
    MODEL_TUNAMAN_5,
    MODEL_TUNAMAN_6,
    MODEL_MANTAMAN_1,
    MODEL_MANTAMAN_2,
    MODEL_MANTAMAN_3,
    MODEL_MANTAMAN_4,
    MODEL_MANTAMAN_5,
    MODEL_MANTAMAN_6,
    MODEL_TITLE,
    MODEL_SHARK_1,
    MODEL_SHARK_2,
    MODEL_SHARK_3,
    MODEL_SHARK_4,
    MODEL_SHARK_5,
    MODEL_SHARK_6,
    MODEL_ROD,
    MODEL_REEL,
    MODEL_REEL_2,
    MODEL_FLOAT,
    MODEL_COUNT
};

#define MODEL_SLOT_MAX (64)
#define MODEL_FILE_LENGTH (64)

void LoadModel(int index);
void DrawModel(int index, D3DXMATRIX world);
void ReleaseModel(int index);

bool IsModelLoaded(int index);
