// Placeholder so the tree links while this module is written; replaced by the real module.
#include "game/game2.h"
void InitGame2(void) {  }
void UninitGame2(void) {  }
void UpdateGame2(void) {  }
void DrawGame2(void) {  }
WaterSurface2* GetWaterGame2(void) { return nullptr; }
