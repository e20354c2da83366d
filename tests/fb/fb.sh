#!/usr/bin/env bash
# fb.sh BUILD_DIR: Morvane on a VM's 640x480 framebuffer (guest.sh).
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
vm_boot "$work" "$share" "$here/guest.sh"

# The sound screen, between F2 and F4 of the session below.
vm_before_quit() {
    step "playing song.mp3: the sound screen, not painted over by MPlayer"
    key down ret && wait_ms 60000 play_run song.mp3 || fail "no player was started for song.mp3"
    shot_until 60000 "sound_screen" && cp "$work/s.png" "$shots/nowplaying.png" \
        || fail "no sound screen: '$(ocr "$work/s.png")'"
    key f2 && shot_until 30000 list_drawn || fail "F2 did not bring the list back after song.mp3"
}
# Mostly black, with the name and the title on it.
sound_screen() {
    set -- "$1" $(stats "$1" 640x480+0+0)
    ! above "$2" 0.3 && [[ "$(ocr "$1")" == *"Morning Song"*"song.mp3"* ]]
}
vm_session "$share/status1" "$share/app/mplayer.ini"

step "ending a second run with Ctrl-C"
wait_ms 120000 grep -qxF "file:clip.avi" "$share/morvane2.out" && sleep 0.5 || fail "the second run did not list the folder"
qmp '"send-key"' '{"keys": [{"type": "qcode", "data": "ctrl"}, {"type": "qcode", "data": "c"}]}' && wait_ms 30000 test -e "$share/status2" || fail "Morvane did not end within 30 s of Ctrl-C"
wait_ms 20000 eval '! vm_running' || fail "the VM did not power off"
