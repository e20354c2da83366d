#!/usr/bin/env bash
# package.sh BUILD_DIR: the Debian package, and users' settings files from its "morvane" command.
. "$(dirname "$0")/../lib/harness.sh" && harness package "$1" package-test
root=$work/root media=$work/media

step "building the package"
package "$work/deb" "$build"
[[ $deb == */morvane_[0-9]*_$(dpkg --print-architecture).deb ]] || fail "$deb: not this machine's"
for dep in mplayer libc6 libstdc++6 libqt6widgets6; do
    [[ ", $(dpkg-deb -f "$deb" Depends)," == *", $dep"[\ ,]* ]] || fail "no $dep"
done

step "checking the file list (modes, owners, icon sizes and stripping: lintian's, below)"
{
    printf 'usr/lib/morvane/%s\n' morvane mplayer mplayer.ini run-morvane
    printf 'usr/share/%s\n' applications/morvane.desktop doc/morvane/changelog.gz \
        doc/morvane/copyright icons/hicolor/scalable/apps/morvane.svg man/man1/morvane.1.gz
    for s in 16 22 24 32 48 64 128 256; do echo "usr/share/icons/hicolor/${s}x$s/apps/morvane.png"
    done
    echo usr/bin/morvane
} | sed 's|^|./|' | sort >"$work/expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort | diff -u "$work/expected" - ||
    fail "the package holds other files than expected"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"

step "desktop-file-validate and lintian"
desktop-file-validate "$root/usr/share/applications/morvane.desktop" || fail "no valid .desktop"
lintian --tag-display-limit 0 "$deb" | tee "$work/lintian.out"
grep -q '^[EW]: ' "$work/lintian.out" && fail "lintian reports errors or warnings"

# run HOME [VAR=VALUE]: the command started in $media, ended with F4; a directory of the user's own.
run() {
    set -- "$1" "${2:-}"
    start_morvane "$media" env -u XDG_DATA_HOME HOME="$1" XDG_RUNTIME_DIR= ${2:+"$2"} \
        "$root/usr/bin/morvane"
    if [ -z "$2" ]; then
        key Down Return && wait_ms 5000 printed "enter dir '$media/inside'" || fail "no walk in"
    fi
    key F4 && quit
    local d=${2#XDG_DATA_HOME=} f && d=${d:-$1/.local/share}/morvane
    for f in morvane mplayer; do
        [ "$(readlink "$d/$f")" = "$root/usr/lib/morvane/$f" ] || fail "$d/$f is no link to it"
    done
    [ -f "$d/mplayer.ini" ] && [ ! -L "$d/mplayer.ini" ] || fail "$d/mplayer.ini is not a file"
    cmp "$root/usr/lib/morvane/mplayer.ini" "$work/default.ini" || fail "the installed file changed"
}
# first_user: run for the first user, whose file is then the default with LASTDIR=$media/inside.
first_user() {
    run "$work/home1"
    sed "s|^LASTDIR=.*|LASTDIR=$media/inside|" "$work/default.ini" | cmp - "$user1" ||
        fail "the user's file is not the default with LASTDIR=$media/inside"
}
# no_display HOME [VAR=VALUE...]: the command with neither a display nor a console: status 1 and
# one line.
no_display() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME HOME="$1" "${@:2}" MORVANE_FB="$work/no-fb" \
        "$root/usr/bin/morvane" </dev/null >"$work/none.out" 2>&1
    local status=$?
    [ "$status" = 1 ] || fail "status $status, not 1, without a display"
    [ "$(wc -l <"$work/none.out")" = 1 ] || fail "not one line: $(<"$work/none.out")"
}
user1=$work/home1/.local/share/morvane/mplayer.ini
cp "$root/usr/lib/morvane/mplayer.ini" "$work/default.ini"
start_display xvfb && mkdir -p "$media/inside" "$work/home1" "$work/home2" || fail "no Xvfb"

step "first user: LASTDIR stored in a file of their own, the rest the default"
first_user
cp "$user1" "$work/user1.ini"

step "second user, by XDG_DATA_HOME: a file of their own"
run "$work/home2" "XDG_DATA_HOME=$work/home2/data"
grep -qxF "LASTDIR=$media" "$work/home2/data/morvane/mplayer.ini" || fail "no LASTDIR=$media"
cmp "$user1" "$work/user1.ini" || fail "the second user changed the first user's file"

step "the first user deletes their settings: the next start copies the default again"
rm "$user1" && first_user

step "no display at all, and one that is not there: status 1 and one line saying which"
no_display "$work/home1"
grep -q "DISPLAY is not set" "$work/none.out" || fail "DISPLAY not named: $(<"$work/none.out")"
ln -sfn "$work/nowhere.ini" "$user1" && no_display "$work/home1" DISPLAY=:4321
grep -qF "cannot open the display :4321" "$work/none.out" || fail ":4321 not named"
[ "$(readlink "$user1")" = "$work/nowhere.ini" ] || fail "a dangling link was replaced"

step "on a console: the framebuffer and keyboard named, with a terminal on standard input"
env -u DISPLAY HOME="$work/home1" MORVANE_FB=/dev/null MORVANE_KEYBOARD=/dev/null \
    timeout 30 script -qec "$root/usr/bin/morvane" /dev/null </dev/null 2>&1 |
    tr -d "\r" >"$work/console.out"
line="Morvane is running on the framebuffer /dev/null with the keyboard /dev/null; F4 or Ctrl-C \
ends it."
head -n 1 "$work/console.out" | grep -qxF "$line" || fail "no start: $(<"$work/console.out")"
grep -q "^linuxfb:" "$work/console.out" || fail "Qt was not on the framebuffer"
