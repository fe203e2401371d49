// Placeholder so the tree links while this module is written; replaced by the real module.
#include "ui2d/result.h"
void InitResult(void) {  }
void UninitResult(void) {  }
void UpdateResult(void) {  }
void DrawResult(void) {  }
void DrawLetter(float x, float y, int letter) {  }
void DrawDigit(float x, float y, int digit, int texture) {  }
int ClampToDigits(int value, int digits) { return 0; }
void DrawNumber(float x, float y, int value, int digits) {  }
void AppendRanking(void) {  }
const char* GetRankingPath(void) { return nullptr; }
void SetRankingPath(const char* path) {  }
int GetResultLetter(int i) { return 0; }
int GetResultCursor(void) { return 0; }
int GetResultLetterValue(void) { return 0; }
int GetResultBlink(void) { return 0; }
const char* GetResultName(void) { return nullptr; }
int GetResultScore(void) { return 0; }
