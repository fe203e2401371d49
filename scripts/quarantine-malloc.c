// A quarantining malloc, preloaded into the game to find writes to freed
// memory by code that no sanitizer sees (Mesa, FAudio, SDL and the rest).
//
//   cc -O2 -g -fPIC -shared -o build/quarantine-malloc.so scripts/quarantine-malloc.c -lpthread
//   LD_PRELOAD=$PWD/build/quarantine-malloc.so build/run/tideangler
//
// State, for the life of the process: every block carries a header (its size,
// the threads and the first frames of the stacks that made and freed it) and
// 16 canary bytes after its end. A freed block is filled with a pattern,
// except for the whole pages inside a block over 4 KB: those are handed back
// to the system and made inaccessible, so that a write (or read) there stops
// the program at once. It is held in one of two rings, blocks up to 4 KB and
// larger ones, until the ring is over its count or size; only then is it
// really freed. The pattern is checked when a block leaves its ring, and for
// every block still held at exit or on SIGUSR1; the canary is checked when
// the block is freed. Each fault is printed to stderr as "=== qmalloc: WRITE
// AFTER FREE" (or READ AFTER FREE, OVERFLOW PAST END, DOUBLE FREE, or a free
// of a pointer it never gave out), with the bytes found and both stacks; a
// touch of a guarded page also prints the stack that made it, and ends the
// program (exit status 98). Each guard splits a mapping, and the kernel's
// count of them is limited (vm.max_map_count): at most half of what is left
// of it at start-up, less 10 000, is spent on guards, so that the program's
// own mappings still find room. A large block freed past that (or refused a
// guard) keeps only its first 4 KB checked by the pattern. The game runs at
// nearly its normal speed; resident size grows to about 6 GB.
//
// A new block (but calloc's) comes filled with 0xBE bytes, never with what an
// earlier block left there: a pointer read from memory that was never
// written is then far outside the address space, and its use faults at
// once, where glibc's heap would hand out the stale links of a freed block,
// through which a store lands in the heap's own lists. Such a fault, and any
// other not in a guarded page, is printed with its stack as "=== qmalloc:
// SEGMENTATION FAULT" and then takes its usual course (a core dump).
#define _GNU_SOURCE
#include <dlfcn.h>
#include <execinfo.h>
#include <pthread.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <link.h>

// libgcc's unwinder frees and allocates under its own lock: a stack taken
// then would wait for that lock forever, so calls from there keep no stack.
static uintptr_t g_gccLo, g_gccHi;
static __thread void* t_caller;

extern void* __libc_malloc(size_t);
extern void __libc_free(void*);
extern void* __libc_memalign(size_t, size_t);

#define DEPTH 7
#define MAGIC 0x5153414c4c4f43ULL
#define FREED 0x4652454544424c4bULL
#define FILL 0xDB
#define FRESH 0xBE
#define TAIL 16
#define CHECK_MAX 4096

typedef struct {
    void* base;
    size_t size;
    uint64_t magic;
    uint32_t tid, ftid;
    uintptr_t guardLo, guardHi;  // the pages made inaccessible while it is held
    size_t patterned;            // unguarded: the bytes from the start that carry the pattern
    void* alloc[DEPTH];
    void* freed[DEPTH];
} Header;

#define HDR 176  // sizeof(Header) rounded up to keep blocks 16-byte aligned
_Static_assert(sizeof(Header) <= HDR, "the header must fit in front of the block");

static __thread int t_inside;  // taking a stack (which may allocate)
static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
typedef struct {
    Header** ring;
    size_t cap, head, count, bytes, maxBytes;
} Ring;
static Ring g_small = {0, 8000000, 0, 0, 0, (size_t)3 << 30};  // blocks up to 4 KB
static Ring g_large = {0, 4000000, 0, 0, 0, (size_t)5 << 30};  // counted by what stays resident
static int g_reports;
static long g_guards;  // guards still to be had (see the top)

static void Report(Header* h, size_t off, const char* what) {
    char buf[256];
    int n = snprintf(buf, sizeof buf, "\n=== qmalloc: %s in block %p size %zu at offset %zu (tid alloc %u free %u)\n", what,
                     (char*)h + HDR, h->size, off, h->tid, h->ftid);
    write(2, buf, n);
    const uintptr_t at = (uintptr_t)h + HDR + (off & ~(size_t)15);
    if (at + 32 <= h->guardLo || at >= h->guardHi) {
        const unsigned char* p = (const unsigned char*)at;
        n = snprintf(buf, sizeof buf, "bytes:");
        for (int i = 0; i < 32; ++i) n += snprintf(buf + n, sizeof buf - n, " %02x", p[i]);
        buf[n++] = '\n';
        write(2, buf, n);
    }
    write(2, "alloc stack:\n", 13);
    backtrace_symbols_fd(h->alloc, DEPTH, 2);
    write(2, "free stack:\n", 12);
    backtrace_symbols_fd(h->freed, DEPTH, 2);
    if (++g_reports > 20) _exit(99);
}

// What a held block keeps resident: a guarded one only the edges around its
// guarded pages, an unguarded large one at most its first 4 KB and two partial pages.
static size_t Held(const Header* h) {
    if (h->guardHi) return h->size - (h->guardHi - h->guardLo) + HDR;
    return (h->size <= CHECK_MAX ? h->size : CHECK_MAX + 8192) + HDR;
}

// The bytes of a freed block that carry the pattern: the edges around the
// guarded pages of a large block, else those it was given at free.
static int Patterned(const Header* h, size_t i) {
    const uintptr_t a = (uintptr_t)h + HDR + i;
    if (h->guardHi) return a < h->guardLo || a >= h->guardHi;
    return i < h->patterned;
}

static void Verify(Header* h) {
    const unsigned char* p = (unsigned char*)h + HDR;
    for (size_t i = 0; i < h->size; ++i) {
        if (!Patterned(h, i)) {
            if (!h->guardHi) break;
            i = h->guardHi - (uintptr_t)p - 1;
            continue;
        }
        if (p[i] != FILL) {
            Report(h, i, "WRITE AFTER FREE");
            break;
        }
    }
}

static void CheckTail(Header* h) {
    const unsigned char* t = (unsigned char*)h + HDR + h->size;
    for (int i = 0; i < TAIL; ++i)
        if (t[i] != 0xA5) {
            Report(h, h->size + i, "OVERFLOW PAST END");
            break;
        }
}

static void Stack(void** out) {
    memset(out, 0, sizeof(void*) * DEPTH);
    if (t_inside) return;
    uintptr_t c = (uintptr_t)t_caller;
    if (c >= g_gccLo && c < g_gccHi) {
        out[0] = t_caller;
        return;
    }
    t_inside = 1;
    void* tmp[DEPTH + 2];
    int n = backtrace(tmp, DEPTH + 2);
    for (int i = 2; i < n; ++i) out[i - 2] = tmp[i];
    t_inside = 0;
}

static void* Make(size_t align, size_t size, int fill) {
    size_t front = HDR;
    if (align > 16) front = (HDR + align - 1) / align * align;
    void* base = align > 16 ? __libc_memalign(align, front + size + TAIL) : __libc_malloc(front + size + TAIL);
    if (!base) return NULL;
    Header* h = (Header*)((char*)base + front - HDR);
    h->base = base;
    h->size = size;
    h->magic = MAGIC;
    h->guardLo = h->guardHi = 0;
    h->tid = (uint32_t)gettid();
    Stack(h->alloc);
    memset((char*)h + HDR, fill, size);
    memset((char*)h + HDR + size, 0xA5, TAIL);
    return (char*)h + HDR;
}

static Header* HeaderOf(void* p) {
    Header* h = (Header*)((char*)p - HDR);
    if (h->magic == FREED) {
        Report(h, 0, "DOUBLE FREE");
        void* s[16];
        write(2, "second free:\n", 13);
        backtrace_symbols_fd(s, backtrace(s, 16), 2);
        return NULL;
    }
    if (h->magic != MAGIC) {
        char buf[128];
        int n = snprintf(buf, sizeof buf, "\n=== qmalloc: free of %p not ours (magic %llx)\n", p,
                         (unsigned long long)h->magic);
        write(2, buf, n);
        void* s[16];
        backtrace_symbols_fd(s, backtrace(s, 16), 2);
        return NULL;
    }
    return h;
}

void* malloc(size_t n) {
    t_caller = __builtin_return_address(0);
    return Make(0, n, FRESH);
}
void* calloc(size_t a, size_t b) {
    if (b && a > SIZE_MAX / b) return NULL;
    t_caller = __builtin_return_address(0);
    return Make(0, a * b, 0);
}
void* memalign(size_t al, size_t n) {
    t_caller = __builtin_return_address(0);
    return Make(al, n, FRESH);
}
void* aligned_alloc(size_t al, size_t n) {
    t_caller = __builtin_return_address(0);
    return Make(al, n, FRESH);
}
int posix_memalign(void** out, size_t al, size_t n) {
    t_caller = __builtin_return_address(0);
    void* p = Make(al, n, FRESH);
    if (!p) return 12;
    *out = p;
    return 0;
}
void* valloc(size_t n) { return Make(4096, n, FRESH); }
void* pvalloc(size_t n) { return Make(4096, (n + 4095) & ~(size_t)4095, FRESH); }

void free(void* p) {
    if (!p) return;
    t_caller = __builtin_return_address(0);
    Header* h = HeaderOf(p);
    if (!h) return;
    CheckTail(h);
    h->magic = FREED;
    h->ftid = (uint32_t)gettid();
    // The block is patterned (and its pages made inaccessible) before
    // anything slow: taking the stack costs microseconds, and a store by
    // another thread racing this free, landing in those microseconds, would
    // be overwritten by a later fill and never seen. The pages are made
    // inaccessible before they are given back, for the same reason.
    const uintptr_t lo = ((uintptr_t)p + 4095) & ~(uintptr_t)4095, hi = ((uintptr_t)p + h->size) & ~(uintptr_t)4095;
    if (h->size > CHECK_MAX && hi > lo) {
        if (__atomic_sub_fetch(&g_guards, 1, __ATOMIC_RELAXED) >= 0 && mprotect((void*)lo, hi - lo, PROT_NONE) == 0) {
            h->guardLo = lo;
            h->guardHi = hi;
            memset(p, FILL, lo - (uintptr_t)p);
            memset((void*)hi, FILL, (uintptr_t)p + h->size - hi);
            madvise((void*)lo, hi - lo, MADV_DONTNEED);
        } else {
            // No guard: the first CHECK_MAX bytes keep the pattern, the pages past them go back.
            __atomic_add_fetch(&g_guards, 1, __ATOMIC_RELAXED);
            h->patterned = CHECK_MAX;
            memset(p, FILL, CHECK_MAX);
            const uintptr_t past = ((uintptr_t)p + CHECK_MAX + 4095) & ~(uintptr_t)4095;
            if (hi > past) madvise((void*)past, hi - past, MADV_DONTNEED);
        }
    } else {
        h->patterned = h->size;
        memset(p, FILL, h->size);
    }
    Stack(h->freed);
    Ring* r = h->size <= CHECK_MAX ? &g_small : &g_large;
    pthread_mutex_lock(&g_lock);
    if (!r->ring) r->ring = (Header**)__libc_malloc(sizeof(Header*) * r->cap);
    Header* evict[64];
    int ne = 0;
    while (r->count && (r->count >= r->cap || r->bytes > r->maxBytes) && ne < 64) {
        Header* e = r->ring[(r->head + r->cap - r->count) % r->cap];
        --r->count;
        r->bytes -= Held(e);
        evict[ne++] = e;
    }
    r->ring[r->head] = h;
    r->head = (r->head + 1) % r->cap;
    ++r->count;
    r->bytes += Held(h);
    pthread_mutex_unlock(&g_lock);
    for (int i = 0; i < ne; ++i) {
        Header* e = evict[i];
        Verify(e);
        // A block whose pages cannot be given back to the heap is left unused.
        if (e->guardHi) {
            if (mprotect((void*)e->guardLo, e->guardHi - e->guardLo, PROT_READ | PROT_WRITE) != 0) continue;
            __atomic_add_fetch(&g_guards, 1, __ATOMIC_RELAXED);
        }
        __libc_free(e->base);
    }
}

void cfree(void* p) { free(p); }

void* realloc(void* p, size_t n) {
    if (!p) return malloc(n);
    if (!n) {
        free(p);
        return NULL;
    }
    Header* h = HeaderOf(p);
    if (!h) return NULL;
    void* q = Make(0, n, FRESH);
    if (!q) return NULL;
    memcpy(q, p, h->size < n ? h->size : n);
    free(p);
    return q;
}

void* reallocarray(void* p, size_t a, size_t b) {
    if (b && a > SIZE_MAX / b) return NULL;
    return realloc(p, a * b);
}

size_t malloc_usable_size(void* p) {
    if (!p) return 0;
    Header* h = HeaderOf(p);
    return h ? h->size : 0;
}

// Checks everything still held, at exit and on SIGUSR1; the caller holds the lock.
static void VerifyHeld(void) {
    Ring* rings[2] = {&g_small, &g_large};
    char buf[160];
    int n = 0;
    size_t guarded = 0;
    for (int k = 0; k < 2; ++k) {
        Ring* r = rings[k];
        for (size_t i = 0; i < r->count; ++i) {
            Header* h = r->ring[(r->head + r->cap - 1 - i) % r->cap];
            Verify(h);
            guarded += h->guardHi != 0;
        }
        n += snprintf(buf + n, sizeof buf - n, "%s%zu blocks (%zu MB)", k ? " + " : "qmalloc: verified ", r->count,
                      r->bytes >> 20);
    }
    n += snprintf(buf + n, sizeof buf - n, ", %zu of them guarded", guarded);
    buf[n++] = '\n';
    write(2, buf, n);
}

static void VerifyAll(void) {
    pthread_mutex_lock(&g_lock);
    VerifyHeld();
    pthread_mutex_unlock(&g_lock);
}

// The signal may come while this thread is inside free, holding the lock.
static void OnUsr1(int s) {
    (void)s;
    if (pthread_mutex_trylock(&g_lock) != 0) {
        write(2, "qmalloc: busy, not verified\n", 28);
        return;
    }
    VerifyHeld();
    pthread_mutex_unlock(&g_lock);
}

// A touch of a guarded page: names the block and the stack that touched it.
static void OnSegv(int s, siginfo_t* si, void* ctx) {
    const uintptr_t a = (uintptr_t)si->si_addr;
    const int locked = pthread_mutex_trylock(&g_lock) == 0;  // held by a thread stopped mid-free: read anyway
    Header* hit = NULL;
    for (size_t i = 0; g_large.ring && i < g_large.count && !hit; ++i) {
        Header* h = g_large.ring[(g_large.head + g_large.cap - 1 - i) % g_large.cap];
        if (a >= h->guardLo && a < h->guardHi) hit = h;
    }
    if (locked) pthread_mutex_unlock(&g_lock);
    char buf[96];
    int n;
    void* st[24];
    if (!hit) {
        // Not a guarded page: said with its stack, then the fault takes its usual course.
        n = snprintf(buf, sizeof buf, "\n=== qmalloc: SEGMENTATION FAULT at %p in tid %u, outside any guard:\n",
                     si->si_addr, (unsigned)gettid());
        write(2, buf, n);
        backtrace_symbols_fd(st, backtrace(st, 24), 2);
        signal(s, SIG_DFL);
        return;
    }
    const int isWrite = (((ucontext_t*)ctx)->uc_mcontext.gregs[REG_ERR] & 2) != 0;
    Report(hit, a - ((uintptr_t)hit + HDR), isWrite ? "WRITE AFTER FREE" : "READ AFTER FREE");
    n = snprintf(buf, sizeof buf, "touched by tid %u at:\n", (unsigned)gettid());
    write(2, buf, n);
    backtrace_symbols_fd(st, backtrace(st, 24), 2);
    _exit(98);
}

static int FindGcc(struct dl_phdr_info* info, size_t size, void* data) {
    (void)size;
    (void)data;
    if (!strstr(info->dlpi_name, "libgcc_s")) return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)* ph = &info->dlpi_phdr[i];
        if (ph->p_type != PT_LOAD) continue;
        uintptr_t lo = info->dlpi_addr + ph->p_vaddr, hi = lo + ph->p_memsz;
        if (!g_gccLo || lo < g_gccLo) g_gccLo = lo;
        if (hi > g_gccHi) g_gccHi = hi;
    }
    return 1;
}

__attribute__((constructor)) static void Init(void) {
    void* s[4];
    backtrace(s, 4);  // loads libgcc_s
    dl_iterate_phdr(FindGcc, NULL);
    const char* m = getenv("QMALLOC_MB");
    if (m) g_small.maxBytes = (size_t)atol(m) << 20;
    FILE* f = fopen("/proc/sys/vm/max_map_count", "r");
    long maps = 0, in_use = 0;
    if (f) {
        if (fscanf(f, "%ld", &maps) != 1) maps = 0;
        fclose(f);
    }
    if ((f = fopen("/proc/self/maps", "r")) != NULL) {
        for (int c; (c = fgetc(f)) != EOF;) in_use += c == '\n';
        fclose(f);
    }
    g_guards = (maps - in_use) / 2 - 10000;
    signal(SIGUSR1, OnUsr1);
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = OnSegv;
    sa.sa_flags = SA_SIGINFO;
    sigaction(SIGSEGV, &sa, NULL);
    atexit(VerifyAll);
}
