// Player: the boat (stage one steering, bobbing, the encounter test) and the
// angler's side of the fishing fight (stage two).
#pragma once

#include <d3dx9.h>

struct BoundingSphere {
    D3DXVECTOR3 center;
    float radius;
};
bool HitSphere(const BoundingSphere* a, const BoundingSphere* b);

void InitPlayer(void);
void UpdatePlayerGame1(void);
void DrawPlayerGame1(void);
void UpdatePlayerGame2(void);
void DrawPlayerGame2(void);

D3DXVECTOR3 GetPlayerPosition(void);
D3DXVECTOR3 GetPlayerHeading(void);
float GetPlayerRotY(void);
int GetFishKind(void);

// The fight, for the fish module.
int GetReelPower(void);
bool GetHookFlag(void);
bool GetFloatLanded(void);
D3DXMATRIX GetFloatMatrix(void);
