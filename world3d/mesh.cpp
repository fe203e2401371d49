// Placeholder so the tree links while this module is written; replaced by the real module.
#include "world3d/mesh.h"
void InitMeshField(float cellSize, int columns, int rows) {  }
void InitMeshCylinder(float rowHeight, float radius, int columns, int rows) {  }
void InitMeshDome(float rowStep, float radius, int columns, int rows) {  }
void DrawMesh(int slot) {  }
void UninitMesh(void) {  }
int GetMeshVertexCount(int slot) { return 0; }
int GetMeshPrimitiveCount(int slot) { return 0; }
LPDIRECT3DVERTEXBUFFER9 GetMeshVertexBuffer(int slot) { return nullptr; }
LPDIRECT3DINDEXBUFFER9 GetMeshIndexBuffer(int slot) { return nullptr; }
