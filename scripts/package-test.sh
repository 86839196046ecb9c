#!/usr/bin/env bash
# Builds the Debian packages from a build folder and checks them: lintian with
# no error and no warning, the AppStream metainfo and the desktop entry valid,
# the catalogue a configuration file that keeps the operator's edits. Then it
# checks that the installed program starts from its desktop entry's folder and
# drives the installed router simulator: under Xvfb, key presses pick COM1:,
# confirm the connection and switch to multi-PC mode, and the simulator must
# receive the lines of each step; the window's title is read back. Last, the
# program starts on a Wayland compositor (weston, headless) by itself, through
# the recommended qt6-wayland, and the compositor's protocol log must show
# its full title on a window of fixed size. The installed cofralin-cli reads
# another simulated router, and its manual page and completion are there.
set -euo pipefail
build=${1:?usage: package-test.sh BUILD_DIR}
build=$(cd "$build" && pwd)
work=$(mktemp -d)
cleanup() {
  kill "${app_pid:-}" "${wayland_app_pid:-}" "${weston_pid:-}" "${sim_pid:-}" \
    "${cli_sim_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work" >/dev/null 2>&1)
debs=("$work"/cofralin_*.deb "$work"/q73sim_*.deb)
ls "${debs[@]}" >/dev/null

# Info tags are allowed; the README says why each one stays.
lintian --fail-on error,warning --display-info --pedantic "${debs[@]}" 2>/dev/null | sed 's/^/lintian: /'
echo "lintian: no error, no warning"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[@]}" >/dev/null
echo "installed $(cd "$work" && echo cofralin_*.deb q73sim_*.deb)"

entry=/usr/share/applications/cofralin.desktop
desktop-file-validate "$entry"
appstreamcli validate --no-net /usr/share/metainfo/*cofralin*.metainfo.xml >/dev/null
echo "desktop entry and AppStream metainfo valid"

# The desktop entry's folder holds the catalogue, and the catalogue's help
# and upgrade entries name files that are there.
folder=$(sed -n 's/^Path=//p' "$entry")
catalogue="$folder/CONFIG.TXT"
test -f "$catalogue"
grep -qx "$catalogue" /var/lib/dpkg/info/cofralin.conffiles
help=$(grep -a -A1 '^HTML_HELP' "$catalogue" | tail -1 | tr -d '\r')
upgrade=$(grep -a -A1 '^DOS_COMMAND' "$catalogue" | tail -1 | tr -d '\r' | cut -d' ' -f1)
test -f "$help" && test -x "$upgrade"
echo "catalogue $catalogue names $help and $upgrade"

# An operator's edit of the catalogue survives a reinstallation.
printf '# nota del operador\r\n# (sin clave)\r\n' >> "$catalogue"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --reinstall "$work"/cofralin_*.deb >/dev/null
grep -q 'nota del operador' "$catalogue" || { echo "the operator's edit was lost"; exit 1; }
echo "the operator's catalogue survived a reinstallation"

# The command line: its manual page, its completion (plain bash, no helper
# package needed), and a reading of a simulated router of its own from a
# folder without a catalogue, so that the installed one is read.
test -f /usr/share/man/man1/cofralin-cli.1.gz
completion=/usr/share/bash-completion/completions/cofralin-cli
words=$(bash -c "source $completion; COMP_WORDS=(cofralin-cli es); COMP_CWORD=1; _cofralin_cli; echo \"\${COMPREPLY[*]}\"")
[ "$words" = estado ] || { echo "the completion of 'es' gave '$words'"; exit 1; }
/usr/bin/q73sim --link "$work/com2" --mode multi > /dev/null &
cli_sim_pid=$!
for _ in $(seq 300); do [ -e "$work/com2" ] && break; sleep 0.1; done
mkdir "$work/no-ttys"
state=$(cd "$work" && COFRALIN_COM2="$work/com2" COFRALIN_TTY_CLASS="$work/no-ttys" \
          /usr/bin/cofralin-cli estado -p COM2 --json) || true
echo "$state" | grep -q '"outcome":"ok".*"mode":"multi_pc"' || { echo "cofralin-cli: $state"; exit 1; }
kill "$cli_sim_pid"
wait "$cli_sim_pid" 2>/dev/null || true
echo "the installed cofralin-cli read a simulated router; its manual page and completion are installed"

/usr/bin/q73sim --record "$work/received" --link "$work/com1" > "$work/sim.out" &
sim_pid=$!
# The waits are generous: CI machines are often busy.
for _ in $(seq 300); do [ -e "$work/com1" ] && break; sleep 0.1; done
[ -e "$work/com1" ] || { echo "the simulator did not start"; exit 1; }

# Xvfb picks a free display and writes its number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" > /dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"
for _ in $(seq 300); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo > /dev/null 2>&1 || { echo "Xvfb did not answer on $DISPLAY"; exit 1; }

# Starts the installed program from the entry's folder and waits for its
# window; what the program printed stays in app.err to be shown on failure.
start_program() {
  (cd "$folder" && COFRALIN_COM1="$work/com1" exec /usr/bin/cofralin 2> "$work/app.err") &
  app_pid=$!
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --name '^Q73 ADSL Zarn Router 1.5.1$' 2>/dev/null | head -1 || true)
    [ -n "$window" ] && return 0
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "the main window did not show; the program printed:"
  sed 's/^/  /' "$work/app.err"
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || echo "  (exit status $?)"
  return 1
}
# One more start after a failed one, told above, so that a fault of the
# display is not taken for one of the program; a second failure fails.
start_program || { echo "starting once more"; start_program; } || exit 1
title=$(xdotool getwindowname "$window")
[ "$title" = 'Q73 ADSL Zarn Router 1.5.1' ] || { echo "the window's title on X11 is '$title'"; exit 1; }
echo "main window shown, its title on X11 read back: $title"

# Waits until the simulator has received TEXT (a grep pattern) COUNT times.
await_received() {
  local pattern=$1 count=${2:-1}
  for _ in $(seq 200); do
    local seen
    seen=$(grep -a -c -- "$pattern" "$work/received" 2>/dev/null || true)
    [ "${seen:-0}" -ge "$count" ] && return 0
    sleep 0.1
  done
  echo "the simulator never received '$pattern' ($count times); it received:"
  od -c "$work/received" 2>/dev/null | tail -20
  return 1
}
# Gives the keyboard to the window named NAME and presses KEY.
press() {
  local target
  for _ in $(seq 100); do
    target=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1 || true)
    [ -n "$target" ] && break
    sleep 0.1
  done
  [ -n "$target" ] || { echo "no window named '$1'"; return 1; }
  xdotool windowfocus --sync "$target" 2>/dev/null || xdotool windowfocus "$target"
  xdotool key "$2"
}

# The port selector has the focus at start: one key press picks COM1:.
press 'Q73 ADSL Zarn Router 1.5.1' Down
await_received 'show dhcp server'
await_received $'exit *\r$' 1
echo "the installed program connected to the simulator"

# OK in "Comunicación" (it has the focus once the outcome shows); back in the
# main window the selector has the focus again: Tab reaches the checked mode
# button, "Monopuesto", and Down moves to "Multipuesto" and clicks it. The
# dialog's opening reads the router, then OK switches.
sleep 0.5
press 'Comunicación' Return
sleep 0.5
press 'Q73 ADSL Zarn Router 1.5.1' Tab
press 'Q73 ADSL Zarn Router 1.5.1' Down
await_received 'show vc internet' 2
await_received $'exit *\r$' 2
sleep 0.5
press 'Multipuesto' Return
await_received 'capture text_file filtro'
await_received 'set dhcp mode disable'
await_received $'exit *\r$' 3
echo "the installed program switched the simulated router to multi-PC mode"

# The same program on a Wayland desktop: weston without a screen, no X
# display, and the session marked as Wayland, as a desktop marks it. Qt
# must choose its Wayland platform by itself; weston's protocol log shows
# what the window asks of the compositor.
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
runtime="$work/runtime"
mkdir -m 700 "$runtime"
XDG_RUNTIME_DIR="$runtime" WAYLAND_DEBUG=server \
  weston --backend=headless-backend.so --socket=cofralin-test --idle-time=0 \
  > /dev/null 2> "$work/weston.log" &
weston_pid=$!
for _ in $(seq 300); do [ -S "$runtime/cofralin-test" ] && break; sleep 0.1; done
[ -S "$runtime/cofralin-test" ] || { echo "weston did not start:"; tail -5 "$work/weston.log"; exit 1; }
(cd "$folder" && exec env -u DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$runtime" \
  WAYLAND_DISPLAY=cofralin-test XDG_SESSION_TYPE=wayland COFRALIN_COM1="$work/com1" \
  /usr/bin/cofralin 2> "$work/wayland-app.err") &
wayland_app_pid=$!
titled=""
for _ in $(seq 200); do
  titled=$(grep -a -o 'xdg_toplevel@[0-9]*\.set_title("Q73 ADSL Zarn Router 1\.5\.1")' \
    "$work/weston.log" | head -1 || true)
  [ -n "$titled" ] && break
  kill -0 "$wayland_app_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$titled" ]; then
  echo "no window titled 'Q73 ADSL Zarn Router 1.5.1' reached weston; the program printed:"
  sed 's/^/  /' "$work/wayland-app.err"
  exit 1
fi
echo "on Wayland, weston received: $titled"
# A fixed window: the least and the largest size it asks for are one.
toplevel=${titled%%.set_title*}
min=$(grep -a -o "$toplevel\.set_min_size([0-9, ]*)" "$work/weston.log" | tail -1 | sed 's/.*(//')
max=$(grep -a -o "$toplevel\.set_max_size([0-9, ]*)" "$work/weston.log" | tail -1 | sed 's/.*(//')
[ -n "$min" ] && [ "$min" = "$max" ] || { echo "the window can be resized: min ($min, max ($max"; exit 1; }
echo "on Wayland the main window has a fixed size ($min"
