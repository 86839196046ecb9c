#!/usr/bin/env bash
# Builds the Debian package from a build folder, installs it, and checks that
# the installed program starts from its desktop entry's folder and connects to
# the router simulator: under Xvfb a key press picks COM1: in the port
# selector, and the simulator must then receive the connection's lines.
set -euo pipefail
build=${1:?usage: package-test.sh BUILD_DIR}
build=$(cd "$build" && pwd)
work=$(mktemp -d)
cleanup() {
  kill "${app_pid:-}" "${sim_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work" >/dev/null 2>&1)
deb=$(ls "$work"/cofralin_*.deb)
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
echo "installed $(basename "$deb")"

share=$(sed -n 's/^Path=//p' /usr/share/applications/cofralin.desktop)
test -f "$share/CONFIG.TXT" && test -f "$share/ayuda.html" && test -x "$share/q73upgrade"

/usr/bin/q73sim --record "$work/received" --link "$work/com1" > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 50); do [ -e "$work/com1" ] && break; sleep 0.1; done

Xvfb :73 -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=:73
for _ in $(seq 50); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done

(cd "$share" && COFRALIN_COM1="$work/com1" exec /usr/bin/cofralin 2>/dev/null) &
app_pid=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Q73 ADSL Zarn Router 1.5.1$' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the main window did not show"; exit 1; }
echo "main window shown"

# The port selector has the focus at start: one key press picks COM1:.
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
xdotool key --window "$window" Down
for _ in $(seq 150); do
  if grep -q "show dhcp server" "$work/received" 2>/dev/null && \
     grep -q $'exit\r' "$work/received" 2>/dev/null; then
    echo "the installed program connected to the simulator"
    exit 0
  fi
  sleep 0.1
done
echo "the simulator received:"; od -c "$work/received" 2>/dev/null | head -20
exit 1
