#!/usr/bin/env bash
# package.sh BUILD_DIR: the Debian package, and two users' settings files from its "morvane" command.
. "$(dirname "$0")/../lib/harness.sh" && harness package "$1" package-test
root=$work/root media=$work/media icons=(16 22 24 32 48 64 128 256)

step "building the package"
cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >"$work/cpack.out" 2>&1 || { logs+=("$work/cpack.out"); fail "cpack failed"; }
deb=$(ls "$work/deb"/morvane_[0-9]*_$(dpkg --print-architecture).deb) || fail "no morvane_VERSION_ARCH.deb: $(ls "$work/deb")"
for dep in mplayer libc6 libstdc++6 libqt6widgets6; do [[ ", $(dpkg-deb -f "$deb" Depends)," == *", $dep"[\ ,]* ]] || fail "no $dep"; done

step "checking the file list (modes, owners, icon sizes and stripping: lintian's, below)"
printf './usr/%s\n' bin/morvane lib/morvane/morvane lib/morvane/mplayer lib/morvane/mplayer.ini lib/morvane/run-morvane share/applications/morvane.desktop \
    share/doc/morvane/changelog.gz share/doc/morvane/copyright share/icons/hicolor/scalable/apps/morvane.svg share/man/man1/morvane.1.gz \
    $(for s in "${icons[@]}"; do echo "share/icons/hicolor/${s}x$s/apps/morvane.png"; done) | sort >"$work/expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort | diff -u "$work/expected" - || fail "the package holds other files than expected"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"

step "desktop-file-validate and lintian"
desktop-file-validate "$root/usr/share/applications/morvane.desktop" || fail "the desktop entry is not valid"
lintian --tag-display-limit 0 "$deb" | tee "$work/lintian.out"
grep -q '^[EW]: ' "$work/lintian.out" && fail "lintian reports errors or warnings"

# run HOME [VAR=VALUE]: the command started in $media, ended with F4; a directory of the user's own.
run() { set -- "$1" "${2:-}"
    start_morvane "$media" env -u XDG_DATA_HOME HOME="$1" XDG_RUNTIME_DIR= ${2:+"$2"} "$root/usr/bin/morvane"
    [ -z "$2" ] && { key Down Return && wait_ms 5000 printed "enter dir '$media/inside'" || fail "could not walk into 'inside'"; }
    key F4 && quit
    local d=${2#XDG_DATA_HOME=} && d=${d:-$1/.local/share}/morvane
    for f in morvane mplayer; do [ "$(readlink "$d/$f")" = "$root/usr/lib/morvane/$f" ] || fail "$d/$f is no link to the installation"; done
    [ -f "$d/mplayer.ini" ] && [ ! -L "$d/mplayer.ini" ] || fail "$d/mplayer.ini is not a file of its own"
    cmp "$root/usr/lib/morvane/mplayer.ini" "$work/default.ini" || fail "the installed mplayer.ini changed"
}
# first_user: run for the first user, whose file is then the default with LASTDIR=$media/inside.
first_user() {
    run "$work/home1"
    sed "s|^LASTDIR=.*|LASTDIR=$media/inside|" "$work/default.ini" | cmp - "$user1" ||
        fail "the user's file is not the default with LASTDIR=$media/inside"
}
# no_display HOME [VAR=VALUE...]: the command with neither a display nor a console: status 1 and one line.
no_display() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME HOME="$1" "${@:2}" "$root/usr/bin/morvane" \
        </dev/null >"$work/none.out" 2>&1
    local status=$?
    [ "$status" = 1 ] || fail "status $status, not 1, without a display"
    [ "$(wc -l <"$work/none.out")" = 1 ] || fail "not one line without a display: $(cat "$work/none.out")"
}
user1=$work/home1/.local/share/morvane/mplayer.ini && cp "$root/usr/lib/morvane/mplayer.ini" "$work/default.ini"
start_display xvfb && mkdir -p "$media/inside" "$work/home1" "$work/home2" || fail "Xvfb did not start"

step "first user: LASTDIR stored in a file of their own, the rest the default"
first_user
cp "$user1" "$work/user1.ini"

step "second user, by XDG_DATA_HOME: a file of their own"
run "$work/home2" "XDG_DATA_HOME=$work/home2/data"
grep -qxF "LASTDIR=$media" "$work/home2/data/morvane/mplayer.ini" || fail "LASTDIR in the second user's file is not $media"
cmp "$user1" "$work/user1.ini" || fail "the second user changed the first user's file"

step "the first user deletes their settings: the next start copies the default again"
rm "$user1" && first_user

step "no display at all, and one that is not there: status 1 and one line saying which"
no_display "$work/home1" MORVANE_FB="$work/no-fb"
grep -q "DISPLAY is not set" "$work/none.out" || fail "the line does not say DISPLAY is not set: $(<"$work/none.out")"
ln -sfn "$work/nowhere.ini" "$user1" && no_display "$work/home1" DISPLAY=:4321 MORVANE_FB="$work/no-fb"
grep -qF "cannot open the display :4321" "$work/none.out" || fail "the line does not name :4321: $(<"$work/none.out")"
[ "$(readlink "$user1")" = "$work/nowhere.ini" ] || fail "a dangling link as settings file was replaced"

step "on a console: the framebuffer and keyboard named, with a terminal on standard input"
env -u DISPLAY HOME="$work/home1" MORVANE_FB=/dev/null MORVANE_KEYBOARD=/dev/null \
    timeout 30 script -qec "$root/usr/bin/morvane" /dev/null </dev/null 2>&1 | tr -d "\r" >"$work/console.out"
line="Morvane is running on the framebuffer /dev/null with the keyboard /dev/null; F4 or Ctrl-C ends it."
head -n 1 "$work/console.out" | grep -qxF "$line" || fail "no console start: $(<"$work/console.out")"
grep -q "^linuxfb:" "$work/console.out" || fail "Qt was not started on the framebuffer: $(<"$work/console.out")"
