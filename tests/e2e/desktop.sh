#!/usr/bin/env bash
# Morvane playing on a desktop of the kind users have, judged by screenshots:
#
#   desktop.sh BUILD_DIR KIND [SCREENSHOT_DIR]     KIND: xvfb, openbox, weston
#
#  - A 16:9 clip (anamorphic: 720x576 flagged 16:9) and a 4:3 clip keep their
#    shape in the 240x320 window and in the window resized to 640x480 while
#    they play: centred, filling one direction, black bars in the other.
#  - The player draws inside Morvane's window and never takes the focus; no
#    pause is sent at start.
#  - With a window manager (xvfb: by setting the X focus; openbox: by clicks)
#    another window taking the focus pauses the clip and the click back on
#    Morvane resumes it. weston's headless backend has no input devices, so
#    there the file is chosen with keys sent to the window.
set -uo pipefail
. "$(dirname "$0")/../lib/desktop.sh"

build=$(cd "$1" && pwd)
kind=$2
scenario="e2e-$kind"
shots=${3:-}
desktop_setup

step "making the clips"
make_clip "$work/media/a-wide.avi" 1024x576 scale=720:576,setdar=16/9 || fail "ffmpeg could not make a-wide.avi"
make_clip "$work/media/b-four-three.avi" 320x240 || fail "ffmpeg could not make b-four-three.avi"
make_program_dir

step "starting the desktop ($kind)"
start_desktop "$kind" || fail "the $kind desktop did not start"
other=
if [ "$kind" != weston ]; then
    xmessage -geometry +660+560 "another window" >/dev/null 2>&1 &
    desktop_pids+=($!)
    wait_ms 10000 window_of xmessage || fail "the other window did not appear"
    other=$(window_of xmessage)
fi

step "starting Morvane"
start_morvane || fail "Morvane's window did not appear with its list"
keys() {
    if [ "$kind" = weston ]; then xdotool key --window "$morvane_win" "$@" 2>/dev/null; else xdotool key "$@"; fi
}
has_focus() {
    case $kind in
        xvfb) [ "$(xdotool getwindowfocus)" = "$morvane_win" ] ;;
        openbox) [ "$(xdotool getactivewindow)" = "$morvane_win" ] && [ "$(xdotool getwindowfocus)" = "$morvane_win" ] ;;
        weston) true ;;
    esac
}
give_focus() { # WINDOW
    if [ "$kind" = openbox ]; then click_window "$1"; else xdotool windowfocus --sync "$1"; fi
}
[ "$kind" = weston ] || give_focus "$morvane_win"
wait_ms 3000 has_focus || fail "Morvane does not have the focus"

shape_in() { window_shot "$work/shot.png" && check_shape "$work/shot.png" "$1" "$2"; }

play() { # ROW NAME ASPECT
    local row=$1 name=$2 aspect=$3 before i
    step "playing $name"
    before=$(count_printed WindowDeactivate)
    keys Home; for ((i = 0; i < row; i++)); do keys Down; done; keys Return
    wait_ms 10000 eval 'grep -F "[-slave]" "$playerlog" | grep -qF "[$work/media/$name]"' \
        || fail "no play run for $name"
    grep -F "[-slave]" "$playerlog" | tail -n 1 | grep -qF "[-wid]" \
        || fail "the player was not given Morvane's window"

    step "$name keeps its shape in the 240x320 window"
    wait_ms 8000 shape_in 240x320 "$aspect" || fail "$name in 240x320: $(shape_in 240x320 "$aspect")"
    [ "$row" = 1 ] && cp "$work/shot.png" "$shots/playing.png"
    picture_moves 0.8 || fail "the picture of $name does not move"
    [ "$(count_printed WindowDeactivate)" = "$before" ] || fail "Morvane lost the focus when $name started"
    has_focus || fail "Morvane does not have the focus while $name plays"
    [ -z "$(xdotool search --onlyvisible --class MPlayer)" ] || fail "the player opened a window of its own"

    step "$name keeps its shape in the window resized to 640x480"
    xdotool windowsize "$morvane_win" 640 480
    wait_ms 8000 shape_in 640x480 "$aspect" || fail "$name in 640x480: $(shape_in 640x480 "$aspect")"
    [ "$row" = 1 ] && cp "$work/shot.png" "$shots/playing-640x480.png"
    xdotool windowsize "$morvane_win" 240 320
    wait_ms 8000 shape_in 240x320 "$aspect" || fail "$name back in 240x320: $(shape_in 240x320 "$aspect")"
}
stop() {
    keys F2
    wait_ms 3000 no_players || fail "a player is left 3 s after F2"
}

play 1 a-wide.avi 16/9
if [ -n "$other" ]; then
    step "pausing when another window is activated"
    before=$(count_printed WindowDeactivate)
    give_focus "$other"
    wait_ms 3000 eval '[ "$(count_printed WindowDeactivate)" -gt "$before" ]' \
        || fail "Morvane was not told it lost the focus"
    wait_ms 3000 picture_still 0.8 || fail "the picture still moves with Morvane inactive"

    step "resuming when Morvane is activated again"
    give_focus "$morvane_win"
    wait_ms 3000 has_focus || fail "Morvane did not get the focus back"
    wait_ms 3000 picture_moves 0.5 || fail "the picture did not move again"
fi
stop
play 2 b-four-three.avi 4/3
stop

echo "$scenario: all steps passed; screenshots in $shots"
