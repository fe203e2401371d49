// Fade and scene-change request: the alpha frame by frame, the timeline of a
// key-started change, and keys that arrive while a fade runs. Keys go through a
// real keyboard device created for a game window.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "app/fade.h"
#include "app/main.h"
#include "app/scene.h"
#include "device/keyboard.h"
#include "dinput_testing.h"
#include "win32_testing.h"

namespace {

TEST(FadeAlpha, FadeOutAndInTakeSeventeenFramesOfFifteen) {
    InitFade();
    EXPECT_EQ(GetFadeAlpha(), 0);
    EXPECT_FALSE(IsFading());

    StartFade(true, 15);
    EXPECT_TRUE(IsFading());
    EXPECT_EQ(GetFadeAlpha(), 0);
    for (int frame = 1; frame <= 17; frame++) {
        UpdateFade();
        EXPECT_EQ(GetFadeAlpha(), 15 * frame) << "fade-out frame " << frame;
        EXPECT_EQ(IsFading(), frame < 17) << "fade-out frame " << frame;
    }
    // An ended fade stays where it ended.
    UpdateFade();
    EXPECT_EQ(GetFadeAlpha(), 255);

    StartFade(false, 15);
    EXPECT_TRUE(IsFading());
    EXPECT_EQ(GetFadeAlpha(), 255);
    for (int frame = 1; frame <= 17; frame++) {
        UpdateFade();
        EXPECT_EQ(GetFadeAlpha(), 255 - 15 * frame) << "fade-in frame " << frame;
        EXPECT_EQ(IsFading(), frame < 17) << "fade-in frame " << frame;
    }
    UpdateFade();
    EXPECT_EQ(GetFadeAlpha(), 0);
}

TEST(FadeAlpha, StepThatDoesNotDivide255EndsExactlyAtTheLimits) {
    InitFade();
    StartFade(true, 40);
    int frames = 0;
    while (IsFading() && frames < 100) {
        UpdateFade();
        frames++;
        ASSERT_LE(GetFadeAlpha(), 255);
    }
    EXPECT_EQ(frames, 7);  // 40 * 6 = 240, then clamped at 255
    EXPECT_EQ(GetFadeAlpha(), 255);

    StartFade(false, 40);
    frames = 0;
    while (IsFading() && frames < 100) {
        UpdateFade();
        frames++;
        ASSERT_GE(GetFadeAlpha(), 0);
    }
    EXPECT_EQ(frames, 7);
    EXPECT_EQ(GetFadeAlpha(), 0);
}

TEST(FadeAlpha, StepBelowOneStillEnds) {
    InitFade();
    StartFade(false, 0);
    int frames = 0;
    while (IsFading() && frames < 1000) {
        UpdateFade();
        frames++;
    }
    EXPECT_FALSE(IsFading());
    EXPECT_EQ(GetFadeAlpha(), 0);

    StartFade(true, -15);
    frames = 0;
    while (IsFading() && frames < 1000) {
        UpdateFade();
        frames++;
    }
    EXPECT_FALSE(IsFading());
    EXPECT_EQ(GetFadeAlpha(), 255);
}

TEST(FadeAlpha, InitClearsARunningFade) {
    StartFade(true, 15);
    UpdateFade();
    InitFade();
    EXPECT_FALSE(IsFading());
    EXPECT_EQ(GetFadeAlpha(), 0);
    UpdateFade();
    EXPECT_EQ(GetFadeAlpha(), 0);
}

class FadeRequestTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!getenv("DISPLAY") && !getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
        WinapiTest_InstallMessageBoxHook(IDOK);
        RegisterGameWindowClass(NULL);
        window_ = CreateGameWindow(NULL);
        if (window_ && !InitKeyboard(NULL, window_)) {
            window_ = NULL;
        }
        WinapiTest_RemoveMessageBoxHook();
    }
    static void TearDownTestSuite() { UninitKeyboard(); }

    void SetUp() override {
        if (!window_) GTEST_SKIP() << "no window or keyboard device can be made here";
        WinapiTest_ForceKeyboardFocus(true, true);
        WinapiTest_ReleaseAllKeys();
        UpdateKeyboard();
        UpdateKeyboard();
        InitFade();
        SetNextScene(GetScene());
        scene_ = GetScene();
    }
    void TearDown() override {
        WinapiTest_ReleaseAllKeys();
        WinapiTest_ForceKeyboardFocus(false, false);
        SetNextScene(GetScene());
    }

    // One frame as the main loop runs it, without the scene itself: keyboard,
    // the scene's request, the fade step.
    void Frame() {
        UpdateKeyboard();
        RequestSceneChange(SCENE_GAME1, DIK_SPACE, 15);
        UpdateFade();
    }

    static HWND window_;
    int scene_ = SCENE_TITLE;
};
HWND FadeRequestTest::window_ = NULL;

TEST_F(FadeRequestTest, SpaceFadesOutSwitchesAtBlackAndFadesIn) {
    Frame();
    EXPECT_EQ(GetFadeAlpha(), 0);
    EXPECT_FALSE(IsFading());

    // Frame n: Space goes down.
    WinapiTest_SetKey(DIK_SPACE, true);
    Frame();
    EXPECT_EQ(GetFadeAlpha(), 15);
    EXPECT_TRUE(IsSceneChangeRequested());
    WinapiTest_SetKey(DIK_SPACE, false);

    // Frames n+1 .. n+16: darker by 15 a frame, no scene asked for yet.
    for (int frame = 1; frame <= 16; frame++) {
        Frame();
        EXPECT_EQ(GetFadeAlpha(), 15 + 15 * frame) << "frame n+" << frame;
        EXPECT_EQ(GetNextScene(), scene_) << "frame n+" << frame;
    }
    EXPECT_FALSE(IsFading());
    EXPECT_EQ(GetFadeAlpha(), 255);

    // Frame n+17: at full black the next scene is asked for and the fade-in starts.
    Frame();
    EXPECT_EQ(GetNextScene(), SCENE_GAME1);
    EXPECT_FALSE(IsSceneChangeRequested());
    EXPECT_EQ(GetFadeAlpha(), 240);
    SetNextScene(scene_);

    // Frames n+18 .. n+33: back to clear.
    for (int frame = 18; frame <= 33; frame++) {
        Frame();
        EXPECT_EQ(GetFadeAlpha(), 240 - 15 * (frame - 17)) << "frame n+" << frame;
    }
    EXPECT_EQ(GetFadeAlpha(), 0);
    EXPECT_FALSE(IsFading());
    EXPECT_EQ(GetNextScene(), scene_);
}

TEST_F(FadeRequestTest, KeysDuringTheFadesAreIgnored) {
    WinapiTest_SetKey(DIK_SPACE, true);
    Frame();
    ASSERT_TRUE(IsSceneChangeRequested());
    // Pressed anew during the fade-out: no second fade, no early switch.
    WinapiTest_SetKey(DIK_SPACE, false);
    Frame();
    WinapiTest_SetKey(DIK_SPACE, true);
    Frame();
    EXPECT_EQ(GetFadeAlpha(), 45);
    for (int frame = 0; frame < 14; frame++) Frame();
    ASSERT_EQ(GetFadeAlpha(), 255);
    ASSERT_FALSE(IsFading());

    // Space is still held when the fade-in starts and all through it.
    Frame();
    ASSERT_EQ(GetNextScene(), SCENE_GAME1);
    SetNextScene(scene_);
    for (int frame = 0; frame < 5; frame++) Frame();
    // Let go and pressed again while the fade-in runs: ignored too.
    WinapiTest_SetKey(DIK_SPACE, false);
    Frame();
    WinapiTest_SetKey(DIK_SPACE, true);
    Frame();
    while (IsFading()) Frame();
    EXPECT_EQ(GetFadeAlpha(), 0);

    // Held after the fade-in ended: still nothing, the key must go down again.
    for (int frame = 0; frame < 10; frame++) {
        Frame();
        EXPECT_FALSE(IsFading());
        EXPECT_FALSE(IsSceneChangeRequested());
        EXPECT_EQ(GetFadeAlpha(), 0);
    }
    EXPECT_EQ(GetNextScene(), scene_);

    WinapiTest_SetKey(DIK_SPACE, false);
    Frame();
    WinapiTest_SetKey(DIK_SPACE, true);
    Frame();
    EXPECT_TRUE(IsSceneChangeRequested());
    EXPECT_EQ(GetFadeAlpha(), 15);
}

TEST_F(FadeRequestTest, OtherKeysDoNotStartTheChange) {
    WinapiTest_SetKey(DIK_RETURN, true);
    WinapiTest_SetKey(DIK_UP, true);
    Frame();
    Frame();
    EXPECT_FALSE(IsSceneChangeRequested());
    EXPECT_EQ(GetFadeAlpha(), 0);
}

}  // namespace
