# Sourced by the tests that run Morvane on a real X server.

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local end=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.1
    done
}

# Waits up to $2 seconds for the child process $1 to end and sets
# exit_status to its status; fails if it is still running then.
wait_exit() {
    local end=$((SECONDS + $2))
    while kill -0 "$1" 2>/dev/null; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.1
    done
    wait "$1"
    exit_status=$?
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
