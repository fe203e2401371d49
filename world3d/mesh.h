// Scenery meshes: the ground grid, the mountain ring and the sky dome.
#pragma once

#include <d3dx9.h>

struct Vertex3D {
    D3DXVECTOR3 position;
    D3DXVECTOR3 normal;
    D3DCOLOR diffuse;
    D3DXVECTOR2 texcoord;
};
#define FVF_VERTEX_3D (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1)

enum { MESH_FIELD = 0, MESH_CYLINDER = 1, MESH_DOME = 2, MESH_SLOT_MAX = 7 };
#define MESH_STAGING_MAX (300000)

void InitMeshField(float cellSize, int columns, int rows);
void InitMeshCylinder(float rowHeight, float radius, int columns, int rows);
void InitMeshDome(float rowStep, float radius, int columns, int rows);
void DrawMesh(int slot);
void UninitMesh(void);
