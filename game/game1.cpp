// Placeholder so the tree links while this module is written; replaced by the real module.
#include "game/game1.h"
void InitGame1(void) {  }
void UninitGame1(void) {  }
void UpdateGame1(void) {  }
void DrawGame1(void) {  }
WaterSurface* GetWaterGame1(void) { return nullptr; }
