#!/bin/sh
# Runs the scene benchmark and prints one table: per scene the median and
# 99th-percentile frame (Update + Draw + Present), the same frames drawn as
# the fill floor (WINAPI_D3D9_FLOOR=1: simplest textured program, no state
# changes between draws), frame/floor, and heap allocations per frame (all,
# and those the game or our Windows layer asked for, the rest being the GL
# driver's, X's and SDL's); then
# start-up to the first presented frame, peak RSS and the water's update.
# "no shortcuts" is the median frame with the drawing layer's pixel-preserving
# shortcuts off (BENCH_SHORTCUTS=0), to show what they save.
#
#   bench/run.sh [build directory, default build] [frames per scene, default 600]
#
# Needs a display: run it under xvfb-run, or with DISPLAY set. The machine's
# load is printed with the numbers: a loaded machine's numbers say little.
set -e
BUILD=${1:-build}
FRAMES=${2:-600}
BIN="$BUILD/bench/bench_scenes"
if [ ! -x "$BIN" ]; then
  echo "run.sh: $BIN not built (cmake --build $BUILD --target bench_scenes)" >&2
  exit 2
fi
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
BENCH_T0=$(date +%s.%N) "$BIN" "$FRAMES" > "$OUT/frame.txt"
WINAPI_D3D9_FLOOR=1 "$BIN" "$FRAMES" > "$OUT/floor.txt"
BENCH_SHORTCUTS=0 "$BIN" "$FRAMES" > "$OUT/plain.txt"
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "renderer: ${GALLIUM_DRIVER:-Mesa default}; load average before $LOAD_BEFORE, after $LOAD_AFTER"
echo
awk '
  FNR == 1 { file++ }
  file == 1 && $1 == "scene" { order[++n] = $2; frames[$2] = $3; med[$2] = $4; p99[$2] = $5; alloc[$2] = $6; own[$2] = $7 }
  file == 2 && $1 == "scene" { fmed[$2] = $4; fp99[$2] = $5 }
  file == 3 && $1 == "scene" { pmed[$2] = $4 }
  file == 1 && $1 != "scene" { extra[$1] = $2 }
  END {
    printf "%-8s %7s %10s %10s %10s %10s %11s %12s %10s %13s\n", "scene", "frames", "median ms", "p99 ms", "floor ms", "floor p99", "frame/floor", "allocs/frame", "of them ours", "no shortcuts"
    for (i = 1; i <= n; i++) {
      s = order[i]
      ratio = (fmed[s] > 0 && med[s] != "-") ? sprintf("%.2f", med[s] / fmed[s]) : "-"
      printf "%-8s %7s %10s %10s %10s %10s %11s %12s %10s %13s\n", s, frames[s], med[s], p99[s], fmed[s], fp99[s], ratio, alloc[s], own[s], pmed[s]
    }
    printf "\nstart-up to first presented frame: %s s\n", extra["startup"]
    printf "peak RSS (VmHWM): %.1f MB\n", extra["vmhwm"] / 1024
    printf "water update (median): %s ms\n", extra["water"]
    printf "Wine column: not measured (the scene benchmark is not yet built for Windows)\n"
  }' "$OUT/frame.txt" "$OUT/floor.txt" "$OUT/plain.txt"
