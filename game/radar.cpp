// Radar map: stage one's top-right view of the whole water from above, with a
// marker per fish and the boat's arrow turned with its heading.
//
// State: the radar's size (300 by 300 pixels, of which the playing area takes
// the top-left 250 by 250), the boat marker, and the fish markers, a heap
// array of 13 owned by this module from InitRadar to UninitRadar.
#include "game/radar.h"
#include "game/radar_testing.h"

#include "app/main.h"
#include "game/fish.h"
#include "game/player.h"
#include "ui2d/sprite.h"
#include "ui2d/texture.h"

namespace {

const float MARKER_HALF = 12.5f;
const float AREA_HALF = 150.0f;
const float AREA_PIXELS = 250.0f;

float g_radarWidth = 300.0f;
float g_radarHeight = 300.0f;
D3DXVECTOR2 g_radarPlayer;
D3DXVECTOR2* g_radarFish;

// World (x, z) to radar pixels: +z is up on the radar.
D3DXVECTOR2 ToRadar(float x, float z) {
    return D3DXVECTOR2((x + AREA_HALF) * AREA_PIXELS / g_radarWidth, (AREA_HALF - z) * AREA_PIXELS / g_radarHeight);
}

}  // namespace

void InitRadar(void) {
    delete[] g_radarFish;
    g_radarFish = new D3DXVECTOR2[FISH_MAX];
    const FISH* fish = GetFish();
    for (int i = 0; i < FISH_MAX; i++) {
        g_radarFish[i] = D3DXVECTOR2(fish[i].pos.x + AREA_HALF, AREA_HALF - fish[i].pos.z);
    }
    g_radarPlayer = D3DXVECTOR2(0.0f, 0.0f);
}

void UninitRadar(void) {
    delete[] g_radarFish;
    g_radarFish = nullptr;
}

// The markers are recomputed every frame into the array InitRadar made.
void UpdateRadar(void) {
    const D3DXVECTOR3 boat = GetPlayerPosition();
    g_radarPlayer = ToRadar(boat.x, boat.z);
    if (!g_radarFish) g_radarFish = new D3DXVECTOR2[FISH_MAX];
    const FISH* fish = GetFish();
    for (int i = 0; i < FISH_MAX; i++) g_radarFish[i] = ToRadar(fish[i].pos.x, fish[i].pos.z);
}

void DrawRadar(void) {
    const float left = (float)SCREEN_WIDTH - g_radarWidth;
    DrawSprite(TEXTURE_RADERGRID, left, 0.0f);

    // The heading in degrees, turned into radians with 3.14.
    const float angle = (float)((double)(GetPlayerRotY() / 180.0f) * 3.14);
    DrawSpriteRotate(TEXTURE_CURSOL, g_radarPlayer.x + left - MARKER_HALF, g_radarPlayer.y - MARKER_HALF, 0, 0, 25, 25,
                     MARKER_HALF, MARKER_HALF, 1.0f, 1.0f, angle);

    if (!g_radarFish) return;
    for (int i = 0; i < FISH_MAX; i++) {
        DrawSprite(TEXTURE_FISH, g_radarFish[i].x + left - MARKER_HALF, g_radarFish[i].y - MARKER_HALF);
    }
}

D3DXVECTOR2 GetRadarPlayer(void) { return g_radarPlayer; }
D3DXVECTOR2 GetRadarFish(int i) {
    if (!g_radarFish || i < 0 || i >= FISH_MAX) return D3DXVECTOR2(0.0f, 0.0f);
    return g_radarFish[i];
}
