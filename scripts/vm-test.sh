#!/usr/bin/env bash
# Runs the driver tests (tests/drivers) inside a small virtual machine, against
# the kernel's real serial drivers: an FTDI USB adapter on an xHCI controller
# (ftdi_sio), two 16550 UARTs and two UART addresses with no chip behind them
# (8250). QEMU emulates the whole machine (TCG, no KVM needed); the kernel is
# Debian's, fetched with apt-get and unpacked, never installed here; busybox
# starts the machine, which sees this machine's root read-only and runs the
# build's test programs from it as a plain user.
#
# Usage: bash scripts/vm-test.sh [BUILD_DIR]      (default build/ci; build first)
#
# The host end of the adapter and of the test UART is a pseudo-terminal each;
# the tests ask on the console for what only the host can do, one line
# "@@host REQUEST" each, and wait for the answer line ("ok" or "fail ..."):
#   sim LINE [q73sim options]   serve the router simulator on LINE (adapter or
#                               uart), recording what it receives
#   stop LINE                   end that simulator; its record is then whole
#   unplug adapter / plug adapter   the adapter pulled out / put in again,
#                               through QEMU's monitor
# The results are the test programs' own: this script fails when any of them
# fails, when the machine does not start or end, and when QEMU cannot run.
#
# The kernel, its modules and the initramfs are kept between runs under
# $COFRALIN_VM_CACHE (default $XDG_CACHE_HOME/cofralin-vm, else
# BUILD_DIR/vm-cache), by kernel version. COFRALIN_VM_KERNEL picks another
# kernel (e.g. 6.1.0-57-amd64), COFRALIN_VM_QEMU another QEMU program;
# COFRALIN_VM_TIMEOUT bounds the run (seconds, default 300).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/ci}")
timeout=${COFRALIN_VM_TIMEOUT:-300}

fail() {
  echo "vm-test: $*" >&2
  exit 1
}

# What the machine runs, and what runs beside it.
programs=("$build/tests/drivers/driver_tests")
q73sim=$build/sim/q73sim
for file in "${programs[@]}" "$q73sim"; do
  [ -x "$file" ] || fail "$file is missing: build $build first"
done
qemu=$(command -v "${COFRALIN_VM_QEMU:-qemu-system-x86_64}") ||
  fail "${COFRALIN_VM_QEMU:-qemu-system-x86_64} is missing: run scripts/install-deps.sh (package qemu-system-x86)"
busybox=/bin/busybox
file -L "$busybox" 2>/dev/null | grep -q 'static' ||
  fail "$busybox is not the static busybox the machine starts with: install busybox-static"
for tool in apt-get dpkg-deb xz gzip; do
  command -v "$tool" > /dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done

# The kernel: the one Debian's linux-image-amd64 stands for, unless told.
kernel=${COFRALIN_VM_KERNEL:-}
kernel_of_release() {
  apt-cache depends linux-image-amd64 2> /dev/null |
    sed -n 's/^ *Depends: linux-image-\(.*-amd64\)$/\1/p' | head -n 1
}
if [ -z "$kernel" ]; then
  kernel=$(kernel_of_release)
  if [ -z "$kernel" ] && [ "$(id -u)" = 0 ]; then
    apt-get update -qq > /dev/null 2>&1 || true
    kernel=$(kernel_of_release)
  fi
fi

cache=${COFRALIN_VM_CACHE:-${XDG_CACHE_HOME:-${HOME:-/nonexistent}/.cache}/cofralin-vm}
if ! mkdir -p "$cache" 2> /dev/null || [ ! -w "$cache" ]; then
  cache=$build/vm-cache
  mkdir -p "$cache"
fi
if [ -z "$kernel" ]; then
  # No package lists: a kernel kept from an earlier run still does.
  for kept in "$cache"/*-amd64/vmlinuz; do
    [ -f "$kept" ] && kernel=$(basename "$(dirname "$kept")")
  done
  [ -n "$kernel" ] || fail "cannot tell which kernel to fetch: apt-cache knows no linux-image-amd64 (set COFRALIN_VM_KERNEL)"
fi
kernel_dir=$cache/$kernel

# The drivers under test and those that reach the host; their dependencies
# are found from each module's own "depends=" list.
wanted_modules=(usbserial ftdi_sio xhci-hcd xhci-pci virtio_pci 9pnet_virtio 9p overlay)

fetch_kernel() {
  local unpack=$cache/.unpack-$$ download
  rm -rf "$unpack"
  mkdir -p "$unpack/modules"
  echo "vm-test: fetching linux-image-$kernel"
  # Where apt's own download user may write too.
  download=$(mktemp -d)
  chmod 777 "$download"
  (cd "$download" && apt-get download -q "linux-image-$kernel" > /dev/null) || {
    rm -rf "$download"
    fail "apt-get download linux-image-$kernel failed"
  }
  dpkg-deb -x "$download"/*.deb "$unpack/root"
  rm -rf "$download"
  cp "$unpack/root/boot/vmlinuz-$kernel" "$unpack/vmlinuz"

  local tree=$unpack/root/lib/modules/$kernel/kernel
  declare -A path_of=()
  local file name
  while IFS= read -r file; do
    name=${file##*/}
    name=${name%%.ko*}
    path_of[${name//-/_}]=$file
  done < <(find "$tree" -name '*.ko' -o -name '*.ko.xz')

  local -a order=()
  declare -A placed=()
  place() {
    local key=${1//-/_} dependencies dependency
    [ -n "${placed[$key]:-}" ] && return 0
    placed[$key]=1
    local source=${path_of[$key]:-}
    [ -n "$source" ] || fail "module $1 is not in linux-image-$kernel"
    local module=$unpack/modules/$key.ko
    case $source in
      *.xz) xz -dc "$source" > "$module" ;;
      *) cp "$source" "$module" ;;
    esac
    dependencies=$(tr '\0' '\n' < "$module" | sed -n 's/^depends=//p' | head -n 1)
    for dependency in ${dependencies//,/ }; do
      place "$dependency"
    done
    order+=("$key")
  }
  for name in "${wanted_modules[@]}"; do
    place "$name"
  done
  printf '%s\n' "${order[@]}" > "$unpack/modules/order"
  rm -rf "$unpack/root"
  rm -rf "$kernel_dir"
  mv "$unpack" "$kernel_dir"
}
if [ ! -f "$kernel_dir/vmlinuz" ] || [ ! -f "$kernel_dir/modules/order" ]; then
  fetch_kernel
fi

# The initramfs: busybox, the init script, the modules and the device rules.
dialout=$(getent group dialout | cut -d: -f3)
[ -n "$dialout" ] || fail "this machine has no group dialout"
mdev_rules="(null|zero|full|random|urandom|tty|ptmx) 0:0 666
ttyS0 0:0 600
ttyS[0-9]* 0:$dialout 660
ttyUSB[0-9]* 0:$dialout 660"
key=$({
  cat scripts/vm-guest-init.sh "$kernel_dir/modules/order"
  echo "$mdev_rules"
  sha256sum < "$busybox"
} | sha256sum | cut -c1-16)
initramfs=$kernel_dir/initramfs-$key.cpio.gz
if [ ! -f "$initramfs" ]; then
  rm -f "$kernel_dir"/initramfs-*.cpio.gz
  staging=$cache/.initramfs-$$
  rm -rf "$staging"
  mkdir -p "$staging"/{bin,dev,proc,sys,etc,modules}
  cp "$busybox" "$staging/bin/busybox"
  for applet in $("$busybox" --list); do
    [ "$applet" = busybox ] || ln -s busybox "$staging/bin/$applet"
  done
  cp "$kernel_dir"/modules/* "$staging/modules/"
  install -m 755 scripts/vm-guest-init.sh "$staging/init"
  echo "$mdev_rules" > "$staging/etc/mdev.conf"
  (cd "$staging" && find . | "$busybox" cpio -o -H newc 2> /dev/null | gzip -1) > "$initramfs.part"
  mv "$initramfs.part" "$initramfs"
  rm -rf "$staging"
fi

# The run's folder; its "shared" part is the machine's /run/cofralin-vm.
work=$build/vm-run
rm -rf "$work"
mkdir -p "$work/shared"
shared=$work/shared
mkfifo "$work/monitor.in" "$work/monitor.out"

adapter_product="QEMU USB SERIAL"
adapter_serial=CFL73A01
{
  printf 'COFRALIN_VM_TESTS=%q\n' "${programs[*]}"
  printf 'COFRALIN_VM_UID=%q\n' 4273
  printf 'COFRALIN_VM_ADAPTER_PRODUCT=%q\n' "$adapter_product"
  printf 'COFRALIN_VM_ADAPTER_SERIAL=%q\n' "$adapter_serial"
  printf 'COFRALIN_VM_UART=%q\n' /dev/ttyS1
  printf 'COFRALIN_VM_CONSOLE=%q\n' /dev/ttyS0
} > "$shared/guest.env"

declare -A sim_pid=() line_pty=()
holders=()
qemu_pid=
cleanup() {
  local pid
  for pid in "${sim_pid[@]}" "${holders[@]}" $qemu_pid; do
    kill "$pid" 2> /dev/null || true
  done
  wait 2> /dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

adapter_number=1
adapter_device() {
  echo "usb-serial,bus=xhci.0,chardev=adapterline,id=adapter$adapter_number,serial=$adapter_serial"
}

# ttyS0 the console, ttyS1 the test UART; the 8250 driver also looks at the
# two other legacy addresses, where no chip answers.
started=$(date +%s%N)
coproc QEMU {
  exec "$qemu" -accel tcg -machine pc -cpu max -m 512 -smp 1 \
    -nodefaults -no-user-config -display none -no-reboot \
    -kernel "$kernel_dir/vmlinuz" -initrd "$initramfs" \
    -append "console=ttyS0 loglevel=1 panic=-1" \
    -chardev stdio,id=console,signal=off -serial chardev:console \
    -chardev pty,id=uartline -serial chardev:uartline \
    -monitor pipe:"$work/monitor" \
    -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
    -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
    -fsdev local,id=shared,path="$shared",security_model=none,multidevs=remap \
    -device virtio-9p-pci,fsdev=shared,mount_tag=shared \
    -device qemu-xhci,id=xhci \
    -chardev pty,id=adapterline -device "$(adapter_device)" \
    2> "$work/qemu.log"
}
qemu_pid=$QEMU_PID
exec {from_vm}<&"${QEMU[0]}" {to_vm}>&"${QEMU[1]}"
exec {monitor_in}<> "$work/monitor.in" {monitor_out}<> "$work/monitor.out"

qemu_failed() {
  echo "vm-test: QEMU did not run: $*" >&2
  sed 's/^/qemu: /' "$work/qemu.log" >&2
  exit 1
}

# A monitor command; its output, "(qemu) " prompt excluded, goes to $monitor_said.
monitor_said=
monitor() {
  local chunk said=
  while IFS= read -r -t 0.01 -u "$monitor_out" chunk; do :; done
  printf '%s\n' "$1" >&"$monitor_in"
  for _ in $(seq 100); do
    if IFS= read -r -t 0.1 -u "$monitor_out" chunk; then
      said+="${chunk%$'\r'}"$'\n'
    else
      said+=$chunk
    fi
    [[ $said == *"$1"*'(qemu) ' ]] && break
    kill -0 "$qemu_pid" 2> /dev/null || break
  done
  said=${said#*"$1"}
  monitor_said=${said%'(qemu) '}
  [[ $monitor_said != *rror* ]]
}

# The host ends of the two lines, as QEMU names them.
for _ in $(seq 100); do
  monitor "info chardev" && [[ $monitor_said == *adapterline* ]] && break
  kill -0 "$qemu_pid" 2> /dev/null || qemu_failed "it ended at start"
done
for line in adapter uart; do
  line_pty[$line]=$(sed -n "s/^${line}line: filename=pty:\([^[:space:]]*\).*/\1/p" <<< "$monitor_said")
  [ -n "${line_pty[$line]}" ] || qemu_failed "no pseudo-terminal for the $line: $monitor_said"
  # QEMU attaches the USB adapter only while its line's host end is open, and
  # detaches it when that closes: a holder keeps it open across simulators.
  (exec sleep infinity) <> "${line_pty[$line]}" &
  holders+=($!)
done

stop_sim() {
  local pid=${sim_pid[$1]:-}
  [ -n "$pid" ] || return 0
  kill "$pid" 2> /dev/null || true
  wait "$pid" 2> /dev/null || true
  unset "sim_pid[$1]"
  # The record is its owner's alone (it holds the passwords sent); the tests
  # read a copy that the guest's plain user may open.
  if [ -f "$work/$1.record" ]; then install -m 0644 "$work/$1.record" "$shared/$1.record"; fi
}

start_sim() {
  local line=$1
  shift
  stop_sim "$line"
  rm -f "$shared/$line.record" "$work/$line.record" "$work/$line.sim"
  "$q73sim" --device "${line_pty[$line]}" --record "$work/$line.record" "$@" \
    > "$work/$line.sim" 2>&1 &
  sim_pid[$line]=$!
  for _ in $(seq 100); do
    [ -s "$work/$line.sim" ] && break
    sleep 0.05
  done
  kill -0 "${sim_pid[$line]}" 2> /dev/null && [ -s "$work/$line.sim" ]
}

# What the host does for a request of the tests: the answer line in $answer.
answer=
serve() {
  local -a words
  read -r -a words <<< "$1"
  local line=${words[1]:-}
  answer=ok
  case ${words[0]:-}:$line in
    sim:adapter | sim:uart)
      start_sim "$line" "${words[@]:2}" || answer="fail q73sim: $(tr '\n' ' ' < "$work/$line.sim")"
      ;;
    stop:adapter | stop:uart) stop_sim "$line" ;;
    unplug:adapter)
      monitor "device_del adapter$adapter_number" || answer="fail $monitor_said"
      ;;
    plug:adapter)
      adapter_number=$((adapter_number + 1))
      monitor "device_add $(adapter_device)" || answer="fail $monitor_said"
      ;;
    *) answer="fail unknown request: $1" ;;
  esac
}

# The console: shown as it comes, requests answered; ends with the machine.
deadline=$((SECONDS + timeout))
partial=
while :; do
  if IFS= read -r -t 1 -u "$from_vm" chunk; then
    text=$partial$chunk
    partial=
  else
    status=$?
    if ((status > 128)); then
      partial+=$chunk
      if ((SECONDS > deadline)); then
        echo "vm-test: the machine did not end within $timeout s" >&2
        exit 1
      fi
      continue
    fi
    [ -n "$partial$chunk" ] && printf '%s\n' "$partial$chunk"
    break
  fi
  text=${text%$'\r'}
  case $text in
    *'@@host '*)
      serve "${text#*@@host }"
      printf '%s\n' "$answer" >&"$to_vm"
      [[ $answer == ok ]] || echo "vm-test: ${text#*@@host }: $answer"
      ;;
    *) printf '%s\n' "$text" ;;
  esac
done
wait "$qemu_pid" 2> /dev/null && qemu_status=0 || qemu_status=$?
qemu_pid=
elapsed_ms=$((($(date +%s%N) - started) / 1000000))

[ -f "$shared/status" ] ||
  qemu_failed "the machine ended (QEMU status $qemu_status) without running the tests to their end"
status=$(cat "$shared/status")
echo "vm-test: kernel $kernel, machine up and down in $((elapsed_ms / 1000)).$(printf %03d $((elapsed_ms % 1000))) s, tests' status $status"
exit "$status"
