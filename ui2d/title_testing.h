// Read-outs and set-ups of the title module for tests; the game itself
// never calls these. Same state and lifetime as title.h describes.
#pragma once

#include "ui2d/title.h"

int GetTitleCounter(void);
float GetTitleBubbleX(int i);
float GetTitleBubbleY(int i);
bool IsTitleMusicStarted(void);
