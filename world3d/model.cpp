// Model registry: the game's X-file meshes, loaded by model number into fixed
// slots together with their materials and textures, and drawn with a world
// matrix the caller builds.
//
// State: per slot the mesh, its material count, a copy of its materials (with
// the ambient colour made equal to the diffuse one) and one texture per
// material (NULL where the material has none or its file would not load).
// A slot is empty (all NULL, count 0) until LoadModel succeeds and again after
// ReleaseModel. Loading a slot that already holds a model releases it first,
// so the title model loaded at start-up and again by the first stage is not
// leaked. A file that cannot be loaded leaves the slot empty; drawing or
// releasing an empty slot does nothing.
//
// Lifetime: the application loads the title model once at start-up; each
// game stage loads all rows in its Init and releases them in its Uninit.
#include "world3d/model.h"
#include "world3d/model_testing.h"

#include <stddef.h>

#include "app/renderer.h"

static const char g_modelFile[MODEL_COUNT][MODEL_FILE_LENGTH] = {
    "model/Player.x",
    "model/maguromananimation1.x",
    "model/maguromananimation2.x",
    "model/maguromananimation3.x",
    "model/maguromananimation4.x",
    "model/maguromananimation5.x",
    "model/maguromananimation6.x",
    "model/mantaman1.x",
    "model/mantaman2.x",
    "model/mantaman3.x",
    "model/mantaman4.x",
    "model/mantaman5.x",
    "model/mantaman6.x",
    "model/title.x",
    "model/sameanimation1.x",
    "model/sameanimation2.x",
    "model/sameanimation3.x",
    "model/sameanimation4.x",
    "model/sameanimation5.x",
    "model/sameanimation6.x",
    "model/sao.x",
    "model/saori-ru.x",
    "model/saori-ru2.x",
    "model/uki.x",
};

static LPD3DXMESH g_modelMesh[MODEL_SLOT_MAX];
static DWORD g_modelMaterialCount[MODEL_SLOT_MAX];
static D3DMATERIAL9* g_modelMaterials[MODEL_SLOT_MAX];
static LPDIRECT3DTEXTURE9* g_modelTextures[MODEL_SLOT_MAX];
static LPD3DXBUFFER g_modelMaterialBuffer[MODEL_SLOT_MAX];

static bool IsModelIndex(int index) { return index >= 0 && index < MODEL_COUNT; }

// Loads row `index` of the file table into its slot. Textures that cannot be
// created are reported once per material and left out.
void LoadModel(int index) {
    if (!IsModelIndex(index)) {
        return;
    }
    if (g_modelMesh[index] != NULL) {
        ReleaseModel(index);
    }

    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL) {
        return;
    }

    g_modelMaterialBuffer[index] = NULL;
    g_modelMaterialCount[index] = 0;
    g_modelMesh[index] = NULL;
    HRESULT hr = D3DXLoadMeshFromXA(g_modelFile[index], D3DXMESH_MANAGED, device, NULL, &g_modelMaterialBuffer[index],
                                    NULL, &g_modelMaterialCount[index], &g_modelMesh[index]);
    if (FAILED(hr) || g_modelMesh[index] == NULL || g_modelMaterialBuffer[index] == NULL) {
        // Whatever the loader did hand out is not usable without the rest.
        if (g_modelMesh[index] != NULL) {
            g_modelMesh[index]->Release();
            g_modelMesh[index] = NULL;
        }
        if (g_modelMaterialBuffer[index] != NULL) {
            g_modelMaterialBuffer[index]->Release();
            g_modelMaterialBuffer[index] = NULL;
        }
        g_modelMaterialCount[index] = 0;
        return;
    }

    const DWORD count = g_modelMaterialCount[index];
    g_modelMaterials[index] = new D3DMATERIAL9[count];
    g_modelTextures[index] = new LPDIRECT3DTEXTURE9[count];

    const D3DXMATERIAL* materials = (const D3DXMATERIAL*)g_modelMaterialBuffer[index]->GetBufferPointer();
    for (DWORD i = 0; i < count; i++) {
        g_modelMaterials[index][i] = materials[i].MatD3D;
        g_modelMaterials[index][i].Ambient = g_modelMaterials[index][i].Diffuse;

        g_modelTextures[index][i] = NULL;
        if (materials[i].pTextureFilename == NULL) {
            continue;
        }
        // The name is used as stored in the file: relative to the working directory.
        if (FAILED(D3DXCreateTextureFromFileA(device, materials[i].pTextureFilename, &g_modelTextures[index][i]))) {
            g_modelTextures[index][i] = NULL;
            MessageBoxA(NULL, "マテリアルが読み込まれてないよ", "エラー", MB_OK);
        }
    }

    g_modelMaterialBuffer[index]->Release();
    g_modelMaterialBuffer[index] = NULL;
}

// Draws every subset of the slot's mesh with its material and texture, lit.
// Lighting and the material colour sources stay set for what follows.
void DrawModel(int index, D3DXMATRIX world) {
    if (!IsModelIndex(index) || g_modelMesh[index] == NULL) {
        return;
    }
    LPDIRECT3DDEVICE9 device = GetDevice();
    if (device == NULL) {
        return;
    }

    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetTransform(D3DTS_WORLD, &world);

    for (DWORD i = 0; i < g_modelMaterialCount[index]; i++) {
        device->SetMaterial(&g_modelMaterials[index][i]);
        device->SetTexture(0, g_modelTextures[index][i]);
        g_modelMesh[index]->DrawSubset(i);
    }
}

// Releases the slot's textures, material copies and mesh and leaves it empty,
// so a second release does nothing.
void ReleaseModel(int index) {
    if (!IsModelIndex(index)) {
        return;
    }

    if (g_modelTextures[index] != NULL) {
        for (DWORD i = 0; i < g_modelMaterialCount[index]; i++) {
            if (g_modelTextures[index][i] != NULL) {
                g_modelTextures[index][i]->Release();
                g_modelTextures[index][i] = NULL;
            }
        }
        delete[] g_modelTextures[index];
        g_modelTextures[index] = NULL;
    }
    delete[] g_modelMaterials[index];
    g_modelMaterials[index] = NULL;

    if (g_modelMesh[index] != NULL) {
        g_modelMesh[index]->Release();
        g_modelMesh[index] = NULL;
    }
    g_modelMaterialCount[index] = 0;
}

// File name of a row of the file table, or NULL outside it.
const char* GetModelFile(int index) {
    if (!IsModelIndex(index)) {
        return NULL;
    }
    return g_modelFile[index];
}

bool IsModelLoaded(int index) { return IsModelIndex(index) && g_modelMesh[index] != NULL; }

DWORD GetModelMaterialCount(int index) {
    if (!IsModelIndex(index)) {
        return 0;
    }
    return g_modelMaterialCount[index];
}

const D3DMATERIAL9* GetModelMaterial(int index, DWORD material) {
    if (!IsModelLoaded(index) || material >= g_modelMaterialCount[index]) {
        return NULL;
    }
    return &g_modelMaterials[index][material];
}

LPDIRECT3DTEXTURE9 GetModelTexture(int index, DWORD material) {
    if (!IsModelLoaded(index) || material >= g_modelMaterialCount[index]) {
        return NULL;
    }
    return g_modelTextures[index][material];
}

LPD3DXMESH GetModelMesh(int index) { return IsModelIndex(index) ? g_modelMesh[index] : NULL; }
