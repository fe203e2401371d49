// The result scene: name entry, the score digits, what the screen draws, and
// the records appended to the ranking file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <fstream>
#include <sstream>
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
#include "ranking_path_test.h"
#include "ui2d/result.h"
#include "ui2d/result_testing.h"
#include "ui2d/texture.h"
#include "winapi_testing.h"

namespace {

enum Key { NONE = 0, UP = 1, DOWN = 2, RIGHT = 4, LEFT = 8 };

void Press(int keys) { StepResultNameEntry(keys & UP, keys & DOWN, keys & RIGHT, keys & LEFT); }

std::string ShownLetters() {
    std::string s;
    for (int i = 0; i < RESULT_NAME_LENGTH; i++) s += (char)('A' + GetResultLetter(i));
    return s;
}

// The digits a set of digit sprites shows, read left to right.
std::string ShownNumber(std::vector<ResultSprite> digits) {
    std::sort(digits.begin(), digits.end(), [](const ResultSprite& a, const ResultSprite& b) { return a.x < b.x; });
    std::string s;
    for (const ResultSprite& d : digits) s += (char)('0' + d.cutX / 120);
    return s;
}

std::vector<ResultSprite> NumberSprites(float x, float y, int value, int digits) {
    std::vector<ResultSprite> out((size_t)digits);
    out.resize((size_t)MakeNumberSprites(out.data(), x, y, value, digits));
    return out;
}

std::vector<ResultSprite> ScreenSprites() {
    ResultSprite sprites[RESULT_SPRITE_MAX];
    return std::vector<ResultSprite>(sprites, sprites + MakeResultSprites(sprites));
}

std::vector<const ResultSprite*> OfTexture(const std::vector<ResultSprite>& sprites, int texture) {
    std::vector<const ResultSprite*> found;
    for (const ResultSprite& s : sprites)
        if (s.texture == texture) found.push_back(&s);
    return found;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(ResultNameEntry, ArrowKeysStepThroughTheAlphabetAndMoveTheCursor) {
    InitResult();
    Press(UP);
    EXPECT_EQ(ShownLetters(), "ZAA") << "Up from A wraps to Z";
    InitResult();
    Press(DOWN);
    EXPECT_EQ(ShownLetters(), "BAA");

    // From a letter showing A, 27 Ups run Z, Y, ..., B, A and Z again, the
    // running value passing below zero.
    InitResult();
    Press(RIGHT);
    for (int i = 1; i <= 27; i++) {
        Press(UP);
        EXPECT_EQ(GetResultLetter(1), (26 - i % 26) % 26) << i;
    }
    EXPECT_EQ(GetResultLetter(1), 25);
    EXPECT_LT(GetResultLetterValue(), 0);

    // The cursor stops at 0 and at 3.
    InitResult();
    Press(LEFT);
    EXPECT_EQ(GetResultCursor(), 0);
    for (int i = 0; i < 4; i++) Press(RIGHT);
    EXPECT_EQ(GetResultCursor(), 3);

    // Up or Down in the same frame as a cursor move is lost in the reload.
    InitResult();
    Press(UP | RIGHT);
    Press(DOWN | LEFT);
    EXPECT_EQ(ShownLetters(), "AAA");
    EXPECT_EQ(GetResultCursor(), 0);

    // Moving keeps every letter; Up and Down continue from the letter shown.
    InitResult();
    Press(DOWN);
    Press(DOWN);  // C
    Press(RIGHT);
    Press(LEFT);
    Press(UP);
    EXPECT_EQ(ShownLetters(), "BAA");
}

TEST(ResultNameEntry, RightThreeTimesConfirmsAaaAndLeftReopensTheLastLetter) {
    InitResult();
    for (int keys : {DOWN, RIGHT, DOWN, RIGHT, DOWN, RIGHT}) Press(keys);
    ASSERT_STREQ(GetResultName(), "BBB");
    InitResult();
    Press(RIGHT);
    Press(RIGHT);
    EXPECT_STREQ(GetResultName(), "BBB") << "nothing is confirmed before the cursor reaches 3";
    Press(RIGHT);
    EXPECT_STREQ(GetResultName(), "AAA");
    Press(LEFT);
    Press(DOWN);
    Press(RIGHT);
    EXPECT_STREQ(GetResultName(), "AAB");
}

TEST(ResultDrawing, BlinkingLetterHighlightAndPrompt) {
    InitResult();
    Press(DOWN);  // B, blink restarts at 0
    EXPECT_EQ(GetResultBlink(), 0);
    for (int frame = 0; frame < 120; frame++) {
        SCOPED_TRACE(frame);
        const int phase = GetResultBlink() % 60;
        std::vector<ResultSprite> sprites = ScreenSprites();
        auto letters = OfTexture(sprites, TEXTURE_ALPHABET);
        ASSERT_EQ(letters.size(), phase > 50 ? 2u : 3u) << "the edited letter hides in phases 51 to 59";
        EXPECT_EQ(letters[0]->cutX, phase > 50 ? 0 : 100);  // B at (690, 250) when shown
        EXPECT_EQ(OfTexture(sprites, TEXTURE_HIGHLIGHT).at(0)->x, 690.0f);
        EXPECT_TRUE(OfTexture(sprites, TEXTURE_RESULTPRESS).empty());
        Press(NONE);
    }
    Press(RIGHT);
    const int blinkBefore = GetResultBlink();
    EXPECT_EQ(blinkBefore, 121) << "moving the cursor does not restart the blink";
    EXPECT_EQ(OfTexture(ScreenSprites(), TEXTURE_HIGHLIGHT)[0]->x, 790.0f);

    // Name complete: no highlight, every letter shown, the prompt blinks 50 of 60 frames.
    Press(RIGHT);
    Press(RIGHT);
    int promptFrames = 0;
    for (int frame = 0; frame < 60; frame++) {
        std::vector<ResultSprite> sprites = ScreenSprites();
        EXPECT_TRUE(OfTexture(sprites, TEXTURE_HIGHLIGHT).empty());
        EXPECT_EQ(OfTexture(sprites, TEXTURE_ALPHABET).size(), 3u);
        auto prompt = OfTexture(sprites, TEXTURE_RESULTPRESS);
        EXPECT_EQ(prompt.size(), GetResultBlink() % 60 < 50 ? 1u : 0u);
        promptFrames += (int)prompt.size();
        Press(NONE);
    }
    EXPECT_EQ(promptFrames, 50);

    // Up or Down while the edited letter is hidden shows the new letter at once.
    Press(LEFT);
    for (int key : {UP, DOWN}) {
        while (GetResultBlink() % 60 != 55) Press(NONE);
        ASSERT_EQ(OfTexture(ScreenSprites(), TEXTURE_ALPHABET).size(), 2u);
        Press(key);
        EXPECT_EQ(GetResultBlink(), 0);
        EXPECT_EQ(OfTexture(ScreenSprites(), TEXTURE_ALPHABET).size(), 3u);
    }
}

TEST(ResultDrawing, ScoreShowsAsExactlySixRedDigits) {
    struct Case {
        int score;
        const char* shown;
    } cases[] = {{5000, "005000"}, {0, "000000"}, {999999, "999999"}, {1000000, "999999"}, {1234567, "999999"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.score);
        InitResult();
        SetResultScore(c.score);
        const std::vector<ResultSprite> screen = ScreenSprites();  // the pointers below point into it
        auto digits = OfTexture(screen, TEXTURE_NUMBER_RED);
        ASSERT_EQ(digits.size(), 6u);
        std::vector<ResultSprite> copy;
        for (const ResultSprite* d : digits) copy.push_back(*d);
        EXPECT_EQ(ShownNumber(copy), c.shown);
        for (int i = 0; i < 6; i++) {
            EXPECT_EQ(digits[i]->x, 1080.0f - 120.0f * i) << "ones digit first, rightmost";
            EXPECT_EQ(digits[i]->y, 500.0f);
            EXPECT_EQ(digits[i]->cutWidth, 120);
            EXPECT_EQ(digits[i]->cutHeight, 100);
        }
    }
    EXPECT_EQ(ShownNumber(NumberSprites(0, 0, 42, 1)), "9");
    EXPECT_EQ(ShownNumber(NumberSprites(0, 0, 42, 4)), "0042");
    EXPECT_EQ(ShownNumber(NumberSprites(0, 0, INT_MAX, 12)), "002147483647") << "ten digits and more never clamp";

    EXPECT_EQ(ClampToDigits(INT_MAX, 9), 999999999);
    EXPECT_EQ(ClampToDigits(INT_MAX, 10), INT_MAX);

    // Out-of-range cells draw nothing.
    ResultSprite s;
    EXPECT_EQ(MakeLetterSprite(&s, 0, 0, 26), 0);
    EXPECT_EQ(MakeLetterSprite(&s, 0, 0, -1), 0);
    EXPECT_EQ(MakeDigitSprite(&s, 0, 0, 10, TEXTURE_NUMBER_RED), 0);
    EXPECT_EQ(MakeDigitSprite(&s, 0, 0, -3, TEXTURE_NUMBER_RED), 0);
}

class RankingFileTest : public RankingPathTest {
protected:
    // A visit that enters the name ABC (Down once on the second letter, twice on the third).
    void VisitWithNameAbc(int score) {
        InitResult();
        SetResultScore(score);
        for (int keys : {RIGHT, DOWN, RIGHT, DOWN, DOWN, RIGHT}) Press(keys);
        UninitResult();
    }
};

TEST_F(RankingFileTest, EachVisitAppendsNameAndScoreLines) {
    VisitWithNameAbc(3000);
    EXPECT_EQ(ReadFile(m_path), "ABC\n3000\n");
    VisitWithNameAbc(1234567);
    EXPECT_EQ(ReadFile(m_path), "ABC\n3000\nABC\n1234567\n") << "the file keeps the full score";

    // Leaving before the name is complete writes the name of the earlier visit.
    InitResult();
    SetResultScore(7);
    Press(DOWN);
    UninitResult();
    EXPECT_EQ(ReadFile(m_path), "ABC\n3000\nABC\n1234567\nABC\n7\n");
}

TEST_F(RankingFileTest, UnwritablePathDropsTheRecordQuietly) {
    const std::filesystem::path folder = m_dir.Path() / "ranking_folder";
    std::filesystem::create_directory(folder);
    SetRankingPath(folder.string().c_str());
    VisitWithNameAbc(100);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::is_empty(folder));

    const std::filesystem::path missing = m_dir.Path() / "no_such_share" / "ranking.txt";
    SetRankingPath(missing.string().c_str());
    VisitWithNameAbc(100);
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));

    // The path works again afterwards: nothing was left half-done.
    EXPECT_FALSE(std::filesystem::exists(m_path));
    SetRankingPath(m_path.c_str());
    VisitWithNameAbc(5);
    EXPECT_EQ(ReadFile(m_path), "ABC\n5\n");
}

TEST(ResultScene, EntryRestartsTheTitleMusicAndSpaceFadesToTheTitle) {
    ScratchWorkDir dir;
    dir.WriteAllSounds(22050 * 3);
    WinapiTest_InstallMessageBoxHook(IDOK);
    ASSERT_TRUE(InitSound(NULL));
    SetRankingPath((dir.Path() / "ranking.txt").string().c_str());

    InitResult();
    XAUDIO2_VOICE_STATE state = {};
    bool playing = false;
    for (int i = 0; i < 200 && !playing; i++) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        GetSoundVoice(BGM_TITLE)->GetState(&state);
        playing = state.SamplesPlayed > 0;
    }
    EXPECT_TRUE(playing) << "the title music starts with the result screen";
    UninitSound();
    WinapiTest_RemoveMessageBoxHook();

    testsupport::GameKeyboard keys;
    if (!keys.Open()) SKIP_OR_FAIL_IN_CI() << "no window to read the keyboard on";
    InitFade();
    SetNextScene(SCENE_GAME2);  // any scene but the title, to see the request arrive
    // Space does nothing until the name is complete.
    keys.Frame({DIK_SPACE});
    UpdateResult();
    UpdateFade();
    EXPECT_FALSE(IsSceneChangeRequested());
    for (BYTE key : {DIK_DOWN, DIK_RIGHT, DIK_UP, DIK_RIGHT, DIK_RIGHT}) {
        keys.Frame({key});
        UpdateResult();
        keys.Frame({});
        UpdateResult();
    }
    EXPECT_STREQ(GetResultName(), "BZA");
    keys.Frame({DIK_SPACE});
    UpdateResult();
    UpdateFade();
    EXPECT_TRUE(IsSceneChangeRequested());
    // The name is final from here: arrows during the fade change nothing.
    const BYTE duringFade[16] = {DIK_LEFT, 0, DIK_UP, 0, DIK_LEFT, DIK_DOWN, 0, DIK_RIGHT};
    for (int i = 0; i < 16; i++) {
        if (duringFade[i])
            keys.Frame({duringFade[i]});
        else
            keys.Frame({});
        UpdateResult();
        UpdateFade();
    }
    EXPECT_EQ(GetResultCursor(), 3);
    EXPECT_EQ(GetFadeAlpha(), 255);
    EXPECT_EQ(GetNextScene(), SCENE_GAME2) << "no switch before full black";
    keys.Frame({});
    UpdateResult();
    EXPECT_EQ(GetNextScene(), SCENE_TITLE);
    EXPECT_STREQ(GetResultName(), "BZA");
    EXPECT_FALSE(IsSceneChangeRequested());
    SetNextScene(GetScene());
}

}  // namespace
