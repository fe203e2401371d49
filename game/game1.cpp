// Game stage one: the open water on which the boat roams among the thirteen
// fish, with the radar in the top-right corner. Meeting a fish leads to stage
// two (the boat's encounter test, during Draw).
//
// State: the stage's water surface, created in InitGame1 and deleted in
// UninitGame1.
#include "game/game1.h"

#include "game/fish.h"
#include "game/player.h"
#include "game/radar.h"
#include "game/stage.h"
#include "world3d/camera.h"
#include "world3d/light.h"
#include "world3d/water.h"

namespace {

WaterSurface* g_waterGame1;

}  // namespace

void InitGame1(void) {
    InitFishGame1();
    InitCamera();
    InitLight();
    InitStageScenery();
    delete g_waterGame1;
    g_waterGame1 = new WaterSurface(100, 100);
    g_waterGame1->AddRipple(-10, 0, 0.006f, 1);
    InitPlayer();
    InitRadar();
}

void UninitGame1(void) {
    UninitStageScenery();
    UninitRadar();
    delete g_waterGame1;
    g_waterGame1 = nullptr;
}

void UpdateGame1(void) {
    UpdateFishGame1();
    UpdateCamera();
    UpdatePlayerGame1();
    if (g_waterGame1) g_waterGame1->Update();
    UpdateRadar();
}

void DrawGame1(void) {
    DrawStageScenery();
    DrawCamera();
    DrawPlayerGame1();
    DrawFishGame1();
    if (g_waterGame1) g_waterGame1->Draw();
    DrawRadar();
}
