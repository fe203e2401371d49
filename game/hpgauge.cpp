// Placeholder so the tree links while this module is written; replaced by the real module.
#include "game/hpgauge.h"
void SetHpGaugeMax(float max) {  }
void DrawHpGauge(float hp) {  }
int GetHpGaugeMax(void) { return 0; }
int GetHpGaugeLength(float hp) { return 0; }
