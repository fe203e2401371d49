// The malloc hook of alloc_count.h: glibc lets a program define the allocator
// entry points itself; ours count, then forward to glibc's own allocator
// (__libc_*). Each counted allocation is put down to whoever asked for it:
// the first caller outside the C and C++ runtime libraries (malloc's own
// callers there, operator new, strdup, ...) is either in this executable (the
// game and our Windows layer, linked in statically) or in a shared library
// (the GL driver, X, SDL, SDL_ttf). State: atomics for the process's
// lifetime, and a per-thread flag that keeps the hook out of its own
// allocations (the stack walk may allocate the first time).
#include "alloc_count.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <stddef.h>
#include <string.h>

#include <atomic>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);
extern const char __executable_start;
extern const char etext;
}

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_count{0};
std::atomic<long> g_ours{0};
thread_local bool t_inHook = false;

bool InExecutable(const void* pc) {
    const char* p = static_cast<const char*>(pc);
    return p >= &__executable_start && p < &etext;
}

// True for the C and C++ runtime libraries, which allocate on behalf of their callers.
bool InRuntime(const void* pc) {
    Dl_info info;
    if (!dladdr(pc, &info) || !info.dli_fname) return false;
    const char* name = strrchr(info.dli_fname, '/');
    name = name ? name + 1 : info.dli_fname;
    return strncmp(name, "libc.so", 7) == 0 || strncmp(name, "libstdc++.so", 12) == 0;
}

// Whether the allocation being made was asked for by code of this executable.
__attribute__((noinline)) bool AskedByUs() {
    void* frames[8];
    const int n = backtrace(frames, 8);
    // frames[0] is here, [1] Count, [2] the hooked entry point (none inlined),
    // [3] its caller: skip the runtime's frames from there.
    int i = 3;
    while (i < n && InRuntime(frames[i])) ++i;
    return i < n && InExecutable(frames[i]);
}

__attribute__((noinline)) void Count() {
    if (!g_counting.load(std::memory_order_relaxed) || t_inHook) return;
    t_inHook = true;
    g_count.fetch_add(1, std::memory_order_relaxed);
    if (AskedByUs()) g_ours.fetch_add(1, std::memory_order_relaxed);
    t_inHook = false;
}
}  // namespace

void SetAllocCounting(bool on) {
    if (on) {
        void* frame[1];
        backtrace(frame, 1);  // loads the unwinder now, not inside a counted allocation
    }
    g_counting.store(on);
}
void ResetAllocCount() {
    g_count.store(0);
    g_ours.store(0);
}
long AllocCount() { return g_count.load(); }
long OwnAllocCount() { return g_ours.load(); }

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
