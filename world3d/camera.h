// Camera: the chase camera behind the boat, and the view and projection.
#pragma once

#include <d3dx9.h>

void InitCamera(void);
void UpdateCamera(void);
void DrawCamera(void);
D3DXMATRIX GetViewMatrix(void);
D3DXMATRIX GetProjectionMatrix(void);
