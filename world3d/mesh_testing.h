// Read-outs and set-ups of the mesh module for tests; the game itself
// never calls these. Same state and lifetime as mesh.h describes.
#pragma once

#include "world3d/mesh.h"

int GetMeshVertexCount(int slot);
int GetMeshPrimitiveCount(int slot);
LPDIRECT3DVERTEXBUFFER9 GetMeshVertexBuffer(int slot);
LPDIRECT3DINDEXBUFFER9 GetMeshIndexBuffer(int slot);
