#!/usr/bin/env bash
# e2e.sh BUILD_DIR xvfb|openbox|weston: Morvane with the real MPlayer on a real display, judged by
# screen, disk and processes. The key table, menus, dialogs, names and failed saves are unit tests'.
. "$(dirname "$0")/../lib/harness.sh" && harness "e2e-$2" "$1" "e2e-$2-screenshots"
media=$work/media app=$work/app

step "making a 16:9 anamorphic clip, a 4:3 one and the program directory"
mkdir -p "$app" "$media/Sub folder/inner" && cp "$build/morvane" "$build/mplayer" "$app/"
clip "$media/a-wide.avi" 1024x576 20 scale=720:576,setdar=16/9
clip "$media/clip.avi" 320x240 30 && chmod -R a+rX "$media"
sed "s|^FILTER=.*|FILTER=*.avi|; s|^LASTDIR=.*|LASTDIR=$media|" \
    "$(dirname "$0")/../../packaging/mplayer.ini" >"$app/mplayer.ini"

step "starting Morvane from its program directory ($2)"
start_display "$2" || fail "the $2 display did not start"
if [ "$kind" != weston ]; then
    xmessage -geometry +660+560 "another window" >/dev/null 2>&1 &
    started+=($!) && wait_ms 10000 window_of xmessage || fail "the other window did not appear"
fi
start_morvane "$work" "$app/morvane"
sleep 0.3 && shot "$shots/list.png"
# The rows: "..", "Sub folder", a-wide.avi, clip.avi.
has_focus() {
    [ "$kind" = weston ] && return
    [ "$(xdotool getwindowfocus)" = "$win" ] || return
    [ "$kind" = xvfb ] || [ "$(xdotool getactivewindow)" = "$win" ]
}
deactivations() { grep -cx WindowDeactivate "$out" || :; }
# judge FILE SIZE ASPECT: the picture keeps ASPECT in the window resized to SIZE.
judge() {
    local size=$2 aspect=$3
    xdotool windowsize "$win" ${size/x/ }
    wait_ms 8000 eval 'shot "$work/s.png" && shape "$size" "$aspect" "$work/s.png"' ||
        fail "$1 in $size: $(shape "$size" "$aspect" "$work/s.png")"
}
# playing ROW FILE ASPECT: Enter on ROW plays FILE in its window, in its shape, keeping the focus.
playing() {
    local row=$1 file=$2 aspect=$3 size
    step "playing $file: the adapter's window id, the shape in the window resized, the focus"
    before=$(deactivations) && choose "$row"
    wait_ms 10000 play_run "$file" "[-wid]" || fail "no play run with -wid for $file"
    for size in 240x320 640x480 240x320; do judge "$file" "$size" "$aspect"; done
    moves 0.8 || fail "the picture of $file does not move"
    [ "$(deactivations)" = "$before" ] || fail "Morvane lost the focus when $file started"
    has_focus || fail "Morvane does not have the focus while $file plays"
}

playing 2 a-wide.avi 16/9
cp "$work/s.png" "$shots/playing.png"
if [ "$kind" != weston ]; then
    step "pausing when another window is activated, resuming when Morvane is again"
    focus "$(window_of xmessage)"
    wait_ms 3000 eval '[ "$(deactivations)" -gt "$before" ]' || fail "Morvane was not told"
    wait_ms 3000 eval 'two_shots 0.8 && [ "$a" = "$b" ]' || fail "the picture still moves"
    focus "$win" && wait_ms 3000 has_focus || fail "Morvane did not get the focus back"
    wait_ms 3000 moves 0.5 || fail "the picture did not move again"
fi
stopped 3000
playing 3 clip.avi 4/3
stopped 3000
[ "$kind" = xvfb ] || exit 0

step "walking into a folder with a click and back up with '..'"
xdotool mousemove 60 $((25 + 18 + 9)) click 1 # rows of 18 pixels from y=25
wait_ms 3000 printed "dir:inner" || fail "clicking 'Sub folder' did not open it"
key Return && wait_ms 3000 printed "enter dir '$media/Sub folder/..'" || fail "Enter on '..' failed"

step "the playback keys reach the window and MPlayer; F2 leaves no player after 1 s"
choose 3 && wait_ms 10000 players || fail "no player for clip.avi"
key Page_Up Page_Down F1 Left 3 1 Right
wait_ms 3000 printed "pressed 0x1014" || fail "the keys did not reach Morvane"
no_players && fail "MPlayer ended on the playback keys"
stopped
wait_ms 2000 list_back || fail "the list is not back"

step "quitting with the Exit soft key"
xdotool mousemove 197 304 click 1 && quit
grep -qxF "LASTDIR=$media" "$app/mplayer.ini" || fail "LASTDIR on disk is not $media"

step "a program folder nobody may write: after a walk and F4 its settings file is as it was"
chmod 444 "$app/mplayer.ini" && chmod 555 "$app" && cp "$app/mplayer.ini" "$work/expected.ini"
beside=$(ls -A "$app") && as=()
[ "$(id -u)" = 0 ] && as=(setpriv --reuid=nobody --regid=nogroup --clear-groups --) # root may write
start_morvane "$work" "${as[@]}" env HOME="$work" XDG_RUNTIME_DIR= "$app/morvane"
choose 1 && wait_ms 3000 printed "enter dir '$media/Sub folder'" || fail "no walk into 'Sub folder'"
key F4 && quit
cmp "$app/mplayer.ini" "$work/expected.ini" || fail "the settings file changed"
grep -qxF "morvane: could not save '$app/mplayer.ini': cannot write it: Permission denied; the \
file is left as it was" "$out" || fail "the failed save said nothing"
[ "$(ls -A "$app")" = "$beside" ] || fail "files appeared beside it: $(ls -A "$app")"
chmod 755 "$app" && chmod 644 "$app/mplayer.ini"

step "killing Morvane while a clip plays: no player left 1 s later"
start_morvane "$work" "$app/morvane"
choose 3 && wait_ms 10000 players || fail "no MPlayer started for clip.avi"
left+=($(below "$morvane_pid")) && kill -KILL "$morvane_pid" && wait "$morvane_pid"
wait_ms 1000 no_players || fail "an MPlayer process outlived a killed Morvane by a second"

step "a folder taken away (a card pulled): '..' lists the one above, no player starts, F4 stores it"
mkdir -p "$media/card/video" && left=()
sed -i "s|^LASTDIR=.*|LASTDIR=$media/card/video|" "$app/mplayer.ini"
start_morvane "$work" "$app/morvane"
rmdir "$media/card/video" && shown=$(wc -l <"$out")
entered() { tail -n +"$((shown + 1))" "$out" | grep -qxF -- "enter dir '$media/card'"; }
key Home Return && wait_ms 3000 entered || fail "'..' did not go up"
sleep 0.5 && no_players || fail "a player started for a row of a removed folder"
grep -qF -- "$media/card/video" "$playerlog" && fail "MPlayer was given a path in the gone folder"
key F4 && quit
grep -qxF "LASTDIR=$media/card" "$app/mplayer.ini" || fail "F4 stored $(grep LASTDIR "$app"/*.ini)"
