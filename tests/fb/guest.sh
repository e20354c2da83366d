#!/bin/sh
# fb.sh's VM: Morvane run twice on the console through run-morvane; /results gets its output and status.
. /results/params && . "$SOURCE/tests/lib/vm-guest.sh"
for run in 1 2; do
    "$SOURCE/packaging/run-morvane" "$APP" </dev/tty1 >"/results/morvane$run.out" 2>&1
    echo $? >"/results/status$run.new" && mv "/results/status$run.new" "/results/status$run"
done
sync; poweroff -f
