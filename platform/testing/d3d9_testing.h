// Test hooks of the Direct3D 9 layer.
#pragma once

#include <d3d9.h>
#include <stdint.h>

// Reads back pixels of the device's back buffer as drawn so far in this frame
// (call before Present): rectangle (x, y, w, h) in Direct3D's top-left origin,
// into `out` as 0xAARRGGBB, row by row from the top. False without a device.
bool WinapiTest_ReadBackBuffer(IDirect3DDevice9* device, int x, int y, int w, int h, uint32_t* out);

// Number of Draw*Primitive* calls the device has carried out since it was created.
uint64_t WinapiTest_DrawCallCount(IDirect3DDevice9* device);
