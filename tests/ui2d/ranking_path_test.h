// A fixture whose tests write the ranking to "ranking.txt" in a scratch
// folder of their own; the game's ranking path is put back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "device/sound_test_files.h"
#include "ui2d/result.h"
#include "ui2d/result_testing.h"

class RankingPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldPath = GetRankingPath();
        m_path = (m_dir.Path() / "ranking.txt").string();
        SetRankingPath(m_path.c_str());
    }
    void TearDown() override { SetRankingPath(m_oldPath.c_str()); }
    ScratchWorkDir m_dir;
    std::string m_oldPath;
    std::string m_path;
};
