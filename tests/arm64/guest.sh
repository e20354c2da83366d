#!/bin/sh
# arm64.sh's VM: dpkg -i, the installed command on the console, then the tests (or bench/run.sh
# alone); /results gets outputs and statuses.
. /results/params && touch /results/booted
mkdir -p /dev/pts /dev/shm "$SOURCE" "$BUILD"
mount -t devpts devpts /dev/pts && mount -t tmpfs -o mode=1777 shm /dev/shm
nine="-t 9p -o trans=virtio,version=9p2000.L,msize=262144,ro,cache=loose"
mount $nine source "$SOURCE" && mount $nine build "$BUILD"
ldconfig && modprobe bochs && modprobe evdev && modprobe virtio_input
for i in $(seq 200); do
    [ -c /dev/fb0 ] && [ -c /dev/input/event0 ] && [ -c /dev/tty1 ] && break; sleep 0.1
done
if [ "$MODE" = bench ]; then
    "$SOURCE/bench/run.sh" --built "$BUILD" >/results/bench.out 2>&1
    echo $? >/results/bench.status && sync && poweroff -f
fi
export HOME=/results/home LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime
export MORVANE_PLAYER_LOG=/results/player.log && mkdir -m 700 -p /tmp/runtime
# status NAME COMMAND...: COMMAND's output in /results/NAME.out, its status in /results/NAME.status.
status() {
    name=$1 && shift
    "$@" >"/results/$name.out" 2>&1
    echo $? >"/results/$name.status.new" && mv "/results/$name.status.new" "/results/$name.status"
}
status dpkg dpkg -i /results/morvane.deb
cd /results/media && status morvane morvane </dev/tty1
cd /tmp && export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp
for t in $TESTS; do
    corpus=
    case ${t##*/} in fuzz_*) corpus=$SOURCE/tests/fuzz/corpus/${t#*/fuzz_} ;; esac
    status "${t##*/}" "$BUILD/tests/$t" $corpus
done
touch /results/tests.status
sync; poweroff -f
