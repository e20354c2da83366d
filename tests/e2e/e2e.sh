#!/usr/bin/env bash
# e2e.sh BUILD_DIR xvfb|openbox|weston: the real MPlayer on a real display.
. "$(dirname "$0")/../lib/harness.sh" && harness "e2e-$2" "$1" "e2e-$2-screenshots"
media=$work/media app=$work/app

step "a 16:9 anamorphic clip"
mkdir -p "$app" "$media" && cp "$build/morvane" "$build/mplayer" "$app/"
clip "$media/a-wide.avi" 1024x576 30 scale=720:576,setdar=16/9
settings "*.avi" "$media"

step "starting on $2 beside another window"
start_display "$2" || fail "no $2 display"
if [ "$kind" != weston ]; then
    xmessage -geometry +660+560 "another window" >"$work/xmessage.log" 2>&1 &
    started+=($!) logs+=("$work/xmessage.log")
    wait_ms 20000 window_of xmessage || fail "no other window"
fi
start_morvane "$work" "$app/morvane"
deactivations() { grep -cx WindowDeactivate "$out" || :; }

step "playing: -wid, the 16:9 shape in two sizes, the focus kept"
before=$(deactivations) && choose 1
wait_ms 10000 play_run a-wide.avi "[-wid]" || fail "no play run with -wid"
for size in 640x480 240x320; do
    xdotool windowsize "$win" ${size/x/ }
    wait_ms 8000 eval 'shot "$work/s.png" && shape "$size" 16/9 "$work/s.png"' ||
        fail "$size: $(shape "$size" 16/9 "$work/s.png")"
done
moves 0.8 || fail "the picture does not move"
[ "$(deactivations)" = "$before" ] || fail "the focus was lost"
if [ "$kind" != weston ]; then
    step "paused while another window is active"
    focus "$(window_of xmessage)"
    wait_ms 3000 eval '[ "$(deactivations)" -gt "$before" ]' || fail "Morvane was not told"
    wait_ms 3000 still 0.8 || fail "not paused"
    focus "$win" && wait_ms 3000 moves 0.5 || fail "not playing on"
fi
stopped 3000
[ "$kind" = xvfb ] || exit 0
key F4 && quit

step "a folder taken away: '..' goes up, no player, F4 stores it"
mkdir -p "$media/card/video"
sed -i "s|^LASTDIR=.*|LASTDIR=$media/card/video|" "$app/mplayer.ini"
start_morvane "$work" "$app/morvane"
rmdir "$media/card/video"
key Home Return && wait_ms 3000 printed "enter dir '$media/card'" || fail "'..' did not go up"
grep -qF -- "$media/card/video" "$playerlog" && fail "a player for the gone folder"
key F4 && quit
grep -qxF "LASTDIR=$media/card" "$app/mplayer.ini" || fail "LASTDIR is not $media/card"
