#!/bin/busybox sh
# /init of the small initramfs that tests/lib/vm.sh builds: mounts this
# machine's root (a read-only 9p share "hostroot") under a tmpfs overlay,
# mounts the writable 9p share "results" on /results, and hands over to the
# script named by vm.run= on the kernel command line, run as PID 1 of the new
# root with /proc, /sys and /dev in place.
/bin/busybox --install -s /bin
export PATH=/bin
mkdir -p /proc /sys /dev
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev

say() { echo "vm-init: $*" >/dev/console; }
halt() { say "$*"; sync; poweroff -f; }

for module in $(cat /modules.order); do
    insmod "/modules/$module.ko" || say "insmod $module failed"
done

mkdir -p /host /overlay /newroot
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=262144 hostroot /host \
    || halt "could not mount the host root"
mount -t tmpfs -o size=256m,mode=755 overlay /overlay
mkdir -p /overlay/upper /overlay/work
mount -t overlay -o lowerdir=/host,upperdir=/overlay/upper,workdir=/overlay/work overlay /newroot \
    || halt "could not mount the overlay"
mkdir -p /newroot/results
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 results /newroot/results \
    || halt "could not mount the results share"

run=
for word in $(cat /proc/cmdline); do
    case $word in vm.run=*) run=${word#vm.run=} ;; esac
done
[ -n "$run" ] || halt "no vm.run= on the kernel command line"

mkdir -p /newroot/proc /newroot/sys /newroot/dev /newroot/tmp /newroot/run
mount --move /proc /newroot/proc
mount --move /sys /newroot/sys
mount --move /dev /newroot/dev
mount -t tmpfs -o mode=1777 tmp /newroot/tmp
mount -t tmpfs -o mode=755 run /newroot/run
say "root mounted, running $run"
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
exec switch_root /newroot /bin/sh "$run"
