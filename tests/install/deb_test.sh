#!/bin/sh
# Makes the Debian package and the .tar.gz with cpack, as a packager would:
# lintian finds no error, the package depends on the libraries the program
# links and carries the scripts that set up the shared ranking file, and
# ships no set-id file and nothing under /var.
# Usage: deb_test.sh <build folder> <scratch folder>; exit 77 (skipped) when a
# tool is missing, except in CI, where that fails.
set -u
build=$1
work=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    command -v "$tool" >/dev/null 2>&1 && continue
    echo "missing tool: $tool (scripts/install-deps.sh --test installs it)"
    if [ -n "${CI:-}" ]; then exit 1; else exit 77; fi
done

rm -rf "$work" && mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -B "$work" -G "DEB;TGZ" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$work"/tideangler_*_*.deb 2>/dev/null) || { echo "FAIL: no tideangler_<version>_<arch>.deb"; exit 1; }
tgz=$(ls "$work"/tideangler-*.tar.gz 2>/dev/null) || fail "no .tar.gz"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libsdl2-2.0-0 libsdl2-ttf-2.0-0 libepoxy0 libfaudio0 libfontconfig1 libgl1; do
    echo ", $depends," | grep -Eq ", $lib( \([^)]*\))?," || fail "the package does not depend on $lib: $depends"
done
dpkg-deb --ctrl-tarfile "$deb" | tar tf - | grep -c '^\./post\(inst\|rm\)$' | grep -qx 2 || fail "no postinst and postrm"
dpkg-deb -c "$deb" >"$work/contents"
grep -q '^[-d]r.[sS]\|^[-d]r....[sS]' "$work/contents" && fail "set-id files in the package (postinst sets them)"
grep -q ' \./var/' "$work/contents" && fail "files under /var in the package (the ranking file is postinst's)"
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian reports errors"; }
[ -n "$tgz" ] && { tar tzf "$tgz" | grep -q '^[^/]*/games/tideangler$' || fail "no launcher in the .tar.gz"; }

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "$(basename "$deb") and $(basename "$tgz"): all good"
