// Read-outs and set-ups of the texture module for tests; the game itself
// never calls these. Same state and lifetime as texture.h describes.
#pragma once

#include "ui2d/texture.h"

const char* GetTexturePath(int index);
