// The two game stages as whole scenes: the order in which their Update and
// Draw run the modules, seen in what each module leaves behind and in the
// device's record of the draw calls.
#include <gtest/gtest.h>

#include "app/renderer.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "ci_skip.h"
#include "device/keyboard.h"
#include "game/fish.h"
#include "game/fish_testing.h"
#include "game/game1.h"
#include "game/game2.h"
#include "game/player.h"
#include "game/player_testing.h"
#include "game/radar.h"
#include "game/radar_testing.h"
#include "harness.h"
#include "shared_game.h"
#include "ui2d/texture.h"
#include "winapi_testing.h"
#include "world3d/camera.h"
#include "world3d/camera_testing.h"
#include "world3d/model.h"
#include "world3d/model_testing.h"

namespace {

class StageTest : public SharedGameTest<> {
protected:
    // The draw calls of one stage Draw, in order.
    static std::vector<WinapiDrawRecord> DrawsOf(void (*draw)(void)) {
        LPDIRECT3DDEVICE9 device = GetDevice();
        device->Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        WinapiTest_RecordDraws(device, true);
        draw();
        WinapiTest_RecordDraws(device, false);
        device->EndScene();
        return WinapiTest_RecordedDraws(device);
    }
    static bool IsTexture(const WinapiDrawRecord& d, int texture) { return d.texture == GetTexture(texture); }
    // The ground, the mountains and the sky, first of everything, each one
    // strip with its own texture (slots 0, 1, 2: textures 0, 4, 1).
    static void ExpectSceneryFirst(const std::vector<WinapiDrawRecord>& draws) {
        ASSERT_GE(draws.size(), 3u);
        const UINT triangles[3] = {66, 24, 876};
        const int textures[3] = {0, 4, 1};
        for (int i = 0; i < 3; i++) {
            SCOPED_TRACE(i);
            EXPECT_EQ(draws[i].type, D3DPT_TRIANGLESTRIP);
            EXPECT_EQ(draws[i].primitives, triangles[i]);
            EXPECT_NE(draws[i].texture, nullptr);
            EXPECT_TRUE(IsTexture(draws[i], textures[i]));
        }
    }
    // Where the water's one strip of 18000 triangles is among the draws.
    static size_t WaterAt(const std::vector<WinapiDrawRecord>& draws) {
        size_t found = draws.size();
        for (size_t i = 0; i < draws.size(); i++) {
            if (draws[i].primitives == 18000) {
                EXPECT_EQ(found, draws.size()) << "the water is drawn once";
                EXPECT_EQ(draws[i].type, D3DPT_TRIANGLESTRIP);
                found = i;
            }
        }
        return found;
    }
    // True when the draws from `at` on are a model's subsets in order: each
    // one list of its faces with its material's texture (the model loaded).
    static bool IsModelDraw(const std::vector<WinapiDrawRecord>& draws, size_t at, int model) {
        LPD3DXMESH mesh = GetModelMesh(model);
        DWORD subsets = 0;
        if (!mesh || FAILED(mesh->GetAttributeTable(NULL, &subsets)) || subsets == 0) return false;
        std::vector<D3DXATTRIBUTERANGE> table(subsets);
        mesh->GetAttributeTable(table.data(), &subsets);
        if (at + subsets > draws.size()) return false;
        for (DWORD i = 0; i < subsets; i++) {
            const WinapiDrawRecord& d = draws[at + i];
            if (d.type != D3DPT_TRIANGLELIST || d.primitives != table[i].FaceCount ||
                d.texture != GetModelTexture(model, table[i].AttribId))
                return false;
        }
        return true;
    }
    static DWORD SubsetsOf(int model) { return GetModelMaterialCount(model); }
};

TEST_F(StageTest, StageOneUpdatesCameraBeforeBoatAndRadarAfterIt) {
    InitGame1();
    s_harness.SetKeys({DIK_W});
    UpdateKeyboard();
    const D3DXVECTOR3 before = GetPlayerPosition();
    UpdateGame1();
    const D3DXVECTOR3 after = GetPlayerPosition();
    ASSERT_GT(after.z, before.z) << "W moved the boat";
    // The camera followed the boat as the previous frame left it: 6 behind, 3 up.
    EXPECT_FLOAT_EQ(GetCameraEye().z, before.z - 6.0f);
    // The radar shows where the boat is now: running it again changes nothing.
    const D3DXVECTOR2 mark = GetRadarPlayer();
    UpdateRadar();
    EXPECT_FLOAT_EQ(GetRadarPlayer().y, mark.y);
    s_harness.SetKeys({});
    UninitGame1();
}

TEST_F(StageTest, StageOneDrawsSceneryBoatFishWaterThenRadar) {
    InitGame1();
    UpdateGame1();
    const std::vector<WinapiDrawRecord> draws = DrawsOf(DrawGame1);
    ExpectSceneryFirst(draws);
    const size_t water = WaterAt(draws);
    ASSERT_LT(water, draws.size());
    // Between the sky and the water: the boat first, then the thirteen fish,
    // the shark first of them and the four manta-men last.
    EXPECT_TRUE(IsModelDraw(draws, 3, MODEL_PLAYER));
    EXPECT_TRUE(IsModelDraw(draws, 3 + SubsetsOf(MODEL_PLAYER), GetFishModel(FISHKIND_SHARK, 0)));
    const int manta = GetFishModel(FISHKIND_MANTAMAN, 0);
    ASSERT_GE(water, 3 + SubsetsOf(manta));
    EXPECT_TRUE(IsModelDraw(draws, water - SubsetsOf(manta), manta));
    // After the water, the radar: the grid, the boat's arrow, thirteen markers.
    ASSERT_EQ(draws.size() - water - 1, 15u);
    EXPECT_TRUE(IsTexture(draws[water + 1], TEXTURE_RADERGRID));
    EXPECT_TRUE(IsTexture(draws[water + 2], TEXTURE_CURSOL));
    for (size_t i = water + 3; i < draws.size(); i++) EXPECT_TRUE(IsTexture(draws[i], TEXTURE_FISH)) << i;
    UninitGame1();
}

// Stage two against a tuna-man, as the encounter in stage one starts it.
class StageTwoTest : public StageTest {
protected:
    void SetUp() override {
        StageTest::SetUp();
        if (IsSkipped()) return;
        InitFishGame1();
        InitPlayer();
        GetFish()[0].pos = GetPlayerPosition();
        UpdateFishGame1();
        DrawPlayerGame1();
        SetNextScene(GetScene());
        ASSERT_EQ(GetFishKind(), FISHKIND_TUNAMAN);
        InitGame2();
    }
    void TearDown() override {
        if (!IsSkipped()) UninitGame2();
        s_harness.SetKeys({});
    }
    void Frame(const KeySet& keys) {
        s_harness.SetKeys(keys);
        UpdateKeyboard();
        UpdateGame2();
    }
};

TEST_F(StageTwoTest, TheFishTakesLastFramesReelPowerBeforeTheAnglerReels) {
    for (int i = 0; i < 201; i++) Frame({DIK_UP});
    for (int i = 0; i < 2000 && GetNibbleCount() < 3; i++) Frame({});
    Frame({DIK_SPACE});
    ASSERT_TRUE(GetHookFlag());
    // Good pulls raise the reel power by 0.05 a frame; its whole part steps
    // from 0 to 1 on the 20th. The fish loses what the power was before the
    // frame, so the step shows one frame late.
    int steps = 0;
    for (int i = 0; i < 40; i++) {
        const int hp = GetFishHp(FISHKIND_TUNAMAN);
        const int power = GetReelPower();
        Frame({DIK_DOWN, (BYTE)(GetFishTurned() ? DIK_RIGHT : DIK_LEFT)});
        EXPECT_EQ(hp - GetFishHp(FISHKIND_TUNAMAN), power) << "frame " << i;
        if (GetReelPower() != power) steps++;
    }
    EXPECT_GE(steps, 1);
}

TEST_F(StageTwoTest, StageTwoDrawsSceneryWaterAnglerThenFish) {
    UpdateGame2();
    const std::vector<WinapiDrawRecord> draws = DrawsOf(DrawGame2);
    ExpectSceneryFirst(draws);
    // The water right after the sky, under the boat; the boat first after it.
    ASSERT_EQ(WaterAt(draws), 3u);
    ASSERT_GT(draws.size(), 6u);
    EXPECT_TRUE(IsModelDraw(draws, 4, MODEL_PLAYER));
    // Last the fish, then its HP gauge: the back, then the bar.
    const size_t n = draws.size();
    EXPECT_TRUE(IsTexture(draws[n - 2], TEXTURE_HPBACK));
    EXPECT_TRUE(IsTexture(draws[n - 1], TEXTURE_HPBAR));
    const int tuna = GetFishModel(FISHKIND_TUNAMAN, GetAnimFrame());
    ASSERT_GE(n, 2 + SubsetsOf(tuna));
    EXPECT_TRUE(IsModelDraw(draws, n - 2 - SubsetsOf(tuna), tuna));
}

}  // namespace
