// Fish: the thirteen fish of stage one, the hooked fish of stage two, and the
// fight's HP and catch score.
#pragma once

#include "game/player.h"
#include <d3dx9.h>

enum { FISHKIND_TUNAMAN = 0, FISHKIND_SHARK = 1, FISHKIND_MANTAMAN = 2, FISHKIND_MAX = 3 };
#define FISH_MAX (13)

struct FISH {
    D3DXVECTOR3 rot;
    D3DXVECTOR3 pos;
    D3DXVECTOR3 front;
    D3DXVECTOR3 right;
    D3DXVECTOR3 up;
    D3DXMATRIX mtxTrans;
    D3DXMATRIX mtxRotX;
    D3DXMATRIX mtxRotY;
    D3DXMATRIX mtxScale;
    D3DXMATRIX mtxExtra;
    D3DXMATRIX mtxWorld;
    BoundingSphere sphere;
};

void InitFishGame1(void);
void UpdateFishGame1(void);
void DrawFishGame1(void);
void InitFishGame2(void);
void UpdateFishGame2(void);
void DrawFishGame2(void);

BoundingSphere* GetFishSphere(int i);
FISH* GetFish(void);
// The kind of stage one's fish at an index.
int GetFishKindOfIndex(int i);
int GetCatchScore(void);
