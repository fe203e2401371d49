// Title scene: a full-screen background, the logo, a fish that switches to a
// second drawing for a few frames of every hundred, a blinking "press start"
// prompt and eight bubbles rising from below the screen. Space fades to stage
// one.
//
// State: the frame counter and the bubble positions, reset by InitTitle each
// time the scene becomes current; and the music flag, which lives for the
// whole run of the program: only the very first title frame starts the title
// music (later visits come from the result screen, which has restarted it).
#include "ui2d/title.h"
#include "ui2d/title_testing.h"

#include "app/fade.h"
#include "app/scene.h"
#include "device/keyboard.h"
#include "device/sound.h"
#include "ui2d/sprite.h"
#include "ui2d/texture.h"

namespace {

struct TitleBubbleParam {
    float x;
    float y;     // starting height
    float rise;  // pixels per frame
};

const TitleBubbleParam TITLE_BUBBLE_PARAM[TITLE_BUBBLE_MAX] = {
    {0.0f, 1000.0f, 1.0f},   {800.0f, 1200.0f, 1.5f},  {900.0f, 1200.0f, 1.1f},  {300.0f, 1200.0f, 1.8f},
    {500.0f, 1200.0f, 1.2f}, {1000.0f, 1200.0f, 2.0f}, {1200.0f, 1200.0f, 1.0f}, {1500.0f, 1200.0f, 1.5f},
};

// A bubble that has risen above this height starts again from the bottom.
const float TITLE_BUBBLE_TOP = -400.0f;
const float TITLE_BUBBLE_RESTART_Y = 1000.0f;

// Phases (frame counter modulo 100) in which the second fish drawing covers
// the first: seven frames, 15 to 21. Each phase is listed once on purpose: a
// phase listed twice would draw the drawing twice over itself in that frame
// and make its soft, semi-transparent edges flash darker. Phase 22 stays out,
// so the overlay lasts exactly seven frames of every hundred.
const int TITLE_FISH_OVERLAY_PHASE[] = {15, 16, 17, 18, 19, 20, 21};

// The prompt shows in phases 0 to 79 and is hidden for the other twenty.
const int TITLE_PROMPT_PHASE_END = 80;

const int TITLE_FADE_STEP = 15;

struct TitleBubble {
    float x;
    float y;
};

TitleBubble g_titleBubble[TITLE_BUBBLE_MAX];
int g_titleCounter = 0;
bool g_titleMusicStarted = false;

}  // namespace

// Resets the animation; the music keeps whatever it is doing.
void InitTitle(void) {
    g_titleCounter = 0;
    for (int i = 0; i < TITLE_BUBBLE_MAX; i++) {
        g_titleBubble[i].x = TITLE_BUBBLE_PARAM[i].x;
        g_titleBubble[i].y = TITLE_BUBBLE_PARAM[i].y;
    }
}

void UninitTitle(void) {}

// One frame: counter, bubbles, the music on the first frame of the run, and
// the Space request to leave for stage one.
void UpdateTitle(void) {
    g_titleCounter++;

    for (int i = 0; i < TITLE_BUBBLE_MAX; i++) {
        g_titleBubble[i].y -= TITLE_BUBBLE_PARAM[i].rise;
        if (g_titleBubble[i].y < TITLE_BUBBLE_TOP) {
            g_titleBubble[i].y = TITLE_BUBBLE_RESTART_Y;
        }
    }

    if (!g_titleMusicStarted) {
        StopSoundAll();
        PlaySound(BGM_TITLE);
        g_titleMusicStarted = true;
    }

    RequestSceneChange(SCENE_GAME1, DIK_SPACE, TITLE_FADE_STEP);
}

void DrawTitle(void) {
    TitleSprite sprites[TITLE_SPRITE_MAX];
    int count = MakeTitleSprites(sprites);
    for (int i = 0; i < count; i++) {
        DrawSprite(sprites[i].texture, sprites[i].x, sprites[i].y);
    }
}

bool IsTitleFishOverlayPhase(int phase) {
    for (int overlayPhase : TITLE_FISH_OVERLAY_PHASE) {
        if (overlayPhase == phase) {
            return true;
        }
    }
    return false;
}

bool IsTitlePromptPhase(int phase) { return phase < TITLE_PROMPT_PHASE_END; }

int MakeTitleSprites(TitleSprite out[TITLE_SPRITE_MAX]) {
    int count = 0;
    int phase = g_titleCounter % 100;

    out[count++] = {TEXTURE_TITLE_HAIKEI, 0.0f, 0.0f};
    out[count++] = {TEXTURE_TITLE_LOGO, 240.0f, 0.0f};
    out[count++] = {TEXTURE_TITLE_SAKANA1, 460.0f, 370.0f};
    if (IsTitleFishOverlayPhase(phase)) {
        out[count++] = {TEXTURE_TITLE_SAKANA2, 460.0f, 370.0f};
    }
    if (IsTitlePromptPhase(phase)) {
        out[count++] = {TEXTURE_PRESS_START, 520.0f, 700.0f};
    }
    for (int i = 0; i < TITLE_BUBBLE_MAX; i++) {
        out[count++] = {TEXTURE_AWA, g_titleBubble[i].x, g_titleBubble[i].y};
    }
    return count;
}

int GetTitleCounter(void) { return g_titleCounter; }

float GetTitleBubbleX(int i) {
    if (i < 0 || i >= TITLE_BUBBLE_MAX) {
        return 0.0f;
    }
    return g_titleBubble[i].x;
}

float GetTitleBubbleY(int i) {
    if (i < 0 || i >= TITLE_BUBBLE_MAX) {
        return 0.0f;
    }
    return g_titleBubble[i].y;
}

bool IsTitleMusicStarted(void) { return g_titleMusicStarted; }
