#!/bin/sh
# Installs the Debian 12 packages the game needs to build and run; with --test
# also those the tests need (GoogleTest, a virtual X display, screenshot tools,
# the checkers of the installed menu entry, AppStream data and Debian package);
# with --windows also the mingw-w64 cross compiler for the Windows program and
# Wine, a virtual display and screenshot tools for scripts/wine-check.sh.
# Flags can be combined.
# Works as root or through sudo.
set -e
if [ "$(id -u)" -eq 0 ]; then SUDO=; else SUDO=sudo; fi

PACKAGES="build-essential cmake pkg-config \
  libsdl2-dev libsdl2-ttf-dev libepoxy-dev libfontconfig-dev libfaudio-dev libstb-dev zlib1g-dev libx11-dev \
  libgl1-mesa-dri libglx-mesa0 libegl-mesa0 \
  fonts-ipafont-gothic fonts-dejavu-core"
for flag in "$@"; do
  case "$flag" in
    --test)
      PACKAGES="$PACKAGES libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool imagemagick sox \
        desktop-file-utils appstream lintian dpkg-dev clang-format" ;;
    --windows)
      PACKAGES="$PACKAGES g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev \
        wine wine64 xvfb xauth x11-utils xdotool imagemagick" ;;
    *) echo "install-deps.sh: unknown flag $flag (use --test, --windows)" >&2; exit 2 ;;
  esac
done

missing=
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi
