// Makes one kind of heap fault, named by the argument, for the tests of
// scripts/quarantine-malloc.c: the allocator, preloaded, must report it.
// "clean" makes none, from two threads, through every allocation call.
// The pointer and what it points at are volatile, so that the compiler keeps each
// fault as written.
#define _GNU_SOURCE
#include <malloc.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

static void* Churn(void* arg) {
    (void)arg;
    for (int i = 0; i < 20000; ++i) {
        char* p = malloc((size_t)(i % 9000) + 1);
        p[0] = 1;
        p = realloc(p, (size_t)(i % 300) + 1);
        char* q = calloc(4, 8);
        void* a = NULL;
        if (posix_memalign(&a, 64, 100) != 0 || ((unsigned long)a & 63)) abort();
        void* b = aligned_alloc(256, 512);
        if ((unsigned long)b & 255 || malloc_usable_size(q) < 32 || q[31] != 0) abort();
        memset(b, 2, 512);
        free(p);
        free(q);
        free(a);
        free(b);
    }
    return NULL;
}

int main(int argc, char** argv) {
    const char* what = argc > 1 ? argv[1] : "";
    volatile char* volatile p;
    // Writes after free: in a small block, in the first 4 KB of a large one, deep inside a large one.
    static const struct {
        const char* name;
        size_t size, offset;
    } kWrites[] = {{"write_after_free", 40, 8}, {"large_write_after_free", 50000, 4000},
                   {"deep_write_after_free", 50000, 40000}};
    for (size_t i = 0; i < sizeof kWrites / sizeof kWrites[0]; ++i)
        if (strcmp(what, kWrites[i].name) == 0) {
            p = malloc(kWrites[i].size);
            free((void*)p);
            p[kWrites[i].offset] = 7;
            return 0;
        }
    if (strcmp(what, "pageless_write_after_free") == 0) {
        // A block over 4 KB that holds no whole page, so none of it is guarded.
        do p = malloc(6000);
        while (((unsigned long)p & 4095) == 0 || ((unsigned long)p & 4095) >= 8192 - 6000);
        free((void*)p);
        p[5000] = 7;
    } else if (strcmp(what, "deep_read_after_free") == 0) {
        p = malloc(50000);
        free((void*)p);
        return p[40000];
    } else if (strcmp(what, "overflow") == 0) {
        p = malloc(10);
        p[10] = 3;
        free((void*)p);
    } else if (strcmp(what, "double_free") == 0) {
        p = malloc(64);
        free((void*)p);
        free((void*)p);
    } else if (strcmp(what, "uninitialised_pointer") == 0) {
        // A store through a pointer read from a new block, in a child: the
        // fault must be reported with its stack, then end the child as a fault.
        const pid_t child = fork();
        if (child == 0) {
            const struct rlimit no_core = {0, 0};
            setrlimit(RLIMIT_CORE, &no_core);
            volatile int* volatile* slot = malloc(sizeof(int*) * 4);
            if (slot[1]) *slot[1] = 0;
            puts("the store was skipped");
            return 0;
        }
        int status = 0;
        waitpid(child, &status, 0);
        fprintf(stderr, "child ended by signal %d\n", WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    } else if (strcmp(what, "clean") == 0) {
        pthread_t t;
        pthread_create(&t, NULL, Churn, NULL);
        Churn(NULL);
        pthread_join(t, NULL);
    } else {
        return 2;
    }
    return 0;
}
