#!/usr/bin/env bash
# gamepad.sh BUILD_DIR: Morvane on a VM's framebuffer driven by a virtual pad plugged in late; then
# an mp3's sound screen, and Ctrl-C.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/harness.sh" && . "$here/../lib/vm.sh" && harness gamepad "$1" gamepad-test
share=$work/share out=$work/share/morvane1.out playerlog=$work/share/player.log
media=/results/media/clips

step "making the clips"
mkdir -p "$share/media/clips" "$share/app" && cp "$build/mplayer" "$share/app/"
ln -s "$build/morvane" "$share/app/morvane"
# 400 s: a strip at the bottom red for 200 s, then blue; 5 minutes on is blue.
strip=x=0:y=120:w=iw:h=60:t=fill
clip "$share/media/clips/clip.avi" 320x180 400 \
    "drawbox=$strip:color=red:enable='lt(t,200)',drawbox=$strip:color=blue:enable='gte(t,200)'"
ffmpeg -v error -y -f lavfi -i sine -t 30 -metadata title="Morning Song" -write_id3v1 1 \
    "$share/media/clips/song.mp3" || fail "no mp3"
printf '%s\n' '[FILESELECT]' 'FILTER=*.avi;*.mp3' 'LASTDIR=/results/media' '[PLAYBACK]' \
    'NOWPLAYING=YES' '[GAMEPAD]' 'ENABLED=YES' >"$share/app/mplayer.ini"
# The VM has no sound card.
printf '#!/bin/sh\nexec /usr/bin/mplayer -ao null "$@"\n' >"$share/mplayer"
chmod +x "$share/mplayer"
printf 'SOURCE=%q\nAPP=/results/app\nexport MORVANE_SYSTEM_MPLAYER=/results/mplayer\n' \
    "$(cd "$here/../.." && pwd)" >"$share/params"
: >"$share/pad.in"
vm_initramfs "$work" || fail "no initramfs"
vm_boot "$work" "$share" "$here/guest.sh"

# pad COMMAND...: to virtualpad.py, done within 60 s (its start is slow on a busy machine).
pad_n=0
pad() {
    local n=$((++pad_n))
    echo "$n $*" >>"$share/pad.in" && wait_ms 60000 grep -q "^$n done" "$share/pad.out"
}
tap() { for b; do pad hold "$b" 60 || return; done; }
connections() { grep -c "^gamepad connected: " "$out"; }
strip_blue() {
    [ "$(convert "$1" -crop 600x100+20+310 +repage -format '%[fx:mean.b > mean.r]' info:)" = 1 ]
}
sound_screen() { [[ "$(ocr "$1")" == *"Morning Song"*"song.mp3"* ]]; }

step "plugging the pad in"
wait_ms 120000 printed "dir:clips" || fail "no list"
pad plug && wait_ms 20000 eval '(($(connections) == 1))' || fail "the pad was not taken"

step "into clips with the d-pad and A, out with B"
tap down a && wait_ms 20000 printed "enter dir '$media'" || fail "no clips"
tap b && wait_ms 20000 printed "enter dir '$media/..'" || fail "B did not go up"

step "playing clip.avi, pausing and playing on with A"
tap down a down a && wait_ms 60000 play_run clip.avi || fail "no player"
shot_until 60000 "shape 640x480 16/9" && wait_ms 30000 moves 1 || fail "no moving 16:9"
n=$(enters) && tap a && wait_ms 20000 eval '(($(enters) > n))' || fail "A was not Enter"
wait_ms 20000 eval '! moves 1' || fail "A did not pause"
tap a && wait_ms 20000 moves 1 || fail "A did not play on"
step "seeking 5 minutes with R1"
tap tr && shot_until 30000 strip_blue || fail "R1 did not seek past 200 s"

step "unplugging the pad while clip.avi plays, plugging it in"
pad unplug && wait_ms 20000 grep -q "^gamepad disconnected: " "$out" || fail "the pad was kept"
wait_ms 10000 moves 1 || fail "the clip stopped"
pad plug && wait_ms 20000 eval '(($(connections) == 2))' || fail "the pad was not taken again"
step "stopping with B, quitting with Back held"
tap b && wait_ms 30000 list_back || fail "B did not stop"
pad hold select 1500 && wait_ms 30000 grep -qx 0 "$share/status1" || fail "no status 0"
! grep -vF -- "[-nojoystick] [-nolirc]" "$playerlog" || fail "an MPlayer run reads the pad"

step "run again: song.mp3's sound screen, Ctrl-C"
out=$share/morvane2.out && wait_ms 120000 printed "file:clip.avi" || fail "no second run"
key home down down ret && wait_ms 60000 play_run song.mp3 || fail "no player"
shot_until 60000 sound_screen || fail "no sound screen: '$(ocr "$work/s.png")'"
qmp '"send-key"' '{"keys": [{"type": "qcode", "data": "ctrl"}, {"type": "qcode", "data": "c"}]}'
wait_ms 30000 test -e "$share/status2" || fail "Ctrl-C did not end Morvane"
wait_ms 20000 eval '! vm_running' || fail "the VM did not power off"
