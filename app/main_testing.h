// Read-outs and set-ups of the main module for tests; the game itself
// never calls these. Same state and lifetime as main.h describes.
#pragma once

#include "app/main.h"

// Frame-rate state, for the debug line and for tests.
float GetFps(void);
int GetFrameCount(void);
