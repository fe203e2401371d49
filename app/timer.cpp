// Frame timer: the program's clock, in seconds since it was started, read from
// the high-resolution performance counter.
//
// State: the counter frequency, the counter value that counts as time zero
// (base), the counter value at which the clock is frozen (stop time, 0 while it
// runs), the counter value of the previous elapsed-time reading, and whether the
// clock is frozen. Every reading uses the "adjusted counter": the stop time if it
// is set, the live counter otherwise, so a frozen clock reads the same value
// until it is started again.
//
// Lifetime: the state is static and frozen at program start; InitTimer puts it
// back there and reads the frequency, StartTimer sets time zero. Nothing is
// allocated and nothing needs releasing. Main thread only.
#include "app/timer.h"

#include <windows.h>

static bool g_timerStopped = true;
static LONGLONG g_ticksPerSecond = 0;
static LONGLONG g_timerStopTime = 0;
static LONGLONG g_timerLastElapsed = 0;
static LONGLONG g_timerBaseTime = 0;

static LONGLONG ReadLiveCounter(void) {
    LARGE_INTEGER counter;
    counter.QuadPart = 0;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// The stop time while frozen, the live counter otherwise.
static LONGLONG ReadAdjustedCounter(void) {
    if (g_timerStopTime != 0) {
        return g_timerStopTime;
    }
    return ReadLiveCounter();
}

// Converts a tick count to seconds; 0 before the frequency is known, rather
// than a division by zero.
static double TicksToSeconds(LONGLONG ticks) {
    if (g_ticksPerSecond <= 0) {
        return 0.0;
    }
    return (double)ticks / (double)g_ticksPerSecond;
}

void InitTimer(void) {
    g_timerStopped = true;
    g_ticksPerSecond = 0;
    g_timerStopTime = 0;
    g_timerLastElapsed = 0;
    g_timerBaseTime = 0;

    LARGE_INTEGER frequency;
    frequency.QuadPart = 0;
    QueryPerformanceFrequency(&frequency);
    g_ticksPerSecond = frequency.QuadPart;
}

// Runs the clock; a frozen span is added to the base so the clock resumes from
// the value it showed when frozen. On a running clock only the elapsed mark moves.
void StartTimer(void) {
    LONGLONG now = ReadLiveCounter();
    if (g_timerStopped) {
        g_timerBaseTime += now - g_timerStopTime;
    }
    g_timerStopTime = 0;
    g_timerLastElapsed = now;
    g_timerStopped = false;
}

void StopTimer(void) {
    if (g_timerStopped) {
        return;
    }
    LONGLONG now = ReadLiveCounter();
    g_timerStopTime = now;
    g_timerLastElapsed = now;
    g_timerStopped = true;
}

// Makes the current adjusted counter time zero and lets the clock run.
void ResetTimer(void) {
    LONGLONG now = ReadAdjustedCounter();
    g_timerBaseTime = now;
    g_timerLastElapsed = now;
    g_timerStopTime = 0;
    g_timerStopped = false;
}

// Moves a frozen clock on by a tenth of a second. On a running clock there is
// no frozen value to move, and stepping would set a stop time unrelated to the
// live counter (the clock would jump), so the call does nothing there.
void StepTimer(void) {
    if (!g_timerStopped) {
        return;
    }
    g_timerStopTime += g_ticksPerSecond / 10;
}

double GetTimerSeconds(void) { return TicksToSeconds(ReadAdjustedCounter() - g_timerBaseTime); }

// Seconds since the previous elapsed reading (or start, stop, reset); never negative.
float GetTimerElapsed(void) {
    LONGLONG now = ReadAdjustedCounter();
    float elapsed = (float)TicksToSeconds(now - g_timerLastElapsed);
    g_timerLastElapsed = now;
    if (elapsed < 0.0f) {
        elapsed = 0.0f;
    }
    return elapsed;
}

// The live counter in seconds, ignoring freezing and the base.
double GetCounterSeconds(void) { return TicksToSeconds(ReadLiveCounter()); }

bool IsTimerStopped(void) { return g_timerStopped; }

// Restricts the calling thread to the lowest processor the process may use.
void PinThreadToFirstProcessor(void) {
    HANDLE process = GetCurrentProcess();
    DWORD_PTR processMask = 0;
    DWORD_PTR systemMask = 0;
    if (GetProcessAffinityMask(process, &processMask, &systemMask) && processMask != 0) {
        DWORD_PTR lowest = processMask & ((~processMask) + 1);
        HANDLE thread = GetCurrentThread();
        if (thread != INVALID_HANDLE_VALUE) {
            SetThreadAffinityMask(thread, lowest);
            CloseHandle(thread);
        }
    }
    CloseHandle(process);
}
