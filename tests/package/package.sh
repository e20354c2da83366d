#!/usr/bin/env bash
# The Debian package, built from the build directory and unpacked into a
# temporary root: its file list and control fields, lintian and
# desktop-file-validate, and the unpacked "morvane" command run under Xvfb
# for two users, each of whom must get a settings file of their own while
# the installed default stays byte for byte what it was.
#
#   package.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/../lib/xdisplay.sh"

build=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/morvane-package-XXXXXX)
work=$(cd "$work" && pwd -P)
chmod 755 "$work"
root="$work/root"
media="$work/media"
out="$work/morvane.out"
step="setting up"
xvfb_pid=
morvane_pid=

cleanup() {
    [ -n "$morvane_pid" ] && kill "$morvane_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "package: FAILED at step '$step': $*" >&2
    [ -f "$out" ] && tail -n 10 "$out" >&2
    exit 1
}
step() { step=$1; echo "package: $step"; }

step "building the package"
cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >"$work/cpack.out" 2>&1 \
    || { cat "$work/cpack.out" >&2; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
deb=$(ls "$work/deb"/morvane_*.deb 2>/dev/null)
[[ "$deb" =~ ^"$work/deb/morvane_"[0-9][0-9.]*"_$arch.deb"$ ]] || fail "unexpected package file: '$deb'"

step "checking the control fields"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in mplayer libc6 libstdc++6 libqt6widgets6; do
    [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done

step "checking the file list"
# Mode, owner and path of every file; directories are left out.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort >"$work/files"
{
    for f in usr/bin/morvane usr/lib/morvane/morvane usr/lib/morvane/mplayer; do
        echo "-rwxr-xr-x root/root ./$f"
    done
    for f in usr/lib/morvane/mplayer.ini usr/share/applications/morvane.desktop \
             usr/share/doc/morvane/changelog.gz usr/share/doc/morvane/copyright \
             usr/share/icons/hicolor/scalable/apps/morvane.svg usr/share/man/man1/morvane.1.gz; do
        echo "-rw-r--r-- root/root ./$f"
    done
    for size in 16 22 24 32 48 64 128 256; do
        echo "-rw-r--r-- root/root ./usr/share/icons/hicolor/${size}x$size/apps/morvane.png"
    done
} | sort >"$work/expected-files"
diff -u "$work/expected-files" "$work/files" || fail "the package holds other files than expected"
dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" { bad = 1; print } END { exit bad }' \
    || fail "directories with other modes than 755"

step "unpacking"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
for size in 16 22 24 32 48 64 128 256; do
    file -b "$root/usr/share/icons/hicolor/${size}x$size/apps/morvane.png" \
        | grep -q "^PNG image data, $size x $size," || fail "the ${size}x$size icon is not a PNG of that size"
done
file -b "$root/usr/lib/morvane/morvane" | grep -q 'ELF.*, stripped' || fail "the executable is not stripped"
installed_ini="$root/usr/lib/morvane/mplayer.ini"
cp "$installed_ini" "$work/default.ini"

step "desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/morvane.desktop" || fail "the desktop entry is not valid"

step "lintian"
lintian --tag-display-limit 0 "$deb" >"$work/lintian.out" 2>&1
cat "$work/lintian.out"
grep -q '^E: ' "$work/lintian.out" && fail "lintian reports errors"
grep -q '^W: ' "$work/lintian.out" && fail "lintian reports warnings"

step "starting Xvfb"
start_xvfb 240 279 || fail "Xvfb did not start (displays :240 to :279)"
mkdir -p "$media/inside" "$work/home1" "$work/home2"

# Runs the command $1 from the folder $2 with the environment after them,
# waits for its window and leaves morvane_pid set.
start_morvane() {
    local command=$1 dir=$2
    shift 2
    : >"$out"
    (cd "$dir" && exec env -u XDG_DATA_HOME "$@" XDG_RUNTIME_DIR= "$command") >"$out" 2>&1 &
    morvane_pid=$!
    wait_for 15 xdotool search --onlyvisible --name '^Morvane$' || fail "no window appeared"
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Morvane$' | head -n 1)"
}

quit_morvane() {
    xdotool key F4
    wait_exit "$morvane_pid" 10 || fail "Morvane did not end within 10 s of Exit"
    morvane_pid=
    [ "$exit_status" -eq 0 ] || fail "Morvane ended with status $exit_status"
}

lastdir() { sed -n 's/^LASTDIR=//p' "$1"; }

# The user's program directory $1 links to the program directory $2 and
# holds a settings file of its own.
check_userdir() {
    local name
    for name in morvane mplayer; do
        [ -L "$1/$name" ] && [ "$(readlink "$1/$name")" = "$2/$name" ] \
            || fail "$1/$name is not a link to $2/$name"
    done
    [ -f "$1/mplayer.ini" ] && [ ! -L "$1/mplayer.ini" ] || fail "$1/mplayer.ini is not a file of its own"
}

step "first user, first start: walking into a folder and quitting"
user1="$work/home1/.local/share/morvane"
start_morvane "$root/usr/bin/morvane" "$media" HOME="$work/home1"
check_userdir "$user1" "$root/usr/lib/morvane"
xdotool key Down Return
wait_for 5 grep -qxF "enter dir '$media/inside'" "$out" || fail "could not walk into 'inside'"
quit_morvane
[ "$(lastdir "$user1/mplayer.ini")" = "$media/inside" ] \
    || fail "LASTDIR in the user's file is '$(lastdir "$user1/mplayer.ini")', not $media/inside"
cmp -s <(grep -v '^LASTDIR=' "$user1/mplayer.ini") <(grep -v '^LASTDIR=' "$work/default.ini") \
    || fail "the user's file is not the default with LASTDIR stored"
cmp -s "$installed_ini" "$work/default.ini" || fail "the installed mplayer.ini changed"
cp "$user1/mplayer.ini" "$work/user1.ini"

step "second user, by XDG_DATA_HOME: a file of their own"
user2="$work/home2/data/morvane"
start_morvane "$root/usr/bin/morvane" "$media" HOME="$work/home2" XDG_DATA_HOME="$work/home2/data"
check_userdir "$user2" "$root/usr/lib/morvane"
quit_morvane
[ "$(lastdir "$user2/mplayer.ini")" = "$media" ] || fail "LASTDIR in the second user's file is not $media"
[ ! -e "$work/home2/.local" ] || fail "XDG_DATA_HOME was not followed"
cmp -s "$user1/mplayer.ini" "$work/user1.ini" || fail "the second user changed the first user's file"
cmp -s "$installed_ini" "$work/default.ini" || fail "the installed mplayer.ini changed"

step "the installation moves and gets a new default; the first user starts again"
mv "$root" "$work/moved"
root="$work/moved"
installed_ini="$root/usr/lib/morvane/mplayer.ini"
echo "# a newer default" >>"$installed_ini"
cp "$installed_ini" "$work/default.ini"
start_morvane "$root/usr/bin/morvane" / HOME="$work/home1"
check_userdir "$user1" "$root/usr/lib/morvane"
grep -q "enter dir '$media/inside'" "$out" || fail "the stored LASTDIR was not where the program started"
quit_morvane
cmp -s "$user1/mplayer.ini" "$work/user1.ini" || fail "the first user's file changed: $(cat "$user1/mplayer.ini")"
cmp -s "$installed_ini" "$work/default.ini" || fail "the installed mplayer.ini changed"

echo "package: passed"
