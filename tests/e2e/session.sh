#!/usr/bin/env bash
# session.sh BUILD_DIR: files that fail or end, sound, resuming, Enter twice, on Xvfb.
. "$(dirname "$0")/../lib/harness.sh" && harness e2e-session "$1" e2e-session-screenshots
media=$work/media app=$work/app

step "the clips, broken files and a tagged mp3"
mkdir -p "$app" "$media"/{run,bad,sound,resume} && cp "$build/morvane" "$build/mplayer" "$app/"
for n in 1 2 3; do clip "$media/run/clip$n.avi" 320x240 2; done
head -c 20000 /dev/urandom >"$media/bad/corrupt.avi" && : >"$media/bad/empty.avi"
clip "$media/bad/gone.avi" 320x240 3 && clip "$media/resume/a-first.avi" 320x240 30
ffmpeg -v error -y -f lavfi -i sine=frequency=440 -t 20 -metadata title="Morning Song" \
    -metadata artist="The Testers" -write_id3v1 1 "$media/sound/song.mp3" || fail "no mp3"
second="fontfile=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf:text='%{eif\:t\:d}'"
clip "$media/resume/counter.avi" 320x240 60 \
    "drawbox=color=black:t=fill,drawtext=$second:fontsize=96:fontcolor=white:x=(w-tw)/2:y=(h-th)/2"
# -ao null: there is no sound card. The player's commands go to sent.log.
printf '#!/bin/bash\nexec /usr/bin/mplayer -ao null "$@" < <(tee -a %q)\n' "$work/sent.log" \
    >"$work/mplayer" && chmod +x "$work/mplayer"
export MORVANE_SYSTEM_MPLAYER=$work/mplayer
# run DIR [SED]: a fresh Morvane for DIR on the installed settings, changed by SED.
run() {
    [ -z "$morvane_pid" ] || { key F4 && quit; }
    settings "*.avi;*.mp3" "$media/$1" "${2:-}"
    : >"$playerlog" && start_morvane "$work" "$app/morvane"
}
gone() { no_players && list_back; }
runs() { grep -F -- "[-slave]" "$playerlog" | grep -o "\[$media/[^]]*\]" | tr '\n' ' '; }
# A held key repeats once in its first 1.6 s: 600 ms after the press, past a double press.
start_display xvfb 800x700 -ardelay 600 -arinterval 1000 || fail "no Xvfb"

step "files MPlayer cannot open: the list back within 3 s"
run bad
n=0 && for file in corrupt.avi empty.avi; do
    choose $((++n)) && wait_ms 10000 play_run "bad/$file" || fail "no play run for $file"
    wait_ms 3000 gone || fail "$file: a player, or no list"
done

step "a clip deleted while it plays"
choose 3 && wait_ms 10000 players || fail "no player"
rm "$media/bad/gone.avi" && wait_ms 6000 gone || fail "a player, or no list"

step "three clips, ATEND=NEXT: in order, then the list"
run run
three="[$media/run/clip1.avi] [$media/run/clip2.avi] [$media/run/clip3.avi] "
choose 1 && wait_ms 20000 eval '[ "$(runs)" = "$three" ]' || fail "the runs were: $(runs)"
wait_ms 6000 gone || fail "no list after the third clip"

step "ATEND absent: the player stays after the end"
run run "/^ATEND=/d"
choose 1 && wait_ms 10000 play_run run/clip1.avi || fail "no play run"
sleep 5.5 && players >/dev/null || fail "no player 3 s after the end"
[ "$(runs)" = "[$media/run/clip1.avi] " ] || fail "the runs were: $(runs)"
stopped

step "an mp3's name and tags on the sound screen"
run sound && choose 1
reads() { [[ "$(ocr "$work/a.png")" == *"Morning Song"*"The Testers"*"song.mp3"* ]]; }
wait_ms 10000 eval 'shot "$work/a.png" && reads' || fail "it reads '$(ocr "$work/a.png")'"
stopped

step "killed after about 12 s, started again, Enter resumes"
kept() { sed -n "s|^\([0-9]*\) - [0-9]* $media/resume/counter.avi\$|\1|p" "$app/positions.txt"; }
run resume && xdotool windowsize "$win" 640 480 && choose 2
# Written every 5 s; the first 10 s count as none.
wait_ms 30000 eval '[ "$(kept)" -ge 10 ]' || fail "no place kept: $(kept)"
left+=($(below "$morvane_pid")) && kill -KILL "$morvane_pid" && wait "$morvane_pid"
morvane_pid= && wait_ms 1000 no_players || fail "a player outlived the killed Morvane"
n=$(kept) && run resume && xdotool windowsize "$win" 640 480
key Return && wait_ms 10000 grep -qx "seek $n 2" "$work/sent.log" || fail "no 'seek $n 2'"
shows() {
    shot "$work/r.png" && convert "$work/r.png" -crop 400x220+120+140 +repage -negate -resize 50% \
        "$work/c.png"
    c=$(tesseract "$work/c.png" - --psm 7 2>/dev/null | tr -dc 0-9) && ((c >= n && c <= n + 3))
}
wait_ms 5000 shows || fail "it shows '$c', not $n to $((n + 3))"
stopped

# plays CLIP: it moves a second after it started; a further Enter pauses it.
plays() {
    wait_ms 10000 play_run "resume/$1" || fail "no play run for $1"
    sleep 1 && moves 0.8 || fail "$1 does not move"
    key Return && wait_ms 3000 still 0.8 || fail "Enter did not pause $1"
    stopped 3000
}
step "Enter twice at once"
key Up Return Return && plays a-first.avi
step "Enter held for 1.1 s"
key Down && before=$(enters)
xdotool keydown Return && sleep 1.1 && xdotool keyup Return
(($(enters) == before + 2)) || fail "not a press and a repeat: $(($(enters) - before))"
plays counter.avi
