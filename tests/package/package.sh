#!/usr/bin/env bash
# package.sh BUILD_DIR: the Debian package and its "morvane" command.
. "$(dirname "$0")/../lib/harness.sh" && harness package "$1" package-test
root=$work/root media=$work/media lib=$work/root/usr/lib/morvane

step "Depends, files, the desktop file, lintian"
package "$work/deb" "$build"
for dep in mplayer libc6 libstdc++6 libqt6widgets6; do
    [[ ", $(dpkg-deb -f "$deb" Depends)," == *", $dep"[\ ,]* ]] || fail "no $dep"
done
{
    printf 'usr/lib/morvane/%s\n' morvane mplayer mplayer.ini run-morvane
    printf 'usr/share/%s\n' applications/morvane.desktop doc/morvane/changelog.gz \
        doc/morvane/copyright icons/hicolor/scalable/apps/morvane.svg man/man1/morvane.1.gz
    for s in 16 22 24 32 48 64 128 256; do echo "usr/share/icons/hicolor/${s}x$s/apps/morvane.png"
    done
    echo usr/bin/morvane
} | sort >"$work/expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 3) }' | sort | diff -u "$work/expected" - ||
    fail "other files than expected"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
desktop-file-validate "$root/usr/share/applications/morvane.desktop" || fail "no valid .desktop"
lintian --tag-display-limit 0 "$deb" | tee "$work/lintian.out"
grep -q '^[EW]: ' "$work/lintian.out" && fail "lintian complains"

# run HOME [XDG_DATA_HOME]: the user's own settings file.
run() {
    start_morvane "$media" env HOME="$1" XDG_DATA_HOME="${2:-}" XDG_RUNTIME_DIR= \
        "$root/usr/bin/morvane"
    key F4 && quit
    sed "s|^LASTDIR=.*|LASTDIR=$media|" "$work/default.ini" |
        cmp - "${2:-$1/.local/share}/morvane/mplayer.ini" || fail "not the default with LASTDIR"
    cmp "$lib/mplayer.ini" "$work/default.ini" || fail "the installed file changed"
}
user1=$work/home1/.local/share/morvane/mplayer.ini
cp "$lib/mplayer.ini" "$work/default.ini" && mkdir -p "$media"
start_display xvfb || fail "no Xvfb"

step "two users, one by XDG_DATA_HOME: a settings file each"
run "$work/home1"
sed -i "s|^LASTDIR=.*|LASTDIR=/first|" "$user1" && cp "$user1" "$work/user1.ini"
run "$work/home2" "$work/home2/data"
cmp "$user1" "$work/user1.ini" || fail "the first user's file changed"

step "deleted settings copied again"
rm "$user1" && run "$work/home1"

step "no display: status 1 and one line"
env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home1" MORVANE_FB="$work/no-fb" \
    "$root/usr/bin/morvane" </dev/null >"$work/none.out" 2>&1
status=$? said=$(<"$work/none.out")
[ "$status" = 1 ] || fail "status $status"
[ "$(wc -l <"$work/none.out")" = 1 ] || fail "not one line: $said"
[[ $said == *"DISPLAY is not set"* ]] || fail "DISPLAY not named: $said"

step "on a console"
env -u DISPLAY HOME="$work/home1" MORVANE_FB=/dev/null MORVANE_KEYBOARD=/dev/null \
    timeout 30 script -qec "$root/usr/bin/morvane" /dev/null </dev/null >"$work/console.out" 2>&1
head -n 1 "$work/console.out" | grep -qF "framebuffer /dev/null with the keyboard /dev/null" ||
    fail "no start: $(<"$work/console.out")"
grep -q "^linuxfb:" "$work/console.out" || fail "Qt was not on the framebuffer"
