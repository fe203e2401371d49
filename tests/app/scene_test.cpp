// Scene manager over the real scene table, seen through its ids, the title's
// frame counter (reset by its Init, advanced by its Update) and the ranking
// file that every Uninit of the result scene appends two lines to.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "app/fade.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "ui2d/result.h"
#include "ui2d/result_testing.h"
#include "ui2d/title.h"
#include "ui2d/title_testing.h"

namespace {

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/scene_ranking_XXXXXX";
        int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        close(fd);
        path_ = pattern;
        SetRankingPath(path_.c_str());
        InitFade();
        SetScene(SCENE_TITLE);
    }
    void TearDown() override {
        SetScene(SCENE_TITLE);
        unlink(path_.c_str());
    }
    int RankingLines() {
        FILE* f = fopen(path_.c_str(), "r");
        int lines = 0;
        for (int c; f && (c = fgetc(f)) != EOF;) lines += c == '\n';
        if (f) fclose(f);
        return lines;
    }
    std::string path_;
};

TEST_F(SceneTest, SwitchRunsAfterTheOldUpdateInTheSameFrame) {
    for (int i = 0; i < 3; i++) UpdateScene();
    SetNextScene(SCENE_RESULT);
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(GetNextScene(), SCENE_RESULT);
    EXPECT_EQ(GetTitleCounter(), 3);
    UpdateScene();
    EXPECT_EQ(GetTitleCounter(), 4);  // the title's last Update ran before the switch
    EXPECT_EQ(GetScene(), SCENE_RESULT);
    EXPECT_EQ(GetNextScene(), SCENE_RESULT);
    UpdateScene();
    EXPECT_EQ(RankingLines(), 0);

    SetNextScene(SCENE_TITLE);
    UpdateScene();
    EXPECT_EQ(RankingLines(), 2);     // the result scene was ended once
    EXPECT_EQ(GetTitleCounter(), 0);  // the title's Init ran, its Update not yet
    UpdateScene();
    EXPECT_EQ(GetTitleCounter(), 1);
}

TEST_F(SceneTest, CurrentSceneRequestedOrLastRequestBackToItDoesNotRestart) {
    UpdateScene();
    SetNextScene(SCENE_TITLE);
    UpdateScene();
    SetNextScene(SCENE_RESULT);
    SetNextScene(SCENE_TITLE);
    UpdateScene();
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(GetTitleCounter(), 3);

    SetScene(SCENE_RESULT);
    SetNextScene(SCENE_GAME1);
    SetNextScene(SCENE_RESULT);
    UpdateScene();
    EXPECT_EQ(GetScene(), SCENE_RESULT);
    EXPECT_EQ(RankingLines(), 0);
    UninitScene();  // shutdown ends the current scene once
    EXPECT_EQ(RankingLines(), 2);
}

TEST_F(SceneTest, IdsOutsideTheTableAreIgnored) {
    SetNextScene(SCENE_RESULT);
    SetNextScene(SCENE_MAX);
    SetNextScene(-1);
    EXPECT_EQ(GetNextScene(), SCENE_RESULT);
    SetNextScene(SCENE_TITLE);
    SetScene(7);
    SetScene(-5);
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    UpdateScene();
    EXPECT_EQ(GetScene(), SCENE_TITLE);
    EXPECT_EQ(GetTitleCounter(), 1);
}

}  // namespace
