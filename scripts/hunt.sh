#!/bin/bash
# Plays the game again and again on a private Xvfb, driven by xdotool, under
# scripts/quarantine-malloc.c, and keeps each run's log, last screenshot and
# any core dump (in BUILD_DIR/hunt-quarantine/, or hunt-glibc/). Used to look
# for the rare heap corruption seen in play.
#   scripts/hunt.sh [RUNS] [BUILD_DIR]     (defaults: 10 runs, build/)
# HUNT_ALLOCATOR=glibc plays under glibc's own checker instead (freed blocks
# are reused at once, as in a normal game), so that a corruption aborts the
# game and leaves a core dump to read the damaged block from.
# Each run takes about 5 minutes: the title, a stage, a meeting with a fish,
# the cast and the fight, then the result screen. Prints one line per run
# with the number of faults the allocator reported; exits 1 if any did, or
# if the game died.
set -u
cd "$(dirname "$0")/.." || exit 2
runs=${1:-10}
build=$(cd "${2:-build}" && pwd)
kind=${HUNT_ALLOCATOR:-quarantine}
out=$build/hunt-$kind
mkdir -p "$out"
case $kind in
quarantine)
    cc -O2 -g -fPIC -shared -o "$build/quarantine-malloc.so" scripts/quarantine-malloc.c -lpthread || exit 2
    allocator=(LD_PRELOAD="$build/quarantine-malloc.so") ;;
glibc) allocator=(LD_PRELOAD=libc_malloc_debug.so.0 GLIBC_TUNABLES=glibc.malloc.check=3) ;;
*) echo "HUNT_ALLOCATOR must be quarantine or glibc" >&2; exit 2 ;;
esac
number=$((90 + RANDOM % 100))
while [ -e /tmp/.X$number-lock ]; do number=$((number + 1)); done
display=:$number
Xvfb "$display" -screen 0 1920x1080x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
sleep 2
export DISPLAY=$display
ulimit -c unlimited
key() { xdotool keydown "$1"; sleep "${2:-0.12}"; xdotool keyup "$1"; }
status=0
for n in $(seq 1 "$runs"); do
    log=$out/run$n.log
    (cd "$build/run" && exec env SDL_AUDIODRIVER=dummy "${allocator[@]}" ./tideangler) >"$log" 2>&1 &
    pid=$!
    sleep 4
    window=$(xdotool search --name "" | tail -1)
    xdotool windowactivate "$window" 2>/dev/null
    # Title, then steer the boat into a fish; the fight starts on its own.
    sleep 30; key space; sleep 3; key w 2.0; sleep 30; key w 3.0; sleep 35
    key Up 10; sleep 30; key space; sleep 30
    # Charge and cast, strike, then reel with the line swung left and right.
    xdotool keydown Down; sleep 4; xdotool keyup Down
    key Up 3; sleep 15; key space; sleep 30
    for i in $(seq 1 40); do
        kill -0 $pid 2>/dev/null || break
        side=Right; [ $((i % 2)) = 0 ] && side=Left
        xdotool keydown Down keydown $side; sleep 0.6; xdotool keyup Down keyup $side; sleep 0.4
    done
    sleep 5
    import -window root "$out/run$n.png"
    alive=yes
    kill -0 $pid 2>/dev/null || alive=no
    if [ "$kind" = quarantine ]; then
        kill -USR1 $pid 2>/dev/null; sleep 8  # check every block still held
    fi
    kill $pid 2>/dev/null; wait $pid 2>/dev/null
    faults=$(grep -c '^=== qmalloc\|^[a-z_]*(): \|corrupted\|double free' "$log")
    for core in "$build"/run/core*; do [ -e "$core" ] && mv "$core" "$out/run$n.core"; done
    echo "run $n $(date +%T): faults $faults, game alive at the end: $alive"
    [ "$faults" != 0 ] || [ $alive = no ] && status=1
done
exit $status
