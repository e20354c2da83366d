#!/usr/bin/env bash
# enter.sh BUILD_DIR: a double and a held Enter on a clip, with the real MPlayer on Xvfb, probing
# ahead: the picture moves a second later; a deliberate Enter after that pauses it.
. "$(dirname "$0")/../lib/harness.sh" && harness e2e-enter "$1" e2e-enter-screenshots
media=$work/media app=$work/app

step "making the clips and the program directory"
mkdir -p "$app" "$media" && cp "$build/morvane" "$build/mplayer" "$app/"
clip "$media/clip1.avi" 320x240 30 && cp "$media/clip1.avi" "$media/clip2.avi"
cp "$media/clip1.avi" "$media/clip3.avi"
sed "s|^FILTER=.*|FILTER=*.avi|; s|^LASTDIR=.*|LASTDIR=$media|; s|^PROBEAHEAD=.*|PROBEAHEAD=YES|" \
    "$(dirname "$0")/../../packaging/mplayer.ini" >"$app/mplayer.ini"
# A held key repeats once in its first 1.6 s: 600 ms after the press, past a double press.
start_display xvfb 800x700 -ardelay 600 -arinterval 1000 || fail "Xvfb did not start"
start_morvane "$work" "$app/morvane"
# The Enter keys printed; the identify command line, printed with no line end, may stand before.
enters() { grep -c "pressed 0x1004$" "$out"; }
picture() {
    shot "$work/s.png" && read -r m _ < <(stats "$work/s.png" 200x150+20+60) && above "$m" 0.1
}
# plays CLIP: its player runs, a second later its picture moves; a further Enter pauses it.
plays() {
    wait_ms 10000 play_run "$1" || fail "no play run for $1"
    sleep 1 && wait_ms 5000 picture || fail "$1 shows no picture"
    moves 0.8 || fail "the picture of $1 does not move a second after it started"
    key Return && wait_ms 3000 eval 'two_shots 0.8 && [ "$a" = "$b" ]' || fail "Enter: no pause"
    stop && wait_ms 3000 no_players || fail "a player is left after F2"
}

step "Enter twice quickly on a clip the cursor rested on"
key Down && sleep 0.5 && key Return Return && plays clip1.avi

step "Enter at once, twice, on the next clip"
key Down Return Return && plays clip2.avi

step "Enter held for 1.1 s on the next clip"
key Down && before=$(enters)
xdotool keydown Return && sleep 1.1 && xdotool keyup Return
(($(enters) == before + 2)) || fail "not a press and a repeat: $(($(enters) - before)) presses"
plays clip3.avi
