// Application entry and main loop: the window, the module start-up and
// shutdown order, the paced frame, and the frame-rate measurement.
#pragma once

#include <d3d9.h>
#include <windows.h>

#define SCREEN_WIDTH (1680)
#define SCREEN_HEIGHT (900)

LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
bool Init(HINSTANCE hInstance, HWND hWnd);
void Uninit(void);
void Update(void);
void Draw(void);

// The catch score of the fishing fight, read at the moment of the call.
int GetScore(void);

// Pieces of start-up and of the loop, also used by tests.
bool RegisterGameWindowClass(HINSTANCE hInstance);
HWND CreateGameWindow(HINSTANCE hInstance);
int GetCenteredWindowPosition(int screenSize, int windowSize);
int RunMessageLoop(void);
bool StartFrameIfDue(double now);
void ResetFrameRate(double now);
void UpdateFrameRate(double now);
void ClearFrame(LPDIRECT3DDEVICE9 device);
void DrawFrameContents(void);
