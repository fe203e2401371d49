// Renderer: the Direct3D object and the one device of the program.
#pragma once

#include <d3d9.h>

bool InitRenderer(HWND hWnd);
void UninitRenderer(void);
LPDIRECT3DDEVICE9 GetDevice(void);
