#!/usr/bin/env bash
# fb.sh BUILD_DIR: Morvane on a VM's 640x480 framebuffer (guest.sh).
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/harness.sh" && . "$here/../lib/vm.sh" && harness fb "$1" fb-test
share=$work/share out=$work/share/morvane1.out playerlog=$work/share/player.log media=/results/media

step "making the clip, the program directory and the initramfs"
mkdir -p "$share/media" "$share/app" && ln -s "$build/morvane" "$share/app/morvane" && cp "$build/mplayer" "$share/app/"
clip "$share/media/clip.avi" 320x180 60
printf '[FILESELECT]\nFILTER=*.avi\nLASTDIR=/results/media\n[LANGUAGE]\nOPTIONS=Options\nEXIT=Exit\n' >"$share/app/mplayer.ini"
printf 'SOURCE=%q\nAPP=/results/app\n' "$(cd "$here/../.." && pwd)" >"$share/params"
vm_boot "$share" "$here/guest.sh"

osd_shown() { set -- $(stats "$1" 640x54+0+0) $(stats "$1" 640x54+0+426); above "$3" 0.5 || above "$6" 0.5; }
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
step "quitting with F4"
key f4 && wait_ms 30000 grep -qx 0 "$share/status1" || fail "Morvane did not end with status 0 within 30 s of F4: $(cat "$share/status1")"
grep -qxF "LASTDIR=/results/media" "$share/app/mplayer.ini" || fail "LASTDIR=/results/media is not on disk"

step "ending a second run with Ctrl-C"
wait_ms 120000 grep -qxF "file:clip.avi" "$share/morvane2.out" && sleep 0.5 || fail "the second run did not list the folder"
qmp '"send-key"' '{"keys": [{"type": "qcode", "data": "ctrl"}, {"type": "qcode", "data": "c"}]}' && wait_ms 30000 test -e "$share/status2" || fail "Morvane did not end within 30 s of Ctrl-C"
wait_ms 20000 eval '! vm_running' || fail "the VM did not power off"
