// Read-outs and set-ups of the camera module for tests; the game itself
// never calls these. Same state and lifetime as camera.h describes.
#pragma once

#include "world3d/camera.h"

D3DXVECTOR3 GetCameraEye(void);
D3DXVECTOR3 GetCameraAt(void);
