# Sourced by the runs on a real display.
set -uo pipefail
started=() logs=() left=() step="setting up" out=/dev/null playerlog=/dev/null win= kind=
morvane_pid= t0=0
now_ms() { local us=${EPOCHREALTIME/[.,]/}; echo $((us / 1000)); }
wait_ms() {
    local end=$(($(now_ms) + $1)) && shift
    until "$@" >/dev/null 2>&1; do (($(now_ms) < end)) || return 1; sleep 0.05; done
}

# harness NAME BUILD_DIR SHOTS: a failure leaves its shot and logs in BUILD_DIR/SHOTS.
harness() {
    name=$1 build=$(cd "$2" && pwd) t0=$(now_ms) work=$(mktemp -d "/tmp/morvane-$1-XXXXXX")
    shots=$build/$3 out=$work/morvane.out playerlog=$work/player.log && chmod 755 "$work"
    mkdir -p "$shots" && rm -f "$shots/failed.png" && trap harness_end EXIT
}
harness_end() {
    local rc=$? i self kids=" $(pgrep -P $$ | tr '\n' ' ') " orphans=$(players)
    read -r self _ </proc/self/stat && [ "$self" = $$ ] || return # a subshell ending on an error
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        [[ $kids == *" ${started[i]} "* ]] && kill "${started[i]}"
    done
    wait 2>/dev/null
    for i in $orphans; do grep -qa -- -slave "/proc/$i/cmdline" 2>/dev/null && kill "$i"; done
    chmod -R u+w "$work"; rm -rf "$work"
    [ "$rc" != 0 ] || echo "$name: all steps passed ($(($(now_ms) - t0)) ms)"
}
step() { step=$1; echo "$name: $1 ($(($(now_ms) - t0)) ms)"; }
fail() {
    echo "$name: FAILED at step '$step': $*" >&2
    shot "$shots/failed.png"
    for f in "$out" "$playerlog" "${logs[@]}"; do
        [ -s "$f" ] && cp "$f" "$shots/" && { echo "--- $f:"; tail -n 15 "$f"; } >&2
    done
    exit 1
}

# package DIR BUILD: $deb, BUILD's package made in DIR.
package() {
    cpack -G DEB -B "$1" --config "$2/CPackConfig.cmake" >"$1.out" 2>&1 ||
        { logs+=("$1.out"); fail "cpack failed"; }
    deb=$(ls "$1"/morvane_*.deb) || fail "no package in $1"
}

# start_display xvfb|openbox|weston [WxH [XVFB-OPTION...]]
start_display() {
    kind=$1 && unset QT_QPA_PLATFORM WAYLAND_DISPLAY
    export XDG_RUNTIME_DIR=$work/runtime && mkdir -m 700 -p "$XDG_RUNTIME_DIR"
    local said="xserver listening on display" log=$work/weston.log
    if [ "$kind" = weston ]; then
        export WAYLAND_DISPLAY=morvane-$$
        weston --backend=headless-backend.so --xwayland --socket="$WAYLAND_DISPLAY" \
            --idle-time=0 --log="$log" >/dev/null 2>&1 &
        started+=($!) logs+=("$log") && wait_ms 15000 grep -q "$said" "$log" || return 1
        DISPLAY=$(sed -n "s/.*$said \(:[0-9]*\).*/\1/p" "$log" | head -n 1)
    else
        # -noreset: no reset (refusing clients meanwhile) when the last client leaves.
        Xvfb -displayfd 3 -screen 0 "${2:-800x700}x24" -nolisten tcp -noreset "${@:3}" \
            3>"$work/display" >/dev/null 2>&1 &
        started+=($!) && wait_ms 10000 grep -q . "$work/display" || return 1
        DISPLAY=:$(head -n 1 "$work/display")
    fi
    export DISPLAY && wait_ms 15000 xdpyinfo || return 1
    [ "$kind" = openbox ] || return 0
    openbox --sm-disable >"$work/openbox.log" 2>&1 & started+=($!) logs+=("$work/openbox.log")
    wait_ms 10000 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}

window_of() { xdotool search --onlyvisible --name "^$1\$" | head -n 1; }
start_morvane() {
    (cd "$1" && exec env MORVANE_PLAYER_LOG="$playerlog" "${@:2}") >"$out" 2>&1 &
    morvane_pid=$! && started+=($!)
    wait_ms 20000 window_of Morvane || fail "no window"
    win=$(window_of Morvane)
    wait_ms 5000 grep -q "^file entry count" "$out" || fail "no list"
    [ "$kind" = weston ] || focus "$win" || fail "no focus"
}
quit() {
    wait_ms 10000 eval "! kill -0 $morvane_pid" || fail "Morvane did not end"
    wait "$morvane_pid" || fail "Morvane ended with status $?"
}
focus() {
    [ "$kind" = openbox ] && xdotool windowactivate --sync "$1" || xdotool windowfocus --sync "$1"
}
key() { if [ "$kind" = weston ]; then xdotool key --window "$win" "$@"; else xdotool key "$@"; fi; }
choose() { key Home $(printf 'Down %.0s' $(seq "$1")) Return; }
printed() { grep -qxF -- "$1" "$out"; }
# enters: the Enter keys printed; the probe's command line, with no line end, may stand before.
enters() { grep -c "pressed 0x1004$" "$out"; }
below() {
    [ -n "$1" ] || return 0
    local c && echo "$1" && for c in $(pgrep -P "$1"); do below "$c"; done
}
# players: under Morvane or in $left.
players() {
    local p found=1
    for p in $(below "$morvane_pid") "${left[@]}"; do
        grep -qa -- -slave "/proc/$p/cmdline" 2>/dev/null && echo "$p" && found=0
    done
    return $found
}
no_players() { ! players >/dev/null; }
stopped() {
    left+=($(below "$morvane_pid")) && key F2
    wait_ms "${1:-1000}" no_players || fail "a player is left after F2"
}
# settings FILTER LASTDIR [SED]: $app/mplayer.ini, the installed one so set, then SED.
settings() {
    sed "s|^FILTER=.*|FILTER=$1|; s|^LASTDIR=.*|LASTDIR=$2|; ${3:-}" \
        "${BASH_SOURCE%/*}/../../packaging/mplayer.ini" >"$app/mplayer.ini"
}
# play_run NAME [ARGS]: the play run (not the probe) of $media/NAME.
play_run() { grep -F -- "[-slave]" "$playerlog" | grep -F -- "[$media/$1]" | grep -F -- "${2:-[}"; }

# shot FILE: the window ($win, else the screen), also off the screen.
shot() {
    ffmpeg -v quiet -f x11grab -draw_mouse 0 ${win:+-window_id "$win"} -i "$DISPLAY" -frames:v 1 \
        -y "$1"
}
print_of() { convert "$1" ${2:+-crop "$2" +repage} -format '%#\n' info:; }
# stats FILE WxH+X+Y: mean brightness (0..1), spread, brightest value.
stats() {
    convert "$1" -crop "$2" +repage -colorspace Gray \
        -format '%[fx:mean] %[fx:standard_deviation] %[fx:maxima]\n' info:
}
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
# list_back: white under the list's rows.
list_back() {
    shot "$work/s.png" && read -r m _ < <(stats "$work/s.png" 200x100+20+160) && above "$m" 0.95
}
# ocr FILE: the words of white text on black.
ocr() {
    convert "$1" -resize 300% -negate "$work/ocr.png"
    tesseract "$work/ocr.png" - 2>/dev/null | tr -s ' \n' '  '
}
# frames SECONDS [REGION]: how many pictures two shots that far apart show.
frames() {
    shot "$work/a.png" && sleep "$1" && shot "$work/b.png" || return
    { print_of "$work/a.png" ${2:-} && print_of "$work/b.png" ${2:-}; } | uniq | wc -l
}
moves() { [ "$(frames "$@")" = 2 ]; }
still() { [ "$(frames "$@")" = 1 ]; }
# shape WxH ASPECT FILE: all not black has ASPECT within 5 %, fills one way, centred.
shape() {
    local w h x y W=${1%x*} H=${1#*x} n=${2%/*} d=${2#*/} off=5 # filling neither way
    read -r w h x y < <(convert "$3" -bordercolor black -border 1 -fuzz 8% -trim \
        -format '%w %h %[fx:page.x-1] %[fx:page.y-1]' info:)
    echo "a picture of ${w}x$h+$x+$y"
    ((w > 1 && h > 1 && 100 * w * d <= 105 * h * n && 100 * h * n <= 105 * w * d)) || return
    ((W - w > 4)) || off=$((2 * y + h - H))
    ((H - h > 4)) || off=$((2 * x + w - W))
    ((off >= -4 && off <= 4))
}
# clip FILE SIZE SECONDS [FILTERS]
clip() {
    ffmpeg -v error -y -f lavfi -i "testsrc=size=$2:rate=25" -t "$3" -c:v mpeg4 -q:v 5 \
        -vf "drawbox=x=0:y=0:w=iw:h=ih:color=white:t=8${4:+,$4}" "$1" || fail "ffmpeg failed on $1"
}
