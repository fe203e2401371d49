// The fishing fight of stage two: charge and cast, flight, nibbles, strike,
// reel power, the fish's pull and turns, tension, the endings, HP and score,
// and how the fish swims — the angler and the fish updated in the stage's
// order through the real keyboard layer.
#include <gtest/gtest.h>

#include "app/renderer.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "ci_skip.h"
#include "device/keyboard.h"
#include "game/fish.h"
#include "game/fish_testing.h"
#include "game/hpgauge.h"
#include "game/hpgauge_testing.h"
#include "game/player.h"
#include "game/player_testing.h"
#include "harness.h"
#include "shared_game.h"
#include "winapi_testing.h"

namespace {

class FightTest : public SharedGameTest<> {
protected:
    void SetUpEach() override { StartAttempt(FISHKIND_TUNAMAN); }

    // A new attempt against a kind, as stage two begins it.
    void StartAttempt(int kind) {
        InitFishGame1();
        InitPlayer();
        // Meet a fish of that kind to record it.
        const int index = kind == FISHKIND_TUNAMAN ? 0 : (kind == FISHKIND_SHARK ? 8 : 12);
        GetFish()[index].pos = GetPlayerPosition();
        UpdateFishGame1();
        DrawPlayerGame1();
        InitPlayer();
        InitFishGame2();
        SetNextScene(GetScene());
    }

    // One frame of the fight, in the stage's order: the fish, then the angler,
    // then the draw that places the float.
    void Step(const KeySet& keys) {
        s_harness.SetKeys(keys);
        UpdateKeyboard();
        UpdateFishGame2();
        UpdatePlayerGame2();
        DrawPlayerGame2();
    }
    void Steps(int n, const KeySet& keys) {
        for (int i = 0; i < n; i++) Step(keys);
    }
    bool EndRequested() { return GetNextScene() == SCENE_RESULT && GetScene() != SCENE_RESULT; }

    // Charge, cast, flight and nibbles: up to the bite, with Space not yet pressed.
    void CastAndWaitForBite() {
        Steps(201, {DIK_UP});
        while (GetNibbleCount() < 3) Step({});
    }
    void Strike() {
        CastAndWaitForBite();
        Step({DIK_SPACE});
        ASSERT_TRUE(GetHookFlag());
    }
    // The key that pulls against the fish right now.
    BYTE GoodSide() { return GetFishTurned() ? DIK_RIGHT : DIK_LEFT; }
    BYTE WrongSide() { return GetFishTurned() ? DIK_LEFT : DIK_RIGHT; }
    // Reels with the good side, chosen anew every frame.
    void ReelGood(int n) {
        for (int i = 0; i < n; i++) Step({DIK_DOWN, GoodSide()});
    }
    // Reels hard without breaking the line: builds up power with good pulls,
    // then holds Down alone, which keeps power and tension as they are.
    void ReelToCatch() {
        if (GetTension() < 150) {
            Step({DIK_DOWN, GoodSide()});
        } else {
            Step({DIK_DOWN});
        }
    }
};

TEST_F(FightTest, CastGoesOffAfterTwoHundredFramesOfUp) {
    Steps(200, {DIK_UP});
    EXPECT_FLOAT_EQ(GetCastPower(), 100.0f);
    EXPECT_FALSE(GetIsCast());
    Step({DIK_UP});
    EXPECT_TRUE(GetIsCast());
    EXPECT_FLOAT_EQ(GetCastPower(), 0.0f);
    EXPECT_FLOAT_EQ(GetCastFlight(), 0.5f);

    // Releasing Up keeps the charge.
    InitPlayer();
    Steps(50, {DIK_UP});
    Steps(30, {});
    EXPECT_FLOAT_EQ(GetCastPower(), 25.0f);
}

TEST_F(FightTest, FlightFramesCountedFromTheCast) {
    Steps(200, {DIK_UP});
    Step({DIK_UP});  // the cast frame: first flight step
    ASSERT_TRUE(GetIsCast());
    int frames = 1;
    while (!GetFloatLanded()) {
        Step({});
        frames++;
    }
    EXPECT_EQ(frames, 62);
    EXPECT_FLOAT_EQ(GetCastFlight(), 30.5f);
    EXPECT_FLOAT_EQ(GetReelAngle(), 61 * 20.0f);
    // It lands at z = 30.5 / 3 - 17.8.
    EXPECT_NEAR(GetFloatMatrix()._43, 30.5 / 3.0 - 17.8, 1e-5);
}

TEST_F(FightTest, ThreeNibblesThenTheBite) {
    Steps(200, {DIK_UP});
    Step({DIK_UP});
    while (!GetFloatLanded()) Step({});
    // The landing frame already nibbles.
    int frames = 1;
    float lowest = GetFloatBob();
    while (GetNibbleCount() < 3) {
        Step({});
        frames++;
        lowest = std::min(lowest, GetFloatBob());
        ASSERT_LT(frames, 1000);
    }
    EXPECT_EQ(frames, 336);
    EXPECT_NEAR(lowest, -0.3f, 0.011f);
    // Then the float is pulled under and stays there.
    Steps(100, {});
    EXPECT_LT(GetFloatBob(), -1.0f);
    EXPECT_GT(GetFloatBob(), -1.1f);
    EXPECT_FALSE(GetHookFlag());
}

TEST_F(FightTest, SpaceOnlyStrikesAfterTheThirdNibble) {
    Steps(201, {DIK_UP});
    while (!GetFloatLanded()) Step({DIK_SPACE});
    while (GetNibbleCount() < 2) {
        Step({DIK_SPACE});
        Step({});
        ASSERT_FALSE(GetHookFlag());
    }
    while (GetNibbleCount() < 3) Step({});
    ASSERT_FALSE(GetHookFlag());
    // Even after a long wait the strike hooks.
    Steps(2000, {});
    EXPECT_FALSE(GetHookFlag());
    Step({DIK_SPACE});
    EXPECT_TRUE(GetHookFlag());
    // The fish pulls from the frame of the strike itself.
    EXPECT_FLOAT_EQ(GetFloatDrift(), 0.05f);
    EXPECT_EQ(GetHookTimer(), 1);
}

TEST_F(FightTest, ReelPowerSumsInSinglePrecision) {
    Strike();
    std::vector<float> power;
    std::vector<int> damage;
    for (int i = 0; i < 41; i++) {
        Step({DIK_DOWN, GoodSide()});
        power.push_back(GetReelPowerValue());
        damage.push_back(GetReelPower());
    }
    EXPECT_FLOAT_EQ(power[18], 0.95000017f);
    EXPECT_EQ(damage[18], 0);
    EXPECT_EQ(power[19], 1.0000001f);
    EXPECT_EQ(damage[19], 1);
    EXPECT_EQ(power[39], 1.9999992f);
    EXPECT_EQ(damage[39], 1);
    EXPECT_EQ(power[40], 2.0499992f);
    EXPECT_EQ(damage[40], 2);
    // Letting go of Down drops the power and lowers the tension.
    const int tension = GetTension();
    Step({});
    EXPECT_FLOAT_EQ(GetReelPowerValue(), 0.0f);
    EXPECT_EQ(GetTension(), tension - 1);
}

TEST_F(FightTest, HpFallsByLastFramesReelPower) {
    Strike();
    const int hp = GetFishHp(FISHKIND_TUNAMAN);
    EXPECT_EQ(hp, 500);
    Steps(20, {DIK_DOWN, GoodSide()});  // power 1.0000001 after the 20th
    EXPECT_EQ(GetFishHp(FISHKIND_TUNAMAN), hp);
    Step({DIK_DOWN, GoodSide()});  // the fish takes the 20th frame's power
    EXPECT_EQ(GetFishHp(FISHKIND_TUNAMAN), hp - 1);
    // Down alone keeps the power and the tension, and the damage goes on.
    const int tension = GetTension();
    Steps(10, {DIK_DOWN});
    EXPECT_EQ(GetTension(), tension);
    EXPECT_EQ(GetFishHp(FISHKIND_TUNAMAN), hp - 11);
}

TEST_F(FightTest, DoingNothingTheFishEscapesInThe401stFrame) {
    CastAndWaitForBite();
    Step({DIK_SPACE});
    int frames = 1;
    while (!EndRequested()) {
        Step({});
        frames++;
        ASSERT_LT(frames, 1000);
    }
    EXPECT_EQ(frames, 401);
    EXPECT_GE(GetFloatDrift(), 20.0f);
    EXPECT_EQ(GetCatchScore(), 0);
}

TEST_F(FightTest, ThirtyGoodPullsTurnTheFish) {
    Strike();
    for (int i = 0; i < 29; i++) Step({DIK_DOWN, DIK_LEFT});
    EXPECT_FALSE(GetFishTurned());
    EXPECT_EQ(GetPullCount(), 29);
    Step({DIK_DOWN, DIK_LEFT});
    EXPECT_TRUE(GetFishTurned());
    EXPECT_EQ(GetPullCount(), 0);
    EXPECT_EQ(GetRodSwing(), -30);
    // Now Right is the good side and the drift runs back.
    const float drift = GetFloatDrift();
    Step({DIK_DOWN, DIK_RIGHT});
    EXPECT_EQ(GetPullCount(), 1);
    EXPECT_LT(GetFloatDrift(), drift);
    EXPECT_EQ(GetRodSwing(), 30);
    // The wrong side raises the tension by 2 and counts no pull.
    const int tension = GetTension();
    Step({DIK_DOWN, DIK_LEFT});
    EXPECT_EQ(GetTension(), tension + 2);
    EXPECT_EQ(GetPullCount(), 1);
}

TEST_F(FightTest, GoodPullsRockTheFloat) {
    Strike();
    float highest = 0.0f, lowest = 0.0f;
    for (int i = 0; i < 25; i++) {
        Step({DIK_DOWN, GoodSide()});
        highest = std::max(highest, GetFloatWobble());
        lowest = std::min(lowest, GetFloatWobble());
    }
    EXPECT_NEAR(highest, 0.1f, 0.051f);
    EXPECT_NEAR(lowest, -0.1f, 0.051f);
}

TEST_F(FightTest, TensionBreaksTheLineAtTwoHundred) {
    StartAttempt(FISHKIND_SHARK);  // enough HP to outlast the test
    Strike();
    // The good side raises the tension by one per frame.
    ReelGood(100);
    EXPECT_EQ(GetTension(), 100);
    ReelGood(99);
    EXPECT_EQ(GetTension(), 199);
    EXPECT_FALSE(EndRequested());
    ReelGood(1);
    EXPECT_EQ(GetTension(), 200);
    EXPECT_TRUE(EndRequested()) << "the line breaks at exactly 200";
    EXPECT_EQ(GetCatchScore(), 0);
}

TEST_F(FightTest, StrikeCutInShowsForTheFirstSixtyFightFrames) {
    Strike();  // the strike's frame is the fight's first
    LPDIRECT3DDEVICE9 device = GetDevice();
    ASSERT_NE(device, nullptr);
    auto drawsOfAFrame = [device] {
        const uint64_t before = WinapiTest_DrawCallCount(device);
        DrawPlayerGame2();
        return WinapiTest_DrawCallCount(device) - before;
    };
    const uint64_t first = drawsOfAFrame();
    Steps(59, {});
    EXPECT_EQ(drawsOfAFrame(), first) << "still shown in the 60th fight frame";
    Step({});
    EXPECT_EQ(drawsOfAFrame(), first - 1) << "gone from the 61st";
    Steps(5, {});
    EXPECT_EQ(drawsOfAFrame(), first - 1);
}

TEST_F(FightTest, BreakWarningDrawnFromTensionOneSixty) {
    StartAttempt(FISHKIND_SHARK);
    Strike();
    Steps(65, {});  // past the cut-in
    ReelGood(159);
    ASSERT_EQ(GetTension(), 159);
    LPDIRECT3DDEVICE9 device = GetDevice();
    ASSERT_NE(device, nullptr);
    const uint64_t before = WinapiTest_DrawCallCount(device);
    DrawPlayerGame2();
    const uint64_t at159 = WinapiTest_DrawCallCount(device) - before;
    Step({DIK_DOWN, GoodSide()});
    ASSERT_EQ(GetTension(), 160);
    const uint64_t mid = WinapiTest_DrawCallCount(device);
    DrawPlayerGame2();
    const uint64_t at160 = WinapiTest_DrawCallCount(device) - mid;
    EXPECT_EQ(at160, at159 + 1);
}

TEST_F(FightTest, EachKindHasItsHpAndScore) {
    const int hp[FISHKIND_MAX] = {500, 2000, 1000};
    const int score[FISHKIND_MAX] = {1000, 5000, 3000};
    for (int kind = 0; kind < FISHKIND_MAX; kind++) {
        StartAttempt(kind);
        EXPECT_EQ(GetFishKind(), kind);
        EXPECT_EQ(GetFishHp(kind), hp[kind]);
        EXPECT_EQ(GetHpGaugeMax(), hp[kind]);
        EXPECT_EQ(GetHpGaugeLength((float)hp[kind]), 1000);
        EXPECT_EQ(GetHpGaugeLength(hp[kind] / 2.0f), 500);
        Strike();
        int frames = 0;
        while (!EndRequested()) {
            ReelToCatch();
            ASSERT_LT(++frames, 5000) << "kind " << kind;
        }
        EXPECT_LE(GetFishHp(kind), 0) << "kind " << kind;
        EXPECT_EQ(GetCatchScore(), score[kind]) << "kind " << kind;
    }
}

TEST_F(FightTest, AFailedAttemptScoresZero) {
    // Catch a manta-man first: 3000.
    StartAttempt(FISHKIND_MANTAMAN);
    Strike();
    while (!EndRequested()) ReelToCatch();
    ASSERT_EQ(GetCatchScore(), 3000);
    // The next attempt breaks the line: the earlier catch is not reported.
    StartAttempt(FISHKIND_TUNAMAN);
    EXPECT_EQ(GetCatchScore(), 0);
    Strike();
    while (!EndRequested()) Step({DIK_DOWN, WrongSide()});
    EXPECT_EQ(GetCatchScore(), 0);
}

TEST_F(FightTest, FishSwimsBetweenMinusTenAndTen) {
    EXPECT_FLOAT_EQ(GetSwimOffset(), 0.0f);
    Step({});
    EXPECT_FLOAT_EQ(GetSwimRotY(), -90.0f);  // towards +x
    EXPECT_FALSE(GetSwimBack());
    int frames = 1;
    while (!GetSwimBack()) {
        Step({});
        frames++;
    }
    // 200 frames to +10, turning in the next.
    EXPECT_EQ(frames, 201);
    EXPECT_FLOAT_EQ(GetSwimRotY(), 90.0f);
    float lowest = GetSwimOffset();
    while (GetSwimBack()) {
        Step({});
        lowest = std::min(lowest, GetSwimOffset());
    }
    EXPECT_NEAR(lowest, -10.0f, 0.06f);
    EXPECT_FLOAT_EQ(GetSwimRotY(), -90.0f);
}

TEST_F(FightTest, FishDivesWhenTheFloatLandsAndHangsAtItWhenHooked) {
    const D3DXVECTOR3 pos = GetFish()[0].pos;
    Step({});
    EXPECT_NEAR(GetFish()[0].mtxWorld._42, pos.y, 1e-5);  // afloat
    EXPECT_NEAR(GetFish()[0].mtxWorld._41, pos.x + GetSwimOffset(), 1e-5);
    Steps(201, {DIK_UP});
    while (!GetFloatLanded()) Step({});
    Step({});
    EXPECT_NEAR(GetFish()[0].mtxWorld._42, pos.y - 3.0f, 1e-5);
    while (GetNibbleCount() < 3) Step({});
    Step({DIK_SPACE});
    Step({});
    const D3DXMATRIX floatMatrix = GetFloatMatrix();
    // Hooked: the fish's origin is at the float (rotations don't move the origin).
    // The matrix is from the previous frame's draw, so compare the z, which stays put.
    EXPECT_NEAR(GetFish()[0].mtxWorld._43, floatMatrix._43, 1e-5);
    // After a while the float has drifted; the fish goes with it, a frame behind.
    Steps(100, {});
    EXPECT_NEAR(GetFish()[0].mtxWorld._41, GetFloatMatrix()._41, 0.051f);
    EXPECT_NEAR(GetFish()[0].mtxWorld._42, GetFloatMatrix()._42, 0.06f);

    // A manta-man floats 1.5 below its position, 4.5 once the float has landed.
    StartAttempt(FISHKIND_MANTAMAN);
    Step({});
    EXPECT_NEAR(GetFish()[12].mtxWorld._42, 0.5f - 1.5f, 1e-5);
    Steps(201, {DIK_UP});
    while (!GetFloatLanded()) Step({});
    Step({});
    EXPECT_NEAR(GetFish()[12].mtxWorld._42, 0.5f - 4.5f, 1e-5);
}

TEST_F(FightTest, SwimAnimationPlaysOneToSixAndBack) {
    const int expected[10] = {1, 2, 3, 4, 5, 6, 5, 4, 3, 2};
    for (int i = 0; i < 10; i++) EXPECT_EQ(GetFishModel(FISHKIND_TUNAMAN, i), expected[i]);
    EXPECT_EQ(GetFishModel(FISHKIND_SHARK, 5), 19);
    EXPECT_EQ(GetFishModel(FISHKIND_MANTAMAN, 9), 8);
    // The counter runs 1..1000, each step lasting 8 frames; at the wrap the
    // step jumps from 5 (1000 / 8 = 125) straight to 0.
    InitFishGame1();
    for (int i = 0; i < 999; i++) UpdateFishGame1();
    EXPECT_EQ(GetAnimCounter(), 999);
    UpdateFishGame1();
    EXPECT_EQ(GetAnimCounter(), 1000);
    EXPECT_EQ(GetAnimFrame(), 5);
    UpdateFishGame1();
    EXPECT_EQ(GetAnimCounter(), 1);
    EXPECT_EQ(GetAnimFrame(), 0);
}

}  // namespace
