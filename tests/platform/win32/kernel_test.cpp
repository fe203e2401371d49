// Kernel calls of the Win32 layer: performance counter, tick count, last
// error and processor affinity.
#include <gtest/gtest.h>
#include <windows.h>

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "win32_testing.h"

namespace {

LONGLONG Counter() {
    LARGE_INTEGER c;
    EXPECT_TRUE(QueryPerformanceCounter(&c));
    return c.QuadPart;
}

DWORD_PTR ThreadMaskNow() {
    cpu_set_t set;
    CPU_ZERO(&set);
    pthread_getaffinity_np(pthread_self(), sizeof(set), &set);
    DWORD_PTR mask = 0;
    for (int cpu = 0; cpu < (int)(sizeof(DWORD_PTR) * 8); ++cpu)
        if (CPU_ISSET(cpu, &set)) mask |= (DWORD_PTR)1 << cpu;
    return mask;
}

}  // namespace

TEST(PerformanceCounter, FrequencyIsFixedAndCounterNeverGoesBack) {
    LARGE_INTEGER f1, f2;
    ASSERT_TRUE(QueryPerformanceFrequency(&f1));
    ASSERT_TRUE(QueryPerformanceFrequency(&f2));
    EXPECT_GT(f1.QuadPart, 0);
    EXPECT_EQ(f1.QuadPart, f2.QuadPart);

    LONGLONG previous = Counter();
    for (int i = 0; i < 10000; ++i) {
        LONGLONG now = Counter();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST(PerformanceCounter, CountsSecondsAtItsFrequency) {
    LARGE_INTEGER f;
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    auto t0 = std::chrono::steady_clock::now();
    LONGLONG c0 = Counter();
    Sleep(60);
    LONGLONG c1 = Counter();
    auto t1 = std::chrono::steady_clock::now();
    double counted = (double)(c1 - c0) / (double)f.QuadPart;
    double real = std::chrono::duration<double>(t1 - t0).count();
    EXPECT_GE(counted, 0.060);  // Sleep waits at least as long as asked
    EXPECT_NEAR(counted, real, 0.005);
}

TEST(PerformanceCounter, FakeCounterReplacesTheLiveOne) {
    LARGE_INTEGER f0;
    ASSERT_TRUE(QueryPerformanceFrequency(&f0));
    WinapiTest_SetFakeCounter(true, 12345);
    EXPECT_EQ(Counter(), 12345);
    Sleep(2);
    EXPECT_EQ(Counter(), 12345);
    WinapiTest_SetFakeCounter(true, 777);
    EXPECT_EQ(Counter(), 777);
    LARGE_INTEGER f1;
    ASSERT_TRUE(QueryPerformanceFrequency(&f1));
    EXPECT_EQ(f0.QuadPart, f1.QuadPart);

    WinapiTest_SetFakeCounter(false, 0);
    LONGLONG live1 = Counter();
    Sleep(2);
    EXPECT_GT(Counter(), live1);
    EXPECT_GT(live1, 777);
}

TEST(TickCount, AdvancesInMilliseconds) {
    DWORD t0 = GetTickCount();
    Sleep(50);
    DWORD elapsed = GetTickCount() - t0;
    EXPECT_GE(elapsed, 49u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(LastError, BelongsToEachThread) {
    SetLastError(1234);
    DWORD seenInThread = 0;
    std::thread t([&] {
        SetLastError(ERROR_FILE_NOT_FOUND);
        seenInThread = GetLastError();
    });
    t.join();
    EXPECT_EQ(seenInThread, (DWORD)ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST(Affinity, ProcessMaskIsTheSchedulersAndSurvivesPinning) {
    DWORD_PTR process = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    EXPECT_NE(process, 0u);
    EXPECT_EQ(process & ~system, 0u);
    EXPECT_EQ(process, ThreadMaskNow());  // nothing pinned yet

    // Pinning a thread the way the frame clock does it.
    DWORD_PTR lowest = process & (~process + 1);
    DWORD_PTR before = 0, reported = 0, pinned = 0, restored = 0;
    int cpu = -1;
    std::thread t([&] {
        before = ThreadMaskNow();
        reported = SetThreadAffinityMask(GetCurrentThread(), lowest);
        pinned = ThreadMaskNow();
        sched_yield();
        cpu = sched_getcpu();
        restored = SetThreadAffinityMask(GetCurrentThread(), before);
    });
    t.join();
    EXPECT_EQ(reported, before);
    EXPECT_EQ(pinned, lowest);
    EXPECT_EQ((DWORD_PTR)1 << cpu, lowest);
    EXPECT_EQ(restored, lowest);

    DWORD_PTR afterProcess = 0, afterSystem = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &afterProcess, &afterSystem));
    EXPECT_EQ(afterProcess, process);
}

TEST(Affinity, BadArgumentsFailWithTheirErrors) {
    EXPECT_EQ(SetThreadAffinityMask(GetCurrentThread(), 0), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);

    DWORD_PTR process = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));
    if (~process != 0) {
        EXPECT_EQ(SetThreadAffinityMask(GetCurrentThread(), ~process), 0u);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
        EXPECT_EQ(ThreadMaskNow(), process);
    }

    HANDLE bogus = (HANDLE)(uintptr_t)0x4321;
    EXPECT_EQ(SetThreadAffinityMask(bogus, process), 0u);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(GetProcessAffinityMask(bogus, &process, &system));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST(Handles, PseudoHandlesCloseWithoutEffect) {
    EXPECT_NE(GetCurrentThread(), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(GetCurrentThread()));
    EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
    DWORD_PTR process = 0, system = 0;
    EXPECT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &process, &system));  // still usable

    SetLastError(0);
    EXPECT_FALSE(CloseHandle(NULL));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}
