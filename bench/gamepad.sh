#!/usr/bin/env bash
# gamepad.sh BUILD_DIR: in the framebuffer VM (tests/lib/vm.sh), with a virtual Xbox 360 pad and a
# virtual keyboard (uinput): Morvane's CPU time at rest with the pad connected, beside the same with
# [GAMEPAD] off; and a d-pad press to its command at the player, beside the keyboard's Right key.
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/lib/harness.sh" && . "$root/tests/lib/vm.sh" && harness bench-gamepad "$1" bench-gamepad
share=$work/share
mkdir -p "$share/app" "$share/media" && : >"$share/media/clip.avi" && : >"$share/pad.in"
ln -s "$build/morvane" "$share/app/morvane" && ln -s "$build/bench/bench_fakeplayer" "$share/app/mplayer"
printf 'SOURCE=%q\nPAD=%q\nBENCH=%q\nREST_S=%d\nPRESSES=%d\n' "$root" "$root/tests/tools/virtualpad.py" "$build/bench" 20 25 >"$share/params"
vm_initramfs "$work" && vm_boot "$work" "$share" "$root/bench/gamepad-guest.sh" >/dev/null
wait_ms 600000 eval '[ -e "$share/done" ] || ! vm_running' && [ -s "$share/bench.txt" ] || fail "the VM measured nothing"
cat "$share/bench.txt"
