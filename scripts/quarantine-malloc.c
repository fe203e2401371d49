// A quarantining malloc, preloaded into the game to find writes to freed
// memory by code that no sanitizer sees (Mesa, FAudio, SDL and the rest).
//
//   cc -O2 -g -fPIC -shared -o build/quarantine-malloc.so scripts/quarantine-malloc.c -lpthread
//   LD_PRELOAD=$PWD/build/quarantine-malloc.so build/run/tideangler
//
// State, for the life of the process: every block carries a header (its size,
// the threads and the first frames of the stacks that made and freed it) and
// 16 canary bytes after its end. A freed block has its first 4 KB filled with
// a pattern (pages past those are handed back to the system) and is held in
// one of two rings, blocks up to 4 KB and larger ones, until the ring is over
// its count or size; only then is it really freed. The pattern is checked when
// a block leaves its ring, and for every block still held at exit or on
// SIGUSR1; the canary is checked when the block is freed. Each fault is
// printed to stderr as "=== qmalloc: WRITE AFTER FREE" (or OVERFLOW PAST END,
// DOUBLE FREE, or a free of a pointer it never gave out), with the bytes
// found and both stacks. The game runs at nearly its normal speed; resident
// size grows to about 6 GB.
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
#define TAIL 16
#define CHECK_MAX 4096

typedef struct {
    void* base;
    size_t size;
    uint64_t magic;
    uint32_t tid, ftid;
    void* alloc[DEPTH];
    void* freed[DEPTH];
} Header;

#define HDR 160  // sizeof(Header) rounded up to keep blocks 16-byte aligned
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

static void Report(Header* h, size_t off, const char* what) {
    char buf[256];
    int n = snprintf(buf, sizeof buf, "\n=== qmalloc: %s in block %p size %zu at offset %zu (tid alloc %u free %u)\n", what,
                     (char*)h + HDR, h->size, off, h->tid, h->ftid);
    write(2, buf, n);
    const unsigned char* p = (unsigned char*)h + HDR + (off & ~(size_t)15);
    n = snprintf(buf, sizeof buf, "bytes:");
    for (int i = 0; i < 32; ++i) n += snprintf(buf + n, sizeof buf - n, " %02x", p[i]);
    buf[n++] = '\n';
    write(2, buf, n);
    write(2, "alloc stack:\n", 13);
    backtrace_symbols_fd(h->alloc, DEPTH, 2);
    write(2, "free stack:\n", 12);
    backtrace_symbols_fd(h->freed, DEPTH, 2);
    if (++g_reports > 20) _exit(99);
}

static size_t Held(const Header* h) { return (h->size <= CHECK_MAX ? h->size : CHECK_MAX + 8192) + HDR; }

static void Verify(Header* h) {
    const unsigned char* p = (unsigned char*)h + HDR;
    size_t n = h->size < CHECK_MAX ? h->size : CHECK_MAX;
    for (size_t i = 0; i < n; ++i)
        if (p[i] != FILL) {
            Report(h, i, "WRITE AFTER FREE");
            break;
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

static void* Make(size_t align, size_t size) {
    size_t front = HDR;
    if (align > 16) front = (HDR + align - 1) / align * align;
    void* base = align > 16 ? __libc_memalign(align, front + size + TAIL) : __libc_malloc(front + size + TAIL);
    if (!base) return NULL;
    Header* h = (Header*)((char*)base + front - HDR);
    h->base = base;
    h->size = size;
    h->magic = MAGIC;
    h->tid = (uint32_t)gettid();
    Stack(h->alloc);
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
    return Make(0, n);
}
void* calloc(size_t a, size_t b) {
    if (b && a > SIZE_MAX / b) return NULL;
    t_caller = __builtin_return_address(0);
    void* p = Make(0, a * b);
    if (p) memset(p, 0, a * b);
    return p;
}
void* memalign(size_t al, size_t n) {
    t_caller = __builtin_return_address(0);
    return Make(al, n);
}
void* aligned_alloc(size_t al, size_t n) {
    t_caller = __builtin_return_address(0);
    return Make(al, n);
}
int posix_memalign(void** out, size_t al, size_t n) {
    t_caller = __builtin_return_address(0);
    void* p = Make(al, n);
    if (!p) return 12;
    *out = p;
    return 0;
}
void* valloc(size_t n) { return Make(4096, n); }
void* pvalloc(size_t n) { return Make(4096, (n + 4095) & ~(size_t)4095); }

void free(void* p) {
    if (!p) return;
    t_caller = __builtin_return_address(0);
    Header* h = HeaderOf(p);
    if (!h) return;
    CheckTail(h);
    h->magic = FREED;
    h->ftid = (uint32_t)gettid();
    Stack(h->freed);
    memset(p, FILL, h->size < CHECK_MAX ? h->size : CHECK_MAX);
    // Only the first CHECK_MAX bytes are verified: hand the pages past them back.
    uintptr_t from = ((uintptr_t)p + CHECK_MAX + 4095) & ~(uintptr_t)4095;
    uintptr_t to = ((uintptr_t)p + h->size) & ~(uintptr_t)4095;
    if (to > from) madvise((void*)from, to - from, MADV_DONTNEED);
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
        Verify(evict[i]);
        __libc_free(evict[i]->base);
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
    void* q = Make(0, n);
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

// Checks everything still held, at exit and on SIGUSR1.
static void VerifyAll(void) {
    pthread_mutex_lock(&g_lock);
    Ring* rings[2] = {&g_small, &g_large};
    char buf[160];
    int n = 0;
    for (int k = 0; k < 2; ++k) {
        Ring* r = rings[k];
        for (size_t i = 0; i < r->count; ++i) Verify(r->ring[(r->head + r->cap - 1 - i) % r->cap]);
        n += snprintf(buf + n, sizeof buf - n, "%s%zu blocks (%zu MB)", k ? " + " : "qmalloc: verified ", r->count,
                      r->bytes >> 20);
    }
    buf[n++] = '\n';
    write(2, buf, n);
    pthread_mutex_unlock(&g_lock);
}

static void OnUsr1(int s) {
    (void)s;
    if (pthread_mutex_trylock(&g_lock) != 0) {
        write(2, "qmalloc: busy, not verified\n", 28);
        return;
    }
    pthread_mutex_unlock(&g_lock);
    VerifyAll();
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
    signal(SIGUSR1, OnUsr1);
    atexit(VerifyAll);
}
