// Read-outs and set-ups of the result module for tests; the game itself
// never calls these. Same state and lifetime as result.h describes.
#pragma once

#include "ui2d/result.h"

// The file records are appended to; tests point it elsewhere.
const char* GetRankingPath(void);
void SetRankingPath(const char* path);
int GetResultLetter(int i);
int GetResultCursor(void);
int GetResultLetterValue(void);
int GetResultBlink(void);
const char* GetResultName(void);
int GetResultScore(void);
// Replaces the score shown and written (InitResult takes it from the game).
void SetResultScore(int score);
