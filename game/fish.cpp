// Fish: the thirteen fish of stage one and the fish fought in stage two.
//
// Stage one: eight tuna-men, one shark at the centre and four manta-men float
// at fixed places playing their swim animation; the boat meets them there and
// the radar shows them. Stage two: only the fish of the kind met is drawn; it
// swims back and forth in front of the boat, dives when the float lands, and
// once hooked hangs at the float while the reel power wears its HP down. The
// catch stores the kind's score and leaves for the result scene.
//
// State: g_fish lives for the whole run; each stage's Init gives the records
// their axes and places. g_catchScore survives from scene to scene (the result
// scene reads it); it is cleared when a stage-two attempt starts, so a broken
// line or an escape scores 0.
#include "game/fish.h"
#include "game/fish_testing.h"

#include "app/scene.h"
#include "game/hpgauge.h"
#include "game/player.h"
#include "world3d/model.h"

namespace {

const float DEG_TO_RAD = 0.017453292f;
const float FISH_RADIUS = 1.0f;
const int ANIM_COUNTER_MAX = 1000;
const int ANIM_STEP_FRAMES = 8;
const int ANIM_STEPS = 10;
const float SWIM_LIMIT = 10.0f;
const float SWIM_STEP = 0.05f;

struct FishKindInfo {
    float pitch;         // RotationX applied first
    float heightAfloat;  // offset below the position before the float lands
    float heightLanded;  // ... and after it landed
    int stageTwoIndex;   // which record is fought in stage two
    int hp;
    int score;
    int models[ANIM_STEPS];
};

const FishKindInfo g_kindInfo[FISHKIND_MAX] = {
    {1.5707964f,
     0.0f,
     -3.0f,
     0,
     500,
     1000,
     {MODEL_TUNAMAN_1, MODEL_TUNAMAN_2, MODEL_TUNAMAN_3, MODEL_TUNAMAN_4, MODEL_TUNAMAN_5, MODEL_TUNAMAN_6,
      MODEL_TUNAMAN_5, MODEL_TUNAMAN_4, MODEL_TUNAMAN_3, MODEL_TUNAMAN_2}},
    {1.5707964f,
     0.0f,
     -3.0f,
     8,
     2000,
     5000,
     {MODEL_SHARK_1, MODEL_SHARK_2, MODEL_SHARK_3, MODEL_SHARK_4, MODEL_SHARK_5, MODEL_SHARK_6, MODEL_SHARK_5,
      MODEL_SHARK_4, MODEL_SHARK_3, MODEL_SHARK_2}},
    {4.712389f,
     -1.5f,
     -4.5f,
     12,
     1000,
     3000,
     {MODEL_MANTAMAN_1, MODEL_MANTAMAN_2, MODEL_MANTAMAN_3, MODEL_MANTAMAN_4, MODEL_MANTAMAN_5, MODEL_MANTAMAN_6,
      MODEL_MANTAMAN_5, MODEL_MANTAMAN_4, MODEL_MANTAMAN_3, MODEL_MANTAMAN_2}},
};

const D3DXVECTOR3 g_stageOnePlaces[FISH_MAX] = {
    D3DXVECTOR3(100.0f, 0.5f, 0.0f),  D3DXVECTOR3(80.0f, 0.5f, 0.0f),    D3DXVECTOR3(-120.0f, 0.5f, 0.0f),
    D3DXVECTOR3(-100.0f, 0.5f, 0.0f), D3DXVECTOR3(0.0f, 0.5f, 120.0f),   D3DXVECTOR3(0.0f, 0.5f, 100.0f),
    D3DXVECTOR3(0.0f, 0.5f, -100.0f), D3DXVECTOR3(0.0f, 0.5f, -80.0f),   D3DXVECTOR3(0.0f, 0.5f, 0.0f),
    D3DXVECTOR3(-60.0f, 0.5f, 60.0f), D3DXVECTOR3(-60.0f, 0.5f, -60.0f), D3DXVECTOR3(60.0f, 0.5f, 60.0f),
    D3DXVECTOR3(60.0f, 0.5f, -60.0f),
};

FISH g_fish[FISH_MAX];
int g_animCounter;
int g_animFrame;
float g_swimOffset;
bool g_swimBack;
float g_swimRotY;
int g_fishHp[FISHKIND_MAX];
int g_catchScore;

// Clamps a kind read from elsewhere to the table, so a bad value can't index past it.
int SafeKind(int kind) { return (kind >= 0 && kind < FISHKIND_MAX) ? kind : FISHKIND_TUNAMAN; }

void InitAxes() {
    for (int i = 0; i < FISH_MAX; i++) {
        FISH& fish = g_fish[i];
        fish.rot = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        fish.front = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
        D3DXVec3Normalize(&fish.front, &fish.front);
        fish.up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
        D3DXVec3Cross(&fish.right, &fish.up, &fish.front);
        D3DXVec3Normalize(&fish.right, &fish.right);
        D3DXVec3Cross(&fish.up, &fish.front, &fish.right);
        D3DXVec3Normalize(&fish.up, &fish.up);
        fish.sphere.center = fish.pos;
        fish.sphere.radius = FISH_RADIUS;
    }
}

// Each step lasts 8 frames; the counter runs 1..1000 and wraps to 0 first.
void StepAnimation() {
    if (g_animCounter >= ANIM_COUNTER_MAX) g_animCounter = 0;
    g_animCounter += 1;
    g_animFrame = (g_animCounter / ANIM_STEP_FRAMES) % ANIM_STEPS;
}

void UpdateFishAtPlace(int i) {
    FISH& fish = g_fish[i];
    const FishKindInfo& info = g_kindInfo[GetFishKindOfIndex(i)];
    D3DXMatrixIdentity(&fish.mtxScale);
    D3DXMatrixIdentity(&fish.mtxWorld);
    D3DXMatrixIdentity(&fish.mtxTrans);
    D3DXMatrixTranslation(&fish.mtxTrans, fish.pos.x, fish.pos.y + info.heightAfloat, fish.pos.z);
    fish.sphere.center = fish.pos;
    D3DXMatrixRotationX(&fish.mtxRotX, info.pitch);
    fish.mtxWorld = fish.mtxRotX * fish.mtxTrans;
}

void DrawFishRecord(int i, int kind) { DrawModel(g_kindInfo[kind].models[g_animFrame], g_fish[i].mtxWorld); }

}  // namespace

void InitFishGame1(void) {
    InitAxes();
    for (int i = 0; i < FISH_MAX; i++) g_fish[i].pos = g_stageOnePlaces[i];
    g_animFrame = 0;
    g_animCounter = 0;
}

// The shark first, then the tuna-men, then the manta-men; the fish don't move here.
void UpdateFishGame1(void) {
    UpdateFishAtPlace(8);
    for (int i = 0; i <= 7; i++) UpdateFishAtPlace(i);
    for (int i = 9; i < FISH_MAX; i++) UpdateFishAtPlace(i);
    StepAnimation();
}

void DrawFishGame1(void) {
    DrawFishRecord(8, FISHKIND_SHARK);
    for (int i = 0; i <= 7; i++) DrawFishRecord(i, FISHKIND_TUNAMAN);
    for (int i = 9; i < FISH_MAX; i++) DrawFishRecord(i, FISHKIND_MANTAMAN);
}

void InitFishGame2(void) {
    InitAxes();
    for (int kind = 0; kind < FISHKIND_MAX; kind++) {
        g_fish[g_kindInfo[kind].stageTwoIndex].pos = D3DXVECTOR3(0.0f, 0.5f, 0.0f);
    }
    g_animFrame = 0;
    g_animCounter = 0;
    g_swimOffset = 0.0f;
    g_swimBack = false;
    g_swimRotY = 0.0f;

    // A new attempt: an earlier catch must not be reported for this one.
    g_catchScore = 0;

    const int kind = SafeKind(GetFishKind());
    g_fishHp[kind] = g_kindInfo[kind].hp;
    SetHpGaugeMax((float)g_kindInfo[kind].hp);
}

void UpdateFishGame2(void) {
    // Back and forth between x = -10 and +10, facing the way it swims.
    if (g_swimOffset >= SWIM_LIMIT) {
        g_swimBack = true;
    } else if (g_swimOffset <= -SWIM_LIMIT) {
        g_swimBack = false;
    }
    if (!g_swimBack) {
        g_swimOffset += SWIM_STEP;
        g_swimRotY = -90.0f;
    } else {
        g_swimRotY = 90.0f;
        g_swimOffset -= SWIM_STEP;
    }

    const int kind = SafeKind(GetFishKind());
    const FishKindInfo& info = g_kindInfo[kind];
    FISH& fish = g_fish[info.stageTwoIndex];
    D3DXMATRIX rotX, rotY;
    D3DXMatrixRotationX(&rotX, info.pitch);
    D3DXMatrixRotationY(&rotY, g_swimRotY * DEG_TO_RAD);

    if (GetHookFlag()) {
        // Hooked: the reel power of the last frame wears the HP down.
        g_fishHp[kind] -= GetReelPower();
        fish.sphere.center = fish.pos;
        fish.mtxWorld = rotX * rotY * GetFloatMatrix();
        if (g_fishHp[kind] <= 0) {
            g_catchScore = info.score;
            SetNextScene(SCENE_RESULT);
        }
    } else {
        const float height = GetFloatLanded() ? info.heightLanded : info.heightAfloat;
        D3DXMatrixTranslation(&fish.mtxTrans, fish.pos.x + g_swimOffset, fish.pos.y + height, fish.pos.z);
        fish.mtxWorld = rotX * rotY * fish.mtxTrans;
    }

    StepAnimation();
}

void DrawFishGame2(void) {
    const int kind = SafeKind(GetFishKind());
    DrawFishRecord(g_kindInfo[kind].stageTwoIndex, kind);
    DrawHpGauge((float)g_fishHp[kind]);
}

BoundingSphere* GetFishSphere(int i) { return &g_fish[i].sphere; }
FISH* GetFish(void) { return g_fish; }

// Fish 0 to 7 are tuna-men, fish 8 the shark, the rest manta-men.
int GetFishKindOfIndex(int i) {
    if (i <= 7) return FISHKIND_TUNAMAN;
    if (i == 8) return FISHKIND_SHARK;
    return FISHKIND_MANTAMAN;
}
int GetCatchScore(void) { return g_catchScore; }

int GetFishHp(int kind) { return g_fishHp[SafeKind(kind)]; }
int GetAnimCounter(void) { return g_animCounter; }
int GetAnimFrame(void) { return g_animFrame; }
float GetSwimOffset(void) { return g_swimOffset; }
bool GetSwimBack(void) { return g_swimBack; }
float GetSwimRotY(void) { return g_swimRotY; }
int GetFishModel(int kind, int animFrame) {
    if (animFrame < 0 || animFrame >= ANIM_STEPS) return -1;
    return g_kindInfo[SafeKind(kind)].models[animFrame];
}
