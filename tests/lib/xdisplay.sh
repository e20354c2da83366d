# Sourced by the tests that run Morvane on a real X server.

# Nanoseconds on a clock that only goes forward.
now_ns() { date +%s%N; }

# $1 seconds (fractions allowed, "0.5") from now, in now_ns() units.
deadline_in() { echo $(( $(now_ns) + $(awk -v s="$1" 'BEGIN { printf "%d", s * 1000000000 }') )); }

# Waits up to $1 seconds (fractions allowed) for the command after it to
# succeed; the command is tried once more at the deadline itself.
wait_for() {
    local end; end=$(deadline_in "$1"); shift
    until "$@" >/dev/null 2>&1; do
        if [ "$(now_ns)" -ge "$end" ]; then
            "$@" >/dev/null 2>&1
            return
        fi
        sleep 0.02
    done
}

# Waits up to $2 seconds (fractions allowed) for the child process $1 to end
# and sets exit_status to its status; fails if it is still running then.
wait_exit() {
    local end; end=$(deadline_in "$2")
    while kill -0 "$1" 2>/dev/null; do
        [ "$(now_ns)" -ge "$end" ] && return 1
        sleep 0.02
    done
    wait "$1"
    exit_status=$?
}

# Every process descended from $1, children before their own children.
descendants() {
    local child
    for child in $(pgrep -P "$1"); do
        echo "$child"
        descendants "$child"
    done
}

# Starts Xvfb on the first free display from $1 to $2 and exports DISPLAY;
# sets xvfb_pid. -noreset: by default the server resets when its last client
# leaves, and a client that connects meanwhile is refused.
start_xvfb() {
    local n
    DISPLAY=
    for n in $(seq "$1" "$2"); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then DISPLAY=":$n"; break; fi
    done
    [ -n "$DISPLAY" ] || return 1
    export DISPLAY
    Xvfb "$DISPLAY" -screen 0 480x640x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb_pid=$!
    wait_for 10 xdpyinfo
}
