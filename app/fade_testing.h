// Read-outs and set-ups of the fade module for tests; the game itself
// never calls these. Same state and lifetime as fade.h describes.
#pragma once

#include "app/fade.h"

int GetFadeAlpha(void);
