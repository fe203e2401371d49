// Keyboard input: the whole keyboard read once per frame through DirectInput.
#pragma once

#define DIRECTINPUT_VERSION 0x0800
#include <dinput.h>
#include <windows.h>

#define NUM_KEY_MAX (256)

bool InitInput(HINSTANCE hInstance);
void UninitInput(void);
bool InitKeyboard(HINSTANCE hInstance, HWND hWnd);
void UninitKeyboard(void);
void UpdateKeyboard(void);
bool GetKeyboardPress(int key);
bool GetKeyboardTrigger(int key);
bool GetKeyboardRelease(int key);
