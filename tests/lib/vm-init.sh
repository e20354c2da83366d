#!/bin/busybox sh
# /init of vm.sh's initramfs: the root under a tmpfs overlay, /results, then vm.run= as PID 1.
/bin/busybox --install -s /bin
halt() { echo "vm-init: $*" >/dev/console; poweroff -f; }
mkdir -p /proc /sys /dev /host /overlay /newroot
mount -t proc proc /proc && mount -t sysfs sys /sys && mount -t devtmpfs dev /dev
for m in $(cat /modules.order); do
    insmod "/modules/$m.ko" || echo "vm-init: insmod $m failed" >/dev/console
done
nine="-t 9p -o trans=virtio,version=9p2000.L,msize=262144"
mount $nine,ro,cache=loose hostroot /host || halt "no root"
mount -t tmpfs -o size=256m,mode=755 overlay /overlay && mkdir -p /overlay/upper /overlay/work
mount -t overlay -o lowerdir=/host,upperdir=/overlay/upper,workdir=/overlay/work overlay /newroot ||
    halt "no overlay"
mkdir -p /newroot/results && mount $nine results /newroot/results || halt "no /results"
run=$(sed -n 's/.*vm\.run=\([^ ]*\).*/\1/p' /proc/cmdline)
for d in proc sys dev; do mount --move /$d /newroot/$d; done
mount -t tmpfs -o mode=755 run /newroot/run
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
exec switch_root /newroot /bin/sh "$run"
