// Result scene: the score as six red digits, three-letter name entry, and the
// ranking file that gets every record.
#pragma once

#define RESULT_NAME_LENGTH (3)
#define RESULT_SCORE_DIGITS (6)

void InitResult(void);
void UninitResult(void);
void UpdateResult(void);
void DrawResult(void);

void DrawLetter(float x, float y, int letter);
void DrawDigit(float x, float y, int digit, int texture);
int ClampToDigits(int value, int digits);
void DrawNumber(float x, float y, int value, int digits);
void AppendRanking(void);

// The file records are appended to; tests point it elsewhere.
const char* GetRankingPath(void);
void SetRankingPath(const char* path);

int GetResultLetter(int i);
int GetResultCursor(void);
int GetResultLetterValue(void);
int GetResultBlink(void);
const char* GetResultName(void);
int GetResultScore(void);
