// Placeholder so the tree links while this module is written; replaced by the real module.
#include "app/main.h"
LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) { return DefWindowProcA(hWnd, message, wParam, lParam); }
bool Init(HINSTANCE, HWND) { return false; }
void Uninit(void) {}
void Update(void) {}
void Draw(void) {}
int GetScore(void) { return 0; }
float GetFps(void) { return 0; }
int GetFrameCount(void) { return 0; }
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return -1; }
