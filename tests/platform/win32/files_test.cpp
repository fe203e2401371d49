// File calls of the Win32 layer: the error codes of CreateFileA, the
// creation dispositions, SetFilePointer's 32-bit semantics, ReadFile at the
// end of a file, the life of a handle, size, cut, flush and byte-range locks.
#include <gtest/gtest.h>
#include <windows.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/win32files.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir_ + "'";
        (void)system(cmd.c_str());
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(Path(name), std::ios::binary) << content;
    }
    std::string Contents(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    HANDLE Open(const std::string& name, DWORD access = GENERIC_READ, DWORD disposition = OPEN_EXISTING) const {
        return CreateFileA(Path(name).c_str(), access, FILE_SHARE_READ, NULL, disposition, 0, NULL);
    }
    std::string Read(HANDLE h, DWORD n) const {
        std::string buf(n, '\0');
        DWORD got = 0xDEAD;
        EXPECT_TRUE(ReadFile(h, &buf[0], n, &got, NULL));
        buf.resize(got);
        return buf;
    }

    std::string dir_;
};

void ExpectOpenFails(HANDLE h, DWORD error) {
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), error);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

}  // namespace

TEST_F(Files, OpeningFailsWithTheWindowsErrorCodes) {
    Write("present.wav", "RIFF");
    mkdir(Path("folder").c_str(), 0755);

    ExpectOpenFails(Open("missing.wav"), ERROR_FILE_NOT_FOUND);
    ExpectOpenFails(Open("nofolder/BGM_TITLE.wav"), ERROR_PATH_NOT_FOUND);
    ExpectOpenFails(Open("present.wav/inside"), ERROR_PATH_NOT_FOUND);
    ExpectOpenFails(Open("folder"), ERROR_ACCESS_DENIED);
    ExpectOpenFails(Open("folder", GENERIC_WRITE, CREATE_ALWAYS), ERROR_ACCESS_DENIED);
    ExpectOpenFails(Open("present.wav", GENERIC_READ | GENERIC_WRITE, CREATE_NEW), ERROR_FILE_EXISTS);
    ExpectOpenFails(Open("present.wav", GENERIC_READ, TRUNCATE_EXISTING), ERROR_INVALID_PARAMETER);
    ExpectOpenFails(Open("present.wav", GENERIC_READ, 0), ERROR_INVALID_PARAMETER);
    ExpectOpenFails(CreateFileA("", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Contents("present.wav"), "RIFF");  // no failed open touched it
}

TEST_F(Files, DispositionsCreateKeepOrTruncate) {
    HANDLE h = Open("new.txt", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "abcdef", 6, &written, NULL));
    EXPECT_EQ(written, 6u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(Contents("new.txt"), "abcdef");

    h = Open("new.txt", GENERIC_READ, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Read(h, 10), "abcdef");
    CloseHandle(h);

    h = Open("new.txt", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    CloseHandle(h);
    EXPECT_EQ(Contents("new.txt"), "");

    Write("full.txt", "0123456789");
    h = Open("full.txt", GENERIC_WRITE, TRUNCATE_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_EQ(Contents("full.txt"), "");
    ExpectOpenFails(Open("absent.txt", GENERIC_WRITE, TRUNCATE_EXISTING), ERROR_FILE_NOT_FOUND);

    h = Open("fresh.txt", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(Files, ReadingStopsQuietlyAtTheEnd) {
    Write("ten.bin", "0123456789");
    HANDLE h = Open("ten.bin");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read(h, 4), "0123");
    EXPECT_EQ(Read(h, 100), "456789");  // fewer bytes than asked, still a success
    EXPECT_EQ(Read(h, 4), "");          // at the end: success with 0 bytes
    EXPECT_EQ(Read(h, 4), "");
    CloseHandle(h);
}

TEST_F(Files, SetFilePointerMovesLikeWindows) {
    Write("ten.bin", "0123456789");
    HANDLE h = Open("ten.bin");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);

    EXPECT_EQ(SetFilePointer(h, 3, NULL, FILE_BEGIN), 3u);
    EXPECT_EQ(Read(h, 1), "3");
    EXPECT_EQ(SetFilePointer(h, -2, NULL, FILE_CURRENT), 2u);
    EXPECT_EQ(Read(h, 1), "2");
    EXPECT_EQ(SetFilePointer(h, -1, NULL, FILE_END), 9u);
    EXPECT_EQ(Read(h, 5), "9");
    EXPECT_EQ(SetFilePointer(h, 0, NULL, FILE_END), 10u);

    // Past the end is allowed; reading there gives nothing.
    EXPECT_EQ(SetFilePointer(h, 100, NULL, FILE_BEGIN), 100u);
    EXPECT_EQ(Read(h, 4), "");

    // A negative position fails and leaves the pointer where it was.
    EXPECT_EQ(SetFilePointer(h, 5, NULL, FILE_BEGIN), 5u);
    EXPECT_EQ(SetFilePointer(h, -1, NULL, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(h, -6, NULL, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(Read(h, 1), "5");

    // Without a high part the distance is a signed 32-bit value: 0xFFFFFFFF is -1.
    EXPECT_EQ(SetFilePointer(h, (LONG)0xFFFFFFFFu, NULL, FILE_CURRENT), 5u);
    EXPECT_EQ(Read(h, 1), "5");
    EXPECT_EQ(SetFilePointer(h, (LONG)0xFFFFFFF0u, NULL, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);

    // With a high part the two make one 64-bit distance, and the result's high half comes back.
    LONG high = -1;
    EXPECT_EQ(SetFilePointer(h, -4, &high, FILE_END), 6u);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(Read(h, 1), "6");
    high = 1;
    EXPECT_EQ(SetFilePointer(h, 8, &high, FILE_BEGIN), 8u);
    EXPECT_EQ(high, 1);

    EXPECT_EQ(SetFilePointer(h, 0, NULL, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    CloseHandle(h);
}

TEST_F(Files, HandlesAreCheckedAndCloseOnlyOnce) {
    Write("a.bin", "AAAA");
    Write("b.bin", "BBBB");
    HANDLE a = Open("a.bin");
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(a));
    HANDLE b = Open("b.bin");
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    EXPECT_NE(a, b);

    // The stale handle stays dead: it neither closes nor reads the new file.
    EXPECT_FALSE(CloseHandle(a));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    char buf[4];
    DWORD got = 99;
    EXPECT_FALSE(ReadFile(a, buf, 4, &got, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(SetFilePointer(a, 0, NULL, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(Read(b, 4), "BBBB");

    EXPECT_FALSE(ReadFile(INVALID_HANDLE_VALUE, buf, 4, &got, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(b));
    EXPECT_FALSE(CloseHandle(b));
}

TEST_F(Files, AccessFollowsTheRequestedRights) {
    Write("data.bin", "xyz");
    HANDLE w = Open("data.bin", GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(w, INVALID_HANDLE_VALUE);
    char buf[3];
    DWORD n = 0;
    EXPECT_FALSE(ReadFile(w, buf, 3, &n, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(w);

    HANDLE r = Open("data.bin");
    ASSERT_NE(r, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(r, "q", 1, &n, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    CloseHandle(r);
    EXPECT_EQ(Contents("data.bin"), "xyz");
}

TEST_F(Files, BackslashesSeparateFolders) {
    mkdir(Path("SE").c_str(), 0755);
    Write("SE/BGM.wav", "data");
    std::string windowsPath = dir_ + "\\SE\\BGM.wav";
    HANDLE h = CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read(h, 4), "data");
    CloseHandle(h);
}

TEST_F(Files, SizeEndOfFileAndFlush) {
    Write("r.txt", "ABC\n3000\n");
    HANDLE h = Open("r.txt", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size = {};
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 9);

    // Cut at the position, which stays where it was.
    EXPECT_EQ(SetFilePointer(h, 4, NULL, FILE_BEGIN), 4u);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(SetFilePointer(h, 0, NULL, FILE_CURRENT), 4u);
    EXPECT_TRUE(FlushFileBuffers(h));
    EXPECT_EQ(Contents("r.txt"), "ABC\n");
    // Past the end it extends with zeros.
    EXPECT_EQ(SetFilePointer(h, 6, NULL, FILE_BEGIN), 6u);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(Contents("r.txt"), std::string("ABC\n\0\0", 6));
    CloseHandle(h);

    // A handle without write access can neither cut nor flush.
    HANDLE r = Open("r.txt");
    ASSERT_NE(r, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SetEndOfFile(r));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(FlushFileBuffers(r));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    EXPECT_FALSE(GetFileSizeEx(r, NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    CloseHandle(r);
    EXPECT_FALSE(GetFileSizeEx(r, &size));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(Contents("r.txt").size(), 6u);
}

TEST_F(Files, LocksBelongToTheHandleAndEndWithIt) {
    Write("lock.txt", "data");
    HANDLE a = Open("lock.txt", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    HANDLE b = Open("lock.txt", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    OVERLAPPED whole = {}, tail = {};
    tail.Offset = 100;  // beyond the end of the file

    ASSERT_TRUE(LockFileEx(a, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
    // Another handle, even in this process, is kept out; so is `a` itself.
    EXPECT_FALSE(LockFileEx(b, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 10, 0, &tail));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(LockFileEx(b, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(LockFileEx(a, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &tail));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION);

    // Only the range as it was locked unlocks.
    EXPECT_FALSE(UnlockFileEx(a, 0, 10, 0, &whole));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_LOCKED);
    EXPECT_FALSE(UnlockFileEx(b, 0, MAXDWORD, MAXDWORD, &whole));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_LOCKED);
    EXPECT_TRUE(UnlockFileEx(a, 0, MAXDWORD, MAXDWORD, &whole));
    EXPECT_FALSE(UnlockFileEx(a, 0, MAXDWORD, MAXDWORD, &whole));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_LOCKED);

    // Shared locks live side by side and keep an exclusive one out.
    EXPECT_TRUE(LockFileEx(a, 0, 0, 4, 0, &whole));
    EXPECT_TRUE(LockFileEx(b, LOCKFILE_FAIL_IMMEDIATELY, 0, 4, 0, &whole));
    EXPECT_FALSE(LockFileEx(b, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 2, 0, &whole));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_LOCK_VIOLATION);
    EXPECT_TRUE(LockFileEx(b, LOCKFILE_EXCLUSIVE_LOCK, 0, 2, 0, &tail));  // apart from them

    // Closing a handle releases what it held.
    EXPECT_TRUE(CloseHandle(b));
    EXPECT_TRUE(UnlockFileEx(a, 0, 4, 0, &whole));
    HANDLE c = Open("lock.txt", GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    ASSERT_NE(c, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(LockFileEx(c, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole));
    EXPECT_FALSE(LockFileEx(a, 0, 0, 0, 0, &whole));  // an empty range
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(CloseHandle(c));
    EXPECT_TRUE(CloseHandle(a));
}

TEST_F(Files, WritePastTheFileSizeLimitReportsADiskFull) {
    const std::string path = Path("big.bin");
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {7, 7};
        setrlimit(RLIMIT_FSIZE, &limit);
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD done = 99;
        const BOOL ok = WriteFile(h, "0123456789A", 11, &done, NULL);
        const DWORD error = GetLastError();
        _exit(h != INVALID_HANDLE_VALUE && !ok && error == ERROR_DISK_FULL && done == 7 ? 0 : 1);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 6000 && (ended = waitpid(pid, &status, WNOHANG)) == 0; i++) usleep(5000);
    if (ended == 0) kill(pid, SIGKILL);
    EXPECT_TRUE(ended == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(Contents("big.bin"), "0123456");
}
