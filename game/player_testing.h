// Read-outs and set-ups of the player module for tests; the game itself
// never calls these. Same state and lifetime as player.h describes.
#pragma once

#include "game/player.h"

BoundingSphere* GetPlayerSphere(void);
D3DXVECTOR3 GetPlayerMove(void);
D3DXMATRIX GetPlayerWorldMatrix(void);
// The rest of the fight state.
float GetCastPower(void);
bool GetIsCast(void);
float GetCastFlight(void);
float GetReelAngle(void);
float GetFloatBob(void);
int GetNibbleCount(void);
int GetHookTimer(void);
int GetRodSwing(void);
int GetTension(void);
float GetReelPowerValue(void);
float GetFloatDrift(void);
bool GetFishTurned(void);
int GetPullCount(void);
float GetFloatWobble(void);
