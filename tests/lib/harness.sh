# Sourced by every test that runs Morvane on a real display: Xvfb, Xvfb with
# openbox, weston with Xwayland, or a QEMU VM's framebuffer (vm.sh replaces
# `key` and `shot`). Waits have real deadlines in ms; a failure names its step
# and keeps the screenshot and logs; at exit only what was started here ends.
started=() logs=() step="setting up" out=/dev/null playerlog=/dev/null win= kind= morvane_pid=
now_ms() { local us=${EPOCHREALTIME/[.,]/}; echo $((us / 1000)); }
# wait_ms MS COMMAND...: succeeds as soon as COMMAND does, fails at the deadline.
wait_ms() { local end=$(($(now_ms) + $1)); shift; until "$@" >/dev/null 2>&1; do (($(now_ms) < end)) || return 1; sleep 0.05; done; }

# harness NAME SHOT_DIR: a fresh work folder; screenshots and kept logs go to SHOT_DIR.
harness() {
    name=$1 t0=$(now_ms) work=$(mktemp -d "/tmp/morvane-$1-XXXXXX") && chmod 755 "$work"
    shots=$(mkdir -p "$2" && cd "$2" && pwd) out=$work/morvane.out playerlog=$work/player.log
    rm -f "$shots/failed.png" && trap harness_end EXIT
}
harness_end() {
    local i self kids=" $(pgrep -P $$ | tr '\n' ' ') "
    read -r self _ </proc/self/stat && [ "$self" = $$ ] || return # not in a subshell ending on an error
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do [[ $kids == *" ${started[i]} "* ]] && kill "${started[i]}"; done
    for i in $(players); do kill "$i"; done # left by a killed Morvane
    wait 2>/dev/null
    chmod -R u+w "$work"; rm -rf "$work"
}
step() { step=$1; echo "$name: $1 ($(($(now_ms) - t0)) ms)"; }
fail() {
    echo "$name: FAILED at step '$step': $*" >&2
    shot "$shots/failed.png" && echo "--- screen: $shots/failed.png" >&2
    for f in "$out" "$playerlog" "${logs[@]}"; do [ -s "$f" ] && cp "$f" "$shots/" && { echo "--- $f:"; tail -n 15 "$f"; } >&2; done
    exit 1
}

# start_display KIND [WxH]: xvfb, openbox (Xvfb with the openbox window
# manager) or weston (headless, with Xwayland); exports DISPLAY.
start_display() {
    kind=$1 && unset QT_QPA_PLATFORM WAYLAND_DISPLAY
    export XDG_RUNTIME_DIR=$work/runtime && mkdir -m 700 -p "$XDG_RUNTIME_DIR"
    if [ "$kind" = weston ]; then
        export WAYLAND_DISPLAY=morvane-$$
        weston --backend=headless-backend.so --xwayland --socket="$WAYLAND_DISPLAY" --width=1600 \
            --height=1200 --idle-time=0 --log="$work/weston.log" >/dev/null 2>&1 &
        started+=($!) logs+=("$work/weston.log") && wait_ms 15000 grep -q "xserver listening on display" "$work/weston.log" || return 1
        DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" | head -n 1)
    else
        # -displayfd: a free display, written once it listens. -noreset: else
        # it resets when its last client leaves, refusing clients meanwhile.
        Xvfb -displayfd 3 -screen 0 "${2:-800x700}x24" -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
        started+=($!) && wait_ms 10000 grep -q . "$work/display" && DISPLAY=:$(head -n 1 "$work/display") || return 1
    fi
    export DISPLAY && wait_ms 15000 xdpyinfo || return 1
    [ "$kind" = openbox ] || return 0
    openbox --sm-disable >"$work/openbox.log" 2>&1 & started+=($!) logs+=("$work/openbox.log")
    wait_ms 10000 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}
start_xvfb() { start_display xvfb 480x640 && xvfb_pid=${started[-1]}; } # for bench/run.sh
wait_for() { wait_ms $(($1 * 1000)) "${@:2}"; }                        # for bench/run.sh

window_of() { xdotool search --onlyvisible --name "^$1\$" | head -n 1; }
# start_morvane DIR COMMAND...: runs COMMAND in DIR; its window, its list, the focus.
start_morvane() {
    (cd "$1" && exec env MORVANE_PLAYER_LOG="$playerlog" "${@:2}") >"$out" 2>&1 &
    morvane_pid=$! && started+=($!) && wait_ms 20000 window_of Morvane && win=$(window_of Morvane) || fail "no window titled Morvane appeared"
    wait_ms 5000 grep -q "^file entry count" "$out" || fail "Morvane listed no folder"
    [ "$kind" = weston ] || focus "$win" || fail "Morvane did not get the focus"
}
# quit KEY...: the keys (or a click at X Y with "click X Y") end Morvane with status 0.
quit() {
    if [ "$1" = click ]; then xdotool mousemove "$2" "$3" click 1; else key "$@"; fi
    wait_ms 10000 eval "! kill -0 $morvane_pid" || fail "Morvane did not end within 10 s"
    wait "$morvane_pid" || fail "Morvane ended with status $?"
}
# focus WINDOW: under openbox with a click, as a user changes the active window.
focus() {
    [ "$kind" = openbox ] || { xdotool windowfocus --sync "$1"; return; }
    eval "$(xdotool getwindowgeometry --shell "$1")" && xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
}
key() { if [ "$kind" = weston ]; then xdotool key --window "$win" "$@"; else xdotool key "$@"; fi; }
printed() { grep -qxF -- "$1" "$out"; }
count_printed() { grep -cxF -- "$1" "$out"; }
players() { pgrep -f -- "-slave.*$work/"; }
no_players() { ! players >/dev/null; }
# The play run (not the probe) the adapter logged for $media/$1.
play_run() { grep -F -- "[-slave]" "$playerlog" | grep -F -- "[$media/$1]"; }

# shot FILE: Morvane's whole window (or the screen), also parts a compositor put off the screen.
shot() { "${MORVANE_XWINSHOT:-$build/tests/xwinshot}" "${win:-root}" 2>/dev/null | convert ppm:- "$1" 2>/dev/null; }
# print_of FILE [WxH+X+Y]: a fingerprint of the image or a region of it.
print_of() { convert "$1" ${2:+-crop "$2" +repage} -format '%#' info:; }
# stats FILE WxH+X+Y: mean brightness (0..1), spread, brightest value.
stats() { convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:mean] %[fx:standard_deviation] %[fx:maxima]\n' info:; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
# shows REGION MEAN SPREAD: a new shot where REGION is brighter than MEAN and spreads more than SPREAD.
shows() { shot "$work/s.png" && set -- $(stats "$work/s.png" "$1") "$2" "$3" && above "$1" "$4" && above "$2" "$5"; }
# moves SECONDS [REGION] / still SECONDS [REGION]: two shots that far apart differ / match.
two_shots() { shot "$work/a.png" && sleep "$1" && shot "$work/b.png" && a=$(print_of "$work/a.png" ${2:-}) && b=$(print_of "$work/b.png" ${2:-}); }
moves() { local a b; two_shots "$@" && [ "$a" != "$b" ]; }
still() { local a b; two_shots "$@" && [ "$a" = "$b" ]; }
# picture_box FILE: W H X Y of everything not black.
picture_box() { set -- $(convert "$1" -bordercolor black -border 1 -fuzz 8% -trim -format '%w %h %X %Y' info:) && echo "$1 $2 $(($3 - 1)) $(($4 - 1))"; }
# shape FILE WxH ASPECT: ASPECT (16/9) within 5 %, filling one way, centred between black bars.
shape() {
    local box=$(picture_box "$1")
    awk -v box="$box" -v win="$2" -v aspect="$3" 'BEGIN {
        split(box, b, " "); split(win, w, "x"); split(aspect, a, "/"); want = a[1] / a[2]
        if (b[1] < 2 || b[2] < 2) { print "no picture"; exit 1 }
        if ((got = b[1] / b[2]) / want > 1.05 || want / got > 1.05) { printf "aspect %.3f, not %.3f\n", got, want; exit 1 }
        if (w[1] - b[1] <= 4) { m1 = b[4]; m2 = w[2] - b[2] - b[4] }
        else if (w[2] - b[2] <= 4) { m1 = b[3]; m2 = w[1] - b[1] - b[3] }
        else { print "the picture fills neither the width nor the height"; exit 1 }
        if (m1 - m2 > 4 || m2 - m1 > 4) { printf "bars of %d and %d pixels: not centred\n", m1, m2; exit 1 }
    }' || { echo "box $box in $2"; return 1; }
}
# clip FILE SIZE SECONDS [FILTERS]: a test clip whose white frame shows its edges on any background.
clip() { ffmpeg -v error -y -f lavfi -i "testsrc=size=$2:rate=25" -t "$3" -vf "drawbox=x=0:y=0:w=iw:h=ih:color=white:t=8${4:+,$4}" \
    -c:v mpeg4 -q:v 5 "$1" || fail "ffmpeg failed on $1"; }
