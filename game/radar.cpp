// Placeholder so the tree links while this module is written; replaced by the real module.
#include "game/radar.h"
void InitRadar(void) {  }
void UninitRadar(void) {  }
void UpdateRadar(void) {  }
void DrawRadar(void) {  }
D3DXVECTOR2 GetRadarPlayer(void) { return D3DXVECTOR2(); }
D3DXVECTOR2 GetRadarFish(int i) { return D3DXVECTOR2(); }
