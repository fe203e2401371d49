#!/bin/sh
# Installs the game into a DESTDIR below the build folder and checks what a
# player's system would get: the layout, the menu entry, the icons, the
# AppStream data, and that the launcher, started from / through a link,
# runs the game in its data folder with every asset found.
# Usage: install_test.sh <build folder> <scratch folder>
# Exit 77 (skipped) when a needed tool is missing, except in CI, where that
# is a failure.
set -u
build=$1
work=$2
root=$work/root
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
need() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "missing tool: $tool (scripts/install-deps.sh --test installs it)"
            if [ -n "${CI:-}" ]; then exit 1; else exit 77; fi
        fi
    done
}
need desktop-file-validate appstreamcli identify readlink

rm -rf "$work"
mkdir -p "$work"
if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi

# ---- layout ----
launcher=$root/usr/games/tideangler
program=$root/usr/lib/games/tideangler/tideangler
data=$root/usr/share/tideangler
[ -f "$launcher" ] && [ -x "$launcher" ] || fail "no executable launcher usr/games/tideangler"
head -c 4 "$program" 2>/dev/null | grep -q "ELF" || fail "usr/lib/games/tideangler/tideangler is not the game program"
[ -x "$program" ] || fail "the game program is not executable"
count() { find "$1" -maxdepth 1 -type f -name "$2" 2>/dev/null | wc -l; }
[ "$(count "$data/model" '*.x')" -eq 24 ] || fail "expected 24 model files in share/tideangler/model, found $(count "$data/model" '*.x')"
[ "$(count "$data/asset/texture" '*')" -eq 26 ] || fail "expected 26 texture files in share/tideangler/asset/texture, found $(count "$data/asset/texture" '*')"
[ "$(count "$data/SE" '*.wav')" -eq 4 ] || fail "expected 4 wave files in share/tideangler/SE, found $(count "$data/SE" '*.wav')"
# Nothing of the build's run folder but the data: no program, no local ranking, no icons.
for stray in tideangler icons; do
    [ -e "$data/$stray" ] && fail "share/tideangler/$stray should not be installed"
done
link=$data/ranking.txt
[ -L "$link" ] || fail "share/tideangler/ranking.txt is not a link to the shared ranking file"
[ "$(readlink "$link")" = /var/games/tideangler/ranking.txt ] ||
    fail "share/tideangler/ranking.txt points at '$(readlink "$link")', not /var/games/tideangler/ranking.txt"
[ -e "$root/var" ] && fail "the shared ranking folder belongs to the package's postinst, not to the install tree"
find "$root" -perm /6000 | grep -q . && fail "set-id files in the install tree: $(find "$root" -perm /6000)"

for size in 16 24 32 48 64 128 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/tideangler.png
    if [ ! -f "$icon" ]; then
        fail "no ${size}x${size} icon"
    elif [ "$(identify -format '%wx%h' "$icon")" != "${size}x${size}" ]; then
        fail "the ${size}x${size} icon is $(identify -format '%wx%h' "$icon")"
    fi
done
[ -f "$root/usr/share/doc/tideangler/copyright" ] || fail "no copyright file"
gzip -t "$root/usr/share/doc/tideangler/changelog.gz" 2>/dev/null || fail "no valid changelog.gz"

# ---- menu entry and AppStream data ----
desktop=$root/usr/share/applications/tideangler.desktop
if desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1; then
    exec_cmd=$(sed -n 's/^Exec=//p' "$desktop")
    icon_name=$(sed -n 's/^Icon=//p' "$desktop")
    [ "$exec_cmd" = tideangler ] || fail "the menu entry runs '$exec_cmd', not the launcher tideangler"
    [ "$icon_name" = tideangler ] || fail "the menu entry's icon '$icon_name' is not the installed tideangler icon"
else
    cat "$work/desktop.log"
    fail "desktop-file-validate rejects the menu entry"
fi
metainfo=$(find "$root/usr/share/metainfo" -name '*.metainfo.xml' 2>/dev/null)
if [ "$(echo "$metainfo" | grep -c .)" -ne 1 ]; then
    fail "expected one AppStream file in share/metainfo, found: $metainfo"
else
    appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 || {
        cat "$work/appstream.log"
        fail "appstreamcli rejects $metainfo"
    }
    grep -q '<launchable type="desktop-id">tideangler.desktop</launchable>' "$metainfo" ||
        fail "the AppStream data do not launch tideangler.desktop"
    grep -q '<image>https://[^<]*\.png</image>' "$metainfo" || fail "the AppStream data name no screenshot"
fi

# ---- the launcher: started from / through a link, as from a PATH folder ----
# The game runs headless; the disk audio driver writes the music it plays to
# a file, which grows only once the game is through its start-up.
ln -s "$launcher" "$work/tideangler-link"
audio=$work/audio.raw
(cd / && exec env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" \
    "$work/tideangler-link" >"$work/game.out" 2>"$work/game.err") &
pid=$!
tries=0
while [ "$(stat -c %s "$audio" 2>/dev/null || echo 0)" -lt 400000 ] && kill -0 "$pid" 2>/dev/null && [ $tries -lt 600 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
if kill -0 "$pid" 2>/dev/null; then
    cwd=$(readlink "/proc/$pid/cwd")
    exe=$(readlink "/proc/$pid/exe")
    kill "$pid"
    wait "$pid" 2>/dev/null
    [ "$cwd" = "$(readlink -f "$data")" ] || fail "the game runs in '$cwd', not in its data folder $data"
    [ "$exe" = "$(readlink -f "$program")" ] || fail "the launcher started '$exe', not the installed program"
    [ "$(stat -c %s "$audio" 2>/dev/null || echo 0)" -ge 400000 ] || fail "the game played no music within 60 s"
else
    wait "$pid"
    fail "the game ended by itself (exit code $?)"
fi
# Headless, each message box the game shows is printed as "<program>: [caption] text",
# and a file it cannot load is named on stderr; only SDL's note on the disk
# audio driver is expected there.
if grep -v '^CRITICAL: ' "$work/game.err" | grep -q .; then
    fail "the game reported problems: $(cat "$work/game.err")"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "install tree, menu entry, AppStream data and launcher: all good"
