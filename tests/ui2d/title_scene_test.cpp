// The title scene: bubbles, the 100-frame picture phases, the music of the
// first title frame, and Space leading to stage one through the fade.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/fade.h"
#include "app/fade_testing.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "ci_skip.h"
#include "device/keyboard.h"
#include "device/sound.h"
#include "device/sound_test_files.h"
#include "device/sound_testing.h"
#include "game_window.h"
#include "ui2d/texture.h"
#include "ui2d/title.h"
#include "ui2d/title_testing.h"
#include "winapi_testing.h"

namespace {

void RunTitleFrames(int frames) {
    for (int i = 0; i < frames; i++) UpdateTitle();
}

std::vector<TitleSprite> TitleSprites() {
    TitleSprite sprites[TITLE_SPRITE_MAX];
    int count = MakeTitleSprites(sprites);
    return std::vector<TitleSprite>(sprites, sprites + count);
}

int CountTexture(const std::vector<TitleSprite>& sprites, int texture) {
    int n = 0;
    for (const TitleSprite& s : sprites) n += (s.texture == texture);
    return n;
}

UINT64 SamplesPlayed(int index) {
    XAUDIO2_VOICE_STATE state = {};
    GetSoundVoice(index)->GetState(&state);
    return state.SamplesPlayed;
}

// Waits up to two seconds for a voice to play more than `after` samples.
bool PlaysBeyond(int index, UINT64 after) {
    for (int i = 0; i < 200; i++) {
        if (SamplesPlayed(index) > after) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Runs first among the title tests that run frames: the music flag lives for
// the whole process, as it does for the whole run of the game.
TEST(TitleMusic, FirstTitleFrameOfTheRunStartsTheMusicLaterVisitsDoNot) {
    if (IsTitleMusicStarted()) SKIP_OR_FAIL_IN_CI() << "an earlier test in this process already ran a title frame";
    ScratchWorkDir dir;
    dir.WriteAllSounds(22050 * 3);
    WinapiTest_InstallMessageBoxHook(IDOK);
    ASSERT_TRUE(InitSound(NULL));

    InitTitle();
    EXPECT_FALSE(IsTitleMusicStarted()) << "entering the scene alone starts nothing";
    UpdateTitle();
    EXPECT_TRUE(IsTitleMusicStarted());
    EXPECT_TRUE(PlaysBeyond(BGM_TITLE, 0)) << "the title music plays after the first frame";
    EXPECT_EQ(SamplesPlayed(BGM_GAME1), 0u);

    // A later visit (the result screen handed back) leaves the music alone:
    // stopped here, it stays stopped.
    StopSoundAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    UINT64 stoppedAt = SamplesPlayed(BGM_TITLE);
    InitTitle();
    RunTitleFrames(5);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(SamplesPlayed(BGM_TITLE), stoppedAt);

    UninitSound();
    WinapiTest_RemoveMessageBoxHook();
}

TEST(TitleScene, BubblesRiseAndRestartFromTheBottom) {
    InitTitle();
    RunTitleFrames(100);
    EXPECT_FLOAT_EQ(GetTitleBubbleY(0), 900.0f) << "bubble 0 still just below the screen";
    UpdateTitle();
    EXPECT_LT(GetTitleBubbleY(0), 900.0f) << "its top edge shows after 101 frames";

    InitTitle();
    RunTitleFrames(800);
    EXPECT_FLOAT_EQ(GetTitleBubbleY(5), -400.0f) << "exactly -400 is not yet above the top";
    UpdateTitle();
    EXPECT_FLOAT_EQ(GetTitleBubbleY(5), 1000.0f) << "restarts at 1000, the overshoot dropped";
    EXPECT_FLOAT_EQ(GetTitleBubbleX(5), 1000.0f);

    // Leaving and coming back resets the counter and every bubble.
    float startY[TITLE_BUBBLE_MAX];
    InitTitle();
    for (int i = 0; i < TITLE_BUBBLE_MAX; i++) startY[i] = GetTitleBubbleY(i);
    RunTitleFrames(37);
    InitTitle();
    EXPECT_EQ(GetTitleCounter(), 0);
    for (int i = 0; i < TITLE_BUBBLE_MAX; i++) EXPECT_FLOAT_EQ(GetTitleBubbleY(i), startY[i]) << i;
}

TEST(TitleScene, PicturePhasesOfEveryHundredFrames) {
    InitTitle();
    struct Expect {
        int counter;
        bool secondFish;
        bool prompt;
    } expects[] = {{1, false, true},   {14, false, true},  {15, true, true},  {19, true, true},
                   {21, true, true},   {22, false, true},  {79, false, true}, {80, false, false},
                   {99, false, false}, {100, false, true}, {115, true, true}, {180, false, false}};
    int counter = 0;
    for (const Expect& e : expects) {
        RunTitleFrames(e.counter - counter);
        counter = e.counter;
        ASSERT_EQ(GetTitleCounter(), counter);
        SCOPED_TRACE(counter);
        std::vector<TitleSprite> sprites = TitleSprites();
        EXPECT_EQ(CountTexture(sprites, TEXTURE_TITLE_SAKANA2), e.secondFish ? 1 : 0);
        EXPECT_EQ(CountTexture(sprites, TEXTURE_PRESS_START), e.prompt ? 1 : 0);

        // Back to front: background, logo, fish, its overlay, prompt, then the bubbles in order.
        ASSERT_EQ(sprites.size(), 3u + e.secondFish + e.prompt + TITLE_BUBBLE_MAX);
        EXPECT_EQ(sprites[0].texture, TEXTURE_TITLE_HAIKEI);
        EXPECT_EQ(sprites[1].texture, TEXTURE_TITLE_LOGO);
        EXPECT_EQ(sprites[2].texture, TEXTURE_TITLE_SAKANA1);
        if (e.secondFish) {
            EXPECT_EQ(sprites[3].texture, TEXTURE_TITLE_SAKANA2);
            EXPECT_EQ(sprites[3].x, sprites[2].x);
            EXPECT_EQ(sprites[3].y, sprites[2].y);
        }
        for (int i = 0; i < TITLE_BUBBLE_MAX; i++) {
            const TitleSprite& bubble = sprites[sprites.size() - TITLE_BUBBLE_MAX + i];
            EXPECT_EQ(bubble.texture, TEXTURE_AWA);
            EXPECT_EQ(bubble.x, GetTitleBubbleX(i));
            EXPECT_EQ(bubble.y, GetTitleBubbleY(i));
        }
    }
    // Seven overlay frames and eighty prompt frames in every hundred.
    int overlay = 0, prompt = 0;
    for (int phase = 0; phase < 100; phase++) {
        overlay += IsTitleFishOverlayPhase(phase);
        prompt += IsTitlePromptPhase(phase);
    }
    EXPECT_EQ(overlay, 7);
    EXPECT_EQ(prompt, 80);
}

TEST(TitleScene, SpacePressedAnewFadesToStageOne) {
    testsupport::GameKeyboard keys;
    if (!keys.Open()) SKIP_OR_FAIL_IN_CI() << "no window to read the keyboard on";
    InitFade();
    InitTitle();

    // Space held while the title begins does not count.
    keys.Frame({DIK_SPACE});
    keys.Frame({DIK_SPACE});
    UpdateTitle();
    UpdateFade();
    EXPECT_FALSE(IsSceneChangeRequested());
    EXPECT_EQ(GetFadeAlpha(), 0);

    keys.Frame({});
    UpdateTitle();
    UpdateFade();
    keys.Frame({DIK_SPACE});
    UpdateTitle();
    UpdateFade();
    EXPECT_TRUE(IsSceneChangeRequested());
    EXPECT_EQ(GetFadeAlpha(), 15);

    // Sixteen more frames to full black, then the request asks for stage one.
    const int sceneBefore = GetNextScene();
    for (int i = 0; i < 16; i++) {
        keys.Frame({});
        UpdateTitle();
        UpdateFade();
    }
    EXPECT_EQ(GetFadeAlpha(), 255);
    EXPECT_EQ(GetNextScene(), sceneBefore);
    keys.Frame({});
    UpdateTitle();
    EXPECT_EQ(GetNextScene(), SCENE_GAME1);
    UpdateFade();
    EXPECT_EQ(GetFadeAlpha(), 240);
    SetNextScene(GetScene());  // leave the scene manager as it was
}

}  // namespace
