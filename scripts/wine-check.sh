#!/bin/bash
# Plays the Windows program under Wine (Debian's wine64) on a virtual display,
# as a player would, with key presses and screenshots:
#   the window ゲームウィンドウ with a 1680x900 client area, the title screen,
#   Space to stage one, W straight into the centre fish, the cast, the bite,
#   the strike, the fish getting away, the name AAA, Space back to the title,
#   the ranking file's last record "AAA" / "0", Escape and OK in the 確認 box
#   with exit code 0; then a start with one texture file missing: one "エラー"
#   box, and the game runs on.
#
#   scripts/wine-check.sh           the whole play-through (several minutes)
#   scripts/wine-check.sh --short   start, title screenshot, Escape, OK, exit 0
#
# Builds the program in build-wine/ with the ranking file in the working
# directory (RANKING_FILE_PATH=ranking.txt); the Wine prefix, the screenshots
# (build-wine/check/*.png) and the logs stay in that folder. Nothing is kept
# outside the clone. Needs: ./scripts/install-deps.sh --windows
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
MODE=full
[ "${1:-}" = "--short" ] && MODE=short
BUILD=${WINE_CHECK_BUILD:-$ROOT/build-wine}
OUT=$BUILD/check
RUN=$BUILD/run
# Longest time a key is held or released, in seconds: more than one frame of
# a slow software-rendered Wine, so no press falls between two keyboard reads.
KEY_HOLD=${WINE_CHECK_KEY_HOLD:-0.8}

say() { echo "wine-check: $*"; }
fail() {
    echo "wine-check: FAILED: $*" >&2
    [ -n "${GAME_PID:-}" ] && shot failure >/dev/null 2>&1 || true
    exit 1
}

# ---- build ----
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRANKING_FILE_PATH=ranking.txt "${launcher[@]}" >/dev/null
cmake --build "$BUILD" -j2 --target tideangler
mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/*.log

# ---- Wine and a display of our own ----
. "$ROOT/scripts/wine-env.sh"
start_display || fail "no virtual display"
setup_prefix

# ---- looking at the screen ----
CLIENT=   # WxH+X+Y of the game's client area on the display

# Saves the client area (or the whole screen before the window is known).
shot() {
    if [ -n "$CLIENT" ]; then
        import -window root -crop "$CLIENT" +repage "$OUT/$1.png"
    else
        import -window root "$OUT/$1.png"
    fi
    echo "$OUT/$1.png"
}

# Mean colour of a rectangle of a screenshot, as "R G B" (0-255).
mean() {
    convert "$1" -crop "$4x$5+$2+$3" +repage -scale '1x1!' \
        -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:
}

# True when the screenshot shows the scene: each is told by a part of the
# picture only it has (measured on both builds' pictures).
looks_like() {
    local img=$2 r g b
    case $1 in
    title) # the orange lettering of the name
        read -r r g b < <(mean "$img" 400 130 880 110)
        [ "$r" -gt 110 ] && [ "$g" -gt 100 ] && [ "$b" -lt 150 ] ;;
    game1) # the navy radar, top right
        read -r r g b < <(mean "$img" 1400 20 220 200)
        [ "$r" -lt 60 ] && [ "$g" -lt 100 ] && [ "$b" -lt 150 ] ;;
    game2) # the green HP bar, top left
        read -r r g b < <(mean "$img" 20 8 900 20)
        [ "$g" -gt 180 ] && [ "$r" -gt 100 ] && [ "$b" -lt 160 ] ;;
    hit) # the orange HIT! cut-in in the middle
        read -r r g b < <(mean "$img" 640 330 400 100)
        [ "$r" -gt 150 ] && [ "$r" -gt $((b + 40)) ] ;;
    result) # the evening sky behind a navy panel
        local pr pg pb
        read -r r g b < <(mean "$img" 20 120 200 100)
        read -r pr pg pb < <(mean "$img" 420 200 200 80)
        [ "$r" -gt 120 ] && [ "$pr" -lt 80 ] && [ "$pb" -lt 140 ] ;;
    esac
}

# Polls the screen until the scene shows, for at most $2 seconds; the last
# screenshot is kept as $3.png.
wait_for() {
    local scene=$1 limit=$2 name=$3 start=$SECONDS img
    while :; do
        img=$(shot "$name")
        looks_like "$scene" "$img" && return 0
        [ $((SECONDS - start)) -ge "$limit" ] && return 1
        sleep 1
    done
}

tap() {
    xdotool keydown "$1"
    sleep "$KEY_HOLD"
    xdotool keyup "$1"
    sleep "$KEY_HOLD"
}

# Answers the 確認 box with OK (its default button is Cancel): a screenshot
# of the box, then Shift+Tab to OK and Space.
confirm_quit() {
    local box geo
    box=$(window_named "確認" 60) || fail "no 確認 box after Escape"
    sleep 2
    geo=$(xwininfo -id "$box" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{print w "x" h "+" x "+" y}')
    import -window root -crop "$geo" +repage "$OUT/$1.png"
    say "確認 box: $OUT/$1.png"
    xdotool mousemove --window "$box" 5 5 click 1
    sleep 0.5
    xdotool key shift+Tab
    sleep 0.3
    xdotool key space
}

# Starts the game in the run directory; sets GAME_PID and CLIENT.
start_game() {
    local log=$1 win w h x y
    CLIENT=
    (cd "$RUN" && exec "$WINE" tideangler.exe) >"$OUT/$log" 2>&1 &
    GAME_PID=$!
    win=$(window_named "ゲームウィンドウ" 120) || fail "no window titled ゲームウィンドウ"
    read -r w h x y < <(client_geometry "$win")
    [ "$w" = 1680 ] && [ "$h" = 900 ] || fail "client area is ${w}x${h}, not 1680x900"
    CLIENT="${w}x${h}+${x}+${y}"
    say "window ゲームウィンドウ, client area ${w}x${h} at ${x},${y}"
    click_client
}

# Wine makes a window the foreground one (which DirectInput reads the keys
# of) when it is clicked; the game does not use the mouse.
click_client() {
    local w h x y
    IFS='x+' read -r w h x y <<<"$CLIENT"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}

# Waits for the game's process to end; fails unless its exit code is $1.
expect_exit() {
    local code=0
    for _ in $(seq 120); do kill -0 "$GAME_PID" 2>/dev/null || break; sleep 1; done
    wait "$GAME_PID" || code=$?
    GAME_PID=
    [ "$code" = "$1" ] || fail "exit code $code, expected $1"
    say "exit code $code"
}

rm -f "$RUN/ranking.txt"
start_game game.log
wait_for title 180 title || fail "the title screen was not drawn"
say "title screen: $OUT/title.png"

if [ "$MODE" = full ]; then
    tap space
    wait_for game1 120 stage1 || fail "Space did not lead to stage one"
    say "stage one: $OUT/stage1.png"

    xdotool keydown w
    wait_for game2 600 stage2 || { xdotool keyup w; fail "W did not reach the centre fish"; }
    xdotool keyup w
    say "stage two: $OUT/stage2.png"

    # Up held charges the cast (it goes off by itself); Space strikes once the
    # float has been pulled under, and does nothing before.
    xdotool keydown Up
    start=$SECONDS
    until looks_like hit "$(shot hit)"; do
        [ $((SECONDS - start)) -lt 900 ] || { xdotool keyup Up; fail "no strike"; }
        # A picture every half minute: the charge, the cast, the nibbles, the bite.
        t=$((SECONDS - start))
        [ $((t / 30)) -gt "${last_t:--1}" ] && { last_t=$((t / 30)); shot "stage2-$(printf %03d "$t")s" >/dev/null; }
        tap space
    done
    xdotool keyup Up
    say "the strike: $OUT/hit.png"

    # No reeling: the fish pulls the float away and gets away.
    wait_for result 900 result || fail "the fish did not get away"
    say "result screen: $OUT/result.png"
    for _ in 1 2 3; do tap Right; done
    shot name >/dev/null
    tap space
    wait_for title 120 title-again || fail "Space did not lead back to the title"
    say "back on the title: $OUT/title-again.png"

    [ -f "$RUN/ranking.txt" ] || fail "no ranking file"
    last=$(tail -n 2 "$RUN/ranking.txt" | tr -d '\r' | paste -sd/)
    [ "$last" = "AAA/0" ] || fail "the ranking file's last record is '$last', not AAA/0"
    say "ranking.txt ends with AAA / 0"
fi

xdotool key Escape
confirm_quit confirm
expect_exit 0

if [ "$MODE" = full ]; then
    # One texture file missing: the one エラー box, then the game runs on.
    # (the result screen's "press space" line: the title does not need it)
    missing=resultpress.png
    mv "$RUN/asset/texture/$missing" "$BUILD/$missing.hidden"
    restore() { mv "$BUILD/$missing.hidden" "$RUN/asset/texture/$missing"; }
    trap 'restore; cleanup' EXIT
    start_game missing.log
    box=$(window_named "エラー" 120) || fail "no エラー box with $missing missing"
    sleep 2
    import -window root "$OUT/missing-texture.png"
    xdotool mousemove --window "$box" 5 5 click 1
    sleep 0.5
    xdotool key Return
    sleep 3
    boxes=$(xdotool search --name "^エラー\$" 2>/dev/null | wc -l || true)
    [ "$boxes" = 0 ] || fail "more than one エラー box"
    click_client
    wait_for title 120 missing-title || fail "no title screen after the エラー box"
    say "one エラー box for $missing, then the title: $OUT/missing-title.png"
    xdotool key Escape
    confirm_quit confirm-again
    expect_exit 0
    restore
    trap cleanup EXIT
fi
say "all checks passed ($MODE)"
