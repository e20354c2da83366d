#!/usr/bin/env bash
# desktop.sh BUILD_DIR xvfb|openbox|weston [SHOT_DIR]: a 16:9 (anamorphic) and a 4:3 clip keep
# their shape in the 240x320 window and resized to 640x480; the player draws in Morvane's
# window and never takes the focus. Where there is input (not in weston's headless backend),
# another window taking the focus (a click under openbox) pauses, focusing Morvane resumes.
set -uo pipefail
. "$(dirname "$0")/../lib/harness.sh"
build=$(cd "$1" && pwd)
harness "e2e-$2" "${3:-$build/e2e-$2-screenshots}"
media=$work/media && mkdir -p "$media" "$work/app"

step "making the clips"
clip "$media/a-wide.avi" 1024x576 20 scale=720:576,setdar=16/9
clip "$media/b-four-three.avi" 320x240 20
ln -s "$build/morvane" "$work/app/" && cp "$build/mplayer" "$work/app/"
printf '[FILESELECT]\nFILTER=*.avi\nLASTDIR=%s\n' "$media" >"$work/app/mplayer.ini"

step "starting the desktop ($2)"
start_display "$2" || fail "the $2 desktop did not start"
if [ "$kind" != weston ]; then
    xmessage -geometry +660+560 "another window" >/dev/null 2>&1 & started+=($!)
    wait_ms 10000 window_of xmessage || fail "the other window did not appear"
fi
start_morvane "$work" "$work/app/morvane"
has_focus() { [ "$kind" = weston ] || { [ "$(xdotool getwindowfocus)" = "$win" ] && [ "$kind" = xvfb -o "$(xdotool getactivewindow)" = "$win" ]; }; }
wait_ms 3000 has_focus || fail "Morvane does not have the focus"
shape_in() { shot "$work/s.png" && shape "$work/s.png" "$1" "$2"; }

for row in "1 a-wide.avi 16/9" "2 b-four-three.avi 4/3"; do
    set -- $row
    step "playing $2"
    before=$(count_printed WindowDeactivate)
    key Home $(printf 'Down %.0s' $(seq "$1")) Return
    wait_ms 10000 play_run "$2" && play_run "$2" | grep -qF "[-wid]" || fail "no play run into Morvane's window for $2"
    for size in 240x320 640x480 240x320; do
        step "$2 keeps its shape in the window of $size"
        xdotool windowsize "$win" ${size/x/ }
        wait_ms 8000 shape_in "$size" "$3" || fail "$2 in $size: $(shape_in "$size" "$3")"
        [ "$1" = 1 ] && cp "$work/s.png" "$shots/playing-$size.png"
    done
    moves 0.8 || fail "the picture of $2 does not move"
    [ "$(count_printed WindowDeactivate)" = "$before" ] || fail "Morvane lost the focus when $2 started"
    has_focus || fail "Morvane does not have the focus while $2 plays"
    [ -z "$(xdotool search --onlyvisible --class MPlayer)" ] || fail "the player opened a window of its own"
    if [ "$kind" != weston ] && [ "$1" = 1 ]; then
        step "pausing when another window is activated"
        focus "$(window_of xmessage)"
        wait_ms 3000 eval '[ "$(count_printed WindowDeactivate)" -gt "$before" ]' || fail "Morvane was not told it lost the focus"
        wait_ms 3000 still 0.8 || fail "the picture still moves with Morvane inactive"
        step "resuming when Morvane is activated again"
        focus "$win" && wait_ms 3000 has_focus || fail "Morvane did not get the focus back"
        wait_ms 3000 moves 0.5 || fail "the picture did not move again"
    fi
    key F2 && wait_ms 3000 no_players || fail "a player is left 3 s after F2"
done
step "all steps passed"
