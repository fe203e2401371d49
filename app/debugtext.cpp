// Placeholder so the tree links while this module is written; replaced by the real module.
#include "app/debugtext.h"
void InitDebugText(void) {  }
void UninitDebugText(void) {  }
void DrawDebugText(int x, int y, const char* format, ...) {  }
