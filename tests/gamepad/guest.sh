#!/bin/sh
# gamepad.sh's VM: the virtual pad (unplugged until told), then Morvane once on the console.
. /results/params && . "$SOURCE/tests/lib/vm-guest.sh"
modprobe uinput && "$PAD" /results/pad.in /results/pad.out &
"$SOURCE/packaging/run-morvane" "$APP" </dev/tty1 >/results/morvane.out 2>&1
echo $? >/results/status.new && mv /results/status.new /results/status
sync; poweroff -f
