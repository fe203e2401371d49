// The boat of stage one: thrust and damping, the playing area, steering, the
// bobbing, the encounter test and the radar marks, driven through the real
// keyboard layer.
#include <gtest/gtest.h>

#include <math.h>

#include "app/renderer.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "ci_skip.h"
#include "device/keyboard.h"
#include "game/fish.h"
#include "game/player.h"
#include "game/player_testing.h"
#include "game/radar.h"
#include "game/radar_testing.h"
#include "harness.h"
#include "shared_game.h"
#include "ui2d/sprite.h"
#include "ui2d/texture.h"
#include "winapi_testing.h"

#include <functional>
#include <vector>

namespace {

class BoatTest : public SharedGameTest<> {
protected:
    void SetUpEach() override {
        InitFishGame1();
        InitPlayer();
        SetNextScene(GetScene());
    }

    // One boat update with these keys held.
    void Step(const KeySet& keys) {
        s_harness.SetKeys(keys);
        UpdateKeyboard();
        UpdatePlayerGame1();
    }
    void Steps(int n, const KeySet& keys) {
        for (int i = 0; i < n; i++) Step(keys);
    }
};

TEST_F(BoatTest, StartsAtRestFacingPlusZ) {
    const D3DXVECTOR3 pos = GetPlayerPosition();
    EXPECT_FLOAT_EQ(pos.x, 0.0f);
    EXPECT_FLOAT_EQ(pos.y, 0.5f);
    EXPECT_FLOAT_EQ(pos.z, -20.0f);
    const D3DXVECTOR3 front = GetPlayerHeading();
    EXPECT_FLOAT_EQ(front.z, 1.0f);
    EXPECT_FLOAT_EQ(GetPlayerSphere()->radius, 3.0f);
}

TEST_F(BoatTest, HoldingWApproachesThreeTenthsPerFrame) {
    float lastZ = GetPlayerPosition().z;
    float lastStep = 0.0f;
    for (int frame = 1; frame <= 400; frame++) {
        Step({DIK_W});
        const float z = GetPlayerPosition().z;
        const float step = z - lastZ;
        ASSERT_GT(step, lastStep) << "frame " << frame;
        ASSERT_LT(step, 0.3f) << "frame " << frame;
        lastZ = z;
        lastStep = step;
    }
    // 0.3 x (1 - 0.99^400), with 0.99^400 = 0.017951
    EXPECT_NEAR(lastStep, 0.294615f, 1e-4);
    // Much later the damped velocity settles where the step is 0.3.
    Steps(2000, {DIK_W});
    EXPECT_NEAR(GetPlayerMove().z / 0.99f, 0.3f, 1e-4);
    // Letting go, the damping alone slows the boat.
    const float before = GetPlayerMove().z;
    Step({});
    EXPECT_FLOAT_EQ(GetPlayerMove().z, before * 0.99f);
}

TEST_F(BoatTest, EdgesOfThePlayingArea) {
    Steps(1500, {DIK_W});
    EXPECT_FLOAT_EQ(GetPlayerPosition().z, 149.7f);

    InitPlayer();
    Steps(900, {DIK_D});  // a quarter turn to the right: towards +x
    Steps(1500, {DIK_W});
    EXPECT_FLOAT_EQ(GetPlayerPosition().x, 149.9f);

    InitPlayer();
    Steps(900, {DIK_A});
    Steps(1500, {DIK_W});
    EXPECT_FLOAT_EQ(GetPlayerPosition().x, -149.7f);

    InitPlayer();
    Steps(1800, {DIK_D});
    Steps(1500, {DIK_W});
    EXPECT_FLOAT_EQ(GetPlayerPosition().z, -149.7f);
    // The clamp leaves the velocity as it was.
    EXPECT_LT(GetPlayerMove().z, -0.2f);
}

TEST_F(BoatTest, SteeringTurnsATenthOfADegreePerFrame) {
    Step({DIK_D});
    EXPECT_FLOAT_EQ(GetPlayerRotY(), 0.1f);
    EXPECT_NEAR(GetPlayerHeading().x, sinf(0.0017453292f), 1e-7);
    EXPECT_GT(GetPlayerHeading().x, 0.0f);

    InitPlayer();
    Step({DIK_D, DIK_S});  // backing reverses the steering
    EXPECT_FLOAT_EQ(GetPlayerRotY(), -0.1f);
    EXPECT_LT(GetPlayerHeading().x, 0.0f);

    InitPlayer();
    Step({DIK_A});
    EXPECT_FLOAT_EQ(GetPlayerRotY(), -0.1f);
    InitPlayer();
    Step({DIK_A, DIK_S});
    EXPECT_FLOAT_EQ(GetPlayerRotY(), 0.1f);

    InitPlayer();
    Step({DIK_A, DIK_D});  // both together cancel
    EXPECT_NEAR(GetPlayerRotY(), 0.0f, 1e-6);
    EXPECT_NEAR(GetPlayerHeading().x, 0.0f, 1e-6);

    InitPlayer();
    Steps(900, {DIK_D});
    EXPECT_NEAR(GetPlayerHeading().x, 1.0f, 1e-4);
    EXPECT_NEAR(GetPlayerHeading().z, 0.0f, 1e-3);
}

TEST_F(BoatTest, BacksOffWithAFifteenthOfTheThrust) {
    Step({DIK_S});
    EXPECT_FLOAT_EQ(GetPlayerMove().z, -0.0002f * 0.99f);
    InitPlayer();
    Step({DIK_W});
    EXPECT_FLOAT_EQ(GetPlayerMove().z, 0.003f * 0.99f);
}

TEST_F(BoatTest, BobsUpAndDownInAnEightyFrameCycle) {
    std::vector<float> heights;
    for (int i = 0; i < 400; i++) {
        Step({});
        heights.push_back(GetPlayerPosition().y);
    }
    // The speed climbs for 20 frames and falls for 40, so the boat rises for
    // the first 40 frames and sinks for the next 40.
    for (int i = 1; i < 39; i++) EXPECT_GT(heights[i], heights[i - 1]) << i;
    for (int i = 41; i < 79; i++) EXPECT_LT(heights[i], heights[i - 1]) << i;
    // A steady cycle of 80 frames that stays close to 0.5.
    for (int i = 100; i < 300; i++) EXPECT_NEAR(heights[i + 80], heights[i], 1e-3) << i;
    const float lo = *std::min_element(heights.begin(), heights.end());
    const float hi = *std::max_element(heights.begin(), heights.end());
    EXPECT_GT(hi - lo, 0.2f);
    EXPECT_LT(hi - lo, 0.6f);
    // The world matrix lags the bobbing by one frame: it was built before it.
    const D3DXMATRIX world = GetPlayerWorldMatrix();
    EXPECT_FLOAT_EQ(world._42, heights[398]);
}

TEST_F(BoatTest, EncounterRecordsTheKindAndAsksForStageTwo) {
    FISH* fish = GetFish();
    const int kinds[FISH_MAX] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 2, 2, 2};
    for (int i = 0; i < FISH_MAX; i++) {
        InitFishGame1();
        InitPlayer();
        SetNextScene(GetScene());
        // Bring this one fish just inside reach (3 + 1 units) of the boat.
        fish[i].pos = GetPlayerPosition() + D3DXVECTOR3(0.0f, 0.0f, 3.99f);
        UpdateFishGame1();
        DrawPlayerGame1();
        EXPECT_EQ(GetFishKind(), kinds[i]) << "fish " << i;
        EXPECT_EQ(GetNextScene(), SCENE_GAME2) << "fish " << i;
    }

    // Exactly 4 units apart is no hit.
    InitFishGame1();
    InitPlayer();
    SetNextScene(GetScene());
    fish[8].pos = GetPlayerPosition() + D3DXVECTOR3(4.0f, 0.0f, 0.0f);
    UpdateFishGame1();
    DrawPlayerGame1();
    EXPECT_EQ(GetNextScene(), GetScene());

    // Of two fish touched in one frame, the higher index sets the kind.
    InitFishGame1();
    InitPlayer();
    fish[3].pos = GetPlayerPosition() + D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    fish[10].pos = GetPlayerPosition() + D3DXVECTOR3(-1.0f, 0.0f, 0.0f);
    UpdateFishGame1();
    DrawPlayerGame1();
    EXPECT_EQ(GetFishKind(), FISHKIND_MANTAMAN);
    fish[11].pos = GetPlayerPosition();
    fish[10].pos = D3DXVECTOR3(0.0f, 0.5f, 500.0f);
    fish[8].pos = GetPlayerPosition() + D3DXVECTOR3(0.0f, 0.0f, 2.0f);
    UpdateFishGame1();
    DrawPlayerGame1();
    EXPECT_EQ(GetFishKind(), FISHKIND_MANTAMAN);  // 11 beats 8
    SetNextScene(GetScene());
}

TEST(HitSphere, TouchingIsStrictlyCloserThanTheSumOfRadii) {
    BoundingSphere a = {D3DXVECTOR3(0, 0, 0), 3.0f};
    BoundingSphere b = {D3DXVECTOR3(0, 0, 3.999f), 1.0f};
    EXPECT_TRUE(HitSphere(&a, &b));
    b.center = D3DXVECTOR3(0, 4.0f, 0);
    EXPECT_FALSE(HitSphere(&a, &b));
    b.center = D3DXVECTOR3(2.0f, 2.0f, 2.0f);  // distance 3.46
    EXPECT_TRUE(HitSphere(&a, &b));
    b.center = D3DXVECTOR3(-2.4f, -2.4f, -2.4f);  // distance 4.16
    EXPECT_FALSE(HitSphere(&a, &b));
}

TEST_F(BoatTest, RadarMarksTheBoatAndTheFish) {
    InitRadar();
    UpdateRadar();
    const D3DXVECTOR2 boat = GetRadarPlayer();
    EXPECT_FLOAT_EQ(boat.x, 125.0f);
    EXPECT_NEAR(boat.y, 141.6667f, 1e-3);
    // The arrow's top-left corner on screen.
    EXPECT_FLOAT_EQ(boat.x + 1380.0f - 12.5f, 1492.5f);
    EXPECT_NEAR(boat.y - 12.5f, 129.1667f, 1e-3);
    const D3DXVECTOR2 centre = GetRadarFish(8);
    EXPECT_FLOAT_EQ(centre.x, 125.0f);
    EXPECT_FLOAT_EQ(centre.y, 125.0f);
    // Fish 4 at (0, 120): +z is up on the radar.
    EXPECT_FLOAT_EQ(GetRadarFish(4).y, 25.0f);
    // Fish 2 at (-120, 0).
    EXPECT_FLOAT_EQ(GetRadarFish(2).x, 25.0f);
    // The boat marker follows the boat.
    Steps(200, {DIK_W});
    UpdateRadar();
    EXPECT_LT(GetRadarPlayer().y, boat.y);
    UninitRadar();
}

TEST_F(BoatTest, FishStandAtTheirPlacesWithTheirKindsPitch) {
    UpdateFishGame1();
    struct Expect {
        int index;
        float x, y, z;   // manta-men 1.5 below their place
        float sinPitch;  // row 2 of RotationX: (0, cos, sin)
    } expect[] = {
        {0, 100.0f, 0.5f, 0.0f, 1.0f},     // tuna-man, pitch pi/2
        {8, 0.0f, 0.5f, 0.0f, 1.0f},       // the shark, pi/2
        {9, -60.0f, -1.0f, 60.0f, -1.0f},  // manta-men, 3 pi/2
        {12, 60.0f, -1.0f, -60.0f, -1.0f},
    };
    for (const Expect& e : expect) {
        SCOPED_TRACE(e.index);
        const D3DXMATRIX& m = GetFish()[e.index].mtxWorld;
        EXPECT_FLOAT_EQ(m._41, e.x);
        EXPECT_FLOAT_EQ(m._42, e.y);
        EXPECT_FLOAT_EQ(m._43, e.z);
        EXPECT_NEAR(m._22, 0.0f, 1e-6);
        EXPECT_NEAR(m._23, e.sinPitch, 1e-6);
        EXPECT_NEAR(m._32, -e.sinPitch, 1e-6);
        EXPECT_FLOAT_EQ(m._11, 1.0f);
    }
}

// The radar corner of the screen (x 1380..1679, y 0..299) as `draw` leaves it.
std::vector<uint32_t> RadarPixels(const std::function<void()>& draw) {
    LPDIRECT3DDEVICE9 device = GetDevice();
    device->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    draw();
    std::vector<uint32_t> pixels(300 * 300);
    EXPECT_TRUE(WinapiTest_ReadBackBuffer(device, 1380, 0, 300, 300, pixels.data()));
    device->EndScene();
    return pixels;
}

// The radar read back from the GL back end: a game of its own that draws.
class RadarPixelsTest : public SharedGameTest<GameHarness::kPixels> {
protected:
    void SetUpEach() override {
        InitFishGame1();
        InitPlayer();
    }
};

TEST_F(RadarPixelsTest, RadarDrawsTheArrowAndMarkersOnTheirPixels) {
    InitRadar();
    UpdateRadar();
    const std::vector<uint32_t> drawn = RadarPixels(DrawRadar);
    UninitRadar();
    // Radar points worked out from the fish table: ((x + 150) x 5/6, (150 - z) x 5/6).
    const float marks[13][2] = {
        {208.333333f, 125.0f}, {191.666667f, 125.0f}, {25.0f, 125.0f},       {41.666667f, 125.0f}, {125.0f, 25.0f},
        {125.0f, 41.666667f},  {125.0f, 208.333333f}, {125.0f, 191.666667f}, {125.0f, 125.0f},     {75.0f, 75.0f},
        {75.0f, 175.0f},       {175.0f, 75.0f},       {175.0f, 175.0f}};
    const std::vector<uint32_t> expected = RadarPixels([&marks] {
        DrawSprite(TEXTURE_RADERGRID, 1380.0f, 0.0f);
        // The boat at (0, -20) heading 0: radar point (125, 141.67), corner 12.5 up and left.
        DrawSpriteRotate(TEXTURE_CURSOL, 1492.5f, 129.166667f, 0, 0, 25, 25, 12.5f, 12.5f, 1.0f, 1.0f, 0.0f);
        for (const auto& m : marks) DrawSprite(TEXTURE_FISH, 1380.0f + m[0] - 12.5f, m[1] - 12.5f);
    });
    int off = 0;
    for (size_t i = 0; i < drawn.size(); i++) {
        for (int shift : {0, 8, 16, 24}) {
            const int a = (int)((drawn[i] >> shift) & 0xFF), b = (int)((expected[i] >> shift) & 0xFF);
            if (abs(a - b) > 2) {
                ++off;
                break;
            }
        }
    }
    EXPECT_EQ(off, 0) << "pixels of the radar that differ from the markers drawn by hand";
    // Not a blank comparison: the markers stand out from the bare grid.
    const std::vector<uint32_t> grid = RadarPixels([] { DrawSprite(TEXTURE_RADERGRID, 1380.0f, 0.0f); });
    EXPECT_NE(grid, expected);
}

}  // namespace
