# Sourced by the scenarios that run the built Morvane and the real MPlayer on
# a real display. It gives them one way to set up, start a desktop, start
# Morvane, wait, take screenshots, judge the picture and fail.
#
# A scenario sets `scenario` (its name, for messages) and `build` (the build
# directory holding morvane and the mplayer adapter), then calls
# desktop_setup. Everything started here is ended at exit, by process id.
#
# Desktops (start_desktop KIND):
#   xvfb     a bare Xvfb, no window manager
#   openbox  Xvfb with the openbox window manager
#   weston   a Wayland session: weston's headless backend with Xwayland

work=
out=
playerlog=
step="setting up"
desktop=
desktop_pids=()
morvane_pid=
morvane_win=

desktop_setup() {
    work=$(mktemp -d /tmp/morvane-"$scenario"-XXXXXX)
    out="$work/morvane.out"
    playerlog="$work/player.log"
    shots=${shots:-$build/$scenario-screenshots}
    mkdir -p "$shots" "$work/app" "$work/media" "$work/runtime"
    chmod 700 "$work/runtime"
    trap desktop_cleanup EXIT
}

desktop_cleanup() {
    local i
    [ -n "$morvane_pid" ] && kill "$morvane_pid" 2>/dev/null
    for pid in $(player_pids); do kill "$pid" 2>/dev/null; done
    for ((i = ${#desktop_pids[@]} - 1; i >= 0; i--)); do
        kill "${desktop_pids[i]}" 2>/dev/null
    done
    wait 2>/dev/null
    rm -rf "$work"
}

fail() {
    echo "$scenario: FAILED at step '$step': $*" >&2
    if [ -f "$out" ]; then
        echo "--- last lines Morvane printed:" >&2
        tail -n 15 "$out" >&2
    fi
    [ -f "$playerlog" ] && { echo "--- player runs:" >&2; cat "$playerlog" >&2; }
    [ -n "$morvane_win" ] && window_shot "$shots/failed.png" 2>/dev/null \
        && echo "--- Morvane's window: $shots/failed.png" >&2
    exit 1
}
step() { step=$1; echo "$scenario: $step"; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Waits up to $1 milliseconds for the command after it to succeed, trying
# every 50 ms.
wait_ms() {
    local end=$(($(now_ms) + $1)); shift
    until "$@" >/dev/null 2>&1; do
        [ "$(now_ms)" -ge "$end" ] && return 1
        sleep 0.05
    done
}

start_desktop() { # KIND
    desktop=$1
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY
    export XDG_RUNTIME_DIR=$work/runtime
    case $desktop in
        xvfb | openbox)
            # The server picks a free display itself and writes its number
            # once it listens: no race with other servers starting now.
            # -noreset: by default the server resets when its last client
            # leaves, and refuses a client that connects meanwhile.
            Xvfb -displayfd 3 -screen 0 800x700x24 -nolisten tcp -noreset \
                3>"$work/display" >/dev/null 2>&1 &
            desktop_pids+=($!)
            wait_ms 10000 grep -q . "$work/display" || return 1
            export DISPLAY=":$(head -n 1 "$work/display")"
            wait_ms 10000 xdpyinfo || return 1
            if [ "$desktop" = openbox ]; then
                openbox --sm-disable >"$work/openbox.log" 2>&1 &
                desktop_pids+=($!)
                wait_ms 10000 wm_checked || return 1
            fi
            ;;
        weston)
            export WAYLAND_DISPLAY="morvane-$$"
            weston --backend=headless-backend.so --xwayland --socket="$WAYLAND_DISPLAY" \
                --width=1600 --height=1200 --idle-time=0 --log="$work/weston.log" >/dev/null 2>&1 &
            desktop_pids+=($!)
            wait_ms 15000 grep -q "xserver listening on display" "$work/weston.log" || return 1
            export DISPLAY
            DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" | head -n 1)
            # Xwayland starts with its first client.
            wait_ms 15000 xdpyinfo || return 1
            ;;
        *) return 1 ;;
    esac
}
wm_checked() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"; }

# A program directory with Morvane, the adapter and settings that open
# $work/media with the *.avi filter.
make_program_dir() {
    ln -sf "$build/morvane" "$work/app/morvane"
    cp "$build/mplayer" "$work/app/mplayer"
    printf '[FILESELECT]\nFILTER=*.avi\nLASTDIR=%s\n' "$work/media" >"$work/app/mplayer.ini"
}

window_of() { xdotool search --onlyvisible --name "^$1\$" | head -n 1; }

start_morvane() {
    (cd "$work" && exec env MORVANE_PLAYER_LOG="$playerlog" "$work/app/morvane") >"$out" 2>&1 &
    morvane_pid=$!
    wait_ms 15000 window_of Morvane || return 1
    morvane_win=$(window_of Morvane)
    wait_ms 5000 grep -q "^file entry count" "$out"
}

printed() { grep -qxF -- "$1" "$out"; }
count_printed() { grep -cxF -- "$1" "$out"; }
player_pids() { [ -n "$work" ] && pgrep -f -- "mplayer.*-slave.*$work/media"; }
players() { player_pids >/dev/null; }
no_players() { ! players; }

# The whole of Morvane's window as the X server holds it (MORVANE_XWINSHOT
# names the xwinshot tool; by default the one in the build directory).
window_shot() { "${MORVANE_XWINSHOT:-$build/tests/xwinshot}" "$morvane_win" | convert ppm:- "$1"; }

# The bounding box WxH+X+Y of everything that is not black in an image.
picture_box() {
    convert "$1" -colorspace Gray -threshold 8% -bordercolor black -border 1 -format '%@' info: \
        | awk -F'[x+]' '{ printf "%dx%d+%d+%d\n", $1, $2, $3 - 1, $4 - 1 }'
}

# Checks that the picture in screenshot $1 of a window of size $2 (WxH) has
# the display aspect $3 (a fraction like 16/9) within 5 %, fills the window
# in one direction and stands centred between black bars in the other.
check_shape() { # FILE WxH ASPECT
    local box
    box=$(picture_box "$1")
    awk -v box="$box" -v win="$2" -v aspect="$3" '
        BEGIN {
            split(box, b, /[x+]/); split(win, w, "x"); split(aspect, a, "/")
            want = a[1] / a[2]
            if (b[1] < 2 || b[2] < 2) { print "no picture"; exit 1 }
            got = b[1] / b[2]
            if (got / want > 1.05 || want / got > 1.05) { printf "aspect %.3f, not %.3f\n", got, want; exit 1 }
            # Fills the width (bars above and below) or the height (bars left and right).
            if (w[1] - b[1] <= 4) { margin1 = b[4]; margin2 = w[2] - b[2] - b[4] }
            else if (w[2] - b[2] <= 4) { margin1 = b[3]; margin2 = w[1] - b[1] - b[3] }
            else { print "the picture fills neither the width nor the height"; exit 1 }
            if (margin1 - margin2 > 4 || margin2 - margin1 > 4) { printf "bars of %d and %d pixels: not centred\n", margin1, margin2; exit 1 }
        }' || { echo "box $box in $2"; return 1; }
}

# A fingerprint of the window's content.
window_print() { "${MORVANE_XWINSHOT:-$build/tests/xwinshot}" "$morvane_win" | md5sum; }
# Whether the window's content changes over $1 seconds; both fail when a
# screenshot cannot be taken.
two_prints() { a=$(window_print) && sleep "$1" && b=$(window_print); }
picture_moves() { local a b; two_prints "$1" && [ "$a" != "$b" ]; }
picture_still() { local a b; two_prints "$1" && [ "$a" = "$b" ]; }

# Clicks the middle of window $1 the way a user does, through the pointer.
click_window() {
    local x y w h
    eval "$(xdotool getwindowgeometry --shell "$1")"
    x=$((X + WIDTH / 2)); y=$((Y + HEIGHT / 2))
    xdotool mousemove --sync "$x" "$y" click 1
}

# An ffmpeg test clip with a white frame around the picture, so that its
# edges show on any background. $1 file, $2 size, $3 extra filters.
make_clip() {
    ffmpeg -v error -y -f lavfi -i "testsrc=size=$2:rate=25" -t 20 \
        -vf "drawbox=x=0:y=0:w=iw:h=ih:color=white:t=8${3:+,$3}" -c:v mpeg4 -q:v 5 "$1"
}
