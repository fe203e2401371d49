// Every asset file the game loads, damaged four ways (missing, empty, cut at
// half its size, replaced by random bytes of the same size), each in a copy
// of the run directory: the game starts, shows the message box it has for
// that kind of file and no other, and plays on the GPU-free device, printing
// nothing. The file that failed is then simply absent: a texture draws
// untextured (its slot is empty), a model draws nothing (its slot is empty),
// a sound stays silent and, as sound loading stops at the first failure, so
// do the sounds after it. The model skins under model/tex/ are rows of their
// own.
// Whichever way a file is damaged, the game is left in the same state once
// it has tried the file (the checks above say so), so each file plays one
// whole cycle through both stages back to the title with one of its damages,
// taken in turn over the rows; with the other three the game runs until it
// has tried the file: start-up for textures and sounds, the first frame of
// stage two (every model loaded) for models and skins.
#include <gtest/gtest.h>

#include <ctype.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/scene.h"
#include "app/scene_testing.h"
#include "ci_skip.h"
#include "cycle.h"
#include "device/sound.h"
#include "device/sound_testing.h"
#include "harness.h"
#include "ui2d/texture.h"
#include "ui2d/texture_testing.h"
#include "win32_testing.h"
#include "world3d/model.h"
#include "world3d/model_testing.h"

namespace fs = std::filesystem;

namespace {

enum Kind { kTexture, kModel, kSkin, kSound };
enum Damage { kMissing, kEmpty, kHalf, kRandom, kDamageCount };
const char* const kDamageName[kDamageCount] = {"missing", "empty", "cut at half", "random bytes"};

struct AssetFile {
    Kind kind;
    int index;         // texture, model or sound number; -1 for a skin
    std::string path;  // relative to the run directory
};

const char* const kSoundFiles[BGM_COUNT] = {"SE/BGM_TITLE.wav", "SE/BGM_GAME1.wav", "SE/BGM_GAME2.wav",
                                            "SE/BGM_RESULT.wav"};

// The files the game loads, in its own tables, and the skins the models name.
std::vector<AssetFile> AllAssets() {
    std::vector<AssetFile> files;
    for (int i = 0; i < TEXTURE_MAX; i++) files.push_back({kTexture, i, GetTexturePath(i)});
    for (int i = 0; i < MODEL_COUNT; i++) files.push_back({kModel, i, GetModelFile(i)});
    std::set<std::string> skins;
    std::error_code ec;  // no run directory yet: the count test says so
    for (const auto& e : fs::directory_iterator(fs::path(GAME_RUN_DIR) / "model" / "tex", ec))
        skins.insert("model/tex/" + e.path().filename().string());
    for (const std::string& s : skins) files.push_back({kSkin, -1, s});
    for (int i = 0; i < BGM_COUNT; i++) files.push_back({kSound, i, kSoundFiles[i]});
    return files;
}

// A copy of the run directory made of links to the real files, but for one.
class DamagedRunDir {
public:
    DamagedRunDir(const std::string& broken, Damage damage) {
        char tmpl[] = "/tmp/tideangler-assets-XXXXXX";
        if (!mkdtemp(tmpl)) abort();
        m_dir = tmpl;
        const fs::path run(GAME_RUN_DIR);
        for (const char* sub : {"model", "asset", "SE"}) {
            fs::create_directories(m_dir / sub);
            for (const auto& e : fs::recursive_directory_iterator(run / sub)) {
                const fs::path to = m_dir / fs::relative(e.path(), run);
                if (e.is_directory())
                    fs::create_directories(to);
                else
                    fs::create_symlink(e.path(), to);
            }
        }
        const fs::path target = m_dir / broken;
        std::string bytes = Read(run / broken);
        fs::remove(target);
        if (damage == kMissing) return;
        if (damage == kEmpty) bytes.clear();
        if (damage == kHalf) bytes.resize(bytes.size() / 2);
        if (damage == kRandom) {
            std::mt19937 random(12345u + (unsigned)bytes.size());
            for (char& c : bytes) c = (char)(random() & 0xFF);
        }
        std::ofstream(target, std::ios::binary) << bytes;
    }
    ~DamagedRunDir() {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    std::string Path() const { return m_dir.string(); }

private:
    static std::string Read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    fs::path m_dir;
};

// Sends stdout and stderr (the descriptors, so C and C++ streams and any
// library alike) to a file until Release, which gives what was written.
class CapturedOutput {
public:
    CapturedOutput() {
        fflush(stdout);
        fflush(stderr);
        char tmpl[] = "/tmp/tideangler-output-XXXXXX";
        m_fd = mkstemp(tmpl);
        m_path = tmpl;
        m_out = dup(1);
        m_err = dup(2);
        dup2(m_fd, 1);
        dup2(m_fd, 2);
    }
    std::string Release() {
        fflush(stdout);
        fflush(stderr);
        dup2(m_out, 1);
        dup2(m_err, 2);
        close(m_out);
        close(m_err);
        close(m_fd);
        std::ifstream in(m_path, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        unlink(m_path.c_str());
        return text;
    }

private:
    int m_fd, m_out, m_err;
    std::string m_path;
};

// What one damaged start and cycle came to, read while output was captured.
struct Outcome {
    bool started = false;
    CycleResult cycle;
    std::vector<WinapiMessageBoxRecord> boxes;
    bool slotEmpty = false;    // the texture's, model's or sound's own slot
    bool othersLoaded = true;  // the other textures / models load; sounds load up to the failed one
    std::string printed;
};

enum RunLength { kWholeCycle, kUntilTried };

Outcome Play(const AssetFile& file, Damage damage, RunLength length) {
    DamagedRunDir dir(file.path, damage);
    Outcome run;
    GameHarness h;
    CapturedOutput output;
    FrameClock clock;
    run.started = h.Start(GameHarness::kNoPixels, dir.Path().c_str());
    if (run.started) {
        if (file.kind == kTexture) {
            run.slotEmpty = GetTexture(file.index) == nullptr;
            for (int i = 0; i < TEXTURE_MAX; i++)
                if (i != file.index && GetTexture(i) == nullptr) run.othersLoaded = false;
        }
        if (file.kind == kSound) {
            run.slotEmpty = GetSoundVoice(file.index) == nullptr;
            for (int i = 0; i < BGM_COUNT; i++)  // loading stops at the first failure
                if ((GetSoundVoice(i) != nullptr) != (i < file.index)) run.othersLoaded = false;
        }
        if (file.kind == kModel) run.slotEmpty = true;
        const auto checkModels = [&] {
            if (file.kind != kModel) return;
            const int scene = GetScene();
            if (scene == SCENE_GAME1 || scene == SCENE_GAME2) {
                for (int i = 0; i < MODEL_COUNT; i++) {
                    if (i == file.index && IsModelLoaded(i)) run.slotEmpty = false;
                    if (i != file.index && !IsModelLoaded(i)) run.othersLoaded = false;
                }
            }
            if (scene == SCENE_TITLE && file.index == MODEL_TITLE && IsModelLoaded(MODEL_TITLE)) run.slotEmpty = false;
        };
        if (length == kWholeCycle)
            run.cycle = PlayCycle(h, checkModels);
        else if (file.kind == kModel || file.kind == kSkin)
            run.cycle = PlayCycleUntil(h, SCENE_GAME2, checkModels);
        run.boxes = WinapiTest_MessageBoxes();
        h.Stop();
    }
    run.printed = output.Release();
    return run;
}

class BadAssetTest : public ::testing::TestWithParam<int> {};

TEST_P(BadAssetTest, GameStartsPlaysACycleAndShowsOnlyItsOwnBox) {
    const std::vector<AssetFile> files = AllAssets();
    ASSERT_LT((size_t)GetParam(), files.size());
    const AssetFile& file = files[(size_t)GetParam()];
    for (int d = 0; d < kDamageCount; d++) {
        const RunLength length = d == GetParam() % kDamageCount ? kWholeCycle : kUntilTried;
        SCOPED_TRACE(file.path + " " + kDamageName[d] + (length == kWholeCycle ? ", whole cycle" : ""));
        const Outcome run = Play(file, (Damage)d, length);
        if (!run.started) SKIP_OR_FAIL_IN_CI() << "no display or device to run the game on";
        if (length == kWholeCycle) {
            EXPECT_TRUE(run.cycle.backAtTitle) << SceneTrail(run.cycle.scenes);
            EXPECT_EQ(SceneTrail(run.cycle.scenes), "title>game1>game2>result>title");
        } else if (file.kind == kModel || file.kind == kSkin) {
            EXPECT_EQ(SceneTrail(run.cycle.scenes), "title>game1>game2");
        }
        EXPECT_EQ(run.printed, "") << "the game has no console output";
        if (file.kind != kSkin) {
            EXPECT_TRUE(run.slotEmpty) << "the damaged file was taken for good";
        }
        EXPECT_TRUE(run.othersLoaded);

        std::vector<std::string> shown;
        for (const WinapiMessageBoxRecord& b : run.boxes) shown.push_back(b.caption + ": " + b.text);
        switch (file.kind) {
        case kTexture:  // one box at start-up, whatever failed
            ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
            EXPECT_EQ(shown[0], "エラー: いくつか読み込めなかったテクスチャファイルがあります");
            EXPECT_EQ(run.boxes[0].flags, (UINT)MB_OK);
            break;
        case kModel:  // the model registry reports no failure of its own
            EXPECT_TRUE(shown.empty()) << ::testing::PrintToString(shown);
            break;
        case kSkin:  // one box each time a model naming the skin is loaded
            EXPECT_FALSE(shown.empty());
            for (const WinapiMessageBoxRecord& b : run.boxes) {
                EXPECT_EQ(b.caption + ": " + b.text, "エラー: マテリアルが読み込まれてないよ");
                EXPECT_EQ(b.flags, (UINT)MB_OK);
            }
            break;
        case kSound:  // the warning of the step that failed, once
            ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(shown);
            EXPECT_EQ(run.boxes[0].caption, "警告！");
            EXPECT_EQ(run.boxes[0].flags, (UINT)MB_ICONWARNING);
            if (d == kMissing) {
                EXPECT_EQ(run.boxes[0].text, "サウンドデータファイルの生成に失敗！(1)");
            } else {  // opened, then refused by one of the reading steps
                const std::set<std::string> reading = {
                    "WAVEファイルのチェックに失敗！(1)",  "WAVEファイルのチェックに失敗！(2)",
                    "WAVEファイルのチェックに失敗！(3)",  "フォーマットチェックに失敗！(1)",
                    "フォーマットチェックに失敗！(2)",    "オーディオデータ読み込みに失敗！(1)",
                    "オーディオデータ読み込みに失敗！(2)"};
                EXPECT_EQ(reading.count(run.boxes[0].text), 1u) << run.boxes[0].text;
            }
            break;
        }
    }
}

// 26 textures, 24 models, the model skins and 4 sounds.
INSTANTIATE_TEST_SUITE_P(EveryFile, BadAssetTest, ::testing::Range(0, TEXTURE_MAX + MODEL_COUNT + 4 + BGM_COUNT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             const std::vector<AssetFile> files = AllAssets();
                             std::string name = (size_t)info.param < files.size() ? files[(size_t)info.param].path
                                                                                  : "row_" + std::to_string(info.param);
                             for (char& c : name)
                                 if (!isalnum((unsigned char)c)) c = '_';
                             return name;
                         });

TEST(BadAssetFiles, TheMatrixCoversEveryFileTheGameLoads) {
    const std::vector<AssetFile> files = AllAssets();
    // 26 textures, 24 models and 4 sounds, plus the four model skins.
    EXPECT_EQ(files.size(), 26u + 24u + 4u + 4u);
    for (const AssetFile& f : files) EXPECT_TRUE(fs::exists(fs::path(GAME_RUN_DIR) / f.path)) << f.path;
}

}  // namespace
