// Player: the boat and the angler.
//
// Stage one: the boat is steered with W/A/S/D, bobs by itself, is kept inside
// the playing area and meets the fish (the encounter records the kind and asks
// for stage two). Stage two: the boat stands still and this module runs the
// angler's side of the fight: charge and cast with Up, the float's flight and
// nibbles, the strike with Space, reeling with Down against the fish's pull
// with Left/Right, the line tension and the two endings it owns (a broken
// line, an escaped fish).
//
// State: module globals, zero at program start, reset by InitPlayer at the
// start of each stage, except g_fishKind, which carries the kind met in stage
// one into stage two and lives until the next encounter.
#include "game/player.h"
#include "game/player_testing.h"

#include "app/scene.h"
#include "device/keyboard.h"
#include "game/fish.h"
#include "ui2d/sprite.h"
#include "ui2d/texture.h"
#include "world3d/model.h"

namespace {

const float DEG_TO_RAD = 0.017453292f;
const float TURN_ANGLE = 0.0017453292f;  // 0.1 degree in radians
const float TURN_DEGREES = 0.1f;
const float FORWARD_THRUST = 0.003f;
const float BACKWARD_THRUST = 0.0002f;
const float DAMPING = 0.99f;
const float AREA_MIN = -149.7f;
const float AREA_MAX_X = 149.9f;
const float AREA_MAX_Z = 149.7f;
const float BOAT_RADIUS = 3.0f;
const float BOB_STEP = 0.001f;
const float BOB_LIMIT = 0.02f;

const int TENSION_BREAK = 200;
const int TENSION_WARNING = 160;
const float ESCAPE_DRIFT = 20.0f;
const int PULLS_TO_TURN = 30;
const int CUTIN_FRAMES = 60;

// Boat
D3DXVECTOR3 g_playerPos;
D3DXVECTOR3 g_playerMove;
D3DXVECTOR3 g_playerFront;
D3DXVECTOR3 g_playerUp;
D3DXVECTOR3 g_playerRight;
float g_playerRotY;
BoundingSphere g_playerSphere;
float g_bobSpeed;
bool g_bobFalling;
D3DXMATRIX g_mtxPlayerWorld;
int g_fishKind;

// Angler
float g_castPower;
bool g_isCast;
float g_castFlight;
float g_reelAngle;
bool g_floatLanded;
float g_floatBob;
bool g_floatRising;
int g_nibbleCount;
bool g_isHooked;
int g_hookTimer;
int g_rodSwing;
int g_tension;
float g_reelPower;
float g_floatDrift;
bool g_fishTurned;
int g_pullCount;
float g_floatWobble;
bool g_wobbleFalling;
D3DXMATRIX g_mtxFloat;

// Turns the boat's heading and right axis about its up axis.
void TurnPlayer(float angle, float degrees) {
    D3DXMATRIX rotation;
    D3DXMatrixRotationAxis(&rotation, &g_playerUp, angle);
    D3DXVec3TransformNormal(&g_playerFront, &g_playerFront, &rotation);
    D3DXVec3TransformNormal(&g_playerRight, &g_playerRight, &rotation);
    g_playerRotY += degrees;
}

// Clamps one coordinate to [low, high]; a value at or beyond a bound takes it.
float ClampToArea(float value, float low, float high) {
    if (value <= low) return low;
    if (value >= high) return high;
    return value;
}

// Steering, thrust, damping, the playing area and the boat's world matrix.
void MovePlayer() {
    const bool back = GetKeyboardPress(DIK_S);
    if (GetKeyboardPress(DIK_D)) {
        if (back) {
            TurnPlayer(-TURN_ANGLE, -TURN_DEGREES);
        } else {
            TurnPlayer(TURN_ANGLE, TURN_DEGREES);
        }
    }
    if (GetKeyboardPress(DIK_A)) {
        if (back) {
            TurnPlayer(TURN_ANGLE, TURN_DEGREES);
        } else {
            TurnPlayer(-TURN_ANGLE, -TURN_DEGREES);
        }
    }
    if (GetKeyboardPress(DIK_W)) {
        g_playerMove += D3DXVECTOR3(g_playerFront.x, 0.0f, g_playerFront.z) * FORWARD_THRUST;
    }
    if (back) {
        g_playerMove -= D3DXVECTOR3(g_playerFront.x, 0.0f, g_playerFront.z) * BACKWARD_THRUST;
    }

    g_playerPos += g_playerMove;
    g_playerMove *= DAMPING;

    g_playerPos.x = ClampToArea(g_playerPos.x, AREA_MIN, AREA_MAX_X);
    g_playerPos.z = ClampToArea(g_playerPos.z, AREA_MIN, AREA_MAX_Z);

    D3DXMATRIX rotation, translation;
    D3DXMatrixRotationY(&rotation, g_playerRotY * DEG_TO_RAD);
    D3DXMatrixTranslation(&translation, g_playerPos.x, g_playerPos.y, g_playerPos.z);
    g_mtxPlayerWorld = rotation * translation;

    g_playerSphere.center = g_playerPos;
}

// The steady up-and-down motion: the speed swings between -0.02 and 0.02.
void BobPlayer() {
    g_playerPos.y += g_bobSpeed;
    if (g_bobFalling) {
        g_bobSpeed -= BOB_STEP;
    } else {
        g_bobSpeed += BOB_STEP;
    }
    if (g_bobSpeed >= BOB_LIMIT) {
        g_bobFalling = true;
    } else if (g_bobSpeed <= -BOB_LIMIT) {
        g_bobFalling = false;
    }
}

// One reel action: +0.05 in double precision, stored as float.
void AddReelPower() { g_reelPower = (float)(g_reelPower + 0.05); }

// A good pull also rocks the float a little.
void GoodPull() {
    g_pullCount += 1;
    g_tension += 1;
    AddReelPower();
    if (g_wobbleFalling) {
        g_floatWobble -= 0.05f;
    } else {
        g_floatWobble += 0.05f;
    }
}

void WrongPull() {
    g_tension += 2;
    AddReelPower();
}

// The fight proper, once the fish is hooked.
void UpdateFight() {
    if (g_hookTimer <= CUTIN_FRAMES) g_hookTimer += 1;

    if (!g_fishTurned) {
        g_floatDrift += 0.05f;
    } else {
        g_floatDrift -= 0.05f;
    }

    const bool reeling = GetKeyboardPress(DIK_DOWN);
    if (GetKeyboardPress(DIK_LEFT)) {
        g_rodSwing = -30;
        if (reeling) {
            g_reelAngle -= 10.0f;
            if (g_fishTurned) {
                WrongPull();
            } else {
                GoodPull();
            }
        }
    }
    if (GetKeyboardPress(DIK_RIGHT)) {
        g_rodSwing = 30;
        if (reeling) {
            g_reelAngle -= 10.0f;
            if (g_fishTurned) {
                GoodPull();
            } else {
                WrongPull();
            }
        }
    }
    if (!reeling) {
        g_reelPower = 0.0f;
        g_tension -= 1;
    }
    if (g_tension <= 0) g_tension = 0;

    if (g_pullCount >= PULLS_TO_TURN) {
        g_fishTurned = !g_fishTurned;
        g_pullCount = 0;
    }
}

}  // namespace

bool HitSphere(const BoundingSphere* a, const BoundingSphere* b) {
    const D3DXVECTOR3 d = a->center - b->center;
    const float reach = a->radius + b->radius;
    return d.x * d.x + d.y * d.y + d.z * d.z < reach * reach;
}

void InitPlayer(void) {
    g_playerPos = D3DXVECTOR3(0.0f, 0.5f, -20.0f);
    g_playerMove = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    g_playerFront = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    D3DXVec3Normalize(&g_playerFront, &g_playerFront);
    g_playerUp = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    D3DXVec3Cross(&g_playerRight, &g_playerUp, &g_playerFront);
    D3DXVec3Normalize(&g_playerRight, &g_playerRight);
    D3DXVec3Cross(&g_playerUp, &g_playerFront, &g_playerRight);
    D3DXVec3Normalize(&g_playerUp, &g_playerUp);
    g_playerSphere.center = g_playerPos;
    g_playerSphere.radius = BOAT_RADIUS;
    g_playerRotY = 0.0f;
    g_bobSpeed = 0.0f;
    g_bobFalling = false;
    D3DXMatrixIdentity(&g_mtxPlayerWorld);

    g_castPower = 0.0f;
    g_isCast = false;
    g_castFlight = 0.0f;
    g_reelAngle = 0.0f;
    g_floatLanded = false;
    g_floatBob = 0.0f;
    g_floatRising = false;
    g_nibbleCount = 0;
    g_isHooked = false;
    g_hookTimer = 0;
    g_rodSwing = 0;
    g_tension = 0;
    g_reelPower = 0.0f;
    g_floatDrift = 0.0f;
    g_fishTurned = false;
    g_pullCount = 0;
    g_floatWobble = 0.0f;
    g_wobbleFalling = false;
    D3DXMatrixIdentity(&g_mtxFloat);
}

void UpdatePlayerGame1(void) {
    D3DXMatrixIdentity(&g_mtxPlayerWorld);
    MovePlayer();
    BobPlayer();
}

// Draws the boat, then tests it against every fish; of several fish touched
// in one frame the highest index sets the kind.
void DrawPlayerGame1(void) {
    DrawModel(MODEL_PLAYER, g_mtxPlayerWorld);

    for (int i = 0; i < FISH_MAX; i++) {
        if (!HitSphere(&g_playerSphere, GetFishSphere(i))) continue;
        g_fishKind = GetFishKindOfIndex(i);
        SetNextScene(SCENE_GAME2);
    }
}

void UpdatePlayerGame2(void) {
    // Charge: the cast goes off in the frame after the charge reached 100 with Up held.
    if (GetKeyboardPress(DIK_UP)) {
        if (g_castPower >= 100.0f) g_isCast = true;
        if (!g_isCast) g_castPower += 0.5f;
    }

    // Flight: 61 frames, landing in the 62nd.
    if (g_isCast) {
        g_castPower = 0.0f;
        if (g_castFlight <= 30.0f) {
            g_reelAngle += 20.0f;
            g_castFlight += 0.5f;
        } else {
            g_floatLanded = true;
        }
    }

    // Nibbles: the float dips, then swings between -0.3 and 0.3; a nibble at each top.
    if (g_nibbleCount < 3 && g_floatLanded) {
        if (g_floatRising) {
            g_floatBob += 0.01f;
        } else {
            g_floatBob -= 0.01f;
        }
        if (g_floatBob >= 0.3f) {
            g_floatRising = false;
            g_nibbleCount += 1;
        }
        if (g_floatBob <= -0.3f) g_floatRising = true;
    }

    // Bite: the float is pulled under and waits for the strike.
    if (g_nibbleCount >= 3) {
        if (g_floatBob >= -1.0f) g_floatBob -= 0.05f;
        if (GetKeyboardTrigger(DIK_SPACE)) g_isHooked = true;
    }

    if (g_isHooked) UpdateFight();

    if (g_floatWobble >= 0.1f) {
        g_wobbleFalling = true;
    } else if (g_floatWobble <= -0.1f) {
        g_wobbleFalling = false;
    }

    // Endings owned by the angler: the line breaks, or the fish gets away.
    if (g_tension >= TENSION_BREAK) {
        SetNextScene(SCENE_RESULT);
    } else if (g_floatDrift <= -ESCAPE_DRIFT || g_floatDrift >= ESCAPE_DRIFT) {
        SetNextScene(SCENE_RESULT);
    }
}

void DrawPlayerGame2(void) {
    D3DXMATRIX rotX, rotY, translation;

    // The boat, side-on, does not move in this stage.
    D3DXMatrixRotationY(&rotY, 1.5707964f);
    D3DXMatrixTranslation(&translation, 0.0f, 0.5f, -21.0f);
    g_mtxPlayerWorld = rotY * translation;
    DrawModel(MODEL_PLAYER, g_mtxPlayerWorld);

    // The rod tilts back with the charge and swings with Left/Right.
    D3DXMatrixRotationX(&rotX, (-20.0f - g_castPower) * DEG_TO_RAD);
    D3DXMatrixRotationY(&rotY, (float)g_rodSwing * DEG_TO_RAD);
    D3DXMatrixTranslation(&translation, 0.0f, 1.5f, -20.0f);
    const D3DXMATRIX rod = rotX * rotY * translation;
    DrawModel(MODEL_ROD, rod);
    if (!g_isCast) {
        DrawModel(MODEL_REEL, rod);
    } else {
        D3DXMatrixRotationX(&rotX, (-20.0f - g_reelAngle) * DEG_TO_RAD);
        D3DXMatrixTranslation(&translation, 0.0f, 1.5f, -17.8f);
        DrawModel(MODEL_REEL_2, rotX * translation);
    }

    // The float; the hooked fish hangs at this matrix.
    D3DXMatrixTranslation(&g_mtxFloat, 1.0f + g_floatDrift, 1.5f + g_floatBob + g_floatWobble,
                          (float)(g_castFlight / 3.0 - 17.8));
    D3DXMatrixRotationX(&rotX, 0.0f);
    DrawModel(MODEL_FLOAT, rotX * g_mtxFloat);

    if (g_isHooked && g_hookTimer <= CUTIN_FRAMES) DrawSprite(TEXTURE_CUTINB, 0.0f, 0.0f);
    DrawTensionGauge((float)g_tension);
    if (g_tension >= TENSION_WARNING) DrawSprite(TEXTURE_BREAK, 0.0f, 0.0f);
}

D3DXVECTOR3 GetPlayerPosition(void) { return g_playerPos; }
D3DXVECTOR3 GetPlayerHeading(void) { return g_playerFront; }
float GetPlayerRotY(void) { return g_playerRotY; }
BoundingSphere* GetPlayerSphere(void) { return &g_playerSphere; }
int GetFishKind(void) { return g_fishKind; }
D3DXVECTOR3 GetPlayerMove(void) { return g_playerMove; }
D3DXMATRIX GetPlayerWorldMatrix(void) { return g_mtxPlayerWorld; }

int GetReelPower(void) { return (int)g_reelPower; }
bool GetHookFlag(void) { return g_isHooked; }
bool GetFloatLanded(void) { return g_floatLanded; }
D3DXMATRIX GetFloatMatrix(void) { return g_mtxFloat; }

float GetCastPower(void) { return g_castPower; }
bool GetIsCast(void) { return g_isCast; }
float GetCastFlight(void) { return g_castFlight; }
float GetReelAngle(void) { return g_reelAngle; }
float GetFloatBob(void) { return g_floatBob; }
int GetNibbleCount(void) { return g_nibbleCount; }
int GetHookTimer(void) { return g_hookTimer; }
int GetRodSwing(void) { return g_rodSwing; }
int GetTension(void) { return g_tension; }
float GetReelPowerValue(void) { return g_reelPower; }
float GetFloatDrift(void) { return g_floatDrift; }
bool GetFishTurned(void) { return g_fishTurned; }
int GetPullCount(void) { return g_pullCount; }
float GetFloatWobble(void) { return g_floatWobble; }
