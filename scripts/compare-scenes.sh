#!/bin/bash
# Draws four moments of the game with the Linux build (our Direct3D 9 layer)
# and with the Windows build under Wine (Wine's Direct3D 9, the reference),
# through tideangler-scenes, and compares the pictures pixel by pixel:
#   title (frame 60), game1 (stage one, frame 3), game2 (stage two, frame 30),
#   result (frame 30).
# Writes docs/compare/<scene>.png (Linux | Wine | differing pixels in red) and
# prints the differing-pixel counts (ImageMagick compare -metric AE, fuzz 2%).
#
#   scripts/compare-scenes.sh
# Uses build/ (Linux) and build-win/ (Windows, prefix build-win/wineprefix).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
LINUX_BUILD=${LINUX_BUILD:-$ROOT/build}
BUILD=${WINDOWS_BUILD:-$ROOT/build-win}
OUT=$BUILD/compare
DOCS=$ROOT/docs/compare
FUZZ=${COMPARE_FUZZ:-2%}
mkdir -p "$OUT" "$DOCS"

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$ROOT" -B "$LINUX_BUILD" "${launcher[@]}" >/dev/null
cmake --build "$LINUX_BUILD" -j2 --target tideangler-scenes assetgen_run
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" "${launcher[@]}" >/dev/null
cmake --build "$BUILD" -j2 --target tideangler-scenes

. "$ROOT/scripts/wine-env.sh"
start_display || { echo "no virtual display" >&2; exit 1; }
setup_prefix

# Runs the scene program of one build until its frames are done and saves
# the client area as $3.
capture() {
    local dir=$1 scene=$2 png=$3 win w h x y
    shift 3
    rm -f "$dir/scene-done.txt"
    (cd "$dir" && exec "$@" "$scene") >"$OUT/$(basename "$png" .png).log" 2>&1 &
    GAME_PID=$!
    for _ in $(seq 600); do [ -f "$dir/scene-done.txt" ] && break; sleep 1; done
    [ -f "$dir/scene-done.txt" ] || { echo "$scene: no frames from $*" >&2; exit 1; }
    sleep 1
    win=$(window_named "ゲームウィンドウ" 10) || { echo "$scene: no window" >&2; exit 1; }
    read -r w h x y < <(client_geometry "$win")
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$png"
    kill "$GAME_PID" 2>/dev/null || true
    wait "$GAME_PID" 2>/dev/null || true
    GAME_PID=
    "$WINESERVER" -k 2>/dev/null || true
}

printf '%-8s %12s\n' scene "differing px"
for scene in title game1 game2 result; do
    linux=$OUT/$scene-linux.png
    wine=$OUT/$scene-wine.png
    capture "$LINUX_BUILD/run" "$scene" "$linux" env SDL_AUDIODRIVER=dummy ./tideangler-scenes
    capture "$BUILD/run" "$scene" "$wine" "$WINE" tideangler-scenes.exe
    diff=$OUT/$scene-diff.png
    count=$(compare -metric AE -fuzz "$FUZZ" "$linux" "$wine" "$diff" 2>&1 >/dev/null || true)
    printf '%-8s %12s\n' "$scene" "$count"
    # Side by side at 40%: Linux, Wine, and the differing pixels.
    convert "$linux" "$wine" "$diff" -resize 40% +append -strip -define png:exclude-chunks=date,time "$DOCS/$scene.png"
done
