// Result scene: shows the score of the last catch as six red digits, takes a
// three-letter name with the arrow keys and, once the name is complete, waits
// for Space to fade back to the title. Leaving the scene (by the fade or by
// closing the program on it) appends the name and the score to the ranking
// file, which the game only ever appends to.
//
// State: the three letter indices, the cursor (0..2 editing, 3 complete; the
// name is final once Space has started the fade-out), the
// running value of the letter under the cursor, the blink counter and the
// score are reset by InitResult on every visit. The confirmed name lives for
// the whole run (empty until a first name is confirmed), so a record written
// before the name is complete carries the previous visit's name. The ranking
// path is fixed at build time and can be replaced by tests.
#include "ui2d/result.h"
#include "ui2d/result_testing.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "app/fade.h"
#include "app/main.h"
#include "app/scene.h"
#include "device/keyboard.h"
#include "device/sound.h"
#include "ui2d/sprite.h"
#include "ui2d/texture.h"

namespace {

const char g_alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const int RESULT_ALPHABET_SIZE = 26;
// The running letter value starts high so that Up can step back from A for a
// long while before it passes below zero (which is harmless anyway).
const int RESULT_LETTER_VALUE_START = RESULT_ALPHABET_SIZE * RESULT_ALPHABET_SIZE;

const int RESULT_LETTER_CELL = 100;  // cells of the alphabet sheet, 100 by 100
const int RESULT_DIGIT_WIDTH = 120;  // cells of the digit sheets, 120 by 100
const int RESULT_DIGIT_HEIGHT = 100;
const int RESULT_BLINK_PERIOD = 60;
const int RESULT_LETTER_HIDE_AFTER = 50;  // the edited letter hides in phases 51..59
const int RESULT_PROMPT_SHOW_BELOW = 50;  // the prompt shows in phases 0..49
const int RESULT_FADE_STEP = 15;

int g_resultLetter[RESULT_NAME_LENGTH] = {};
int g_resultCursor = 0;
int g_resultLetterValue = RESULT_LETTER_VALUE_START;
int g_resultBlink = 0;
char g_resultName[RESULT_NAME_LENGTH + 1] = {};
int g_resultScore = 0;
std::string g_rankingPath = RANKING_FILE_PATH;

// The letter index of a running value: its remainder 0..25, also below zero.
int LetterOfValue(int value) {
    int letter = value % RESULT_ALPHABET_SIZE;
    return letter < 0 ? letter + RESULT_ALPHABET_SIZE : letter;
}

void DrawResultSprite(const ResultSprite& sprite) {
    if (sprite.cut) {
        DrawSpriteCut(sprite.texture, sprite.x, sprite.y, sprite.cutX, sprite.cutY, sprite.cutWidth, sprite.cutHeight);
    } else {
        DrawSprite(sprite.texture, sprite.x, sprite.y);
    }
}

ResultSprite WholeSprite(int texture, float x, float y) {
    ResultSprite sprite = {texture, x, y, false, 0, 0, 0, 0};
    return sprite;
}

}  // namespace

// Restarts the title music, takes the score and starts a fresh name entry.
void InitResult(void) {
    StopSoundAll();
    PlaySound(BGM_TITLE);

    g_resultScore = GetScore();

    for (int i = 0; i < RESULT_NAME_LENGTH; i++) {
        g_resultLetter[i] = 0;
    }
    g_resultBlink = 0;
    g_resultCursor = 0;
    g_resultLetterValue = RESULT_LETTER_VALUE_START;
}

// Leaving the scene writes the record, whether the name was completed or not.
void UninitResult(void) { AppendRanking(); }

// Once Space has started the fade-out the name is final: the arrow keys are
// no longer read, so the cursor stays at 3, the request is repeated every
// frame until the fade completes it, and the record carries the name as it
// was when Space went down. (Were Left still taken, the request would stop
// with the screen faded to black and no prompt left to see.)
void UpdateResult(void) {
    const bool nameFinal = IsSceneChangeRequested();
    StepResultNameEntry(!nameFinal && GetKeyboardTrigger(DIK_UP), !nameFinal && GetKeyboardTrigger(DIK_DOWN),
                        !nameFinal && GetKeyboardTrigger(DIK_RIGHT), !nameFinal && GetKeyboardTrigger(DIK_LEFT));
    if (g_resultCursor == RESULT_NAME_LENGTH) {
        RequestSceneChange(SCENE_TITLE, DIK_SPACE, RESULT_FADE_STEP);
    }
}

// Keys are taken in the order Up, Down, Right, Left: a cursor move reloads the
// running value, so Up or Down in the same frame as Right or Left is lost.
void StepResultNameEntry(bool up, bool down, bool right, bool left) {
    g_resultBlink++;

    if (up) {
        g_resultLetterValue--;
        g_resultBlink = 0;
    }
    if (down) {
        g_resultLetterValue++;
        g_resultBlink = 0;
    }
    if (right) {
        if (g_resultCursor < RESULT_NAME_LENGTH) {
            g_resultCursor++;
        }
        if (g_resultCursor < RESULT_NAME_LENGTH) {
            g_resultLetterValue = g_resultLetter[g_resultCursor] + RESULT_ALPHABET_SIZE;
        }
    }
    if (left) {
        if (g_resultCursor > 0) {
            g_resultCursor--;
        }
        g_resultLetterValue = g_resultLetter[g_resultCursor] + RESULT_ALPHABET_SIZE;
    }

    if (g_resultCursor < RESULT_NAME_LENGTH) {
        g_resultLetter[g_resultCursor] = LetterOfValue(g_resultLetterValue);
    } else {
        for (int i = 0; i < RESULT_NAME_LENGTH; i++) {
            g_resultName[i] = g_alphabet[g_resultLetter[i]];
        }
        g_resultName[RESULT_NAME_LENGTH] = '\0';
    }
}

void DrawResult(void) {
    ResultSprite sprites[RESULT_SPRITE_MAX];
    int count = MakeResultSprites(sprites);
    for (int i = 0; i < count; i++) {
        DrawResultSprite(sprites[i]);
    }
}

int MakeResultSprites(ResultSprite out[RESULT_SPRITE_MAX]) {
    int count = 0;
    int blinkPhase = g_resultBlink % RESULT_BLINK_PERIOD;

    out[count++] = WholeSprite(TEXTURE_RESULT, 0.0f, 0.0f);
    out[count++] = WholeSprite(TEXTURE_RESULTNAME, 690.0f, 150.0f);
    for (int i = 0; i < RESULT_NAME_LENGTH; i++) {
        if (i == g_resultCursor && blinkPhase > RESULT_LETTER_HIDE_AFTER) {
            continue;
        }
        count += MakeLetterSprite(&out[count], 690.0f + 100.0f * i, 250.0f, g_resultLetter[i]);
    }
    if (g_resultCursor < RESULT_NAME_LENGTH) {
        out[count++] = WholeSprite(TEXTURE_HIGHLIGHT, 690.0f + 100.0f * g_resultCursor, 250.0f);
    }
    out[count++] = WholeSprite(TEXTURE_RESULTSCORE, 690.0f, 400.0f);
    count += MakeNumberSprites(&out[count], 360.0f, 500.0f, g_resultScore, RESULT_SCORE_DIGITS);
    if (g_resultCursor == RESULT_NAME_LENGTH && blinkPhase < RESULT_PROMPT_SHOW_BELOW) {
        out[count++] = WholeSprite(TEXTURE_RESULTPRESS, 400.0f, 700.0f);
    }
    return count;
}

int MakeLetterSprite(ResultSprite* out, float x, float y, int letter) {
    if (letter < 0 || letter >= RESULT_ALPHABET_SIZE) {
        return 0;
    }
    ResultSprite sprite = {TEXTURE_ALPHABET,  x, y, true, letter * RESULT_LETTER_CELL, 0, RESULT_LETTER_CELL,
                           RESULT_LETTER_CELL};
    *out = sprite;
    return 1;
}

int MakeDigitSprite(ResultSprite* out, float x, float y, int digit, int texture) {
    if (digit < 0 || digit > 9) {
        return 0;
    }
    ResultSprite sprite = {texture, x, y, true, digit * RESULT_DIGIT_WIDTH, 0, RESULT_DIGIT_WIDTH, RESULT_DIGIT_HEIGHT};
    *out = sprite;
    return 1;
}

// Exactly `digits` digit cells with leading zeros, the ones digit rightmost
// at x + 120 * digits; values too large for them show as all nines.
int MakeNumberSprites(ResultSprite* out, float x, float y, int value, int digits) {
    int count = 0;
    int v = ClampToDigits(value, digits);
    for (int i = 0; i < digits; i++) {
        count +=
            MakeDigitSprite(&out[count], x + (float)(digits - i) * RESULT_DIGIT_WIDTH, y, v % 10, TEXTURE_NUMBER_RED);
        v /= 10;
    }
    return count;
}

void DrawLetter(float x, float y, int letter) {
    ResultSprite sprite;
    if (MakeLetterSprite(&sprite, x, y, letter) != 0) {
        DrawResultSprite(sprite);
    }
}

void DrawDigit(float x, float y, int digit, int texture) {
    ResultSprite sprite;
    if (MakeDigitSprite(&sprite, x, y, digit, texture) != 0) {
        DrawResultSprite(sprite);
    }
}

void DrawNumber(float x, float y, int value, int digits) {
    if (digits <= 0) {
        return;
    }
    std::vector<ResultSprite> sprites((size_t)digits);
    int count = MakeNumberSprites(sprites.data(), x, y, value, digits);
    for (int i = 0; i < count; i++) {
        DrawResultSprite(sprites[(size_t)i]);
    }
}

// The value itself when it fits in the digits, else the largest number that
// does (999999 for six). From ten digits on every 32-bit value fits.
int ClampToDigits(int value, int digits) {
    if (digits >= 10) {
        return value;
    }
    int limit = 1;
    for (int i = 0; i < digits; i++) {
        limit *= 10;
    }
    return value < limit ? value : limit - 1;
}

// Appends "name\nscore\n" whole or not at all. Several game processes, here
// or on other machines sharing the file, may append at once: an exclusive
// lock on the file (which network shares honour) keeps their records apart,
// and the record goes at the end as it is under the lock. A short or failed
// write or flush cuts the file back to its length before the append. A file
// that cannot be opened, locked or written (the share unreachable, no
// permission, the disk full) costs this record and nothing else.
void AppendRanking(void) {
    char record[64];
    int length = snprintf(record, sizeof(record), "%s\n%d\n", g_resultName, g_resultScore);
    if (length <= 0 || (size_t)length >= sizeof(record)) {
        return;
    }
    HANDLE file = CreateFileA(g_rankingPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    OVERLAPPED whole = {};  // the lock covers every byte the file has or may get
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        CloseHandle(file);
        return;
    }
    LARGE_INTEGER size;
    bool written = false;
    if (GetFileSizeEx(file, &size)) {
        LONG high = size.u.HighPart;
        SetLastError(NO_ERROR);
        const bool atEnd = SetFilePointer(file, (LONG)size.u.LowPart, &high, FILE_BEGIN) != INVALID_SET_FILE_POINTER ||
                           GetLastError() == NO_ERROR;
        DWORD done = 0;
        written = atEnd && WriteFile(file, record, (DWORD)length, &done, NULL) && done == (DWORD)length &&
                  FlushFileBuffers(file);
        if (!written && atEnd) {
            high = size.u.HighPart;
            SetFilePointer(file, (LONG)size.u.LowPart, &high, FILE_BEGIN);
            SetEndOfFile(file);
            FlushFileBuffers(file);
        }
    }
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(file);
}

const char* GetRankingPath(void) { return g_rankingPath.c_str(); }

void SetRankingPath(const char* path) { g_rankingPath = (path != NULL) ? path : ""; }

int GetResultLetter(int i) {
    if (i < 0 || i >= RESULT_NAME_LENGTH) {
        return 0;
    }
    return g_resultLetter[i];
}

int GetResultCursor(void) { return g_resultCursor; }
int GetResultLetterValue(void) { return g_resultLetterValue; }
int GetResultBlink(void) { return g_resultBlink; }
const char* GetResultName(void) { return g_resultName; }
int GetResultScore(void) { return g_resultScore; }
void SetResultScore(int score) { g_resultScore = score; }
