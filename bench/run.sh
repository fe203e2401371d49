#!/bin/sh
# Runs the scene benchmark and prints one table: per scene the median and
# 99th-percentile frame (Update + Draw + Present), the same frames drawn as
# the fill floor (WINAPI_D3D9_FLOOR=1: simplest textured program, no state
# changes between draws), frame/floor, and heap allocations per frame (all,
# and those the game or our Windows layer asked for, the rest being the GL
# driver's, X's and SDL's); then
# start-up to the first presented frame, peak RSS and the water's update.
# "no shortcuts" is the median frame with the drawing layer's pixel-preserving
# shortcuts off (BENCH_SHORTCUTS=0), to show what they save. "Wine" is the
# median and p99 frame of the same program built for Windows, run under Wine
# in the same run (bench/wine-bench.sh: its own Xvfb and prefix), and
# frame/Wine the ratio of the medians; without a Windows build (or Wine) the
# column says so and the rest is printed as usual.
#
#   bench/run.sh [build directory, default build] [frames per scene, default 600]
#   BENCH_WINDOWS_BUILD=<Windows build directory, default build-win>
#
# Needs a display: run it under xvfb-run, or with DISPLAY set. The machine's
# load is printed with the numbers: a loaded machine's numbers say little.
set -e
BUILD=${1:-build}
FRAMES=${2:-600}
BIN=$(cd "$BUILD" && pwd)/bench/bench_scenes
WIN_BUILD=${BENCH_WINDOWS_BUILD:-build-win}
HERE=$(cd "$(dirname "$0")" && pwd)
if [ ! -x "$BIN" ]; then
  echo "run.sh: $BIN not built (cmake --build $BUILD --target bench_scenes)" >&2
  exit 2
fi
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
# The program reads its assets from the working directory.
cd "$BUILD/run"
BENCH_T0=$(date +%s.%N) "$BIN" "$FRAMES" > "$OUT/frame.txt"
WINAPI_D3D9_FLOOR=1 "$BIN" "$FRAMES" > "$OUT/floor.txt"
BENCH_SHORTCUTS=0 "$BIN" "$FRAMES" > "$OUT/plain.txt"
cd - >/dev/null
if [ ! -f "$WIN_BUILD/run/bench_scenes.exe" ]; then
  WINE_NOTE="not measured: no $WIN_BUILD/run/bench_scenes.exe (cmake --build $WIN_BUILD --target bench_scenes)"
  : > "$OUT/wine.txt"
elif ! "$HERE/wine-bench.sh" "$WIN_BUILD" "$FRAMES" > "$OUT/wine.txt" 2> "$OUT/wine-err.txt"; then
  WINE_NOTE="not measured: the run under Wine failed (see $WIN_BUILD/bench/wine.log)"
else
  WINE_NOTE="measured"
fi
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "renderer: ${GALLIUM_DRIVER:-Mesa default}; load average before $LOAD_BEFORE, after $LOAD_AFTER"
echo
awk '
  { sub(/\r$/, "") }  # the Windows build writes CR LF line ends
  FNR == 1 { file++ }
  file == 1 && $1 == "scene" { order[++n] = $2; frames[$2] = $3; med[$2] = $4; p99[$2] = $5; alloc[$2] = $6; own[$2] = $7 }
  file == 2 && $1 == "scene" { fmed[$2] = $4; fp99[$2] = $5 }
  file == 3 && $1 == "scene" { pmed[$2] = $4 }
  file == 4 && $1 == "scene" { wframes[$2] = $3; wmed[$2] = $4; wp99[$2] = $5 }
  file == 1 && $1 != "scene" { extra[$1] = $2 }
  file == 4 && $1 != "scene" { wextra[$1] = $2 }
  END {
    printf "%-8s %7s %10s %10s %10s %10s %11s %12s %10s %13s %8s %9s %9s %10s\n", "scene", "frames", "median ms", "p99 ms", "floor ms", "floor p99", "frame/floor", "allocs/frame", "of them ours", "no shortcuts", "Wine ms", "Wine p99", "(frames)", "frame/Wine"
    for (i = 1; i <= n; i++) {
      s = order[i]
      ratio = (fmed[s] > 0 && med[s] != "-") ? sprintf("%.2f", med[s] / fmed[s]) : "-"
      # (test membership before any reference: awk makes the elements it reads)
      w = (s in wmed) ? wmed[s] : "-"; wp = (s in wp99) ? wp99[s] : "-"; wf = (s in wframes) ? wframes[s] : "-"
      wratio = (w != "-" && w > 0 && med[s] != "-") ? sprintf("%.2f", med[s] / w) : "-"
      printf "%-8s %7s %10s %10s %10s %10s %11s %12s %10s %13s %8s %9s %9s %10s\n", s, frames[s], med[s], p99[s], fmed[s], fp99[s], ratio, alloc[s], own[s], pmed[s], w, wp, wf, wratio
    }
    printf "\nstart-up to first presented frame: %s s", extra["startup"]
    if ("startup" in wextra) printf " (Wine: %s s, Wine'"'"'s own start included)", wextra["startup"]
    printf "\npeak RSS (VmHWM): %.1f MB", extra["vmhwm"] / 1024
    if ("vmhwm" in wextra) printf " (Wine: peak working set %.1f MB)", wextra["vmhwm"] / 1024
    printf "\nwater update (median): %s ms", extra["water"]
    if ("water" in wextra) printf " (Wine: %s ms)", wextra["water"]
    printf "\nWine column: %s\n", wine_note
  }' wine_note="$WINE_NOTE" "$OUT/frame.txt" "$OUT/floor.txt" "$OUT/plain.txt" "$OUT/wine.txt"
