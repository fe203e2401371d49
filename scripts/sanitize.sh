#!/bin/bash
# scripts/sanitize.sh [BUILD_DIR] [--all]
#
# Builds everything with -DTIDE_SANITIZE=ON (AddressSanitizer with leak
# checking, UndefinedBehaviorSanitizer) in BUILD_DIR (default build-asan) and
# runs the test suite there, headless, as CI does (set CI=1 so that no test
# may skip). Any sanitizer report fails its test. The settings and the
# third-party suppressions are in tests/sanitizers/. Prints what it leaves
# out and the time the build and the tests took.
#
# Left out unless --all is given (CI gives it): 53 of the 58 cases of the
# bad-asset matrix (EveryFile/BadAssetTest), which plays four whole games per
# asset file and takes 10-25 s a case under the sanitizers. Five cases run, one per kind
# of file and loader: a JPEG and a PNG texture, a model, a model skin and a
# piece of music; the other files take the same loading code, which the
# fuzzers also run under both sanitizers, and the whole matrix runs in the
# normal suite. The short form is for a quick check on a developer's machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-asan
all=0
for arg in "$@"; do
    case "$arg" in
        --all) all=1 ;;
        *) build=$arg ;;
    esac
done
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
start=$(date +%s)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DTIDE_SANITIZE=ON "${launcher[@]}"
cmake --build "$build" -j2
built=$(date +%s)
cd "$build"
matrix='^EveryFile/BadAssetTest\.'
kept='/(asset_texture_field001_jpg|asset_texture_alphabet_png|model_Player_x|model_tex_shark_skin_png|SE_BGM_GAME1_wav) '
run() { SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ctest --output-on-failure -j2 "$@"; }
if [ $all = 1 ]; then
    run
else
    echo "sanitize.sh: not run here (the normal suite runs them; --all runs them too):"
    ctest -N -R "$matrix" | grep -o 'EveryFile/BadAssetTest\..*' | grep -Ev "$kept" | sed 's/ .*//; s/^/  /'
    run -E "$matrix"
    run -R "$matrix.*$kept"
fi
echo "sanitize.sh: build $((built - start)) s, tests $(($(date +%s) - built)) s"
