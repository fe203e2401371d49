// Read-outs and set-ups of the radar module for tests; the game itself
// never calls these. Same state and lifetime as radar.h describes.
#pragma once

#include "game/radar.h"

D3DXVECTOR2 GetRadarPlayer(void);
D3DXVECTOR2 GetRadarFish(int i);
