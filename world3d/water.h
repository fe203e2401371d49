// Water surface: a grid of 3-unit squares rippled by up to ten ring waves.
#pragma once

#include <d3dx9.h>

#define RIPPLE_MAX (10)
#define WATER_VERTEX_CAPACITY (30000)
#define WATER_INDEX_CAPACITY (30000)
#define FVF_VERTEX_WATER (D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1)

struct VertexWater {
    float x, y, z;
    D3DCOLOR diffuse;
    float u, v;
    float rippleDistance[RIPPLE_MAX];
    float rippleAmplitude[RIPPLE_MAX];
    float rippleHeight[RIPPLE_MAX];
};

// Stage one's water.
class WaterSurface {
public:
    WaterSurface(int rows, int columns);
    ~WaterSurface();
    void AddRipple(int x, int z, float strength, int keep);
    void Update();
    void Draw();

    int GetCurrentRipple() const { return currentRipple; }
    float GetRippleStrength(int slot) const { return rippleStrength[slot]; }
    int GetRippleKeep(int slot) const { return rippleKeep[slot]; }
    void SetRippleStrength(int slot, float strength) { rippleStrength[slot] = strength; }
    void SetRippleKeep(int slot, int keep) { rippleKeep[slot] = keep; }
    int GetRows() const { return rows; }
    int GetColumns() const { return columns; }
    // The class's buffers (shared by its one live object).
    static LPDIRECT3DVERTEXBUFFER9 GetVertexBuffer();
    static LPDIRECT3DINDEXBUFFER9 GetIndexBuffer();
    static const int* GetIndexStaging();

private:
    friend struct WaterSurfaceImpl;  // the behaviour both classes share (water.cpp)
    int rows;
    int columns;
    int currentRipple;
    float rippleStrength[RIPPLE_MAX];
    int rippleKeep[RIPPLE_MAX];
    VertexWater* lockedVertices;
};

// Stage two's water: the same surface, with its own buffers and vertex alphas.
class WaterSurface2 {
public:
    WaterSurface2(int rows, int columns);
    ~WaterSurface2();
    void AddRipple(int x, int z, float strength, int keep);
    void Update();
    void Draw();

    int GetCurrentRipple() const { return currentRipple; }
    float GetRippleStrength(int slot) const { return rippleStrength[slot]; }
    int GetRippleKeep(int slot) const { return rippleKeep[slot]; }
    void SetRippleStrength(int slot, float strength) { rippleStrength[slot] = strength; }
    void SetRippleKeep(int slot, int keep) { rippleKeep[slot] = keep; }
    int GetRows() const { return rows; }
    int GetColumns() const { return columns; }
    static LPDIRECT3DVERTEXBUFFER9 GetVertexBuffer();
    static LPDIRECT3DINDEXBUFFER9 GetIndexBuffer();
    static const int* GetIndexStaging();

private:
    friend struct WaterSurfaceImpl;  // the behaviour both classes share (water.cpp)
    int rows;
    int columns;
    int currentRipple;
    float rippleStrength[RIPPLE_MAX];
    int rippleKeep[RIPPLE_MAX];
    VertexWater* lockedVertices;
};
