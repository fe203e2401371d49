// Title scene: background, logo, fish drawing, blinking prompt, rising bubbles.
#pragma once

#define TITLE_BUBBLE_MAX (8)

void InitTitle(void);
void UninitTitle(void);
void UpdateTitle(void);
void DrawTitle(void);

// One whole-texture sprite of the title picture.
struct TitleSprite {
    int texture;
    float x;
    float y;
};
// Most sprites one title frame draws.
#define TITLE_SPRITE_MAX (5 + TITLE_BUBBLE_MAX)

// The sprites DrawTitle draws for the current state, back to front; returns
// how many were written to out.
int MakeTitleSprites(TitleSprite out[TITLE_SPRITE_MAX]);
// Whether a frame of the given phase (counter modulo 100) shows the second
// fish drawing, and whether it shows the prompt.
bool IsTitleFishOverlayPhase(int phase);
bool IsTitlePromptPhase(int phase);
