// Read-outs and set-ups of the scene module for tests; the game itself
// never calls these. Same state and lifetime as scene.h describes.
#pragma once

#include "app/scene.h"

int GetScene(void);
int GetNextScene(void);
