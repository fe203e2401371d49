// Read-outs and set-ups of the debugtext module for tests; the game itself
// never calls these. Same state and lifetime as debugtext.h describes.
#pragma once

#include "app/debugtext.h"

// The last text DrawDebugText formatted (for tests).
const char* GetDebugText(void);
