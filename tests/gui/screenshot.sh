#!/bin/sh
# Takes pictures of every window, to check their look by eye (not a test):
# - OUT/noto-sans-10pt/: each window and the longest message boxes as
#   cofralin_window_pictures draws them at Noto Sans 10 pt, under Xvfb;
# - OUT/scale-2/: the same at scale 2 (QT_SCALE_FACTOR=2);
# - OUT/x11-main.png: the program itself under Xvfb as it starts;
# - OUT/wayland-main.png: the program on weston (headless), with the title
#   bar it draws on Wayland.
# Usage: tests/gui/screenshot.sh [BUILD_DIR [OUT_DIR]]
#   (defaults: build/ci and docs/screenshots beside this tree)
# Needs xvfb-run, ImageMagick, weston and qt6-wayland.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build/ci}"
build="$(cd "$build" && pwd)"
out="${2:-$here/../../docs/screenshots}"
run="$build/run"
pictures="$build/tests/gui/cofralin_window_pictures"
[ -x "$run/cofralin" ] || { echo "no $run/cofralin: build the cofralin target first" >&2; exit 1; }
[ -x "$pictures" ] || { echo "no $pictures: build cofralin_window_pictures first" >&2; exit 1; }
mkdir -p "$out/noto-sans-10pt" "$out/scale-2"
out="$(cd "$out" && pwd)"

# A screen of a usual size: message boxes take their width from it.
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
    "$pictures" "$out/noto-sans-10pt" "Noto Sans" 10
QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2048x1536x24 -dpi 96" \
    "$pictures" "$out/scale-2" "Noto Sans" 10

# The program itself, on a screen just larger than its window.
xvfb-run -a -s "-screen 0 340x500x24 -dpi 96" sh -c '
    cd "$1"
    ./cofralin &
    program=$!
    sleep 3
    import -window root "$2/x11-main.png"
    kill "$program"
    echo "$2/x11-main.png"
' screenshot "$run" "$out"

# The program on a Wayland compositor, over a plain background.
runtime="$(mktemp -d)"
chmod 700 "$runtime"
cat > "$runtime/weston.ini" <<'EOF'
[core]
idle-time=0
[shell]
background-color=0xff7f8c8d
panel-position=none
EOF
XDG_RUNTIME_DIR="$runtime" weston --config="$runtime/weston.ini" --backend=headless-backend.so \
    --use-pixman --debug --socket=screenshot --width=640 --height=600 >/dev/null 2>&1 &
weston=$!
sleep 2
(cd "$run" && XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=screenshot QT_QPA_PLATFORM=wayland \
    exec ./cofralin >/dev/null 2>&1) &
program=$!
sleep 3
(cd "$runtime" && XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=screenshot weston-screenshooter)
convert "$runtime"/wayland-screenshot-*.png -fuzz 2% -trim +repage "$out/wayland-main.png"
echo "$out/wayland-main.png"
kill "$program" "$weston" 2>/dev/null || true
rm -rf "$runtime"
