#!/usr/bin/env bash
# Runs every benchmark and prints each figure beside its baseline from the
# same run.   bench/run.sh [--built] [BUILD_DIR]
# With --built the build directory is taken as it is (in the arm64 VM,
# which has no compiler: ./setup.sh bench arm64).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tests/lib/harness.sh"

built=no
[ "${1:-}" = --built ] && built=yes && shift
build=$(cd "${1:-$root/build}" 2>/dev/null && pwd || echo "$root/build")
[ "$built" = yes ] || MORVANE_BUILD_DIR=$build "$root/setup.sh" build >/dev/null
bench=$build/bench
# A work folder, removed at the end with every process started here.
harness bench "$build" .

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "-"; else printf "%.2f", a / b }'; }

echo "Morvane benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(uname -m)"
echo
echo "== Listing a folder into the list (baseline: ls -1a on the same folder)"
"$bench/bench_listing" 2>/dev/null | grep -vE "^(sFilder|lastDir|enter dir)"
echo "   the same with RESUME=YES and 1,000 files kept in positions.txt, the folder's own first"
echo "   (all 1,000 marked, 500 in the folder of 1,000 entries)"
"$bench/bench_listing" --resume 2>/dev/null | grep -vE "^(sFilder|lastDir|enter dir)"

echo
echo "== Playback (fake player noting arrival times)"
"$bench/bench_playback" "$bench/bench_fakeplayer" 2>&1 >/dev/null | grep -E "^(key|choose)"

echo
echo "== Gamepad: a virtual Xbox 360 pad and keyboard (uinput) in the framebuffer VM, fake player;"
echo "   CPU at rest beside [GAMEPAD] off, a d-pad press to the player beside a key press (a few minutes)"
"$root/bench/gamepad.sh" "$build" | grep -v "^bench-gamepad:"

echo
echo "== Stopping (baseline: MPlayer's own time from \"quit\" to exit), real MPlayer, real clip"
ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440 \
    -t 60 -c:v mpeg4 -c:a mp3 -shortest "$work/clip.avi"
"$bench/bench_stop" "$build/mplayer" "$work/clip.avi" 2>&1 >/dev/null | grep -E "^F2"

# A program directory of its own, so that the benchmark leaves the build's
# settings alone.
mkdir -p "$work/app" "$work/empty" "$work/rows"
ln -s "$build/morvane" "$work/app/morvane"
printf '[FILESELECT]\nFILTER=*.avi\nLASTDIR=%s\n' "$work/empty" >"$work/app/mplayer.ini"

echo
echo "== Start-up to the first window on screen (baseline: a bare Qt window), Xvfb"
start_display xvfb 480x640 || { echo "bench: Xvfb did not start" >&2; exit 1; }

startup_ms() { # title program...
    local title=$1; shift
    local t0 t1 pid
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 &
    pid=$!
    local deadline=$(( t0 + 10000000000 ))
    until xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1; do
        t1=$(date +%s%N)
        if [ "$t1" -gt "$deadline" ] || ! kill -0 "$pid" 2>/dev/null; then
            echo "bench: $title did not show a window within 10 s" >&2
            kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
            echo -1
            return
        fi
        sleep 0.002
    done
    t1=$(date +%s%N)
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo $(( (t1 - t0) / 1000 ))
}
ours=(); bare=()
for _ in $(seq 15); do
    ours+=("$(startup_ms Morvane "$work/app/morvane")")
    bare+=("$(startup_ms Bare "$bench/bench_bare")")
done
o=$(printf '%s\n' "${ours[@]}" | grep -v '^-' | median)
b=$(printf '%s\n' "${bare[@]}" | grep -v '^-' | median)
printf 'morvane %.1f ms, bare window %.1f ms, ratio %s (target at most 1.5)\n' \
    "$(ratio "$o" 1000)" "$(ratio "$b" 1000)" "$(ratio "$o" "$b")"

echo
echo "== Choosing a file to its first video frame on screen (baseline: MPlayer started"
echo "   directly on the same clip in a window of the same size, in the same rounds), real MPlayer,"
echo "   Xvfb; with PROBEAHEAD=YES (on) and without (off, as before)"
mkdir -p "$work/clips"
ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440 \
    -t 30 -c:v mpeg4 -c:a mp3 -shortest "$work/clips/clip.avi"
cp "$build/mplayer" "$work/app/mplayer"
# morvane_on DIR [SETTINGS]: Morvane listing DIR, with the focus.
morvane_on() {
    printf '[FILESELECT]\nFILTER=*.avi\nLASTDIR=%s\n%b' "$1" "${2:-}" >"$work/app/mplayer.ini"
    "$work/app/morvane" >/dev/null 2>&1 </dev/null &
    morvane_pid=$! && started+=($!)
    wait_ms 10000 window_of Morvane
    xdotool windowfocus --sync "$(window_of Morvane)"
}
# first_frame KEY...: from the last of these keys to the clip's first frame; then F2 and a pause.
first_frame() {
    "$bench/bench_firstframe" 0 0 240 320 15000 --keys "$@"
    xdotool key F2
    wait_ms 5000 no_players
    sleep 0.3
}
bare_frame() {
    "$bench/bench_firstframe" 0 0 240 320 15000 mplayer -really-quiet -geometry +0+0 -x 240 -y 320 \
        "$work/clips/clip.avi" </dev/null
    sleep 0.3
}
med() { printf '%s\n' "$@" | grep -v '^$' | median; }
# figure NAME MS BARE_MS [TARGET]: one line of the table below.
figure() {
    printf '  %-52s %4.0f ms, mplayer alone %4.0f ms, ratio %s%s\n' \
        "$1" "$2" "$3" "$(ratio "$2" "$3")" "${4:+ ($4)}"
}

# Each round a folder of copies, so that each first play is of a file neither played nor probed
# before, and a Morvane with it on, then one with it off, then MPlayer alone.
dwelt=(); again=(); atonce=(); offonce=(); offagain=(); bare=(); probe=()
for round in $(seq 11); do
    mkdir -p "$work/round-$round"
    for n in 1 2; do cp "$work/clips/clip.avi" "$work/round-$round/clip-$n.avi"; done
    morvane_on "$work/round-$round" '[PLAYBACK]\nPROBEAHEAD=YES\n'
    xdotool key Down && sleep 0.3
    dwelt+=("$(first_frame Return)")
    again+=("$(first_frame Return)")
    atonce+=("$(first_frame Down Return)")
    kill "$morvane_pid"; wait "$morvane_pid" 2>/dev/null || true
    morvane_on "$work/round-$round" '[PLAYBACK]\nPROBEAHEAD=NO\n'
    offonce+=("$(first_frame Down Return)")
    offagain+=("$(first_frame Return)")
    kill "$morvane_pid"; wait "$morvane_pid" 2>/dev/null || true
    bare+=("$(bare_frame)")
    # The identify run as Morvane starts it, alone.
    p0=$(date +%s%N)
    /bin/sh -c "$work/app//mplayer -identify \"$work/clips/clip.avi\" -nosound -vc dummy -vo null" >/dev/null 2>&1
    probe+=($(( ($(date +%s%N) - p0) / 1000 )))
done
b=$(med "${bare[@]}")
figure "on: a first play, after a 300 ms rest on the row" "$(med "${dwelt[@]}")" "$b" \
    "target at most 1.05"
figure "on: a first play, Enter at once" "$(med "${atonce[@]}")" "$b" "never above off's"
figure "on: a second play of the same file" "$(med "${again[@]}")" "$b" "target at most 1.05"
figure "off: a first play, Enter at once" "$(med "${offonce[@]}")" "$b"
figure "off: a second play of the same file" "$(med "${offagain[@]}")" "$b"
printf '  the identify run alone %.0f ms\n' "$(ratio "$(med "${probe[@]}")" 1000)"

echo
echo "== CPU time of Morvane and its children while the cursor goes down a list of clips (baseline:"
echo "   PROBEAHEAD off), Xvfb"
mkdir -p "$work/scroll"
for i in $(seq -w 210); do ln "$work/clips/clip.avi" "$work/scroll/clip-$i.avi"; done
# cpu_ms: user and system time of Morvane and the children it has reaped.
cpu_ms() {
    awk -v hz="$(getconf CLK_TCK)" \
        '{ sub(/.*\) /, ""); print ($12 + $13 + $14 + $15) * 1000 / hz }' "/proc/$morvane_pid/stat"
}
# scroll_cpu AHEAD ROWS DELAY_MS: the CPU milliseconds that ROWS Down keys, DELAY_MS apart, cost.
scroll_cpu() {
    morvane_on "$work/scroll" "[PLAYBACK]\\nPROBEAHEAD=$1\\n"
    sleep 1
    local c0 c1
    c0=$(cpu_ms)
    xdotool key --delay "$3" $(printf 'Down %.0s' $(seq "$2"))
    sleep 1 # the probe of the row it stops on, when on
    c1=$(cpu_ms)
    kill "$morvane_pid"; wait "$morvane_pid" 2>/dev/null || true
    echo $((c1 - c0))
}
for pace in "200 100 10" "40 250 4"; do
    read -r rows delay perSecond <<<"$pace"
    off=$(scroll_cpu NO "$rows" "$delay") on=$(scroll_cpu YES "$rows" "$delay")
    printf '  %s rows at %s a second: on %d ms, off %d ms, ratio %s\n' \
        "$rows" "$perSecond" "$on" "$off" "$(ratio "$on" "$off")"
done

echo "== The end of a clip to the next clip's first frame, ATEND=NEXT (baseline: MPlayer started"
echo "   directly on that clip, above), real MPlayer, Xvfb"
# A 2-second red clip, then the clip above: the red clip ends 2 s after its first frame.
mkdir -p "$work/next"
ffmpeg -v error -y -f lavfi -i color=c=red:size=320x240:rate=25 -t 2 -c:v mpeg4 "$work/next/a-red.avi"
cp "$work/clips/clip.avi" "$work/next/b-clip.avi"
morvane_on "$work/next" '[PLAYBACK]\nATEND=NEXT\n'
next=()
for _ in $(seq 9); do
    next+=("$("$bench/bench_firstframe" --after-red 2000 0 0 240 320 20000 xdotool key Home Down Return)")
    xdotool key F2
    wait_ms 5000 no_players
    sleep 0.3
done
kill "$morvane_pid"; wait "$morvane_pid" 2>/dev/null || true
n=$(printf '%s\n' "${next[@]}" | grep -v '^$' | median)
printf 'morvane %.0f ms from the end of one clip to the next one'"'"'s first frame, ' "$n"
printf 'mplayer alone %.0f ms, ratio %s\n' "$b" "$(ratio "$n" "$b")"

echo
echo "== Peak memory with 10,000 rows (baseline: the bare window), offscreen"
for i in $(seq 5000); do mkdir "$work/rows/folder-$i"; : >"$work/rows/film-$i.avi"; done
printf '[FILESELECT]\nFILTER=*.avi\nLASTDIR=%s\n' "$work/rows" >"$work/app/mplayer.ini"
o=$(QT_QPA_PLATFORM=offscreen "$bench/bench_peakrss" 2 "$work/app/morvane" 2>/dev/null | tail -1)
b=$(QT_QPA_PLATFORM=offscreen "$bench/bench_peakrss" 2 "$bench/bench_bare" 2>/dev/null | tail -1)
printf 'morvane %d KiB, bare window %d KiB, ratio %s (target at most 1.5)\n' "$o" "$b" "$(ratio "$o" "$b")"
