# Sourced by the Wine scripts (wine-check.sh, compare-scenes.sh): a virtual
# display of our own, a Wine prefix inside the build folder, and the helpers
# both use. Callers set BUILD and OUT first; cleanup runs on exit.
WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEPREFIX=$BUILD/wineprefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer on the prefix's first start.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's xaudio2_7 crashes (a null read in FAudio's device query) when the
# machine has no sound card at all, as a CI runner has not. ALSA's null device
# gives it one that plays into nothing.
printf '</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n' >"$BUILD/asound-null.conf"
export ALSA_CONFIG_PATH=$BUILD/asound-null.conf

XVFB_PID=
GAME_PID=
cleanup() {
    [ -n "$GAME_PID" ] && kill "$GAME_PID" 2>/dev/null || true
    "$WINESERVER" -k 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

# A display of our own: :$WINE_CHECK_DISPLAY, or a free one Xvfb picks.
start_display() {
    if [ -n "${WINE_CHECK_DISPLAY:-}" ]; then
        Xvfb ":$WINE_CHECK_DISPLAY" -screen 0 1920x1080x24 -nolisten tcp >"$OUT/xvfb.log" 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$WINE_CHECK_DISPLAY"
    else
        rm -f "$OUT/display"
        Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$OUT/display" >"$OUT/xvfb.log" 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 300); do [ -s "$OUT/display" ] && break; sleep 0.1; done
        export DISPLAY=":$(cat "$OUT/display")"
    fi
    # A loaded machine can take several seconds to bring Xvfb up.
    for _ in $(seq 300); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    xdpyinfo >/dev/null 2>&1
}

# The prefix, made on first use. Japanese text: Debian's IPAGothic in the
# prefix. Wine's dialog font (Tahoma, behind "MS Shell Dlg") links to
# "MS UI Gothic" for the glyphs it lacks, and the game asks D3DXCreateFontA
# for a face only Japanese Windows has: IPAGothic stands in for both. (Wine
# rewrites Tahoma's own link list at every start, so the link is made through
# the name that list already holds.)
setup_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "making the Wine prefix (first start only)"
        "$WINE" wineboot -i >"$OUT/wineboot.log" 2>&1 || true
        "$WINESERVER" -w
    fi
    cp /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        printf '"MS UI Gothic"="IPAGothic"\r\n'
        printf '"HGP創英角ﾎﾟｯﾌﾟ体"="IPAGothic"\r\n'
    } | iconv -f UTF-8 -t UTF-16 >"$BUILD/japanese-fonts.reg"
    "$WINE" regedit /S "Z:$(echo "$BUILD/japanese-fonts.reg" | tr / '\\')" >>"$OUT/wineboot.log" 2>&1
    "$WINESERVER" -w
}

# Waits up to $2 seconds for a top-level window titled exactly $1; prints its id.
window_named() {
    local id
    for _ in $(seq "$2"); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1 || true)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 1
    done
    return 1
}

# The client area of a game window as "W H X Y": under Wine the child window
# Direct3D draws into, on Linux the window itself.
client_geometry() {
    local client
    client=$(xwininfo -children -id "$1" | awk '/^ +0x/{print $1; exit}')
    [ -n "$client" ] || client=$1
    xwininfo -id "$client" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
        /Width:/{w=$2} /Height:/{h=$2} END{print w, h, x, y}'
}
