// Placeholder so the tree links while this module is written; replaced by the real module.
#include "device/keyboard.h"
bool InitInput(HINSTANCE hInstance) { return false; }
void UninitInput(void) {  }
bool InitKeyboard(HINSTANCE hInstance, HWND hWnd) { return false; }
void UninitKeyboard(void) {  }
void UpdateKeyboard(void) {  }
bool GetKeyboardPress(int key) { return false; }
bool GetKeyboardTrigger(int key) { return false; }
bool GetKeyboardRelease(int key) { return false; }
