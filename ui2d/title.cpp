// Placeholder so the tree links while this module is written; replaced by the real module.
#include "ui2d/title.h"
void InitTitle(void) {  }
void UninitTitle(void) {  }
void UpdateTitle(void) {  }
void DrawTitle(void) {  }
int GetTitleCounter(void) { return 0; }
float GetTitleBubbleX(int i) { return 0; }
float GetTitleBubbleY(int i) { return 0; }
bool IsTitleMusicStarted(void) { return false; }
