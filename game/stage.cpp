// The scenery both game stages stand in (see stage.h). It keeps no state of
// its own: the meshes and models live in their modules from
// InitStageScenery to UninitStageScenery.
#include "game/stage.h"

#include "world3d/mesh.h"
#include "world3d/model.h"

void InitStageScenery(void) {
    InitMeshDome(10.0f, 350.0f, 20, 20);
    InitMeshCylinder(10.0f, 200.0f, 5, 2);
    InitMeshField(50.0f, 5, 5);
    for (int i = 0; i < MODEL_COUNT; i++) LoadModel(i);
}

void UninitStageScenery(void) {
    UninitMesh();
    for (int i = 0; i < MODEL_COUNT; i++) ReleaseModel(i);
}

void DrawStageScenery(void) {
    DrawMesh(MESH_FIELD);
    DrawMesh(MESH_CYLINDER);
    DrawMesh(MESH_DOME);
}
