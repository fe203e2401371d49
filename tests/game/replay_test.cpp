// Whole games, played frame by frame through the real Update and Draw with
// scripted keys: title, stage one (steering to a fish), stage two (cast,
// strike, reel), the result screen with its name entry, and back to the title,
// with the record in the ranking file. A recorded script replays to the same
// game.
#include <gtest/gtest.h>

#include <math.h>

#include <fstream>
#include <sstream>

#include "app/fade.h"
#include "app/main.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "ci_skip.h"
#include "cycle.h"
#include "device/keyboard.h"
#include "game/fish.h"
#include "game/player.h"
#include "game/player_testing.h"
#include "harness.h"
#include "ui2d/result.h"
#include "ui2d/result_testing.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// What a game came to, for comparing two runs.
struct Outcome {
    int score = -1;
    int kindMet = -1;
    int framesInStageOne = 0;
    int framesInStageTwo = 0;
    std::string ranking;
    std::vector<int> scenes;  // the scene after every frame
};

class Player {
public:
    explicit Player(GameHarness& h) : m_h(h) {}

    void Frame(const KeySet& keys) {
        m_h.Frame(keys);
        m_outcome.scenes.push_back(GetScene());
    }
    void Tap(BYTE key) {
        Frame({key});
        Frame({});
    }
    // Waits (no keys) until a scene is current.
    bool WaitFor(int scene, int limit) {
        for (int i = 0; i < limit && GetScene() != scene; i++) Frame({});
        return GetScene() == scene;
    }

    // From the title to stage one.
    bool LeaveTitle() {
        Tap(DIK_SPACE);
        return WaitFor(SCENE_GAME1, 40);
    }

    // Steers to the fish at `index`: turn on the spot until it is ahead, then
    // go, correcting the heading on the way.
    bool SteerTo(int index) {
        const D3DXVECTOR3 target = GetFish()[index].pos;
        for (int frame = 0; frame < 6000 && GetScene() == SCENE_GAME1; frame++) {
            Frame(SteerKeys(target.x, target.z));
            m_outcome.framesInStageOne++;
        }
        m_outcome.kindMet = GetFishKind();
        return GetScene() == SCENE_GAME2;
    }

    // Cast, wait for the bite, strike, and reel the fish in without breaking
    // the line: good pulls build the reel power, Down alone keeps it.
    bool Fight() {
        int frames = 0;
        auto frame = [&](const KeySet& keys) {
            Frame(keys);
            m_outcome.framesInStageTwo++;
            return ++frames < 6000 && GetScene() == SCENE_GAME2;
        };
        while (!GetIsCast()) {
            if (!frame({DIK_UP})) return false;
        }
        while (GetNibbleCount() < 3) {
            if (!frame({})) return false;
        }
        if (!frame({DIK_SPACE})) return GetScene() == SCENE_RESULT;
        while (GetScene() == SCENE_GAME2) {
            const BYTE good = GetFishTurned() ? DIK_RIGHT : DIK_LEFT;
            KeySet keys = {DIK_DOWN};
            if (GetTension() < 150) keys.push_back(good);
            if (!frame(keys)) break;
        }
        return GetScene() == SCENE_RESULT;
    }

    // Does nothing after the strike until the fish gets away.
    bool LetItEscape() {
        while (!GetIsCast()) Frame({DIK_UP});
        while (GetNibbleCount() < 3) Frame({});
        Frame({DIK_SPACE});
        for (int i = 0; i < 1000 && GetScene() == SCENE_GAME2; i++) Frame({});
        return GetScene() == SCENE_RESULT;
    }

    // Name AAA (Right three times), then Space back to the title.
    bool EnterNameAndLeave() {
        m_outcome.score = GetResultScore();
        Frame({});
        for (int i = 0; i < 3; i++) Tap(DIK_RIGHT);
        Tap(DIK_SPACE);
        bool back = WaitFor(SCENE_TITLE, 40);
        // The title takes Space again only once its fade-in is over.
        for (int i = 0; i < 40 && IsFading(); i++) Frame({});
        back = back && !IsFading();
        m_outcome.ranking = ReadFile(m_h.RankingPath());
        return back;
    }

    const Outcome& Result() const { return m_outcome; }

private:
    GameHarness& m_h;
    Outcome m_outcome;
};

// Replays run on the null back end (the logic needs no pixels), except
// ReplayDrawnTest, which draws one whole game with the GL back end.
class ReplayTest : public ::testing::Test {
protected:
    virtual GameHarness::Drawing Drawing() const { return GameHarness::kNoPixels; }
    void SetUp() override {
        if (!m_h.Start(Drawing())) SKIP_OR_FAIL_IN_CI() << "no display or device to run the game on";
    }
    void TearDown() override { m_h.Stop(); }

    // A whole winning game against the fish at `index`.
    Outcome PlayWinningGame(int index) {
        Player p(m_h);
        EXPECT_EQ(GetScene(), SCENE_TITLE);
        EXPECT_TRUE(p.LeaveTitle());
        EXPECT_TRUE(p.SteerTo(index));
        EXPECT_TRUE(p.Fight());
        EXPECT_TRUE(p.EnterNameAndLeave());
        return p.Result();
    }

    GameHarness m_h;
};

class ReplayDrawnTest : public ReplayTest {
protected:
    GameHarness::Drawing Drawing() const override { return GameHarness::kPixels; }
};

TEST_F(ReplayDrawnTest, WinningGameAgainstTheShark) {
    const Outcome game = PlayWinningGame(8);
    EXPECT_EQ(game.kindMet, FISHKIND_SHARK);
    EXPECT_EQ(game.score, 5000);
    EXPECT_EQ(game.ranking, "AAA\n5000\n");
    // The boat starts 20 units short of the shark and meets it within 4 units.
    EXPECT_GT(game.framesInStageOne, 50);
}

TEST_F(ReplayTest, WinningGameAgainstATunaMan) {
    const Outcome game = PlayWinningGame(1);
    EXPECT_EQ(game.kindMet, FISHKIND_TUNAMAN);
    EXPECT_EQ(game.score, 1000);
    EXPECT_EQ(game.ranking, "AAA\n1000\n");
}

TEST_F(ReplayTest, WinningGameAgainstAMantaMan) {
    const Outcome game = PlayWinningGame(11);
    EXPECT_EQ(game.kindMet, FISHKIND_MANTAMAN);
    EXPECT_EQ(game.score, 3000);
    EXPECT_EQ(game.ranking, "AAA\n3000\n");
}

TEST_F(ReplayTest, AnEscapeAfterACatchRecordsZero) {
    Player p(m_h);
    ASSERT_TRUE(p.LeaveTitle());
    ASSERT_TRUE(p.SteerTo(8));
    ASSERT_TRUE(p.Fight());
    ASSERT_TRUE(p.EnterNameAndLeave());
    ASSERT_EQ(GetScore(), 5000);

    // Second round in the same run: the fish gets away.
    ASSERT_TRUE(p.LeaveTitle());
    ASSERT_TRUE(p.SteerTo(8));
    ASSERT_TRUE(p.LetItEscape());
    EXPECT_EQ(GetResultScore(), 0);
    ASSERT_TRUE(p.EnterNameAndLeave());
    EXPECT_EQ(p.Result().ranking, "AAA\n5000\nAAA\n0\n");
}

TEST_F(ReplayTest, SameScriptSameGame) {
    Player first(m_h);
    ASSERT_TRUE(first.LeaveTitle());
    ASSERT_TRUE(first.SteerTo(8));
    ASSERT_TRUE(first.Fight());
    ASSERT_TRUE(first.EnterNameAndLeave());
    const std::vector<KeySet> script = m_h.Script();
    const Outcome a = first.Result();
    m_h.Stop();

    ASSERT_TRUE(m_h.Start());
    Player second(m_h);
    for (const KeySet& keys : script) second.Frame(keys);
    const Outcome& b = second.Result();
    EXPECT_EQ(b.scenes, a.scenes);
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(ReadFile(m_h.RankingPath()), a.ranking);
    EXPECT_EQ(GetScore(), a.score);
}

TEST_F(ReplayTest, StageTwoFollowsTheEncounterOneUpdateLater) {
    Player p(m_h);
    ASSERT_TRUE(p.LeaveTitle());
    // Straight at the shark: W only.
    int frames = 0;
    while (GetNextScene() != SCENE_GAME2) {
        p.Frame({DIK_W});
        ASSERT_LT(++frames, 2000);
        ASSERT_EQ(GetScene(), SCENE_GAME1);
    }
    // Requested during the Draw of the frame in which the boat came within 4 units.
    const D3DXVECTOR3 boat = GetPlayerPosition();
    const D3DXVECTOR3 shark = GetFish()[8].pos;
    const float dx = boat.x - shark.x, dz = boat.z - shark.z;
    EXPECT_LT(sqrtf(dx * dx + dz * dz), 4.0f + 0.5f);
    EXPECT_EQ(GetFishKind(), FISHKIND_SHARK);
    // One more Update of stage one, then the switch.
    p.Frame({DIK_W});
    EXPECT_EQ(GetScene(), SCENE_GAME2);
    // Stage two put the boat back at its start.
    EXPECT_FLOAT_EQ(GetPlayerPosition().z, -20.0f);
}

}  // namespace
