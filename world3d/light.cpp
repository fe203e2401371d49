// Placeholder so the tree links while this module is written; replaced by the real module.
#include "world3d/light.h"
void InitLight(void) {  }
