// Read-outs and set-ups of the model module for tests; the game itself
// never calls these. Same state and lifetime as model.h describes.
#pragma once

#include "world3d/model.h"

const char* GetModelFile(int index);
DWORD GetModelMaterialCount(int index);
// A loaded slot's material copy and texture (NULL outside the slot's materials
// or where the material is drawn untextured).
const D3DMATERIAL9* GetModelMaterial(int index, DWORD material);
LPDIRECT3DTEXTURE9 GetModelTexture(int index, DWORD material);
// The slot's mesh, or NULL while the slot is empty. No reference is added.
LPD3DXMESH GetModelMesh(int index);
