#!/bin/bash
# scripts/sanitize.sh [BUILD_DIR]
#
# Builds everything with -DTIDE_SANITIZE=ON (AddressSanitizer with leak
# checking, UndefinedBehaviorSanitizer) in BUILD_DIR (default build-asan) and
# runs the whole test suite there, headless, as CI does. Any sanitizer report
# fails its test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-asan}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DTIDE_SANITIZE=ON
cmake --build "$build" -j2
cd "$build"
SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1920x1080x24" ctest --output-on-failure -j2
