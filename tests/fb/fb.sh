#!/usr/bin/env bash
# fb.sh BUILD_DIR: Morvane on a VM's 640x480 framebuffer (guest.sh); a boot over MORVANE_VM_BOOT_MS is retried.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/harness.sh" && . "$here/../lib/vm.sh" && harness fb "$1" fb-test
share=$work/share out=$work/share/morvane1.out playerlog=$work/share/player.log media=/results/media

step "making the clip, the program directory and the initramfs"
mkdir -p "$share/media" "$share/app" && ln -s "$build/morvane" "$share/app/morvane" && cp "$build/mplayer" "$share/app/"
clip "$share/media/clip.avi" 320x180 60
ffmpeg -v error -y -f lavfi -i sine -t 30 -metadata title="Morning Song" -write_id3v1 1 \
    "$share/media/song.mp3" || fail "no mp3"
printf '%s\n' '[FILESELECT]' 'FILTER=*.avi;*.mp3' 'LASTDIR=/results/media' \
    '[PLAYBACK]' 'NOWPLAYING=YES' '[LANGUAGE]' 'OPTIONS=Options' 'EXIT=Exit' \
    >"$share/app/mplayer.ini"
# The VM has no sound card: its MPlayer plays sound to nowhere, in real time.
printf '#!/bin/sh\nexec /usr/bin/mplayer -ao null "$@"\n' >"$share/mplayer"
chmod +x "$share/mplayer"
printf 'SOURCE=%q\nAPP=/results/app\nexport MORVANE_SYSTEM_MPLAYER=/results/mplayer\n' \
    "$(cd "$here/../.." && pwd)" >"$share/params"
vm_initramfs "$work" || fail "no initramfs (install linux-image-amd64 and busybox-static)"
for attempt in 1 2; do
    step "booting the VM (kernel $vm_kernel, attempt $attempt)"
    vm_start "$work" "$share" "$here/guest.sh" || fail "QEMU did not start"
    wait_ms "${MORVANE_VM_BOOT_MS:-90000}" eval '[ -e "$share/booted" ] || ! vm_running'
    [ -e "$share/booted" ] && break
    cp "$work/console.log" "$shots/console-attempt$attempt.log" && kill "$vm_pid" && wait "$vm_pid"
    [ "$attempt" = 2 ] && fail "the VM did not boot, twice"
done

# shot_until MS TEST: screendumps into $work/s.png until TEST holds for one; each costs the VM CPU time.
shot_until() { wait_ms "$1" eval "shot $work/s.png && $2 $work/s.png || ! sleep 0.3"; }
# The list covers the screen: white under its rows ("..", clip.avi) drawn at the top.
list_drawn() { set -- $(stats "$1" 600x330+20+90) $(stats "$1" 300x44+0+26); above "$1" 0.97 && above "$5" 0.1; }
osd_shown() { set -- $(stats "$1" 640x54+0+0) $(stats "$1" 640x54+0+426); above "$3" 0.5 || above "$6" 0.5; }
# Mostly black, with the name and the title on it.
sound_screen() {
    set -- "$1" $(stats "$1" 640x480+0+0)
    ! above "$2" 0.3 && [[ "$(ocr "$1")" == *"Morning Song"*"song.mp3"* ]]
}
# After F2 all but the rows (clip.avi is the current one now) is the list as first seen.
list_whole() { list_drawn "$1" && for r in 640x26+0+0 640x410+0+70; do [ "$(print_of "$1" $r)" = "$(print_of "$shots/list.png" $r)" ] || return; done; }

step "seeing the list on the framebuffer"
wait_ms 120000 printed "file:clip.avi" || fail "Morvane did not list clip.avi"
shot_until 30000 list_drawn && cp "$work/s.png" "$shots/list.png" || fail "no list on the screen"
head -n 1 "$out" | grep -q "^Morvane is running on the framebuffer /dev/fb0 with the keyboard /dev/input/event0" || fail "not on /dev/fb0"

step "playing clip.avi with Down and Enter: a moving 16:9 picture"
key down ret || fail "QMP did not take the keys"
wait_ms 60000 play_run clip.avi "[-vo] [fbdev2:/dev/fb0]" || fail "no player was started drawing on /dev/fb0"
shot_until 90000 "shape 640x480 16/9" && cp "$work/s.png" "$shots/playing.png" || fail "no 16:9 picture: $(shape 640x480 16/9 "$work/s.png")"
moves 1.2 600x300+20+90 || fail "the picture does not move"
step "switching the on-screen display with F1"
key f1 && shot_until 30000 osd_shown || fail "F1 showed nothing over the picture"
step "stopping with F2"
key f2 && shot_until 30000 list_whole || fail "the list did not come back whole"
step "playing song.mp3: the sound screen, not painted over by MPlayer"
key down ret && wait_ms 60000 play_run song.mp3 || fail "no player was started for song.mp3"
shot_until 60000 "sound_screen" && cp "$work/s.png" "$shots/nowplaying.png" \
    || fail "no sound screen: '$(ocr "$work/s.png")'"
key f2 && shot_until 30000 list_drawn || fail "F2 did not bring the list back after song.mp3"
step "quitting with F4"
key f4 && wait_ms 30000 grep -qx 0 "$share/status1" || fail "Morvane did not end with status 0 within 30 s of F4: $(cat "$share/status1")"
grep -qxF "LASTDIR=/results/media" "$share/app/mplayer.ini" || fail "LASTDIR=/results/media is not on disk"

step "ending a second run with Ctrl-C"
wait_ms 120000 grep -qxF "file:clip.avi" "$share/morvane2.out" && sleep 0.5 || fail "the second run did not list the folder"
qmp '"send-key"' '{"keys": [{"type": "qcode", "data": "ctrl"}, {"type": "qcode", "data": "c"}]}' && wait_ms 30000 test -e "$share/status2" || fail "Morvane did not end within 30 s of Ctrl-C"
wait_ms 20000 eval '! vm_running' || fail "the VM did not power off"
