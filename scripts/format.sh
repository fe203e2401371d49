#!/bin/sh
# Formats every C++ source and header we write with the tree's .clang-format
# (see "House style" in the README). Third-party and generated files are not
# ours and are left alone.
#   scripts/format.sh          rewrite the files in place
#   scripts/format.sh --check  change nothing; list the files that would
#                              change and exit 1 if there are any
set -eu
cd "$(dirname "$0")/.."
CLANG_FORMAT=${CLANG_FORMAT:-clang-format}
command -v "$CLANG_FORMAT" >/dev/null || { echo "format.sh: $CLANG_FORMAT not found (apt-get install clang-format)" >&2; exit 2; }

files=$(git ls-files -- '*.cpp' '*.h' | grep -E '^(app|device|ui2d|world3d|game|platform|tools|tests|bench|fuzz)/')

if [ "${1:-}" = "--check" ]; then
    bad=0
    for f in $files; do
        if ! "$CLANG_FORMAT" --style=file "$f" | cmp -s - "$f"; then
            echo "$f"
            bad=1
        fi
    done
    exit $bad
fi
echo "$files" | xargs "$CLANG_FORMAT" --style=file -i
