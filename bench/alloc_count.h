// Counting heap allocations: a hook over the C library's allocator, linked
// into the benchmark only. Counting is off until switched on; the count is
// of malloc, calloc, realloc and the aligned allocations (operator new goes
// through malloc), from every thread.
#pragma once

void SetAllocCounting(bool on);
void ResetAllocCount();
long AllocCount();
