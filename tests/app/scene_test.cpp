// Scene manager: the deferred switch through the real scene table, observed
// through the manager's ids, the title's frame counter (reset by its Init,
// advanced by its Update) and the ranking file the result scene's Uninit
// appends one record (two lines) to.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "app/fade.h"
#include "app/scene.h"
#include "ui2d/result.h"
#include "ui2d/title.h"

namespace {

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/scene_ranking_XXXXXX";
        int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        close(fd);
        rankingPath_ = pattern;
        previousRankingPath_ = GetRankingPath() ? GetRankingPath() : "";
        SetRankingPath(rankingPath_.c_str());
        InitFade();
        SetScene(SCENE_TITLE);
    }
    void TearDown() override {
        SetScene(SCENE_TITLE);
        SetRankingPath(previousRankingPath_.c_str());
        unlink(rankingPath_.c_str());
    }

    // Number of lines in the ranking file: two per UninitResult.
    int RankingLines() const {
        FILE* file = fopen(rankingPath_.c_str(), "r");
        if (!file) return 0;
        int lines = 0;
        for (int c = fgetc(file); c != EOF; c = fgetc(file)) {
            if (c == '\n') lines++;
        }
        fclose(file);
        return lines;
    }

    std::string rankingPath_;
    std::string previousRankingPath_;
};

TEST_F(SceneTest, RequestWaitsForTheCurrentUpdateThenSwitchesInTheSameFrame) {
    for (int i = 0; i < 3; i++) UpdateScene();
    ASSERT_EQ(GetTitleCounter(), 3);

    SetNextScene(SCENE_RESULT);
    // Asking changes nothing yet: the title is still current and untouched.
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(GetNextScene(), SCENE_RESULT);
    EXPECT_EQ(GetTitleCounter(), 3);

    UpdateScene();
    // The title's Update ran once more, then the switch happened.
    EXPECT_EQ(GetTitleCounter(), 4);
    EXPECT_EQ(GetScene(), SCENE_RESULT);
    EXPECT_EQ(GetNextScene(), SCENE_RESULT);
    EXPECT_EQ(RankingLines(), 0);

    UpdateScene();
    EXPECT_EQ(GetScene(), SCENE_RESULT);
    EXPECT_EQ(RankingLines(), 0);

    SetNextScene(SCENE_TITLE);
    UpdateScene();
    // The result scene was ended (one record) and the title started afresh:
    // its Init ran after the result's Update, and its own Update not yet.
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(RankingLines(), 2);
    EXPECT_EQ(GetTitleCounter(), 0);
    UpdateScene();
    EXPECT_EQ(GetTitleCounter(), 1);
}

TEST_F(SceneTest, AskingForTheCurrentSceneDoesNotRestartIt) {
    SetScene(SCENE_RESULT);
    SetNextScene(SCENE_RESULT);
    UpdateScene();
    UpdateScene();
    EXPECT_EQ(GetScene(), SCENE_RESULT);
    EXPECT_EQ(RankingLines(), 0);

    SetScene(SCENE_TITLE);
    UpdateScene();
    UpdateScene();
    SetNextScene(SCENE_TITLE);
    UpdateScene();
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(GetTitleCounter(), 3);
}

TEST_F(SceneTest, LastRequestOfAFrameWins) {
    UpdateScene();
    SetNextScene(SCENE_RESULT);
    SetNextScene(SCENE_TITLE);
    UpdateScene();
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(GetTitleCounter(), 2);

    SetScene(SCENE_RESULT);
    SetNextScene(SCENE_GAME1);
    SetNextScene(SCENE_TITLE);
    UpdateScene();
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(RankingLines(), 2);
}

TEST_F(SceneTest, ShutdownEndsTheCurrentSceneOnce) {
    SetScene(SCENE_RESULT);
    UpdateScene();
    UninitScene();
    EXPECT_EQ(RankingLines(), 2);
}

TEST_F(SceneTest, OutOfRangeIdsAreIgnored) {
    UpdateScene();
    SetNextScene(SCENE_MAX);
    EXPECT_EQ(GetNextScene(), SCENE_TITLE);
    SetNextScene(-1);
    EXPECT_EQ(GetNextScene(), SCENE_TITLE);

    // An invalid request does not undo a valid one made before it.
    SetNextScene(SCENE_RESULT);
    SetNextScene(99);
    EXPECT_EQ(GetNextScene(), SCENE_RESULT);
    SetNextScene(SCENE_TITLE);

    SetScene(SCENE_MAX);
    SetScene(-5);
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(GetTitleCounter(), 1);
    UpdateScene();
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(GetTitleCounter(), 2);
}

}  // namespace
