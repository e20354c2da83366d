#!/usr/bin/env bash
# Morvane on a bare framebuffer, as on a handheld with no X server: a small
# QEMU VM (tests/lib/vm.sh) runs the built program through run-morvane on its
# console, on /dev/fb0 with Debian's MPlayer. Keys go in through QMP; the
# screen is judged from screendumps.
#
#   fb.sh BUILD_DIR [OUT_DIR]
#
# OUT_DIR (default BUILD_DIR/fb-test) gets the initramfs, the shared folder,
# the screenshots (list.png, playing.png, osd.png, back.png) and the VM's
# console log. A failure names its step and keeps the screen at that moment
# (failed.png) and the console log; a boot that is retried keeps its own
# (console-attemptN.log, boot-attemptN.png).
#
# MORVANE_VM_BOOT_MS: how long a boot may take before it is retried once
# (default 90000, for a loaded machine; a boot takes ~10 s on an idle one).
# MORVANE_VM_KVM=1: use KVM where /dev/kvm is there (off by default: Debian's
# kernel does not boot under every nested KVM; TCG always works).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
. "$source_dir/tests/lib/vm.sh"

build=$(cd "$1" && pwd)
out=${2:-$build/fb-test}
rm -rf "$out"
mkdir -p "$out/share"
out=$(cd "$out" && pwd)
share=$out/share
media=$share/media
app=$share/app
boot_ms=${MORVANE_VM_BOOT_MS:-90000}
step="setting up"
retries=0
started_us=$(vm_now_us)

cleanup() { vm_stop; }
trap cleanup EXIT

fail() {
    echo "fb: FAILED at step '$step': $*" >&2
    if vm_running && vm_shot "$out/failed.png"; then
        echo "--- screen: $out/failed.png" >&2
    fi
    if [ -f "$share/player.log" ]; then
        echo "--- player runs:" >&2
        cat "$share/player.log" >&2
    fi
    if [ -f "$share/morvane1.out" ]; then
        echo "--- last lines Morvane printed:" >&2
        tail -n 15 "$share/morvane1.out" >&2
    fi
    echo "--- VM console ($out/console.log):" >&2
    tail -n 20 "$out/console.log" >&2
    exit 1
}
step() { step=$1; echo "fb: $step ($(( ($(vm_now_us) - started_us) / 1000 )) ms)"; }

# Picture tests on a screenshot. The screen is 640x480.
# The mean brightness (0..1) and spread of a region WxH+X+Y.
stats() { convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:mean] %[fx:standard_deviation]\n' info:; }
# The brightest value (0..1) of a region.
brightest() { convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:maxima]' info:; }
# A fingerprint of a region.
print_of() { convert "$1" -crop "$2" +repage -format '%#' info:; }
# The box (W H X Y) around everything that is not black.
picture_box() { convert "$1" -fuzz 8% -trim -format '%w %h %X %Y\n' info: 2>/dev/null; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# Takes screenshots into FILE until the test after it holds for one, for up
# to $2 ms. Deadline first, then FILE, then the test command. Each shot and
# its test cost the host a few tenths of a second, taken from the VM on a
# small machine: wait for a cheap sign first where there is one.
shot_until() {
    local file=$1 end=$(( $(vm_now_us) + $2 * 1000 )); shift 2
    while :; do
        vm_shot "$file" && "$@" "$file" && return 0
        vm_running || return 1
        (( $(vm_now_us) >= end )) && return 1
        sleep 0.3
    done
}

# Morvane's window covers the screen (linuxfb shows it so): the title bar
# on top, the soft keys at the bottom, and between them the list, white with
# its two rows ("..", highlighted, and clip.avi) at the top. Nothing else may
# be left on it: the white below the rows is checked whole.
list_drawn() {
    local mean spread
    read -r mean spread < <(stats "$1" 600x330+20+90) || return 1
    above "$mean" 0.97 || return 1
    read -r mean spread < <(stats "$1" 300x44+0+26) || return 1
    above "$spread" 0.1
}

# All of the screen drawn again after playing: apart from the rows, where
# clip.avi is the current row now, it is the list as first seen, to the
# pixel (title bar; list and soft keys).
unchanged_regions=(640x26+0+0 640x410+0+70)
differing() {
    local region
    for region in "${unchanged_regions[@]}"; do
        [ "$(print_of "$out/list.png" "$region")" = "$(print_of "$1" "$region")" ] || printf ' %s' "$region"
    done
}
list_whole() { list_drawn "$1" && [ -z "$(differing "$1")" ]; }

# The clip is 320x180 (16:9) with a white frame: on the 640x480 screen it
# fits as 640x360, centred, with black bands of 60 above and below.
video_box="640x360+0+60"
playing() {
    local w h x y
    read -r w h x y < <(picture_box "$1") || return 1
    (( w >= 634 && w <= 640 && h >= 354 && h <= 366 && x <= 3 && y >= 54 && y <= 66 ))
}
top_band_black() { ! above "$(brightest "$1" 640x54+0+0)" 0.2; }
osd_shown() { above "$(brightest "$1" 640x54+0+0)" 0.5 || above "$(brightest "$1" 640x54+0+426)" 0.5; }

step "making the test folder with ffmpeg"
mkdir -p "$media" "$app"
ffmpeg -v error -y -f lavfi -i testsrc=size=320x180:rate=25 -t 60 \
    -vf "drawbox=x=0:y=0:w=iw:h=ih:color=white:t=6" -c:v mpeg4 -q:v 4 "$media/clip.avi" \
    || fail "ffmpeg could not make clip.avi"

step "making the program directory"
ln -s "$build/morvane" "$app/morvane"
cp "$build/mplayer" "$app/mplayer"
cat >"$app/mplayer.ini" <<INI
[FILESELECT]
FILTER=*.avi
LASTDIR=/results/media

[LANGUAGE]
OPTIONS=Options
EXIT=Exit
INI
printf 'SOURCE=%q\nAPP=/results/app\n' "$source_dir" >"$share/params"

step "building the initramfs"
kernel=$(vm_kernel) || fail "no kernel in /boot with modules in /lib/modules (install linux-image-amd64)"
vm_initramfs "$kernel" "$out/initramfs.cpio" || fail "could not build the initramfs"

booted_or_gone() { [ -e "$share/booted" ] || ! vm_running; }
for attempt in 1 2; do
    step "booting the VM (kernel $kernel, attempt $attempt)"
    rm -f "$share/booted"
    vm_start "$out" "/boot/vmlinuz-$kernel" "$out/initramfs.cpio" "$share" "$here/guest.sh" \
        || fail "QEMU did not start: $(cat "$out/qemu.log")"
    vm_wait "$boot_ms" booted_or_gone
    [ -e "$share/booted" ] && break
    cp "$out/console.log" "$out/console-attempt$attempt.log"
    vm_running && vm_shot "$out/boot-attempt$attempt.png"
    vm_stop
    [ "$attempt" -eq 2 ] && fail "the VM did not boot within $boot_ms ms, twice (see console-attempt*.log)"
    retries=$((retries + 1))
done
echo "fb: boot retries: $retries"

step "seeing the list on the framebuffer"
vm_wait 120000 grep -qxF "file:clip.avi" "$share/morvane1.out" || fail "Morvane did not list clip.avi"
shot_until "$out/list.png" 30000 list_drawn || fail "no list on the screen"
head -n 1 "$share/morvane1.out" | grep -q "^Morvane is running on the framebuffer /dev/fb0 with the keyboard /dev/input/event0" \
    || fail "run-morvane did not say it runs on the framebuffer: $(head -n 1 "$share/morvane1.out")"

step "playing clip.avi with Down and Enter"
vm_key down ret || fail "QMP did not take the keys"
vm_wait 60000 grep -qF "[-slave]" "$share/player.log" || fail "no player was started"
step "seeing clip.avi play"
shot_until "$out/playing.png" 90000 playing \
    || fail "no picture of the clip's shape ($video_box) on the screen; box: $(picture_box "$out/playing.png")"
grep -F "[-slave]" "$share/player.log" | grep -qF "[-vo] [fbdev2:/dev/fb0]" \
    || fail "the play run does not draw on /dev/fb0: $(grep -F "[-slave]" "$share/player.log")"
sleep 1.2
vm_shot "$out/playing2.png" || fail "no screendump"
[ "$(print_of "$out/playing.png" 600x300+20+90)" != "$(print_of "$out/playing2.png" 600x300+20+90)" ] \
    || fail "the picture does not move"
top_band_black "$out/playing2.png" || fail "the band above the picture is not black before F1"

step "switching the on-screen display with F1"
vm_key f1 || fail "QMP did not take F1"
shot_until "$out/osd.png" 30000 osd_shown || fail "F1 showed nothing over the picture"

step "stopping with F2"
vm_key f2 || fail "QMP did not take F2"
shot_until "$out/back.png" 30000 list_whole \
    || fail "the list did not come back whole (differs from list.png in:$(differing "$out/back.png"))"

step "quitting with F4"
vm_key f4 || fail "QMP did not take F4"
vm_wait 30000 test -e "$share/status1" || fail "Morvane did not end within 30 s of F4"
status=$(cat "$share/status1")
[ "$status" = 0 ] || fail "Morvane ended with status $status"
grep -qxF "LASTDIR=/results/media" "$app/mplayer.ini" \
    || fail "LASTDIR on disk is not /results/media: $(grep LASTDIR "$app/mplayer.ini")"

step "ending a second run with Ctrl-C"
vm_wait 120000 grep -qxF "file:clip.avi" "$share/morvane2.out" || fail "the second run did not list the folder"
sleep 0.5
vm_qmp '"send-key"' '{"keys": [{"type": "qcode", "data": "ctrl"}, {"type": "qcode", "data": "c"}], "hold-time": 50}' \
    || fail "QMP did not take Ctrl-C"
vm_wait 30000 test -e "$share/status2" || fail "Morvane did not end within 30 s of Ctrl-C"
vm_wait 20000 eval '! vm_running' || fail "the VM did not power off"

step "done"
echo "fb: all steps passed in $(( ($(vm_now_us) - started_us) / 1000 )) ms, boot retries: $retries; screenshots in $out"
