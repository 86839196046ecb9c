#!/bin/sh
# The first process of the test machine that scripts/vm-test.sh boots; busybox
# runs it from the initramfs as /init.
#
# It loads the drivers under test (USB serial, FTDI, xHCI) and the ones that
# reach the host (virtio, 9p, overlay), and makes the host's root the machine's
# own: read-only over 9p, with a tmpfs on top where the machine may write. The
# build's test programs and their libraries then run unchanged. It runs each
# test program as a plain user of group dialout (root would pass any TIOCEXCL
# test), writes the worst exit status into the shared folder and powers off.
export PATH=/bin

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

# A failure before the tests is told on the console; the missing status file
# makes the host fail the run.
fail() {
    echo "vm-guest: $*"
    poweroff -f
    sleep 10
}

while read -r module; do
    insmod "/modules/$module.ko" || fail "insmod $module failed"
done < /modules/order

# Serial nodes for group dialout, as on a Debian machine; the console (ttyS0)
# stays root's. mdev applies the rule now and, as a daemon that listens to
# the kernel's events, to every device plugged later.
mdev -d || fail "mdev -d failed"

mkdir -p /host /rw /newroot
mount -t 9p -o trans=virtio,version=9p2000.L,ro hostroot /host || fail "no host root over 9p"
mount -t tmpfs -o mode=755 tmpfs /rw
mkdir /rw/upper /rw/work
mount -t overlay overlay -o lowerdir=/host,upperdir=/rw/upper,workdir=/rw/work /newroot \
    || fail "no overlay on the host root"
mount -o bind /dev /newroot/dev
mount -t proc proc /newroot/proc
mount -t sysfs sysfs /newroot/sys
mount -t tmpfs -o mode=755 tmpfs /newroot/run
mkdir -m 1777 /newroot/run/lock
# /tmp stays the host's, written through the overlay: a build made under
# /tmp (a fresh clone there) must stay visible to the machine.
shared=/run/cofralin-vm
mkdir "/newroot$shared"
mount -t 9p -o trans=virtio,version=9p2000.L shared "/newroot$shared" || fail "no shared folder"

# What the host asks for: COFRALIN_VM_TESTS, COFRALIN_VM_UID and the
# variables handed to the tests.
# shellcheck source=/dev/null
. "/newroot$shared/guest.env"

# The plain user, in the overlay's copy of the host's files only.
uid=$COFRALIN_VM_UID
dialout=$(sed -n 's/^dialout:[^:]*:\([0-9]*\):.*/\1/p' /newroot/etc/group)
[ -n "$dialout" ] || fail "no group dialout"
echo "cofralin-vm:x:$uid:$uid::/tmp:/bin/sh" >> /newroot/etc/passwd
echo "cofralin-vm:x:$uid:" >> /newroot/etc/group
sed -i "s/^\(dialout:[^:]*:[0-9]*:\)\(.\)/\1cofralin-vm,\2/; s/^\(dialout:[^:]*:[0-9]*:\)$/\1cofralin-vm/" \
    /newroot/etc/group

# The adapter is attached once the host holds its line open.
for _ in $(seq 200); do
    [ -e /sys/class/tty/ttyUSB0 ] && break
    sleep 0.1
done
[ -e /sys/class/tty/ttyUSB0 ] || echo "vm-guest: no USB serial adapter appeared"
mdev -s

# The host answers the tests' requests on the console: no echo of them.
stty -echo
echo "vm-guest: kernel $(uname -r), up $(cut -d' ' -f1 /proc/uptime) s"
worst=0
for program in $COFRALIN_VM_TESTS; do
    chroot /newroot /usr/bin/setpriv --reuid="$uid" --regid="$uid" --groups="$dialout" \
        /usr/bin/env -i -C /tmp HOME=/tmp PATH=/usr/bin:/bin LANG=C.UTF-8 \
        COFRALIN_VM_SHARED="$shared" \
        COFRALIN_VM_ADAPTER_PRODUCT="$COFRALIN_VM_ADAPTER_PRODUCT" \
        COFRALIN_VM_ADAPTER_SERIAL="$COFRALIN_VM_ADAPTER_SERIAL" \
        COFRALIN_VM_UART="$COFRALIN_VM_UART" \
        COFRALIN_VM_CONSOLE="$COFRALIN_VM_CONSOLE" \
        "$program"
    status=$?
    [ "$status" -gt "$worst" ] && worst=$status
done
echo "$worst" > "/newroot$shared/status"
sync
poweroff -f
