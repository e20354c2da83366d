#!/usr/bin/env bash
# session.sh BUILD_DIR: Morvane with the real MPlayer on Xvfb, when a file cannot be played, when
# one ends, for sound, resuming a clip after Morvane was killed, and a double or held Enter.
. "$(dirname "$0")/../lib/harness.sh" && harness e2e-session "$1" e2e-session-screenshots
media=$work/media app=$work/app

step "making the clips, the broken files, a tagged mp3 and the program directory"
mkdir -p "$app" "$media/run" "$media/bad" "$media/sound" "$media/resume" "$media/enter"
cp "$build/morvane" "$build/mplayer" "$app/"
for n in 1 2 3; do clip "$media/run/clip$n.avi" 320x240 2; done
head -c 20000 /dev/urandom >"$media/bad/corrupt.avi" && : >"$media/bad/empty.avi"
clip "$media/bad/gone.avi" 320x240 3 && clip "$media/resume/a-first.avi" 320x240 2
clip "$media/enter/clip1.avi" 320x240 30
for n in 2 3; do cp "$media/enter/clip1.avi" "$media/enter/clip$n.avi"; done
ffmpeg -v error -y -f lavfi -i sine=frequency=440 -t 20 -metadata title="Morning Song" \
    -metadata artist="The Testers" -write_id3v1 1 "$media/sound/song.mp3" || fail "no mp3"
second="fontfile=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf:text='%{eif\:t\:d}'"
ffmpeg -v error -y -f lavfi -i color=c=black:size=320x240:rate=25 -t 60 -c:v mpeg4 -q:v 3 -vf \
    "drawtext=$second:fontsize=96:fontcolor=white:x=(w-tw)/2:y=(h-th)/2" \
    "$media/resume/counter.avi" || fail "no clip showing its second"
# No sound card here: sound goes nowhere, in real time. The player notes what it is sent; it is the
# process Morvane started (exec), so it ends with it.
printf '#!/bin/bash\nexec /usr/bin/mplayer -ao null "$@" < <(tee -a %q)\n' "$work/sent.log" \
    >"$work/mplayer" && chmod +x "$work/mplayer"
export MORVANE_SYSTEM_MPLAYER=$work/mplayer
# run DIR [SED]: a fresh Morvane (the last one ended with F4) on the installed settings (ATEND=NEXT,
# the sound screen on) for DIR, changed by SED.
run() {
    [ -z "$morvane_pid" ] || { key F4 && quit; }
    sed "s|^FILTER=.*|FILTER=*.avi;*.mp3|; s|^LASTDIR=.*|LASTDIR=$media/$1|; ${2:-}" \
        "$(dirname "$0")/../../packaging/mplayer.ini" >"$app/mplayer.ini"
    : >"$playerlog" && start_morvane "$work" "$app/morvane"
}
gone() { no_players && list_back; }
runs() { grep -F -- "[-slave]" "$playerlog" | grep -o "\[$media/[^]]*\]" | tr '\n' ' '; }
# A held key repeats once in its first 1.6 s: 600 ms after the press, past a double press.
start_display xvfb 800x700 -ardelay 600 -arinterval 1000 || fail "Xvfb did not start"

step "files MPlayer cannot open: the list back within 2 s (3 s for a busy machine), no player"
run bad
n=0 && for file in corrupt.avi empty.avi; do
    choose $((++n)) && wait_ms 10000 play_run "bad/$file" || fail "no play run for $file"
    wait_ms 3000 gone || fail "$file: a player, or no list, 3 s after it started"
done

step "a clip deleted while it plays: at its end the list is back and no player is left"
choose 3 && wait_ms 10000 players || fail "no player for gone.avi"
rm "$media/bad/gone.avi" && wait_ms 6000 gone || fail "a player, or no list, 6 s after the deletion"

step "three 2-second clips, ATEND=NEXT: in list order, then the list on the third"
run run
three="[$media/run/clip1.avi] [$media/run/clip2.avi] [$media/run/clip3.avi] "
choose 1 && wait_ms 20000 eval '[ "$(runs)" = "$three" ]' || fail "the runs were: $(runs)"
wait_ms 6000 gone || fail "the list did not come back after the third clip"
key Return && wait_ms 10000 eval '[ "$(runs)" = "$three[$media/run/clip3.avi] " ]' ||
    fail "Enter after the run did not play the third clip: $(runs)"
stopped

step "ATEND absent: the player is still there 3 s after the clip's end, until F2"
run run "/^ATEND=/d"
choose 1 && wait_ms 10000 play_run run/clip1.avi || fail "no play run for clip1.avi"
sleep 5.5 && players >/dev/null || fail "no player 3 s after the end of a 2-second clip"
[ "$(runs | wc -w)" = 1 ] || fail "more than the one clip played: $(runs)"
stopped
wait_ms 2000 list_back || fail "F2 did not bring the list back"

step "an mp3 with tags: name, title and a moving position on the sound screen, two sizes"
run sound
choose 1 && wait_ms 10000 play_run sound/song.mp3 || fail "no play run for song.mp3"
reads() { [[ "$(ocr "$work/a.png")" == *"Morning Song"*"The Testers"*"song.mp3"* ]]; }
for size in 240x320 640x480; do
    xdotool windowsize "$win" ${size/x/ } && sleep 1
    wait_ms 5000 eval 'shot "$work/a.png" && reads' || fail "$size: it reads '$(ocr "$work/a.png")'"
    cp "$work/a.png" "$shots/nowplaying-$size.png" && sleep 2 && shot "$work/b.png"
    [ "$(print_of "$work/a.png")" != "$(print_of "$work/b.png")" ] || fail "$size: still in 2 s"
done
stopped

step "RESUME: a 60 s clip showing its second, killed after about 12 s; started again, Enter resumes"
kept() { sed -n "s|^\([0-9]*\) - [0-9]* $media/resume/counter.avi\$|\1|p" "$app/positions.txt"; }
# counter FILE: the second shown on a screenshot of the 640x480 window.
counter() {
    convert "$1" -crop 400x220+120+140 +repage -negate -resize 50% "$work/counter.png"
    tesseract "$work/counter.png" - --psm 7 2>/dev/null | tr -dc 0-9
}
run resume && xdotool windowsize "$win" 640 480
choose 2 && wait_ms 10000 play_run resume/counter.avi || fail "no play run for counter.avi"
# Written every 5 s: killed once 10 s or more are on disk (the first 10 s count as none).
wait_ms 30000 eval '[ "$(kept)" -ge 10 ]' || fail "no place of 10 s or more kept: $(kept)"
left+=($(below "$morvane_pid")) && kill -KILL "$morvane_pid" && wait "$morvane_pid"
morvane_pid= && wait_ms 3000 no_players || fail "a player outlived the killed Morvane by 3 s"
n=$(kept) && : >"$work/sent.log" && run resume && xdotool windowsize "$win" 640 480
key Return && wait_ms 10000 grep -qx "seek $n 2" "$work/sent.log" ||
    fail "no 'seek $n 2': $(cat "$work/sent.log")"
((n >= 5 && n <= 12)) || fail "it resumed at $n s, not between 5 and 12"
shows() { shot "$work/r.png" && c=$(counter "$work/r.png") && ((c >= n && c <= n + 3)); }
wait_ms 5000 shows || fail "the picture shows '$c', not $n to $((n + 3))"
cp "$work/r.png" "$shots/resumed.png"
stopped

# The Enter keys printed; the identify command line, printed with no line end, may stand before.
enters() { grep -c "pressed 0x1004$" "$out"; }
picture() {
    shot "$work/s.png" && read -r m _ < <(stats "$work/s.png" 200x150+20+60) && above "$m" 0.1
}
# plays CLIP: its player runs, a second later its picture moves; a further Enter pauses it.
plays() {
    wait_ms 10000 play_run "enter/$1" || fail "no play run for $1"
    sleep 1 && wait_ms 5000 picture || fail "$1 shows no picture"
    moves 0.8 || fail "the picture of $1 does not move a second after it started"
    key Return && wait_ms 3000 eval 'two_shots 0.8 && [ "$a" = "$b" ]' || fail "Enter: no pause"
    stopped 3000
}
step "probing ahead, Enter twice quickly on a clip the cursor rested on"
run enter && key Down && sleep 0.5 && key Return Return && plays clip1.avi
step "Enter at once, twice, on the next clip"
key Down Return Return && plays clip2.avi
step "Enter held for 1.1 s on the next clip"
key Down && before=$(enters)
xdotool keydown Return && sleep 1.1 && xdotool keyup Return
(($(enters) == before + 2)) || fail "not a press and a repeat: $(($(enters) - before)) presses"
plays clip3.avi
