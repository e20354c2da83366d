#!/bin/sh
# The framebuffer test's side inside the VM, run as its init (see
# tests/lib/vm.sh): brings up the framebuffer and the keyboard, then starts
# Morvane through packaging/run-morvane on the first virtual console, as a
# user would on a handheld's console, and powers off when it ends.
#
# /results (the writable share) holds "params" (SOURCE= and APP=, paths on
# the host, seen here at the same place) and gets "booted", and for each of
# two runs of Morvane morvaneN.out and statusN (its exit status).
res=/results
say() { echo "guest: $*" >/dev/console; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Waits up to $1 ms for the test after it.
wait_ms() {
    end=$(($(now_ms) + $1)); shift
    until "$@"; do
        [ "$(now_ms)" -ge "$end" ] && return 1
        sleep 0.1
    done
}
finish() { sync; poweroff -f; }

. "$res/params"
touch "$res/booted"
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs -o mode=1777 shm /dev/shm
modprobe bochs || say "modprobe bochs failed"
modprobe evdev || say "modprobe evdev failed"
wait_ms 20000 test -c /dev/fb0 || { say "no /dev/fb0"; finish; }
wait_ms 20000 test -c /dev/input/event0 || { say "no /dev/input/event0"; finish; }
wait_ms 5000 test -c /dev/tty1 || { say "no /dev/tty1"; finish; }
say "framebuffer $(cat /sys/class/graphics/fb0/virtual_size), keyboard $(cat /sys/class/input/event0/device/name)"

export HOME=/root LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime MORVANE_PLAYER_LOG=$res/player.log
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
# Twice: the first run ends with F4, the second with Ctrl-C.
for run in 1 2; do
    "$SOURCE/packaging/run-morvane" "$APP" </dev/tty1 >"$res/morvane$run.out" 2>&1
    echo $? >"$res/status$run.new" && mv "$res/status$run.new" "$res/status$run"
    say "Morvane run $run ended with status $(cat "$res/status$run")"
done
finish
