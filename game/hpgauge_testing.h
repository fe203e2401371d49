// Read-outs and set-ups of the hpgauge module for tests; the game itself
// never calls these. Same state and lifetime as hpgauge.h describes.
#pragma once

#include "game/hpgauge.h"

int GetHpGaugeMax(void);
