// The malloc hook of alloc_count.h: glibc lets a program define the allocator
// entry points itself; ours count, then forward to glibc's own allocator
// (__libc_*). State: two atomics for the process's lifetime.
#include "alloc_count.h"

#include <stddef.h>

#include <atomic>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);
}

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_count{0};

inline void Count() {
    if (g_counting.load(std::memory_order_relaxed)) g_count.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

void SetAllocCounting(bool on) { g_counting.store(on); }
void ResetAllocCount() { g_count.store(0); }
long AllocCount() { return g_count.load(); }

extern "C" {
void* malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    Count();
    return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    Count();
    void* p = __libc_memalign(alignment, size);
    if (!p) return 12;  // ENOMEM
    *out = p;
    return 0;
}
void free(void* p) { __libc_free(p); }
}
