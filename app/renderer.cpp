// Placeholder so the tree links while this module is written; replaced by the real module.
#include "app/renderer.h"
bool InitRenderer(HWND hWnd) { return false; }
void UninitRenderer(void) {  }
LPDIRECT3DDEVICE9 GetDevice(void) { return nullptr; }
