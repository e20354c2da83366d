#!/bin/sh
# bench/gamepad.sh's VM: measures, writes /results/bench.txt, powers off.
. /results/params && . "$SOURCE/tests/lib/vm-guest.sh"
modprobe uinput && "$PAD" /results/pad.in /results/pad.out --keyboard &
n=0
pad() { n=$((n + 1)) && echo "$n $*" >>/results/pad.in && until grep -q "^$n " /results/pad.out 2>/dev/null; do sleep 0.02; done; }
pressed_at() { sed -n "s/^$n done //p" /results/pad.out; }
until keyboard=$(grep -l "virtualpad keyboard" /sys/class/input/event*/device/name); do sleep 0.1; done
keyboard=${keyboard%/device/name} && keyboard=/dev/input/${keyboard##*/}
export QT_QPA_PLATFORM=linuxfb QT_QPA_FB_NO_LIBINPUT=1 QT_QPA_EVDEV_KEYBOARD_PARAMETERS=$keyboard BENCH_PLAYER_LOG=/tmp/player.log
pad plug
# morvane SETTINGS: started on the folder with clip.avi, listed; its CPU time in ns: cpu
morvane() {
    printf '[FILESELECT]\nFILTER=*.avi\nLASTDIR=/results/media\n%b' "$1" >/results/app/mplayer.ini
    /results/app/morvane >/tmp/morvane.out 2>&1 </dev/null &
    pid=$! && until grep -q "^file entry count" /tmp/morvane.out; do sleep 0.1; done && sleep 3
}
cpu() { cat /proc/"$pid"/task/*/schedstat | awk '{ ns += $1 } END { print ns }'; } # every thread's
rest() { local c0=$(cpu); sleep "$REST_S"; echo $(( ($(cpu) - c0) / 1000 )); }
stop() { kill "$pid" && wait "$pid"; }

morvane "" && off=$(rest) && stop
sdl=$("$BENCH/bench_sdlwait" "$REST_S" 2>/dev/null || echo 0)
morvane "[GAMEPAD]\nENABLED=YES\n" && until grep -q "^gamepad connected" /tmp/morvane.out; do sleep 0.1; done
on=$(rest)
# Plays clip.avi (down, A), then presses the d-pad's Right and the keyboard's Right in turn.
pad hold down 30 && pad hold a 30 && until grep -q "^start" /tmp/player.log 2>/dev/null; do sleep 0.05; done
for i in $(seq "$PRESSES"); do
    for how in "hold right 30" "key right"; do
        lines=$(grep -c seek /tmp/player.log)
        pad $how && at=$(pressed_at)
        until [ "$(grep -c seek /tmp/player.log)" -gt "$lines" ]; do sleep 0.01; done
        echo "${how%% *} $(( ($(grep seek /tmp/player.log | tail -n 1 | cut -d' ' -f1) - at) / 1000 ))" >>/tmp/latency
        sleep 0.1
    done
done
stop
stats() { grep "^$1 " /tmp/latency | cut -d' ' -f2 | sort -n | awk '{ v[NR] = $1 } END { printf "median %.2f ms, 95th percentile %.2f ms", v[int((NR + 1) / 2)] / 1000, v[int(NR * 0.95)] / 1000 }'; }
{
    awk -v on="$on" -v off="$off" -v s="$REST_S" -v sdl="$sdl" 'BEGIN { printf "at rest for %d s, pad connected: %d us of CPU (%.3f %% of a core) with [GAMEPAD] on, %d us (%.3f %%) with it off; SDL_WaitEventTimeout alone %d us (%.3f %%)\n", s, on, on / s / 1e4, off, off / s / 1e4, sdl, sdl / s / 1e4 }'
    echo "d-pad Right to the player: $(stats hold); keyboard Right (evdev) to the player: $(stats key); $PRESSES each"
} >/results/bench.txt
touch /results/done && sync && poweroff -f
