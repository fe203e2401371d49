// The ranking file under stress: several processes appending at once, a
// file-size limit in the middle of a record, and files that cannot be
// written. Appenders are forked children of the test, waited for by polling.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device/sound_test_files.h"
#include "ranking_path_test.h"
#include "ui2d/result.h"
#include "ui2d/result_testing.h"

namespace {

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Confirms the name "<letter>AA": `downs` steps on the first letter, then
// Right three times.
void EnterName(int downs) {
    InitResult();
    for (int i = 0; i < downs; i++) StepResultNameEntry(false, true, false, false);
    for (int i = 0; i < RESULT_NAME_LENGTH; i++) StepResultNameEntry(false, false, true, false);
}

// Runs `body` in a forked child and returns its wait status (-1 when it did
// not end within the bound, after killing it).
int RunChild(const std::function<void()>& body, int boundSeconds = 120) {
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    if (pid < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(boundSeconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status;
}

bool ExitedCleanly(int status) { return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

using RankingAppendTest = RankingPathTest;

TEST_F(RankingAppendTest, FourProcessesAppendingAtOnceLeaveOneThousandWholeRecords) {
    const int kProcesses = 4, kRecords = 250;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; p++) {
        const pid_t pid = fork();
        if (pid == 0) {
            EnterName(p);  // process p writes "<A+p>AA"
            for (int i = 0; i < kRecords; i++) {
                SetResultScore(p * 1000 + i);
                AppendRanking();
            }
            _exit(0);
        }
        ASSERT_GT(pid, 0);
        children.push_back(pid);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (pid_t pid : children) {
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "appender " << pid;
    }

    // Every line pair is one whole record; each process's records appear
    // once each, in the order it wrote them.
    std::istringstream in(FileText(m_path));
    std::string name, score;
    std::map<int, int> nextOf;  // process -> the record expected next
    int records = 0;
    while (std::getline(in, name)) {
        ASSERT_TRUE(std::getline(in, score)) << "a name without a score after " << records << " records";
        ASSERT_EQ(name.size(), 3u) << "record " << records << ": '" << name << "'";
        const int p = name[0] - 'A';
        ASSERT_TRUE(p >= 0 && p < kProcesses && name.substr(1) == "AA") << name;
        ASSERT_EQ(score, std::to_string(p * 1000 + nextOf[p])) << "record " << records << " of " << name;
        nextOf[p]++;
        records++;
    }
    EXPECT_EQ(records, kProcesses * kRecords);
    for (int p = 0; p < kProcesses; p++) EXPECT_EQ(nextOf[p], kRecords) << "process " << p;
}

TEST_F(RankingAppendTest, RecordCutByTheFileSizeLimitLeavesTheFileAsItWas) {
    const std::string before = "ABC\n3000\n";  // 9 bytes
    WriteBytes(m_path, Bytes(before.begin(), before.end()));
    // "CAA\n123456\n" is 11 bytes; the limit lets 7 of them through.
    const int status = RunChild([] {
        signal(SIGXFSZ, SIG_IGN);  // as the game does: a failed write, not a killed process
        EnterName(2);
        SetResultScore(123456);
        struct rlimit limit = {9 + 7, 9 + 7};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
        UninitResult();
    });
    EXPECT_TRUE(ExitedCleanly(status)) << "status " << status;
    EXPECT_EQ(FileText(m_path), before);

    // Without the limit the same record goes in whole after the old ones.
    EnterName(2);
    SetResultScore(123456);
    UninitResult();
    EXPECT_EQ(FileText(m_path), before + "CAA\n123456\n");
}

TEST_F(RankingAppendTest, ReadOnlyFileIsLeftAloneAndTheGameGoesOn) {
    const std::string before = "ABC\n3000\n";
    WriteBytes(m_path, Bytes(before.begin(), before.end()));
    ASSERT_EQ(chmod(m_path.c_str(), 0444), 0);
    ASSERT_EQ(chmod(m_dir.Path().c_str(), 0755), 0);
    const int status = RunChild([] {
        // root writes to read-only files: append as nobody, as a player would
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        EnterName(1);
        SetResultScore(500);
        UninitResult();
        // the next visit's record is dropped the same way
        InitResult();
        UninitResult();
    });
    EXPECT_TRUE(ExitedCleanly(status)) << "status " << status;
    EXPECT_EQ(FileText(m_path), before);
    struct stat st;
    ASSERT_EQ(stat(m_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

}  // namespace
