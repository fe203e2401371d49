#!/bin/sh
# Installs the game into a DESTDIR below the build folder and checks what a
# player's system would get: the layout, the icons, the menu entry and the
# AppStream data, and that the launcher, started from / through a link, runs
# the installed program in its data folder with every asset found.
# Usage: install_test.sh <build folder> <scratch folder>; exit 77 (skipped)
# when a tool is missing, except in CI, where that fails.
set -u
build=$1
work=$2
root=$work/root
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for tool in desktop-file-validate appstreamcli identify; do
    command -v "$tool" >/dev/null 2>&1 && continue
    echo "missing tool: $tool (scripts/install-deps.sh --test installs it)"
    if [ -n "${CI:-}" ]; then exit 1; else exit 77; fi
done

rm -rf "$work" && mkdir -p "$work"
DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }

# ---- layout ----
launcher=$root/usr/games/tideangler
program=$root/usr/lib/games/tideangler/tideangler
data=$root/usr/share/tideangler
[ -x "$launcher" ] || fail "no launcher usr/games/tideangler"
head -c 4 "$program" 2>/dev/null | grep -q ELF && [ -x "$program" ] || fail "no program usr/lib/games/tideangler/tideangler"
count() { find "$data/$1" -maxdepth 1 -type f -name "$2" 2>/dev/null | wc -l; }
[ "$(count model '*.x')" -eq 24 ] || fail "$(count model '*.x') model files in share/tideangler/model, not 24"
[ "$(count asset/texture '*')" -eq 26 ] || fail "$(count asset/texture '*') textures in share/tideangler/asset/texture, not 26"
[ "$(count SE '*.wav')" -eq 4 ] || fail "$(count SE '*.wav') wave files in share/tideangler/SE, not 4"
[ -e "$data/tideangler" ] || [ -e "$data/icons" ] && fail "the run folder's program or icons installed as data"
[ "$(readlink "$data/ranking.txt")" = /var/games/tideangler/ranking.txt ] ||
    fail "share/tideangler/ranking.txt is not a link to /var/games/tideangler/ranking.txt"
[ -e "$root/var" ] && fail "files under /var installed (the ranking file is the package's postinst's)"
for size in 16 24 32 48 64 128 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/tideangler.png
    [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "no ${size}x${size} icon"
done

# ---- menu entry and AppStream data ----
desktop=$root/usr/share/applications/tideangler.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the menu entry"
grep -qx 'Exec=tideangler' "$desktop" || fail "the menu entry does not run the launcher tideangler"
grep -qx 'Icon=tideangler' "$desktop" || fail "the menu entry does not show the installed icon"
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
grep -q '<launchable type="desktop-id">tideangler.desktop</launchable>' "$metainfo" || fail "the AppStream data do not launch the menu entry"
grep -q '<image>https://[^<]*\.png</image>' "$metainfo" || fail "the AppStream data name no screenshot"

# ---- the launcher, started from / through a link as from a PATH folder ----
# Headless; the disk audio driver writes the music to a file, which grows
# only once the game is through its start-up (sound comes up last).
ln -s "$launcher" "$work/tideangler-link"
audio=$work/audio.raw
(cd / && exec env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" \
    "$work/tideangler-link" >/dev/null 2>"$work/game.err") &
pid=$!
size() { stat -c %s "$audio" 2>/dev/null || echo 0; }
tries=0
while [ "$(size)" -lt 400000 ] && kill -0 "$pid" 2>/dev/null && [ $tries -lt 600 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
if kill -0 "$pid" 2>/dev/null; then
    cwd=$(readlink "/proc/$pid/cwd")
    exe=$(readlink "/proc/$pid/exe")
    kill "$pid"
    wait "$pid" 2>/dev/null
    [ "$cwd" = "$(readlink -f "$data")" ] || fail "the game runs in '$cwd', not in its data folder"
    [ "$exe" = "$(readlink -f "$program")" ] || fail "the launcher started '$exe', not the installed program"
    [ "$(size)" -ge 400000 ] || fail "the game played no music within 60 s"
else
    wait "$pid"
    fail "the game ended by itself (exit code $?)"
fi
# Headless, a message box is printed as "<program>: [caption] text", and a
# file that cannot be loaded is named; only SDL's note on the disk driver is due.
grep -v '^CRITICAL: ' "$work/game.err" | grep -q . && fail "the game reported problems: $(cat "$work/game.err")"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "install tree, menu entry, AppStream data and launcher: all good"
