#!/bin/sh
# arm64.sh's VM: dpkg -i, the installed command on the console, then the tests; or bench/run.sh.
. /results/params && mkdir -p "$SOURCE" "$BUILD"
nine="-t 9p -o trans=virtio,version=9p2000.L,msize=262144,ro,cache=loose"
mount $nine source "$SOURCE" && mount $nine build "$BUILD"
ldconfig && modprobe virtio_input && . "$SOURCE/tests/lib/vm-guest.sh"
if [ "$MODE" = bench ]; then
    unset MORVANE_PLAYER_LOG && "$SOURCE/bench/run.sh" --built "$BUILD" >/results/bench.out 2>&1
    echo $? >/results/bench.status && sync && poweroff -f
fi
status() {
    name=$1 && shift
    "$@" >"/results/$name.out" 2>&1
    echo $? >"/results/$name.status.new" && mv "/results/$name.status.new" "/results/$name.status"
}
status dpkg dpkg -i /results/morvane.deb
export HOME=/results/home && cd /results/media && status morvane morvane </dev/tty1
cd /tmp && export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp
for t in $TESTS; do status "$t" "$BUILD/tests/$t"; done
touch /results/tests.status
sync; poweroff -f
