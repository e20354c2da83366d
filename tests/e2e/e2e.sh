#!/usr/bin/env bash
# Morvane as a user meets it: the built program started from its program
# directory on a fresh Xvfb display, driven with xdotool keys and clicks, and
# judged by what is on the screen, on disk and in the process table.
#
#   e2e.sh BUILD_DIR [SCREENSHOT_DIR]
#
# Every check names its step when it fails. Screenshots of the list, the
# options menu and a clip playing are left in SCREENSHOT_DIR (default
# BUILD_DIR/e2e-screenshots).
set -uo pipefail
. "$(dirname "$0")/../lib/xdisplay.sh"

build=$(cd "$1" && pwd)
shots=${2:-$build/e2e-screenshots}
mkdir -p "$shots"
shots=$(cd "$shots" && pwd)

work=$(mktemp -d /tmp/morvane-e2e-XXXXXX)
media="$work/media"
app="$work/app"
out="$work/morvane.out"
playerlog="$work/player.log"
step="setting up"
xvfb_pid=
other_pid=
morvane_pid=

cleanup() {
    # Morvane's players, by their ids, then Morvane itself.
    [ -n "$morvane_pid" ] && kill $(descendants "$morvane_pid") "$morvane_pid" 2>/dev/null
    [ -n "$other_pid" ] && kill "$other_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "e2e: FAILED at step '$step': $*" >&2
    if [ -f "$out" ]; then
        echo "--- last lines Morvane printed:" >&2
        tail -n 15 "$out" >&2
    fi
    if [ -f "$playerlog" ]; then
        echo "--- player runs:" >&2
        cat "$playerlog" >&2
    fi
    import -window root "$shots/failed.png" 2>/dev/null && echo "--- screen: $shots/failed.png" >&2
    exit 1
}
step() { step=$1; echo "e2e: $step"; }

printed() { grep -qxF -- "$1" "$out"; }
players() { pgrep -f -- "mplayer.*-slave.*$media" >/dev/null; }
no_players() { ! players; }
# The play run (not the probe) the adapter logged for a file in the folder.
play_run() { grep -F -- "[-slave]" "$playerlog" | grep -F -- "[$media/$1]"; }
# A fingerprint of the middle of the window: the video area while playing.
middle() { import -window root -crop 160x200+40+60 +repage "$work/middle.png" && convert "$work/middle.png" -format '%#' info:; }
# The mean brightness (0..1) and spread of the middle of the window.
middle_stats() { convert "$work/middle.png" -colorspace Gray -format '%[fx:mean] %[fx:standard_deviation]' info:; }
window_shot() { import -window root -crop 240x320+0+0 +repage "$1"; }

focus_window() { # name
    local id
    id=$(xdotool search --onlyvisible --name "^$1\$" | head -n 1)
    [ -n "$id" ] || return 1
    xdotool windowfocus --sync "$id"
}
visible() { xdotool search --onlyvisible --name "^$1\$"; }

step "making the test folder with ffmpeg"
mkdir -p "$app" "$media/Sub folder/inner" "$media/-dash \"q\" \$x"
ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440 \
    -t 30 -c:v mpeg4 -c:a mp3 -shortest "$media/clip.avi" || fail "ffmpeg could not make clip.avi"
ffmpeg -v error -y -f lavfi -i testsrc=size=1280x768:rate=25 -t 3 -c:v mpeg4 "$media/wide.avi" \
    || fail "ffmpeg could not make wide.avi"
hostile="it's \$(touch pwned) \`id\`.avi"
cp "$media/clip.avi" "$media/$hostile"
: >"$media/notes.txt"

step "making the program directory"
ln -s "$build/morvane" "$app/morvane"
cp "$build/mplayer" "$app/mplayer"
cat >"$app/mplayer.ini" <<INI
# kept by the test
[FILESELECT]
FILTER=*.avi
LASTDIR=$media

[LANGUAGE]
OPTIONS=Options
EXIT=Exit
CPUSPEED=CPU speed
ABOUT=About
ENABLE=Enable
DISABLE=Disable
INI

step "starting Xvfb"
start_xvfb 160 199 || fail "Xvfb did not start (displays :160 to :199)"
# Another window to hand the focus to, away from Morvane's.
xmessage -geometry +300+520 "another window" >"$work/xmessage.out" 2>&1 &
other_pid=$!

step "starting Morvane from its program directory"
cd "$work"
mkdir -m 700 "$work/runtime"
MORVANE_PLAYER_LOG=$playerlog XDG_RUNTIME_DIR=$work/runtime "$app/morvane" >"$out" 2>&1 &
morvane_pid=$!
wait_for 10 visible Morvane || fail "no window titled Morvane appeared"
wait_for 5 visible xmessage || fail "the other window did not appear"
focus_window Morvane || fail "could not focus the window"
printed "enter dir '$media'" || fail "the start folder was not LASTDIR"
for row in "dir:-dash \"q\" \$x" "dir:Sub folder" "file:clip.avi" "file:$hostile" "file:wide.avi"; do
    printed "$row" || fail "the listing lacks '$row'"
done
printed "file:notes.txt" && fail "a file outside the filter was listed"
sleep 0.3
window_shot "$shots/list.png"

# Rows: 0 "..", 1 "-dash...", 2 ".." again (a name that sorts before "."
# gets a parent row of its own), 3 "Sub folder", 4 clip.avi, 5 the hostile
# name, 6 wide.avi; 18 pixels each from y=25 under the title bar.
row_y() { echo $((25 + 18 * $1 + 9)); }

step "walking into a folder with a click"
xdotool mousemove 60 "$(row_y 3)" click 1
wait_for 3 printed "enter dir '$media/Sub folder'" || fail "clicking 'Sub folder' did not open it"
wait_for 3 printed "dir:inner" || fail "'Sub folder' did not list 'inner'"

step "walking back up with '..'"
xdotool key Return
wait_for 3 printed "enter dir '$media/Sub folder/..'" || fail "Enter on '..' did not go up"
sleep 0.2

step "opening the options menu with its soft key"
xdotool mousemove 300 400
xdotool key F3
sleep 0.5
window_shot "$shots/options-menu.png"
xdotool key Down Down Return

step "reading About"
wait_for 3 visible About || fail "About did not open from the options menu"
xdotool key Return
wait_for 3 bash -c '! xdotool search --onlyvisible --name "^About$"' || fail "OK did not close About"

step "choosing high speed in the CPU-speed dialog"
xdotool key F3
sleep 0.4
xdotool key Down Return
wait_for 3 visible "CPU speed" || fail "the CPU-speed dialog did not open (keys after About lost?)"
xdotool key Return
wait_for 3 grep -qx "Enabled=true" "$app/mplayer.ini" || fail "Enabled=true is not on disk"
grep -qx "# kept by the test" "$app/mplayer.ini" || fail "writing the settings lost a comment"

step "choosing a clip"
wait_for 3 bash -c '! xdotool search --onlyvisible --name "^CPU speed$"' || fail "the CPU-speed dialog did not close"
# Without a window manager nothing need hand the focus back to Morvane.
focus_window Morvane || fail "could not focus the window"
xdotool key Home Down Down Down Down Return
wait_for 10 players || fail "no MPlayer started for clip.avi"
wait_for 5 grep -qF "[-slave]" "$playerlog" || fail "the adapter logged no play run for clip.avi"
run=$(grep -F "[-slave]" "$playerlog" | tail -n 1)
for arg in "[-wid]" "[-slave]" "[-quiet]" "[-idle]" "[-framedrop]" "[$media/clip.avi]"; do
    [[ "$run" == *"$arg"* ]] || fail "the player's command line lacks $arg: $run"
done
[[ "$run" == *"[-vf] [scale=320:240]"* ]] && fail "a 320x240 clip was scaled: $run"
wid=$(sed -n 's/.*\[-wid\] \[\([0-9]*\)\].*/\1/p' <<<"$run")
xwininfo -id "$wid" >/dev/null 2>&1 || fail "-wid $wid names no window"

step "seeing the video"
mean=0; spread=0
picture() {
    middle >/dev/null || return 1
    read -r mean spread < <(middle_stats)
    awk -v m="$mean" -v s="$spread" 'BEGIN { exit !(m > 0.1 && s > 0.1) }'
}
wait_for 10 picture || fail "the middle of the window shows no picture (mean $mean, spread $spread)"
a=$(middle)
window_shot "$shots/playing.png"
sleep 0.6
b=$(middle)
[ "$a" != "$b" ] || fail "the picture does not move"

step "pausing when another window takes the focus"
deactivations() { grep -cxF "WindowDeactivate" "$out"; }
before=$(deactivations)
deactivated_again() { [ "$(deactivations)" -gt "$before" ]; }
focus_window xmessage || fail "could not focus the other window"
wait_for 3 deactivated_again || fail "Morvane was not told it lost the focus"
sleep 0.6
a=$(middle); sleep 0.8; b=$(middle)
[ "$a" = "$b" ] || fail "the picture still moves with the window inactive"

step "resuming when the window has the focus again"
focus_window Morvane || fail "could not focus Morvane again"
sleep 0.6
a=$(middle); sleep 0.8; b=$(middle)
[ "$a" != "$b" ] || fail "the picture did not move again"

step "sending the playback keys"
xdotool key Return
sleep 0.5
a=$(middle); sleep 0.8; b=$(middle)
[ "$a" = "$b" ] || fail "Enter did not pause the picture"
xdotool key Return
sleep 0.5
a=$(middle); sleep 0.8; b=$(middle)
[ "$a" != "$b" ] || fail "Enter again did not resume the picture"
xdotool key Page_Up Page_Down F1 Left 3 1 Right
for code in 0x1004 0x1016 0x1017 0x1030 0x1012 0x33 0x31 0x1014; do
    wait_for 3 printed "pressed $code" || fail "key $code did not reach the window"
done
sleep 0.3
players || fail "MPlayer ended on the playback keys"

step "stopping with F2"
xdotool key F2
wait_for 1 no_players || fail "an MPlayer process is left a second after F2"
wait_for 2 printed "pressed 0x1031" || fail "F2 did not reach the window"
sleep 0.3
list_blank=$(import -window root -crop 200x100+20+160 +repage png:- | convert - -colorspace Gray -format '%[fx:mean]' info:)
awk -v m="$list_blank" 'BEGIN { exit !(m > 0.95) }' || fail "the list is not back (brightness $list_blank)"

step "playing a clip over the scaling size"
xdotool key Home Down Down Down Down Down Down Return
wait_for 10 play_run wide.avi || fail "no player run for wide.avi"
play_run wide.avi | grep -qF "[-vf] [scale=320:240]" \
    || fail "a 1280x768 clip was not scaled"
sleep 0.5
xdotool key F2
wait_for 1 no_players || fail "an MPlayer process is left after F2"

step "playing a clip with a hostile name"
xdotool key Home Down Down Down Down Down Return
wait_for 10 play_run "$hostile" || fail "the hostile name did not reach MPlayer intact"
sleep 0.5
xdotool key F2
wait_for 1 no_players || fail "an MPlayer process is left after F2"
[ ! -e "$work/pwned" ] && [ ! -e "$media/pwned" ] && [ ! -e "$app/pwned" ] \
    || fail "a file name ran a command"

step "walking into the folder with the hostile name and back"
xdotool key Home Down Return
wait_for 3 printed "enter dir '$media/-dash \"q\" \$x'" || fail "the folder '-dash \"q\" \$x' did not open"
xdotool key Return
wait_for 3 printed "enter dir '$media/-dash \"q\" \$x/..'" || fail "'..' did not lead back"

step "quitting with the Exit soft key"
xdotool mousemove 197 304 click 1
wait_exit "$morvane_pid" 5 || fail "Morvane did not end within 5 s of Exit"
morvane_pid=
[ "$exit_status" -eq 0 ] || fail "Morvane ended with status $exit_status"
grep -qxF "LASTDIR=$media" "$app/mplayer.ini" || fail "LASTDIR on disk is not $media: $(grep LASTDIR "$app/mplayer.ini")"
grep -qx "Enabled=true" "$app/mplayer.ini" || fail "the high-speed option was lost"
no_players || fail "an MPlayer process outlived Morvane"

step "killing Morvane while a clip plays"
MORVANE_PLAYER_LOG=$playerlog XDG_RUNTIME_DIR=$work/runtime "$app/morvane" >"$out" 2>&1 &
morvane_pid=$!
wait_for 10 visible Morvane || fail "Morvane did not start again"
focus_window Morvane || fail "could not focus the window"
wait_for 3 printed "file:clip.avi" || fail "the listing lacks clip.avi"
xdotool key Home Down Down Down Down Return
wait_for 10 players || fail "no MPlayer started for clip.avi"
kill -KILL "$morvane_pid"
wait "$morvane_pid" 2>/dev/null
morvane_pid=
wait_for 1 no_players || fail "an MPlayer process outlived a killed Morvane by a second"

echo "e2e: all steps passed; screenshots in $shots"
