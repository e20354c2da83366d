#!/bin/sh
# fb.sh's VM: Morvane run twice on the console through run-morvane; /results gets its output and status.
. /results/params && touch /results/booted
mkdir -p /dev/pts /dev/shm && mount -t devpts devpts /dev/pts && mount -t tmpfs -o mode=1777 shm /dev/shm
modprobe bochs; modprobe evdev
for i in $(seq 200); do [ -c /dev/fb0 ] && [ -c /dev/input/event0 ] && [ -c /dev/tty1 ] && break; sleep 0.1; done
export HOME=/root LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime MORVANE_PLAYER_LOG=/results/player.log && mkdir -m 700 -p /tmp/runtime
for run in 1 2; do
    "$SOURCE/packaging/run-morvane" "$APP" </dev/tty1 >"/results/morvane$run.out" 2>&1
    echo $? >"/results/status$run.new" && mv "/results/status$run.new" "/results/status$run"
done
sync; poweroff -f
