#!/usr/bin/env bash
# arm64.sh BUILD_DIR ARM64_BUILD_DIR [bench]: in an arm64 VM, the arm64 package installed and run
# on the framebuffer, then the tests built for arm64; or bench/run.sh.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/harness.sh" && . "$here/../lib/vm.sh" && harness arm64 "$1" arm64-test
arm64=$(cd "$2" && pwd) src=$(cd "$here/../.." && pwd) mode=${3:-test} share=$work/share
media=/results/media out=$share/morvane.out playerlog=$share/player.log

step "making the arm64 package"
mkdir -p "$share/media" "$share/home" && cp "$here/guest.sh" "$share/"
if [ "$mode" = test ]; then
    package "$work/arm64" "$arm64" && cp "$deb" "$share/morvane.deb"
    clip "$share/media/clip.avi" 320x180 60
fi
tests=$(cd "$arm64/tests" && find tst_* -maxdepth 0 -type f ! -name tst_robustness)
[ -n "$tests" ] || fail "no tests built in $arm64"
printf 'MODE=%q\nSOURCE=%q\nBUILD=%q\nTESTS=%q\n' "$mode" "$src" "$arm64" "$(echo $tests)" \
    >"$share/params"
vm_initramfs "$work" "$arm64/vm-root/root" || fail "no arm64 root"
vm_boot "$work" "$share" /results/guest.sh source="$src" build="$arm64"

if [ "$mode" = bench ]; then
    wait_ms 2700000 test -e "$share/bench.status" || fail "bench/run.sh did not end"
    cat "$share/bench.out" && exit "$(cat "$share/bench.status")"
fi

step "installing the package with dpkg -i"
wait_ms 120000 test -e "$share/dpkg.status" || fail "dpkg -i did not end"
grep -qx 0 "$share/dpkg.status" || fail "dpkg -i failed: $(<"$share/dpkg.out")"

osd_shown() {
    set -- $(stats "$1" 640x54+0+0) $(stats "$1" 640x54+0+426)
    above "$3" 0.5 || above "$6" 0.5
}
list_drawn() {
    set -- $(stats "$1" 600x330+20+90)
    above "$1" 0.97
}
# All but the rows (the current one moved) is the list as first seen.
list_whole() {
    [ "$(print_of "$1" 640x410+0+70)" = "$(print_of "$shots/list.png" 640x410+0+70)" ]
}
step "the installed command's list on the framebuffer"
wait_ms 120000 printed "file:clip.avi" || fail "clip.avi not listed"
shot_until 30000 list_drawn && cp "$work/s.png" "$shots/list.png" || fail "no list on screen"
step "playing clip.avi with Down and Enter"
key down ret || fail "QMP did not take the keys"
wait_ms 60000 play_run clip.avi "[-vo] [fbdev2:/dev/fb0]" || fail "no player on /dev/fb0"
shot_until 90000 "shape 640x480 16/9" || fail "$(shape 640x480 16/9 "$work/s.png")"
step "the on-screen display with F1, the list with F2, quitting with F4"
key f1 && shot_until 30000 osd_shown || fail "F1 showed nothing"
key f2 && shot_until 30000 list_whole || fail "F2: the list not whole"
key f4 && wait_ms 30000 grep -qx 0 "$share/morvane.status" || fail "no status 0 after F4"
grep -qxF "LASTDIR=$media" "$share/home/.local/share/morvane/mplayer.ini" || fail "no LASTDIR"

step "the unit and window tests built for arm64"
wait_ms 780000 test -e "$share/tests.status" ||
    { tail -n 30 "$(ls -t "$share"/*.out | head -n 1)"; fail "the tests did not end"; }
for t in $tests; do
    [ "$(cat "$share/$t.status")" = 0 ] ||
        { grep -A2 -E "^(FAIL|QFATAL)" "$share/$t.out"; fail "$t failed"; }
done
wait_ms 20000 eval '! vm_running' || fail "the VM did not power off"
