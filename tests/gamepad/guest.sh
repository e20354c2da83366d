#!/bin/sh
# gamepad.sh's VM: the virtual pad (unplugged until told), then Morvane on the console, twice.
. /results/params && . "$SOURCE/tests/lib/vm-guest.sh"
modprobe uinput && "$SOURCE/tests/tools/virtualpad.py" /results/pad.in /results/pad.out &
for run in 1 2; do
    "$SOURCE/packaging/run-morvane" "$APP" </dev/tty1 >"/results/morvane$run.out" 2>&1
    echo $? >"/results/status$run"
done
sync; poweroff -f
