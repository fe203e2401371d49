// Game stage two: one fishing attempt against the kind of fish met in stage
// one, seen from behind the boat, which stands still. It ends in the result
// scene when the fish is caught, the line breaks or the fish gets away.
//
// State: the stage's water surface, created in InitGame2 and deleted in
// UninitGame2.
#include "game/game2.h"

#include "game/fish.h"
#include "game/player.h"
#include "world3d/camera.h"
#include "world3d/light.h"
#include "world3d/mesh.h"
#include "world3d/model.h"
#include "world3d/water.h"

namespace {

WaterSurface2* g_waterGame2;

}  // namespace

void InitGame2(void) {
    InitCamera();
    InitLight();
    InitPlayer();
    InitFishGame2();
    InitMeshDome(10.0f, 350.0f, 20, 20);
    InitMeshCylinder(10.0f, 200.0f, 5, 2);
    InitMeshField(50.0f, 5, 5);
    delete g_waterGame2;
    g_waterGame2 = new WaterSurface2(100, 100);
    g_waterGame2->AddRipple(-10, 0, 0.006f, 1);
    for (int i = 0; i < MODEL_COUNT; i++) LoadModel(i);
}

void UninitGame2(void) {
    UninitMesh();
    for (int i = 0; i < MODEL_COUNT; i++) ReleaseModel(i);
    delete g_waterGame2;
    g_waterGame2 = nullptr;
}

void UpdateGame2(void) {
    UpdateFishGame2();
    UpdatePlayerGame2();
    UpdateCamera();
    if (g_waterGame2) g_waterGame2->Update();
}

void DrawGame2(void) {
    DrawMesh(MESH_FIELD);
    DrawMesh(MESH_CYLINDER);
    DrawMesh(MESH_DOME);
    if (g_waterGame2) g_waterGame2->Draw();
    DrawCamera();
    DrawPlayerGame2();
    DrawFishGame2();
}

