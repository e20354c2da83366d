#!/usr/bin/env bash
# gamepad.sh BUILD_DIR: Morvane on a VM's framebuffer (guest.sh) driven by a virtual Xbox 360 pad
# plugged in late; an mp3's sound screen on the framebuffer; Ctrl-C on the console.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/harness.sh" && . "$here/../lib/vm.sh" && harness gamepad "$1" gamepad-test
share=$work/share out=$work/share/morvane1.out playerlog=$work/share/player.log
media=/results/media/clips

step "making the clip, the program directory and the initramfs"
mkdir -p "$share/media/clips" "$share/app" && cp "$build/mplayer" "$share/app/"
ln -s "$build/morvane" "$share/app/morvane"
# 400 s: a strip at the bottom red for 200 s, then blue; 5 minutes on is blue.
strip=x=0:y=120:w=iw:h=60:t=fill
clip "$share/media/clips/clip.avi" 320x180 400 \
    "drawbox=$strip:color=red:enable='lt(t,200)',drawbox=$strip:color=blue:enable='gte(t,200)'"
ffmpeg -v error -y -f lavfi -i sine -t 30 -metadata title="Morning Song" -write_id3v1 1 \
    "$share/media/clips/song.mp3" || fail "no mp3"
printf '%s\n' '[FILESELECT]' 'FILTER=*.avi;*.mp3' 'LASTDIR=/results/media' '[PLAYBACK]' \
    'NOWPLAYING=YES' '[GAMEPAD]' 'ENABLED=YES' 'MEDIAKEYS=YES' >"$share/app/mplayer.ini"
# The VM has no sound card: its MPlayer plays sound to nowhere, in real time.
printf '#!/bin/sh\nexec /usr/bin/mplayer -ao null "$@"\n' >"$share/mplayer"
chmod +x "$share/mplayer"
printf 'SOURCE=%q\nAPP=/results/app\nexport MORVANE_SYSTEM_MPLAYER=/results/mplayer\n' \
    "$(cd "$here/../.." && pwd)" >"$share/params"
: >"$share/pad.in"
vm_initramfs "$work" || fail "no initramfs (install linux-image-amd64 and busybox-static)"
vm_boot "$work" "$share" "$here/guest.sh"

# pad COMMAND...: one line to the virtual pad (plug, unplug, hold BUTTON MS), done within 15 s.
pad_n=0
pad() {
    local n=$((++pad_n))
    echo "$n $*" >>"$share/pad.in" && wait_ms 15000 grep -q "^$n done" "$share/pad.out"
}
tap() { for b; do pad hold "$b" 60 || return; done; }
# enters: the Enter keys printed so far; entered_again: one more since $n.
enters() { grep -cxF "pressed 0x1004" "$out"; }
entered_again() { (($(enters) > n)); }
connections() { grep -c "^gamepad connected: " "$out"; }
rows() { print_of "$1" 640x120+0+26; }
other_rows() { list_drawn "$1" && [ "$(rows "$1")" != "$(rows "$shots/list.png")" ]; }
first_rows() { list_drawn "$1" && [ "$(rows "$1")" = "$(rows "$shots/list.png")" ]; }
strip_blue() {
    set -- $(convert "$1" -crop 600x100+20+310 +repage -format '%[fx:mean.r] %[fx:mean.b]' info:)
    above "$2" "$1"
}
playing() { shot_until 60000 "shape 640x480 16/9" && wait_ms 30000 moves 1 600x200+20+90; }
# sound_screen FILE: mostly black, with the name and the title on it.
sound_screen() {
    set -- "$1" $(stats "$1" 640x480+0+0)
    ! above "$2" 0.3 && [[ "$(ocr "$1")" == *"Morning Song"*"song.mp3"* ]]
}
paused() { wait_ms 20000 entered_again && wait_ms 20000 eval '! moves 1'; }

step "seeing the list, then plugging the pad in"
wait_ms 120000 printed "dir:clips" || fail "Morvane did not list /results/media"
shot_until 30000 list_drawn && cp "$work/s.png" "$shots/list.png" || fail "no list on the screen"
pad plug && wait_ms 20000 eval '(($(connections) == 1))' || fail "the pad plugged in was not taken"

step "walking into clips with the d-pad and A, out with B"
tap down a && wait_ms 20000 printed "enter dir '$media'" || fail "down and A did not open clips"
shot_until 20000 other_rows || fail "the clips folder is not on the screen"
tap b && wait_ms 20000 printed "enter dir '$media/..'" || fail "B did not go up"
shot_until 20000 first_rows || fail "going up did not show the first list"

step "playing clip.avi with A"
tap down a down a || fail "the pad did not take the presses"
wait_ms 60000 play_run clip.avi "[-vo] [fbdev2:/dev/fb0]" || fail "no player drawing on /dev/fb0"
playing && cp "$work/s.png" "$shots/playing.png" || fail "no moving 16:9 picture"
step "pausing with A and playing on with A"
n=$(enters) && tap a && paused || fail "A did not pause"
tap a && wait_ms 20000 moves 1 || fail "A did not play on"
step "pausing and playing on with the keyboard's Play/Pause key"
n=$(enters) && key audioplay && paused || fail "Play/Pause did not pause"
key audioplay && wait_ms 20000 moves 1 || fail "Play/Pause did not play on"
step "seeking 5 minutes with R1"
tap tr && printed "pressed 0x33" && shot_until 30000 strip_blue || fail "R1 did not seek past 200 s"
step "stopping with B"
tap b && wait_ms 20000 printed "pressed 0x1031" || fail "B was not F2"
shot_until 30000 list_drawn || fail "B did not bring the list back"

step "unplugging the pad while clip.avi plays"
tap a && playing || fail "A did not play the clip again"
pad unplug && wait_ms 20000 grep -q "^gamepad disconnected: " "$out" || fail "the pad was kept"
wait_ms 10000 moves 1 || fail "the clip stopped when the pad went"
step "plugging it in again, stopping with B, quitting with Back held"
pad plug && wait_ms 20000 eval '(($(connections) == 2))' || fail "the pad was not taken again"
tap b && shot_until 30000 list_drawn || fail "B did not stop the clip"
pad hold select 1500 && wait_ms 30000 grep -qx 0 "$share/status1" ||
    fail "Back held did not quit: $(cat "$share/status1" 2>/dev/null)"
printed "pressed 0x1033" || fail "Back held was not F4"
grep -qxF "LASTDIR=$media" "$share/app/mplayer.ini" || fail "LASTDIR=$media is not on disk"
! grep -vF -- "[-nojoystick] [-nolirc]" "$playerlog" || fail "an MPlayer run without -nojoystick"

step "with udev running: a second run takes the pad, lets it go and takes it again"
out=$share/morvane2.out && wait_ms 120000 printed "file:clip.avi" || fail "no second run"
wait_ms 20000 eval '(($(connections) == 1))' || fail "the pad already plugged in was not taken"
tap up && wait_ms 20000 printed "pressed 0x1013" || fail "the d-pad did nothing"
pad unplug && wait_ms 20000 grep -q "^gamepad disconnected: " "$out" || fail "the pad was kept"
pad plug && wait_ms 20000 eval '(($(connections) == 2))' || fail "the pad was not taken again"
step "playing song.mp3: the sound screen, not painted over by MPlayer; Ctrl-C ends Morvane"
key home down down ret && wait_ms 60000 play_run song.mp3 || fail "no player for song.mp3"
shot_until 60000 sound_screen && cp "$work/s.png" "$shots/nowplaying.png" ||
    fail "no sound screen: '$(ocr "$work/s.png")'"
qmp '"send-key"' '{"keys": [{"type": "qcode", "data": "ctrl"}, {"type": "qcode", "data": "c"}]}'
wait_ms 30000 test -e "$share/status2" || fail "Morvane did not end within 30 s of Ctrl-C"
wait_ms 20000 eval '! vm_running' || fail "the VM did not power off"
