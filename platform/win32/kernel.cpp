// Win32 kernel calls: sleeping, the tick count, the performance counter,
// process and thread affinity, and the thread's last-error value.
//
// State: the last error (one per thread, 0 at thread start); the fake
// performance counter for tests (process-wide, off at start); the process
// affinity mask, taken once from the scheduler the first time it is needed
// so that pinning the main thread does not change what the process reports.
#include "win32/win32_internal.h"

#include <windows.h>

#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "testing/win32_testing.h"

namespace {

thread_local DWORD t_lastError = 0;

std::atomic<bool> g_fakeCounterOn{false};
std::atomic<LONGLONG> g_fakeCounterTicks{0};

// The performance counter runs at 10 MHz, as on current Windows.
const LONGLONG kCounterFrequency = 10000000;

const HANDLE kCurrentProcess = (HANDLE)(LONG_PTR)-1;
const HANDLE kCurrentThread = (HANDLE)(LONG_PTR)-2;

const int kMaskBits = (int)(sizeof(DWORD_PTR) * 8);

DWORD_PTR MaskFromCpuSet(const cpu_set_t& set) {
    DWORD_PTR mask = 0;
    for (int cpu = 0; cpu < kMaskBits && cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set)) mask |= (DWORD_PTR)1 << cpu;
    return mask;
}

// The processors the process may run on, as seen when first asked.
DWORD_PTR ProcessMask() {
    static const DWORD_PTR mask = [] {
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(getpid(), sizeof(set), &set) != 0) return (DWORD_PTR)1;
        DWORD_PTR m = MaskFromCpuSet(set);
        return m ? m : (DWORD_PTR)1;
    }();
    return mask;
}

// Taken at program start, before any thread can be pinned.
[[maybe_unused]] const DWORD_PTR g_processMaskAtStart = ProcessMask();

DWORD_PTR SystemMask() {
    long cpus = sysconf(_SC_NPROCESSORS_CONF);
    if (cpus <= 0) cpus = 1;
    if (cpus >= kMaskBits) return ~(DWORD_PTR)0;
    return ((DWORD_PTR)1 << cpus) - 1;
}

}  // namespace

extern "C" {

DWORD WINAPI GetLastError(void) { return t_lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) pause();
    }
    struct timespec req;
    req.tv_sec = dwMilliseconds / 1000;
    req.tv_nsec = (long)(dwMilliseconds % 1000) * 1000000L;
    while (nanosleep(&req, &req) != 0) {
    }
}

DWORD WINAPI GetTickCount(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = (uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u;
    return (DWORD)ms;  // wraps after 49.7 days, as on Windows
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    if (!lpPerformanceCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (g_fakeCounterOn.load()) {
        lpPerformanceCount->QuadPart = g_fakeCounterTicks.load();
        return TRUE;
    }
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    lpPerformanceCount->QuadPart = (LONGLONG)ts.tv_sec * kCounterFrequency + (LONGLONG)ts.tv_nsec / 100;
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    if (!lpFrequency) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    lpFrequency->QuadPart = kCounterFrequency;
    return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void) { return kCurrentProcess; }
HANDLE WINAPI GetCurrentThread(void) { return kCurrentThread; }

BOOL WINAPI GetProcessAffinityMask(HANDLE hProcess, PDWORD_PTR lpProcessAffinityMask, PDWORD_PTR lpSystemAffinityMask) {
    if (hProcess != kCurrentProcess) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpProcessAffinityMask || !lpSystemAffinityMask) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpProcessAffinityMask = ProcessMask();
    *lpSystemAffinityMask = SystemMask() | *lpProcessAffinityMask;
    return TRUE;
}

DWORD_PTR WINAPI SetThreadAffinityMask(HANDLE hThread, DWORD_PTR dwThreadAffinityMask) {
    if (hThread != kCurrentThread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    // As on Windows, the thread may only be given processors of the process.
    if (dwThreadAffinityMask == 0 || (dwThreadAffinityMask & ~ProcessMask()) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    cpu_set_t previous;
    CPU_ZERO(&previous);
    if (pthread_getaffinity_np(pthread_self(), sizeof(previous), &previous) != 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return 0;
    }
    cpu_set_t wanted;
    CPU_ZERO(&wanted);
    for (int cpu = 0; cpu < kMaskBits; ++cpu)
        if (dwThreadAffinityMask & ((DWORD_PTR)1 << cpu)) CPU_SET(cpu, &wanted);
    if (pthread_setaffinity_np(pthread_self(), sizeof(wanted), &wanted) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD_PTR old = MaskFromCpuSet(previous);
    return old ? old : ProcessMask();
}

}  // extern "C"

void WinapiTest_SetFakeCounter(bool enabled, LONGLONG ticks) {
    g_fakeCounterTicks.store(ticks);
    g_fakeCounterOn.store(enabled);
}
