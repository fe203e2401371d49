#!/bin/sh
# Builds the Debian package and the .tar.gz with cpack, as a packager would,
# and checks them: lintian finds no error, the package depends on the
# libraries the program links, carries the scripts that set up the shared
# ranking file, and ships no set-id file and nothing under /var.
# Usage: deb_test.sh <build folder> <scratch folder>
# Exit 77 (skipped) when a needed tool is missing, except in CI.
set -u
build=$1
work=$2
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "missing tool: $tool (scripts/install-deps.sh --test installs it)"
        if [ -n "${CI:-}" ]; then exit 1; else exit 77; fi
    fi
done

rm -rf "$work"
mkdir -p "$work"
if ! cpack --config "$build/CPackConfig.cmake" -B "$work" -G "DEB;TGZ" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
deb=$(ls "$work"/tideangler_*_*.deb 2>/dev/null)
tgz=$(ls "$work"/tideangler-*.tar.gz 2>/dev/null)
[ -n "$tgz" ] || fail "no .tar.gz made"
if [ -z "$deb" ]; then
    echo "FAIL: no tideangler_<version>_<arch>.deb made"
    exit 1
fi

dpkg-deb -f "$deb" Package Section Depends >"$work/control" || fail "unreadable control file"
grep -qx 'Package: tideangler' "$work/control" || fail "the package is not named tideangler"
grep -qx 'Section: games' "$work/control" || fail "the package is not in section games"
for lib in libc6 libsdl2-2.0-0 libsdl2-ttf-2.0-0 libepoxy0 libfaudio0 libfontconfig1 libgl1; do
    grep '^Depends:' "$work/control" | grep -Eq "(: |, )$lib( |,|$)" || fail "the package does not depend on $lib"
done
dpkg-deb --ctrl-tarfile "$deb" | tar tf - >"$work/control-files"
for script in postinst postrm; do
    grep -qx "./$script" "$work/control-files" || fail "the package has no $script"
done
dpkg-deb -c "$deb" >"$work/contents"
grep -q ' ./usr/games/tideangler$' "$work/contents" || fail "no launcher in /usr/games"
grep -q ' ./usr/share/tideangler/ranking.txt -> /var/games/tideangler/ranking.txt$' "$work/contents" ||
    fail "no link to the shared ranking file"
grep -q '^[-d]r.[sS]\|^[-d]r....[sS]' "$work/contents" && fail "set-id files in the package (set by postinst instead)"
grep -q ' ./var/' "$work/contents" && fail "the package ships files under /var (the ranking file belongs to postinst)"

# lintian exits non-zero on errors; tags are printed as "E: ...", "W: ...".
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || {
    cat "$work/lintian.log"
    fail "lintian reports errors"
}
grep '^E: ' "$work/lintian.log" && fail "lintian reports errors"

# The .tar.gz holds the same tree below one top folder, launcher included.
tar tzf "$tgz" | grep -q '^[^/]*/games/tideangler$' || fail "no launcher in the .tar.gz"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package $(basename "$deb") and $(basename "$tgz"): all good"
cat "$work/lintian.log"
