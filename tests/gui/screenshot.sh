#!/bin/sh
# Takes pictures of every window under Xvfb at 96 dpi, to check their look by
# eye (not a test): the main window as the program shows it at start, and
# each dialog and the longest message boxes as cofralin_window_pictures draws
# them.
# Usage: tests/gui/screenshot.sh [BUILD_DIR]   (default: build/ci beside this tree)
# Writes BUILD_DIR/screenshots/*.png. Needs xvfb-run and ImageMagick's import.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build/ci}"
build="$(cd "$build" && pwd)"
run="$build/run"
pictures="$build/tests/gui/cofralin_window_pictures"
out="$build/screenshots"
[ -x "$run/cofralin" ] || { echo "no $run/cofralin: build the cofralin target first" >&2; exit 1; }
[ -x "$pictures" ] || { echo "no $pictures: build cofralin_window_pictures first" >&2; exit 1; }
mkdir -p "$out"

# A screen of a usual size: message boxes take their width from it.
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$pictures" "$out"
# The program itself, on a screen just larger than its window.
xvfb-run -a -s "-screen 0 320x330x24 -dpi 96" sh -c '
    cd "$1"
    ./cofralin &
    program=$!
    sleep 3
    import -window root "$2/screen-main.png"
    kill "$program"
    echo "$2/screen-main.png"
' screenshot "$run" "$out"
