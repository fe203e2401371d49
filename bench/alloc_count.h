// Counting heap allocations: a hook over the C library's allocator, linked
// into the benchmark only. Counting is off until switched on; the count is
// of malloc, calloc, realloc and the aligned allocations (operator new goes
// through malloc), from every thread.
#pragma once

void SetAllocCounting(bool on);
void ResetAllocCount();
long AllocCount();
// Of those, the ones the game or our Windows layer asked for (the rest are the
// GL driver's, X's, SDL's and SDL_ttf's own).
long OwnAllocCount();
