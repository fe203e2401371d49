// bench_system.h and alloc_count.h on Windows: the peak working set from
// GetProcessMemoryInfo; no drawing-layer switch (the system's Direct3D
// draws) and no allocation count (no allocator hook). No state.
#include "bench_system.h"

#include <windows.h>

#include <psapi.h>

#include "alloc_count.h"

bool BenchSystem_AllowDrawShortcuts(bool) { return false; }

long BenchSystem_PeakMemoryKb(void) {
    PROCESS_MEMORY_COUNTERS counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return (long)(counters.PeakWorkingSetSize / 1024);
}

void SetAllocCounting(bool) {}
void ResetAllocCount() {}
long AllocCount() { return -1; }
long OwnAllocCount() { return -1; }
