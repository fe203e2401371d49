// Placeholder so the tree links while this module is written; replaced by the real module.
#include "world3d/model.h"
void LoadModel(int index) {  }
void DrawModel(int index, D3DXMATRIX world) {  }
void ReleaseModel(int index) {  }
const char* GetModelFile(int index) { return nullptr; }
bool IsModelLoaded(int index) { return false; }
DWORD GetModelMaterialCount(int index) { return 0; }
