// Placeholder so the tree links while this module is written; replaced by the real module.
#include "world3d/water.h"
WaterSurface::WaterSurface(int r, int c) : rows(r), columns(c), currentRipple(0), rippleStrength(), rippleKeep(), lockedVertices(nullptr) {}
WaterSurface::~WaterSurface() {}
void WaterSurface::AddRipple(int, int, float, int) {}
void WaterSurface::Update() {}
void WaterSurface::Draw() {}
LPDIRECT3DVERTEXBUFFER9 WaterSurface::GetVertexBuffer() { return nullptr; }
LPDIRECT3DINDEXBUFFER9 WaterSurface::GetIndexBuffer() { return nullptr; }
const int* WaterSurface::GetIndexStaging() { return nullptr; }
WaterSurface2::WaterSurface2(int r, int c) : rows(r), columns(c), currentRipple(0), rippleStrength(), rippleKeep(), lockedVertices(nullptr) {}
WaterSurface2::~WaterSurface2() {}
void WaterSurface2::AddRipple(int, int, float, int) {}
void WaterSurface2::Update() {}
void WaterSurface2::Draw() {}
LPDIRECT3DVERTEXBUFFER9 WaterSurface2::GetVertexBuffer() { return nullptr; }
LPDIRECT3DINDEXBUFFER9 WaterSurface2::GetIndexBuffer() { return nullptr; }
const int* WaterSurface2::GetIndexStaging() { return nullptr; }
