// Read-outs and set-ups of the fish module for tests; the game itself
// never calls these. Same state and lifetime as fish.h describes.
#pragma once

#include "game/fish.h"

int GetFishHp(int kind);
int GetAnimCounter(void);
int GetAnimFrame(void);
float GetSwimOffset(void);
bool GetSwimBack(void);
float GetSwimRotY(void);
// The model drawn for a kind at an animation step.
int GetFishModel(int kind, int animFrame);
