// Fade alpha frame by frame, and the key-started scene change through a real
// keyboard device: its timeline and the keys that arrive during a fade.
#include <gtest/gtest.h>

#include <vector>

#include "app/fade.h"
#include "app/fade_testing.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "ci_skip.h"
#include "device/keyboard.h"
#include "dinput_testing.h"
#include "game_keyboard_suite.h"
#include "win32_testing.h"

namespace {

// Runs a fade to its end; returns the alphas after each step.
std::vector<int> RunFade(bool out, int step) {
    std::vector<int> alphas;
    StartFade(out, step);
    while (IsFading() && alphas.size() < 1000) {
        UpdateFade();
        alphas.push_back(GetFadeAlpha());
    }
    return alphas;
}

TEST(FadeAlpha, StepsOfFifteenTakeSeventeenFramesEachWay) {
    InitFade();
    std::vector<int> out = RunFade(true, 15), in = RunFade(false, 15);
    ASSERT_EQ(out.size(), 17u);
    ASSERT_EQ(in.size(), 17u);
    for (int i = 0; i < 17; i++) {
        EXPECT_EQ(out[i], 15 * (i + 1));
        EXPECT_EQ(in[i], 240 - 15 * i);
    }
}

TEST(FadeAlpha, OddOrNonPositiveStepsStillEndExactlyAtTheLimits) {
    std::vector<int> out = RunFade(true, 40), in = RunFade(false, 40);
    EXPECT_EQ(out, (std::vector<int>{40, 80, 120, 160, 200, 240, 255}));
    EXPECT_EQ(in, (std::vector<int>{215, 175, 135, 95, 55, 15, 0}));
    EXPECT_EQ(RunFade(true, 0).back(), 255);
    EXPECT_EQ(RunFade(false, -15).back(), 0);
    EXPECT_FALSE(IsFading());
}

class FadeRequestTest : public GameKeyboardSuite {
protected:
    void SetUpEach() override {
        InitFade();
        SetNextScene(scene_ = GetScene());
    }
    void TearDownEach() override {
        WinapiTest_ForceKeyboardFocus(false, false);
        SetNextScene(GetScene());
    }
    // One frame of the main loop without the scene: keyboard, request, fade.
    void Frame(int spaceDown) {
        if (spaceDown >= 0) WinapiTest_SetKey(DIK_SPACE, spaceDown != 0);
        UpdateKeyboard();
        RequestSceneChange(SCENE_GAME1, DIK_SPACE, 15);
        UpdateFade();
    }
    int scene_ = 0;
};

TEST_F(FadeRequestTest, SpaceFadesOutSwitchesAtBlackAndFadesIn) {
    Frame(0);
    EXPECT_EQ(GetFadeAlpha(), 0);
    Frame(1);  // frame n
    EXPECT_EQ(GetFadeAlpha(), 15);
    for (int n = 1; n <= 16; n++) {
        Frame(0);
        EXPECT_EQ(GetFadeAlpha(), 15 * (n + 1));
        EXPECT_EQ(GetNextScene(), scene_);
    }
    EXPECT_FALSE(IsFading());
    Frame(0);  // frame n+17: the next scene is asked for at full black
    EXPECT_EQ(GetNextScene(), SCENE_GAME1);
    EXPECT_EQ(GetFadeAlpha(), 240);
    SetNextScene(scene_);
    for (int n = 18; n <= 33; n++) Frame(0);
    EXPECT_EQ(GetFadeAlpha(), 0);
    EXPECT_FALSE(IsFading());
    EXPECT_EQ(GetNextScene(), scene_);
}

TEST_F(FadeRequestTest, KeysDuringEitherFadeAreIgnored) {
    Frame(1);
    Frame(0);
    Frame(1);  // pressed anew during the fade-out
    EXPECT_EQ(GetFadeAlpha(), 45);
    while (IsFading()) Frame(-1);
    Frame(-1);  // the fade-in starts with Space held
    ASSERT_EQ(GetNextScene(), SCENE_GAME1);
    SetNextScene(scene_);
    Frame(0);
    Frame(1);  // pressed anew during the fade-in
    while (IsFading()) Frame(-1);
    for (int i = 0; i < 5; i++) Frame(1);  // still held afterwards
    EXPECT_FALSE(IsSceneChangeRequested());
    EXPECT_EQ(GetFadeAlpha(), 0);
    Frame(0);
    Frame(1);  // only a new press starts the next change
    EXPECT_TRUE(IsSceneChangeRequested());
    EXPECT_EQ(GetFadeAlpha(), 15);
}

}  // namespace
