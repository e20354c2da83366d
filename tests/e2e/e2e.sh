#!/usr/bin/env bash
# Morvane as a user meets it on a bare Xvfb: its program directory, keys and
# clicks, the real MPlayer, judged by the screen, the disk and the process table.
#   e2e.sh BUILD_DIR [SHOT_DIR]    (list, options menu and a clip playing)
set -uo pipefail
. "$(dirname "$0")/../lib/harness.sh"
build=$(cd "$1" && pwd)
harness e2e "${2:-$build/e2e-screenshots}"
media=$work/media app=$work/app hostile="it's \$(touch pwned) \`id\`.avi" odd="-dash \"q\" \$x"

step "making the folder (hostile names, a clip over the scaling size) and the program directory"
mkdir -p "$app" "$media/Sub folder/inner" "$media/$odd"
clip "$media/clip.avi" 320x240 30
clip "$media/wide.avi" 1280x768 3
cp "$media/clip.avi" "$media/$hostile" && : >"$media/notes.txt"
ln -s "$build/morvane" "$app/" && cp "$build/mplayer" "$app/"
sed -e '1i # kept by the test' -e "s|^FILTER=.*|FILTER=*.avi|; s|^LASTDIR=.*|LASTDIR=$media|" \
    "$(dirname "$0")/../../packaging/mplayer.ini" >"$app/mplayer.ini"

step "starting Morvane from its program directory"
start_display xvfb 480x640 || fail "Xvfb did not start"
start_morvane "$work" "$app/morvane"
printed "enter dir '$media'" || fail "the start folder was not LASTDIR"
for row in "dir:$odd" "dir:Sub folder" "file:clip.avi" "file:$hostile" "file:wide.avi"; do printed "$row" || fail "no '$row'"; done
printed "file:notes.txt" && fail "a file outside the filter was listed"
sleep 0.3 && shot "$shots/list.png"
# Rows from 0: "..", $odd, ".." (for a name sorting before "."), "Sub folder", clip.avi, $hostile, wide.avi.
choose() { key Home $(printf 'Down %.0s' $(seq "$1")) Return; }

step "walking into a folder with a click and back up with '..'"
xdotool mousemove 60 $((25 + 18 * 3 + 9)) click 1 # rows of 18 pixels from y=25
wait_ms 3000 printed "dir:inner" || fail "clicking 'Sub folder' did not open it"
key Return && wait_ms 3000 printed "enter dir '$media/Sub folder/..'" || fail "Enter on '..' did not go up"

step "the options menu, About and the CPU-speed dialog"
sleep 0.2 && xdotool mousemove 300 400 key F3 && sleep 0.5 && (win= && shot "$work/m.png")
convert "$work/m.png" -crop 240x320+0+0 +repage "$shots/options-menu.png"
key Down Down Return
wait_ms 3000 window_of About || fail "About did not open from the options menu"
key Return && wait_ms 3000 eval '[ -z "$(window_of About)" ]' || fail "OK did not close About"
key F3 && sleep 0.4 && key Down Return
wait_ms 3000 window_of "CPU speed" || fail "the CPU-speed dialog did not open (keys after About lost?)"
key Return && wait_ms 3000 grep -qx "Enabled=true" "$app/mplayer.ini" || fail "Enabled=true is not on disk"
grep -qx "# kept by the test" "$app/mplayer.ini" || fail "writing the settings lost a comment"
wait_ms 3000 eval '[ -z "$(window_of "CPU speed")" ]' || fail "the CPU-speed dialog did not close"

step "playing clip.avi: the player's command line"
focus "$win" && choose 4
wait_ms 10000 play_run clip.avi || fail "no play run for clip.avi"
run=$(play_run clip.avi)
for arg in "[-wid]" "[-slave]" "[-quiet]" "[-idle]" "[-framedrop]"; do [[ $run == *"$arg"* ]] || fail "no $arg: $run"; done
[[ $run == *"[-vf] [scale=320:240]"* ]] && fail "a 320x240 clip was scaled: $run"
xwininfo -id "$(sed -n 's/.*\[-wid\] \[\([0-9]*\)\].*/\1/p' <<<"$run")" >/dev/null || fail "-wid names no window"

step "seeing the video move, pausing and resuming it with Enter"
mid=160x200+40+60
wait_ms 10000 shows $mid 0.1 0.1 || fail "the middle of the window shows no picture"
cp "$work/s.png" "$shots/playing.png"
moves 0.6 $mid || fail "the picture does not move"
key Return && sleep 0.5 && still 0.8 $mid || fail "Enter did not pause the picture"
key Return && sleep 0.5 && moves 0.8 $mid || fail "Enter again did not resume the picture"

step "the playback keys reach the window"
key Page_Up Page_Down F1 Left 3 1 Right
for code in 0x1004 0x1016 0x1017 0x1030 0x1012 0x33 0x31 0x1014; do wait_ms 3000 printed "pressed $code" || fail "no $code"; done
players >/dev/null || fail "MPlayer ended on the playback keys"

step "stopping with F2: no player left after 1 s, the list back"
key F2 && wait_ms 1000 no_players || fail "an MPlayer process is left a second after F2"
wait_ms 2000 shows 200x100+20+160 0.95 -1 || fail "the list is not back"

step "a clip over the scaling size is scaled; a hostile name reaches MPlayer intact"
for row in "6 wide.avi" "5 $hostile"; do
    choose "${row%% *}"
    wait_ms 10000 play_run "${row#* }" || fail "no play run for ${row#* }"
    sleep 0.5 && key F2 && wait_ms 1000 no_players || fail "an MPlayer process is left after F2"
done
play_run wide.avi | grep -qF "[-vf] [scale=320:240]" || fail "a 1280x768 clip was not scaled"
[ -z "$(find "$work" -name pwned)" ] || fail "a file name ran a command"
choose 1 && wait_ms 3000 printed "enter dir '$media/$odd'" || fail "the folder '$odd' did not open"
key Return && wait_ms 3000 printed "enter dir '$media/$odd/..'" || fail "'..' did not lead back"

step "quitting with the Exit soft key"
quit click 197 304
grep -qxF "LASTDIR=$media" "$app/mplayer.ini" || fail "LASTDIR on disk is not $media"
no_players || fail "an MPlayer process outlived Morvane"

step "killing Morvane while a clip plays: no player left 1 s later"
start_morvane "$work" "$app/morvane"
choose 4 && wait_ms 10000 players || fail "no MPlayer started for clip.avi"
kill -KILL "$morvane_pid" && wait "$morvane_pid"
wait_ms 1000 no_players || fail "an MPlayer process outlived a killed Morvane by a second"
step "all steps passed"
