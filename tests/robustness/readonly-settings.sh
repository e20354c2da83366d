#!/usr/bin/env bash
# Morvane whose program directory cannot be written: after walking into a
# folder and quitting with Exit, the settings file is byte for byte what it
# was, nothing else appeared beside it, and the program still ends with
# status 0.
#
#   readonly-settings.sh BUILD_DIR
#
# Root may write anywhere, so as root the program runs as the unprivileged
# user "nobody"; any other user is kept out by the permissions alone.
set -uo pipefail
. "$(dirname "$0")/../lib/xdisplay.sh"

build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/morvane-readonly-XXXXXX)
chmod 755 "$work"
app="$work/app"
media="$work/media"
out="$work/morvane.out"
step="setting up"
xvfb_pid=
morvane_pid=

cleanup() {
    [ -n "$morvane_pid" ] && kill "$morvane_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    chmod -R u+w "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "readonly-settings: FAILED at step '$step': $*" >&2
    [ -f "$out" ] && tail -n 10 "$out" >&2
    exit 1
}
step() { step=$1; echo "readonly-settings: $step"; }

step "making a program directory nobody may write"
mkdir -p "$app" "$media/inside"
# A copy, not a link: the build directory may not be open to other users.
cp "$build/morvane" "$build/mplayer" "$app/"
cat >"$app/mplayer.ini" <<INI
# hand-written, must survive
[FILESELECT]
FILTER=*.avi
LASTDIR=$media
INI
cp "$app/mplayer.ini" "$work/expected.ini"
chmod 755 "$media" "$media/inside"
chmod 444 "$app/mplayer.ini"
chmod 555 "$app"

as_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- sh -c ": >'$app/probe'" 2>/dev/null \
        && fail "the unprivileged user can still write the program directory"
fi

step "starting Xvfb"
start_xvfb 200 239 || fail "Xvfb did not start (displays :200 to :239)"

step "starting Morvane"
cd "$work"
"${as_user[@]}" env HOME="$work" XDG_RUNTIME_DIR= "$app/morvane" >"$out" 2>&1 &
morvane_pid=$!
wait_for 10 xdotool search --onlyvisible --name '^Morvane$' || fail "no window appeared"
id=$(xdotool search --onlyvisible --name '^Morvane$' | head -n 1)
xdotool windowfocus --sync "$id"

step "walking into a folder, so that there is something to store"
# Rows: "..", "inside".
xdotool key Down Return
wait_for 3 grep -qxF "enter dir '$media/inside'" "$out" || fail "could not walk into 'inside'"

step "quitting with Exit"
xdotool key F4
# MORVANE_TIME_SCALE stretches the bound for slowed-down builds (sanitizers).
limit=$((5 * ${MORVANE_TIME_SCALE:-1}))
wait_exit "$morvane_pid" "$limit" || fail "Morvane did not end within $limit s of Exit"
morvane_pid=
[ "$exit_status" -eq 0 ] || fail "Morvane ended with status $exit_status"
cmp -s "$app/mplayer.ini" "$work/expected.ini" || fail "the settings file changed: $(cat "$app/mplayer.ini")"
left=$(ls -A "$app" | grep -vxE 'morvane|mplayer|mplayer\.ini')
[ -z "$left" ] || fail "files appeared in the program directory: $left"

echo "readonly-settings: passed"
