// The parts of the scene benchmark only one system has: the Linux build's
// switch of our drawing layer's shortcuts and its peak resident set from
// /proc; the Windows build's peak working set. Heap allocations are counted
// on Linux only (alloc_count.h); the Windows build answers -1, "not counted".
#pragma once

// Turns the drawing layer's pixel-preserving shortcuts on or off; false
// where there is nothing to switch (Windows: the system's Direct3D).
bool BenchSystem_AllowDrawShortcuts(bool on);
// Peak resident memory of the process in kB, or -1 when unknown.
long BenchSystem_PeakMemoryKb(void);
