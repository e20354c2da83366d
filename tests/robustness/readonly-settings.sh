#!/usr/bin/env bash
# A program directory that cannot be written: after walking into a folder and Exit the
# settings file is byte for byte what it was, nothing appeared beside it, the status is 0.
# Root writes anywhere, so as root Morvane runs as "nobody".
set -uo pipefail
. "$(dirname "$0")/../lib/harness.sh"
build=$(cd "$1" && pwd)
harness readonly-settings "$build/readonly-settings"
app=$work/app media=$work/media as=()
step "making a program directory nobody may write"
mkdir -p "$app" "$media/inside" && cp "$build/morvane" "$build/mplayer" "$app/"
printf '# hand-written, must survive\n[FILESELECT]\nFILTER=*.avi\nLASTDIR=%s\n' "$media" | tee "$work/expected.ini" >"$app/mplayer.ini"
chmod 755 "$media" "$media/inside" && chmod 444 "$app/mplayer.ini" && chmod 555 "$app"
[ "$(id -u)" = 0 ] && as=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
"${as[@]}" sh -c ": >'$app/probe'" 2>/dev/null && fail "the program directory can still be written"

step "walking into a folder and quitting with Exit"
start_display xvfb || fail "Xvfb did not start"
start_morvane "$work" "${as[@]}" env HOME="$work" XDG_RUNTIME_DIR= "$app/morvane"
key Down Return && wait_ms 3000 printed "enter dir '$media/inside'" || fail "could not walk into 'inside'"
quit F4
cmp "$app/mplayer.ini" "$work/expected.ini" || fail "the settings file changed: $(cat "$app/mplayer.ini")"
[ "$(ls -A "$app" | tr '\n' ' ')" = "morvane mplayer mplayer.ini " ] || fail "files appeared: $(ls -A "$app")"
step "passed"
