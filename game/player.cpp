// Placeholder so the tree links while this module is written; replaced by the real module.
#include "game/player.h"
bool HitSphere(const BoundingSphere* a, const BoundingSphere* b) { return false; }
void InitPlayer(void) {  }
void UpdatePlayerGame1(void) {  }
void DrawPlayerGame1(void) {  }
void UpdatePlayerGame2(void) {  }
void DrawPlayerGame2(void) {  }
D3DXVECTOR3 GetPlayerPosition(void) { return D3DXVECTOR3(); }
D3DXVECTOR3 GetPlayerHeading(void) { return D3DXVECTOR3(); }
float GetPlayerRotY(void) { return 0; }
BoundingSphere* GetPlayerSphere(void) { return nullptr; }
int GetFishKind(void) { return 0; }
D3DXVECTOR3 GetPlayerMove(void) { return D3DXVECTOR3(); }
D3DXMATRIX GetPlayerWorldMatrix(void) { return D3DXMATRIX(); }
int GetReelPower(void) { return 0; }
bool GetHookFlag(void) { return false; }
bool GetFloatLanded(void) { return false; }
D3DXMATRIX GetFloatMatrix(void) { return D3DXMATRIX(); }
float GetCastPower(void) { return 0; }
bool GetIsCast(void) { return false; }
float GetCastFlight(void) { return 0; }
float GetReelAngle(void) { return 0; }
float GetFloatBob(void) { return 0; }
int GetNibbleCount(void) { return 0; }
int GetHookTimer(void) { return 0; }
int GetRodSwing(void) { return 0; }
int GetTension(void) { return 0; }
float GetReelPowerValue(void) { return 0; }
float GetFloatDrift(void) { return 0; }
bool GetFishTurned(void) { return false; }
int GetPullCount(void) { return 0; }
float GetFloatWobble(void) { return 0; }
