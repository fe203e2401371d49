// Whole game cycles in one process on the GPU-free device (every other one
// reeling until the line breaks, the others letting the fish go), looking for
// growth: device-made objects (the layer counts every one), heap in use and
// resident anonymous memory must stay where they were after the first cycles. Heap
// blocks that are lost outright are LeakSanitizer's part, in the sanitizer
// build. TIDE_SOAK_CYCLES sets the number of cycles (20 by default;
// scripts/soak.sh runs 1000 and prints the figures). TIDE_SOAK_PIXELS=1 plays
// them on the drawing device instead (GL under SDL's offscreen driver), for
// faults only the GL back end can have; its memory figures then include
// Mesa's caches, and only the object count is held to account.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <string>

#include "app/scene.h"
#include "app/scene_testing.h"
#include "ci_skip.h"
#include "cycle.h"
#include "harness.h"
#include "winapi_testing.h"

namespace {

// AddressSanitizer keeps freed blocks in quarantine and its allocator keeps
// its own books: heap and resident figures say nothing there, and its leak
// checker takes their place.
#if defined(__SANITIZE_ADDRESS__)
const bool kMemoryFiguresMeanSomething = false;
#else
const bool kMemoryFiguresMeanSomething = true;
#endif

// Resident anonymous memory (heap, mappings, stacks), counted page by page.
// Pages of the libraries' files are left out: they come in the first time
// a code path runs, whenever that is, and are bounded by the files' size.
long AnonymousKiB() {
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string field;
    long kib = 0;
    while (rollup >> field) {
        if (field == "Anonymous:") {
            rollup >> kib;
            return kib;
        }
        rollup.ignore(1 << 10, '\n');
    }
    return -1;
}

long HeapInUseKiB() { return (long)(mallinfo2().uordblks / 1024); }

int Cycles() {
    const char* text = getenv("TIDE_SOAK_CYCLES");
    const int n = text ? atoi(text) : 0;
    return n > 0 ? n : 20;
}

bool OnDrawingDevice() {
    const char* text = getenv("TIDE_SOAK_PIXELS");
    return text && strcmp(text, "1") == 0;
}

TEST(Soak, WholeCyclesLeaveNoGrowth) {
    const int cycles = Cycles();
    const int warmUp = 3;  // caches, pools and the allocator settle in these
    ASSERT_GT(cycles, warmUp);
    GameHarness h;
    FrameClock clock;
    const bool pixels = OnDrawingDevice();
    if (!h.Start(pixels ? GameHarness::kPixels : GameHarness::kNoPixels))
        SKIP_OR_FAIL_IN_CI() << "no display or device to run the game on";
    // SDL unloads the GL library with the last window, and Mesa's driver with
    // it, stranding two blocks its globals held: LeakSanitizer reported them
    // at exit, allocated by code no longer mapped. Held here to the end.
    if (pixels) SDL_GL_LoadLibrary(nullptr);

    unsigned objects = 0;
    long rss = 0, heap = 0, frames = 0, maxRss = 0;
    for (int c = 1; c <= cycles; c++) {
        // Every other cycle fights the fish until the line breaks.
        const bool reeling = c % 2 == 0;
        const CycleResult r = reeling ? PlayCycleReeling(h) : PlayCycle(h);
        h.ForgetScript();
        ASSERT_TRUE(r.backAtTitle) << "cycle " << c << ": " << SceneTrail(r.scenes);
        ASSERT_EQ(SceneTrail(r.scenes), "title>game1>game2>result>title") << "cycle " << c;
        ASSERT_GT(r.frames, reeling ? 700 : 1000) << "cycle " << c;
        frames += r.frames;
        if (getenv("TIDE_SOAK_VERBOSE"))
            printf("cycle %d: %d frames, %u objects, %ld KiB anonymous resident, %ld KiB heap\n", c, r.frames,
                   D3D9Testing_LiveObjectCount(), AnonymousKiB(), HeapInUseKiB());
        if (c == warmUp) {
            objects = D3D9Testing_LiveObjectCount();
            rss = AnonymousKiB();
            ASSERT_GE(rss, 0) << "no /proc/self/smaps_rollup to read";
            heap = HeapInUseKiB();
        } else if (c > warmUp) {
            ASSERT_EQ(D3D9Testing_LiveObjectCount(), objects) << "device-made objects after cycle " << c;
            maxRss = std::max(maxRss, AnonymousKiB());
        }
    }
    const long heapGrowth = HeapInUseKiB() - heap;
    const long rssGrowth = AnonymousKiB() - rss;
    printf("soak: %d cycles, %ld frames (%ld a cycle), %u live device objects, heap in use %+ld KiB, "
           "anonymous resident %ld -> %ld KiB (peak %ld)\n",
           cycles, frames, frames / cycles, objects, heapGrowth, rss, rss + rssGrowth, maxRss);
    // No growth: a leak of even one small block a cycle would pass these
    // bounds only over thousands of cycles; LeakSanitizer sees the rest.
    if (kMemoryFiguresMeanSomething && !pixels) {
        EXPECT_LE(heapGrowth, 64) << "KiB of heap gained after the first cycles";
        EXPECT_LE(rssGrowth, 1024) << "KiB of anonymous resident memory gained after the first cycles";
    }
    h.Stop();
}

}  // namespace
