// Placeholder so the tree links while this module is written; replaced by the real module.
#include "world3d/camera.h"
void InitCamera(void) {  }
void UpdateCamera(void) {  }
void DrawCamera(void) {  }
D3DXMATRIX GetViewMatrix(void) { return D3DXMATRIX(); }
D3DXMATRIX GetProjectionMatrix(void) { return D3DXMATRIX(); }
D3DXVECTOR3 GetCameraEye(void) { return D3DXVECTOR3(); }
D3DXVECTOR3 GetCameraAt(void) { return D3DXVECTOR3(); }
