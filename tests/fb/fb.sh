#!/usr/bin/env bash
# fb.sh BUILD_DIR: Morvane on a VM's 640x480 framebuffer (guest.sh); a boot over MORVANE_VM_BOOT_MS is retried.
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/harness.sh" && . "$here/../lib/vm.sh" && harness fb "$1" fb-test
share=$work/share out=$work/share/morvane1.out playerlog=$work/share/player.log media=/results/media

step "making the clip, the program directory and the initramfs"
mkdir -p "$share/media" "$share/app" && ln -s "$build/morvane" "$share/app/morvane" && cp "$build/mplayer" "$share/app/"
clip "$share/media/clip.avi" 320x180 60
printf '[FILESELECT]\nFILTER=*.avi\nLASTDIR=/results/media\n[LANGUAGE]\nOPTIONS=Options\nEXIT=Exit\n' >"$share/app/mplayer.ini"
printf 'SOURCE=%q\nAPP=/results/app\n' "$(cd "$here/../.." && pwd)" >"$share/params"
vm_initramfs "$work" || fail "no initramfs (install linux-image-amd64 and busybox-static)"
vm_boot "$work" "$share" "$here/guest.sh"

vm_session "$share/status1" "$share/app/mplayer.ini"

step "ending a second run with Ctrl-C"
wait_ms 120000 grep -qxF "file:clip.avi" "$share/morvane2.out" && sleep 0.5 || fail "the second run did not list the folder"
qmp '"send-key"' '{"keys": [{"type": "qcode", "data": "ctrl"}, {"type": "qcode", "data": "c"}]}' && wait_ms 30000 test -e "$share/status2" || fail "Morvane did not end within 30 s of Ctrl-C"
wait_ms 20000 eval '! vm_running' || fail "the VM did not power off"
