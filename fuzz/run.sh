#!/bin/bash
# fuzz/run.sh SECONDS [TARGET...]
#
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehavior-
# Sanitizer) and runs each for SECONDS: fuzz_xfile, fuzz_wave, fuzz_texture,
# or only those named. Each starts from its seeds in fuzz/corpus/<name>/ (the
# loader tests' bad cases and small valid files), the generated assets of the
# run directory, and the corpus earlier runs grew in the build directory.
# Exits non-zero on any crash, leak, timeout or out-of-memory; the input that
# caused it is kept as <build>/artifacts/<target>-*.
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz) and GAME_RUN_DIR (default
# build/run; when it holds no assets, the generator is built and run into the
# fuzz build directory).
set -euo pipefail
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_BUILD_DIR:-$root/build-fuzz}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(xfile wave texture)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root/fuzz" -B "$out" -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
cmake --build "$out" -j2 >/dev/null

run=${GAME_RUN_DIR:-$root/build/run}
if [ ! -d "$run/model" ] || [ ! -d "$run/SE" ] || [ ! -d "$run/asset/texture" ]; then
    cmake -S "$root/tools" -B "$out/assets" -DBUILD_TESTING=OFF "${launcher[@]}" >/dev/null
    cmake --build "$out/assets" -j2 >/dev/null
    run=$out/assets/run
fi

# target: generated files it starts from, longest input, dictionary
declare -A assets=([xfile]="$run/model/*.x" [wave]="$run/SE/*.wav"
                   [texture]="$run/asset/texture/* $run/model/tex/*")
declare -A maxlen=([xfile]=65536 [wave]=16384 [texture]=65536)

mkdir -p "$out/artifacts"
failed=0
for t in "${targets[@]}"; do
    [ -n "${maxlen[$t]:-}" ] || { echo "no fuzz target '$t'" >&2; exit 2; }
    corpus=$out/corpus/$t
    seeds=$out/seeds/$t
    mkdir -p "$corpus" "$seeds"
    # shellcheck disable=SC2086
    cp ${assets[$t]} "$seeds/"
    log=$out/$t.log
    echo "fuzz_$t: ${seconds}s"
    set +e
    "$out/fuzz_$t" -max_total_time="$seconds" -max_len="${maxlen[$t]}" -timeout=10 -rss_limit_mb=2048 \
        -dict="$root/fuzz/$t.dict" -artifact_prefix="$out/artifacts/$t-" -print_final_stats=1 \
        "$corpus" "$root/fuzz/corpus/$t" "$seeds" >"$log" 2>&1
    rc=$?
    set -e
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$t: exit $rc, ${runs:-?} executions, corpus $(ls "$corpus" | wc -l) files"
    if [ $rc -ne 0 ]; then
        failed=1
        grep -E "ERROR|SUMMARY|runtime error|Test unit written" "$log" | head -20 >&2 || true
    fi
done
exit $failed
