// Game stage two: one fishing attempt against the kind of fish met in stage
// one, seen from behind the boat, which stands still. It ends in the result
// scene when the fish is caught, the line breaks or the fish gets away.
//
// State: the stage's water surface, created in InitGame2 and deleted in
// UninitGame2.
#include "game/game2.h"

#include "game/fish.h"
#include "game/player.h"
#include "game/stage.h"
#include "world3d/camera.h"
#include "world3d/light.h"
#include "world3d/water.h"

namespace {

WaterSurface2* g_waterGame2;

}  // namespace

void InitGame2(void) {
    InitCamera();
    InitLight();
    InitPlayer();
    InitFishGame2();
    InitStageScenery();
    delete g_waterGame2;
    g_waterGame2 = new WaterSurface2(100, 100);
    g_waterGame2->AddRipple(-10, 0, 0.006f, 1);
}

void UninitGame2(void) {
    UninitStageScenery();
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
    DrawStageScenery();
    if (g_waterGame2) g_waterGame2->Draw();
    DrawCamera();
    DrawPlayerGame2();
    DrawFishGame2();
}
