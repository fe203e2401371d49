// Title scene: background, logo, fish drawing, blinking prompt, rising bubbles.
#pragma once

#define TITLE_BUBBLE_MAX (8)

void InitTitle(void);
void UninitTitle(void);
void UpdateTitle(void);
void DrawTitle(void);

int GetTitleCounter(void);
float GetTitleBubbleX(int i);
float GetTitleBubbleY(int i);
bool IsTitleMusicStarted(void);
