#!/bin/bash
# Runs the Windows build's bench_scenes under Wine (Debian's wine64) on a
# virtual display of its own, 1920x1080x24 like the Linux run's, with the
# Wine prefix of the Windows build folder (made on first use, as the other
# Wine scripts do), and prints its lines on stdout. bench/run.sh calls it.
#
#   bench/wine-bench.sh <Windows build directory> <frames per scene>
#
# The program is started in the build's run directory; BENCH_T0 is taken
# just before Wine is started, so its start-up includes Wine's own.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "$1" && pwd)
FRAMES=$2
OUT=$BUILD/bench
mkdir -p "$OUT"
. "$ROOT/scripts/wine-env.sh"
start_display || { echo "wine-bench: no virtual display" >&2; exit 1; }
setup_prefix >&2
cd "$BUILD/run"
BENCH_T0=$(date +%s.%N) "$WINE" bench_scenes.exe "$FRAMES" 2>"$OUT/wine.log"
