#!/usr/bin/env bash
# arm64.sh BUILD_DIR ARM64_BUILD_DIR [bench]: the arm64 package (BUILD_DIR's files, lintian-clean)
# in an arm64 VM (QEMU's virt board, a root of Debian's arm64 packages from root.sh; guest.sh):
# installed with dpkg -i, the installed command on the 640x480 framebuffer, then the unit, window
# and fuzz-replay tests built for arm64. With "bench" the VM runs bench/run.sh instead.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/harness.sh" && . "$here/../lib/vm.sh" && harness arm64 "$1" arm64-test
arm64=$(cd "$2" && pwd) src=$(cd "$here/../.." && pwd) mode=${3:-test} share=$work/share
media=/results/media out=$share/morvane.out playerlog=$share/player.log

step "making the arm64 package, the clip and the initramfs"
mkdir -p "$share/media" "$share/home" && cp "$here/guest.sh" "$share/"
files() { dpkg-deb -c "$1" | awk '{ print $1, $6 }'; }
if [ "$mode" = test ]; then
    package "$work/native" "$build" && native=$deb && package "$work/arm64" "$arm64"
    [[ $deb == */morvane_*_arm64.deb ]] || fail "$deb is no morvane_VERSION_arm64.deb"
    lintian --tag-display-limit 0 "$deb" >"$work/lintian.out" 2>/dev/null & lintian=$! started+=($!)
    diff <(files "$native") <(files "$deb") || fail "the arm64 package holds other files"
    cp "$deb" "$share/morvane.deb" && clip "$share/media/clip.avi" 320x180 60
fi
tests=$(cd "$arm64/tests" && for t in tst_* fuzz/fuzz_*; do
    [ -f "$t" ] && [ -x "$t" ] && [ "$t" != tst_robustness ] && echo "$t"; done)
[ -n "$tests" ] || fail "no tests built in $arm64"
printf 'MODE=%q\nSOURCE=%q\nBUILD=%q\nTESTS=%q\n' "$mode" "$src" "$arm64" "$(echo $tests)" \
    >"$share/params"
vm_initramfs "$work" "$arm64/vm-root/root" || fail "no arm64 root (./setup.sh test fetches it)"
vm_boot "$work" "$share" /results/guest.sh source="$src" build="$arm64"

if [ "$mode" = bench ]; then
    step "bench/run.sh in the VM"
    wait_ms 2700000 test -e "$share/bench.status" || fail "bench/run.sh did not end in 45 minutes"
    cat "$share/bench.out" && exit "$(cat "$share/bench.status")"
fi

step "lintian on the arm64 package"
wait "$lintian" && cat "$work/lintian.out" || fail "lintian failed"
grep -q '^[EW]: ' "$work/lintian.out" && fail "lintian reports errors or warnings"
step "installing the package with dpkg -i"
wait_ms 120000 test -e "$share/dpkg.status" || fail "dpkg -i did not end within 120 s"
grep -qx 0 "$share/dpkg.status" || fail "dpkg -i failed: $(<"$share/dpkg.out")"

vm_session "$share/morvane.status" "$share/home/.local/share/morvane/mplayer.ini"

step "the unit, window and fuzz-replay tests built for arm64"
wait_ms 780000 test -e "$share/tests.status" ||
    { tail -n 30 "$(ls -t "$share"/*.out | head -n 1)"; fail "the tests did not end within 780 s"; }
for t in $tests; do
    [ "$(cat "$share/${t##*/}.status")" = 0 ] && continue
    tail -n 30 "$share/${t##*/}.out" && fail "$t failed"
done
wait_ms 20000 eval '! vm_running' || fail "the VM did not power off"
