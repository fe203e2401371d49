// The whole program's run around the game: the real message loop's pacing
// with a late frame, and what closing the window leaves in the ranking file.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/main.h"
#include "app/main_testing.h"
#include "app/renderer.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "app/timer.h"
#include "ci_skip.h"
#include "device/keyboard.h"
#include "harness.h"
#include "ui2d/result.h"
#include "ui2d/result_testing.h"
#include "ui2d/texture.h"
#include "winapi_testing.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Asks every window to close, as the session ending would.
Uint32 PushQuit(Uint32, void*) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
    return 0;
}

TEST(ProgramRun, ALateFrameIsFollowedByOneUpdateAndOneDrawOnly) {
    GameHarness harness;
    if (!harness.Start()) SKIP_OR_FAIL_IN_CI() << "no display or device to run the game on";
    LPDIRECT3DDEVICE9 device = GetDevice();
    // What one Draw of the title costs, for counting Draws below.
    uint64_t before = WinapiTest_DrawCallCount(device);
    Draw();
    const uint64_t drawsPerFrame = WinapiTest_DrawCallCount(device) - before;
    ASSERT_GT(drawsPerFrame, 0u);

    // The clock stands still half a second after the last frame began.
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    WinapiTest_SetFakeCounter(true, now.QuadPart);
    ResetFrameRate(GetTimerSeconds() - 0.5);
    before = WinapiTest_DrawCallCount(device);
    // The loop runs until the quit request arrives a little later.
    ASSERT_NE(SDL_AddTimer(300, PushQuit, nullptr), 0);
    EXPECT_EQ(RunMessageLoop(), 0);
    WinapiTest_SetFakeCounter(false, 0);
    EXPECT_EQ(GetFrameCount(), 1) << "one Update, no catching up";
    EXPECT_EQ(WinapiTest_DrawCallCount(device) - before, drawsPerFrame) << "one Draw";
}

TEST(ProgramRun, AMissingTextureIsReportedInOneBoxAndTheGameRunsOn) {
    // A run directory like the real one, short of one texture file.
    namespace fs = std::filesystem;
    char scratch[] = "/tmp/tideangler-run-XXXXXX";
    ASSERT_NE(mkdtemp(scratch), nullptr);
    const fs::path run = scratch, real = GAME_RUN_DIR;
    struct Remove {
        fs::path path;
        ~Remove() { fs::remove_all(path); }
    } removeAfterwards{run};
    fs::create_directory_symlink(real / "model", run / "model");
    fs::create_directory_symlink(real / "SE", run / "SE");
    fs::create_directories(run / "asset" / "texture");
    for (const fs::directory_entry& e : fs::directory_iterator(real / "asset" / "texture")) {
        const std::string name = e.path().filename().string();
        if (name != "fish.png") fs::create_symlink(e.path(), run / "asset" / "texture" / name);
    }
    {
        GameHarness harness;
        if (!harness.Start(GameHarness::kNoPixels, run.c_str())) {
            for (const WinapiMessageBoxRecord& box : WinapiTest_MessageBoxes())
                if (box.caption == "エラー" && box.text.find("テクスチャ") != std::string::npos)
                    FAIL() << "start-up gave up over a texture";
            SKIP_OR_FAIL_IN_CI() << "no display or device to run the game on";
        }
        const std::vector<WinapiMessageBoxRecord> boxes = WinapiTest_MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "いくつか読み込めなかったテクスチャファイルがあります");
        EXPECT_EQ(boxes[0].caption, "エラー");
        EXPECT_EQ(boxes[0].flags, (UINT)MB_OK);
        EXPECT_EQ(GetTexture(TEXTURE_FISH), nullptr);
        EXPECT_NE(GetTexture(TEXTURE_RADERGRID), nullptr);
        // On to stage one, whose radar wants the missing marker.
        harness.Tap(DIK_SPACE);
        for (int i = 0; i < 60 && GetScene() != SCENE_GAME1; i++) harness.Frame({});
        EXPECT_EQ(GetScene(), SCENE_GAME1);
        harness.Frames(3, {DIK_W});
        EXPECT_EQ(WinapiTest_MessageBoxes().size(), 1u);
    }
}

TEST(ProgramRun, ClosingOnTheFirstResultScreenAppendsAnEmptyNameAndTheScore) {
    GameHarness harness;
    if (!harness.Start()) SKIP_OR_FAIL_IN_CI() << "no display or device to run the game on";
    ASSERT_STREQ(GetResultName(), "") << "the first visit of this run";
    SetNextScene(SCENE_RESULT);
    harness.Frame({});
    ASSERT_EQ(GetScene(), SCENE_RESULT);
    SetResultScore(1200);
    const std::string path = harness.RankingPath();
    EXPECT_EQ(harness.CloseAndFinish(), 0);
    EXPECT_EQ(ReadFile(path), "\n1200\n");
}

}  // namespace
