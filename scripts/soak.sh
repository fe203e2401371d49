#!/bin/bash
# scripts/soak.sh [--pixels] [CYCLES] [BUILD_DIR]
#
# The long soak run: CYCLES whole game cycles (title, stage one, stage two,
# result, title; 1000 by default) in one process on the GPU-free device,
# through the soak test of test_game. Prints the test's figures (frames,
# live device objects, heap and resident memory before and after) and the
# process's wall time and peak resident size. Build the tests first (see the
# README's Quick start); BUILD_DIR defaults to build. A sanitizer build
# (-DTIDE_SANITIZE=ON) also has LeakSanitizer check the heap at exit.
# --pixels plays the cycles on the drawing device (GL under SDL's offscreen
# driver, some 34 s a cycle on llvmpipe): the heap and resident figures then
# include Mesa's caches and are printed, not checked.
set -euo pipefail
pixels=0
if [ "${1:-}" = --pixels ]; then
    pixels=1
    shift
fi
cycles=${1:-1000}
build=$(cd "${2:-build}" && pwd)
cd "$build/tests"
start=$(date +%s)
CI=1 TIDE_SOAK_CYCLES="$cycles" TIDE_SOAK_PIXELS="$pixels" SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=offscreen \
    /usr/bin/time -f "peak resident %M KiB" ./test_game --gtest_filter='Soak.*' 2>&1 |
    grep -E "^soak:|^peak|OK|FAILED|Failure|Which|Expected|KiB"
status=${PIPESTATUS[0]}
echo "wall time $(( $(date +%s) - start )) s"
exit "$status"
