#!/usr/bin/env bash
# e2e.sh BUILD_DIR xvfb|openbox|weston: Morvane as a user meets it (all of it on xvfb), judged by screen, disk, processes.
. "$(dirname "$0")/../lib/harness.sh" && harness "e2e-$2" "$1" "e2e-$2-screenshots"
media=$work/media app=$work/app hostile="it's \$(touch pwned) \`id\`.avi" odd="-dash \"q\" \$x" as=()

step "making the folder (hostile names, 16:9 anamorphic, 4:3 and over the scaling size) and the program directory"
mkdir -p "$app" "$media/Sub folder/inner" "$media/$odd" && cp "$build/morvane" "$build/mplayer" "$app/"
clip "$media/a-wide.avi" 1024x576 20 scale=720:576,setdar=16/9 && clip "$media/clip.avi" 320x240 30 && clip "$media/wide.avi" 1280x768 3
cp "$media/clip.avi" "$media/$hostile" && chmod -R a+rX "$media"
# The keys seek past the end of a clip: it stays on it, as without the setting.
sed "s|^FILTER=.*|FILTER=*.avi|; s|^LASTDIR=.*|LASTDIR=$media|; s|^ATEND=.*|ATEND=STAY|" \
    "$(dirname "$0")/../../packaging/mplayer.ini" >"$app/mplayer.ini"
# Two files played before (RESUME): the hostile name left at 0:17, wide.avi seen to its end.
kept() { printf '%s %s %s %s\n' "$1" "$2" "$(stat -c %s "$media/$3")" "$media/$3"; }
{ kept 0 seen wide.avi && kept 17 - "$hostile"; } >"$app/positions.txt"

step "starting Morvane from its program directory ($2)"
start_display "$2" || fail "the $2 display did not start"
[ "$kind" = weston ] || { xmessage -geometry +660+560 "another window" >/dev/null 2>&1 & started+=($!); }
[ "$kind" = weston ] || wait_ms 10000 window_of xmessage || fail "the other window did not appear"
start_morvane "$work" "$app/morvane"
sleep 0.3 && shot "$shots/list.png"
# Rows from 0: "..", $odd, ".." (for a name sorting before "."), "Sub folder", a-wide.avi, clip.avi, $hostile, wide.avi.
choose() { key Home $(printf 'Down %.0s' $(seq "$1")) Return; }
has_focus() { [ "$kind" = weston ] || { [ "$(xdotool getwindowfocus)" = "$win" ] && [ "$kind" = xvfb -o "$(xdotool getactivewindow)" = "$win" ]; }; }
deactivations() { grep -cx WindowDeactivate "$out" || :; }

for row in "4 a-wide.avi 16/9" "5 clip.avi 4/3"; do
    read -r n file aspect <<<"$row"
    step "playing $file: the adapter's window id, the shape in the window resized, the focus"
    before=$(deactivations) && choose "$n" && wait_ms 10000 play_run "$file" "[-wid]" || fail "no play run with -wid for $file"
    for size in 240x320 640x480 240x320; do
        xdotool windowsize "$win" ${size/x/ }
        wait_ms 8000 eval 'shot "$work/s.png" && shape "$size" "$aspect" "$work/s.png"' || fail "$file in $size: $(shape "$size" "$aspect" "$work/s.png")"
        [ "$n" = 4 ] && cp "$work/s.png" "$shots/playing-$size.png"
    done
    moves 0.8 || fail "the picture of $file does not move"
    [ "$(deactivations)" = "$before" ] || fail "Morvane lost the focus when $file started"
    has_focus || fail "Morvane does not have the focus while $file plays"
    if [ "$kind" != weston ] && [ "$n" = 4 ]; then
        step "pausing when another window is activated, resuming when Morvane is again"
        focus "$(window_of xmessage)"
        wait_ms 3000 eval '[ "$(deactivations)" -gt "$before" ]' || fail "Morvane was not told it lost the focus"
        wait_ms 3000 eval 'two_shots 0.8 && [ "$a" = "$b" ]' || fail "the picture still moves with Morvane inactive"
        focus "$win" && wait_ms 3000 has_focus || fail "Morvane did not get the focus back"
        wait_ms 3000 moves 0.5 || fail "the picture did not move again"
    fi
    stop && wait_ms 3000 no_players || fail "a player is left 3 s after F2"
done
[ "$kind" = xvfb ] || exit 0

step "walking into a folder with a click and back up with '..'"
xdotool mousemove 60 $((25 + 18 * 3 + 9)) click 1 # rows of 18 pixels from y=25
wait_ms 3000 printed "dir:inner" || fail "clicking 'Sub folder' did not open it"
key Return && wait_ms 3000 printed "enter dir '$media/Sub folder/..'" || fail "Enter on '..' did not go up"

step "the options menu, About and the CPU-speed dialog"
sleep 0.2 && xdotool mousemove 300 400 key F3 && sleep 0.5 && (win= && shot "$shots/options-menu.png" 240x320+0+0)
key Down Down Return && wait_ms 3000 window_of About || fail "About did not open from the options menu"
key Return && wait_ms 3000 eval '[ -z "$(window_of About)" ]' || fail "OK did not close About"
key F3 && sleep 0.4 && key Down Return && wait_ms 3000 window_of "CPU speed" || fail "the CPU-speed dialog did not open (keys after About lost?)"
key Return && wait_ms 3000 grep -qx "Enabled=true" "$app/mplayer.ini" || fail "Enabled=true is not on disk"

step "the playback keys reach the window; F2 leaves no player after 1 s and brings the list back"
focus "$win" && choose 5 && wait_ms 10000 players || fail "no player for clip.avi"
key Page_Up Page_Down F1 Left 3 1 Right
for code in 0x1004 0x1016 0x1017 0x1030 0x1012 0x33 0x31 0x1014; do wait_ms 3000 printed "pressed $code" || fail "no $code"; done
no_players && fail "MPlayer ended on the playback keys"
stop && wait_ms 1000 no_players || fail "an MPlayer process is left a second after F2"
wait_ms 2000 eval 'shot "$work/s.png" && read -r m _ < <(stats "$work/s.png" 200x100+20+160) && above "$m" 0.95' || fail "the list is not back"

step "a clip over the scaling size plays scaled, a hostile name reaches MPlayer whole and runs nothing"
choose 7 && wait_ms 10000 play_run wide.avi "[-vf] [scale=320:240]" || fail "no scaled play run for wide.avi"
stop && wait_ms 1000 no_players && choose 6 && wait_ms 10000 play_run "$hostile" || fail "no play run for '$hostile'"
stop && wait_ms 1000 no_players && [ -z "$(find "$work" -name pwned)" ] || fail "a player was left, or a name ran a command"

step "quitting with the Exit soft key"
xdotool mousemove 197 304 click 1 && quit
grep -qxF "LASTDIR=$media" "$app/mplayer.ini" || fail "LASTDIR on disk is not $media"

step "a program directory nobody may write: after a walk and Exit its settings file is as it was, nothing beside it"
chmod 444 "$app/mplayer.ini" && chmod 555 "$app" && cp "$app/mplayer.ini" "$work/expected.ini"
[ "$(id -u)" = 0 ] && as=(setpriv --reuid=nobody --regid=nogroup --clear-groups --) # root writes anywhere
start_morvane "$work" "${as[@]}" env HOME="$work" XDG_RUNTIME_DIR= "$app/morvane"
choose 3 && wait_ms 3000 printed "enter dir '$media/Sub folder'" || fail "could not walk into 'Sub folder'"
key F4 && quit
cmp "$app/mplayer.ini" "$work/expected.ini" || fail "the settings file changed: $(cat "$app/mplayer.ini")"
grep -qxF "morvane: could not save '$app/mplayer.ini': cannot write it: Permission denied; the file is left \
as it was" "$out" || fail "the failed save of the read-only settings file said nothing"
[ "$(ls -A "$app" | tr '\n' ' ')" = "morvane mplayer mplayer.ini positions.txt " ] ||
    fail "files appeared: $(ls -A "$app")"

step "killing Morvane while a clip plays: no player left 1 s later"
start_morvane "$work" "$app/morvane"
choose 5 && wait_ms 10000 players || fail "no MPlayer started for clip.avi"
left+=($(below "$morvane_pid")) && kill -KILL "$morvane_pid" && wait "$morvane_pid"
wait_ms 1000 no_players || fail "an MPlayer process outlived a killed Morvane by a second"

step "a folder taken away (a card pulled): '..' lists the one above, no player starts, F4 stores it"
chmod 755 "$app" && chmod 644 "$app/mplayer.ini" && mkdir -p "$media/card/video" && left=()
sed -i "s|^LASTDIR=.*|LASTDIR=$media/card/video|" "$app/mplayer.ini"
start_morvane "$work" "$app/morvane"
rmdir "$media/card/video" && shown=$(wc -l <"$out")
printed_since() { tail -n +"$((shown + 1))" "$out" | grep -qxF -- "$1"; }
key Home Return && wait_ms 3000 printed_since "enter dir '$media/card'" || fail "'..' did not go up"
sleep 0.5 && no_players || fail "a player started for a row of a removed folder"
grep -qF -- "$media/card/video" "$playerlog" && fail "MPlayer was given a path in the gone folder"
key F4 && quit
grep -qxF "LASTDIR=$media/card" "$app/mplayer.ini" || fail "F4 stored $(grep LASTDIR "$app"/*.ini)"
