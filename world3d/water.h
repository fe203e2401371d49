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

struct WaterClassData;

// The water surface of a stage. Stage 1 and stage 2 are two classes with
// their own buffers and row colours (WaterSurface and WaterSurface2 below)
// and one implementation.
template <int Stage>
class WaterSurfaceOf {
public:
    WaterSurfaceOf(int rows, int columns);
    ~WaterSurfaceOf();
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
    static WaterClassData& ClassData();
    int VertexCount() const;
    UINT LockSize() const;
    // Locks the vertices the grid uses; false when there is nothing to lock.
    bool LockVertices();
    void UnlockVertices();

    int rows;
    int columns;
    int currentRipple;
    float rippleStrength[RIPPLE_MAX];
    int rippleKeep[RIPPLE_MAX];
    VertexWater* lockedVertices;
};

typedef WaterSurfaceOf<1> WaterSurface;   // stage one's water
typedef WaterSurfaceOf<2> WaterSurface2;  // stage two's: its own buffers and vertex alphas
