#!/bin/sh
# Takes a picture of the main window, to check its look by eye (not a test).
# Usage: tests/gui/screenshot.sh [BUILD_DIR]   (default: build-gui beside this tree)
# Writes BUILD_DIR/screenshot-main.png. Needs xvfb-run and ImageMagick's import.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build-gui}"
build="$(cd "$build" && pwd)"
run="$build/run"
out="$build/screenshot-main.png"
[ -x "$run/cofralin" ] || { echo "no $run/cofralin: build the cofralin target first" >&2; exit 1; }

xvfb-run -a -s "-screen 0 320x330x24 -dpi 96" sh -c '
    cd "$1"
    ./cofralin &
    program=$!
    sleep 3
    import -window root "$2"
    kill "$program"
' screenshot "$run" "$out"
echo "$out"
