#!/usr/bin/env bash
# package.sh BUILD_DIR: the Debian package, and two users' settings files from its "morvane" command.
. "$(dirname "$0")/../lib/harness.sh" && harness package "$1" package-test
root=$work/root media=$work/media icons=(16 22 24 32 48 64 128 256)

step "building the package"
cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >"$work/cpack.out" 2>&1 || { logs+=("$work/cpack.out"); fail "cpack failed"; }
deb=$(ls "$work/deb"/morvane_[0-9]*_$(dpkg --print-architecture).deb) || fail "no morvane_VERSION_ARCH.deb: $(ls "$work/deb")"
for dep in mplayer libc6 libstdc++6 libqt6widgets6; do [[ ", $(dpkg-deb -f "$deb" Depends)," == *", $dep"[\ ,]* ]] || fail "no $dep"; done

step "checking the file list (modes, owners, icon sizes and stripping: lintian's, below)"
printf './usr/%s\n' bin/morvane lib/morvane/morvane lib/morvane/mplayer lib/morvane/mplayer.ini share/applications/morvane.desktop \
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
user1=$work/home1/.local/share/morvane/mplayer.ini && cp "$root/usr/lib/morvane/mplayer.ini" "$work/default.ini"
start_display xvfb && mkdir -p "$media/inside" "$work/home1" "$work/home2" || fail "Xvfb did not start"

step "first user: LASTDIR stored in a file of their own, the rest the default"
run "$work/home1"
sed "s|^LASTDIR=.*|LASTDIR=$media/inside|" "$work/default.ini" | cmp - "$user1" || fail "the user's file is not the default with LASTDIR=$media/inside"
cp "$user1" "$work/user1.ini"

step "second user, by XDG_DATA_HOME: a file of their own"
run "$work/home2" "XDG_DATA_HOME=$work/home2/data"
grep -qxF "LASTDIR=$media" "$work/home2/data/morvane/mplayer.ini" || fail "LASTDIR in the second user's file is not $media"
cmp "$user1" "$work/user1.ini" || fail "the second user changed the first user's file"
