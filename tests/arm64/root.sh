#!/usr/bin/env bash
# root.sh DIR: the arm64 VM's root in DIR/root, made again when this script changes: Debian's
# packages unpacked, and listed as installed for `dpkg -i` to check Depends.
set -euo pipefail
dir=$(mkdir -p "$1" && cd "$1" && pwd)
packages=(
    '?essential' dpkg mount kmod busybox-static linux-image-arm64
    mplayer fonts-dejavu-core libqt6widgets6 libqt6test6 libx11-6 libsdl2-2.0-0
    ffmpeg xvfb xdotool x11-utils procps # for bench/run.sh
)
stamp=$(sha256sum <"$0")
[ -f "$dir/root/.fetched" ] && [ "$(cat "$dir/root/.fetched")" = "$stamp" ] && exit 0
apt=(apt-get -q -o APT::Architecture=arm64 -o APT::Architectures=arm64
    -o Dir::State="$dir/apt/state" -o Dir::State::status="$dir/apt/state/status"
    -o Dir::Cache="$dir/apt/cache" -o Dir::Log="$dir/apt/log"
    -o APT::Install-Recommends=false -o Debug::NoLocking=true)
mkdir -p "$dir/apt/state/lists/partial" "$dir/apt/cache/archives/partial" "$dir/apt/log"
: >"$dir/apt/state/status" && rm -f "$dir"/apt/cache/archives/*.deb
"${apt[@]}" update >/dev/null
"${apt[@]}" -y --download-only install "${packages[@]}" >/dev/null

rm -rf "$dir/root" && mkdir -p "$dir/root/var/lib/dpkg/info" "$dir/root/var/lib/dpkg/updates"
status=$dir/root/var/lib/dpkg/status && : >"$status" && : >"$dir/root/var/lib/dpkg/available"
for deb in "$dir"/apt/cache/archives/*.deb; do
    dpkg-deb -x "$deb" "$dir/root"
    { dpkg-deb -f "$deb" | sed '/^Package:/a Status: install ok installed'; echo; } >>"$status"
    dpkg-deb -I "$deb" postinst >>"$dir/postinst" 2>/dev/null || :
done
# What the maintainer scripts would make: the alternatives' links, users and groups, sh.
sed -e ':a' -e '/\\$/{N;s/\\\n//;ba' -e '}' "$dir/postinst" | tr -s ' \t' ' ' |
    grep -oE -- '--(install|slave) /[^ ]+ [^ ]+ /[^ ]+' |
    while read -r _ link _ path; do
        [ -e "$dir/root$link" ] || ln -s "$path" "$dir/root$link" 2>/dev/null || :
    done
rm -f "$dir/postinst"
for f in passwd group; do cp "$dir/root/usr/share/base-passwd/$f.master" "$dir/root/etc/$f"; done
ln -sf dash "$dir/root/bin/sh"
for modules in "$dir"/root/lib/modules/*; do depmod -b "$dir/root" "${modules##*/}"; done
echo "$stamp" >"$dir/root/.fetched"
