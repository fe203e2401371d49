// bench_system.h on Linux: our Direct3D 9 layer's testing switch and
// VmHWM from /proc/self/status. No state.
#include "bench_system.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "d3d9_testing.h"

bool BenchSystem_AllowDrawShortcuts(bool on) {
    D3D9Testing_AllowDrawShortcuts(on);
    return true;
}

long BenchSystem_PeakMemoryKb(void) {
    FILE* f = fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    while (fgets(line, sizeof line, f)) {
        if (strncmp(line, "VmHWM:", 6) == 0) kb = atol(line + 6);
    }
    fclose(f);
    return kb;
}
