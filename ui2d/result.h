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

// The name-entry part of one UpdateResult frame, with the four arrow keys'
// "went down this frame" states: blink counter, letter value, cursor, letter
// under the cursor, and the confirmed name once the cursor stands at 3.
void StepResultNameEntry(bool up, bool down, bool right, bool left);

// One sprite of the result screen: the whole texture, or, when cut is set,
// the cut rectangle of it.
struct ResultSprite {
    int texture;
    float x;
    float y;
    bool cut;
    int cutX;
    int cutY;
    int cutWidth;
    int cutHeight;
};
// Most sprites one result frame draws.
#define RESULT_SPRITE_MAX (6 + RESULT_NAME_LENGTH + RESULT_SCORE_DIGITS)

// The sprite DrawLetter / DrawDigit draws; 0 (nothing written) for a value
// out of range, else 1.
int MakeLetterSprite(ResultSprite* out, float x, float y, int letter);
int MakeDigitSprite(ResultSprite* out, float x, float y, int digit, int texture);
// The digits DrawNumber draws, ones digit first; out must hold `digits` sprites.
int MakeNumberSprites(ResultSprite* out, float x, float y, int value, int digits);
// Everything DrawResult draws for the current state, back to front.
int MakeResultSprites(ResultSprite out[RESULT_SPRITE_MAX]);
