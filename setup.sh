#!/usr/bin/env bash
# One entry point for a fresh Debian machine:
#   ./setup.sh run    install what is missing, build, start Morvane
#   ./setup.sh test   install what is missing, build, run the whole test suite
#   ./setup.sh build  install what is missing and build only
#   ./setup.sh package  install, build, make build/morvane_VERSION_ARCH.deb
#   ./setup.sh sanitize   build with AddressSanitizer and UBSan in build-sanitize,
#                         run the unit, window and robustness tests there
#   ./setup.sh fuzz [SECONDS]  build the libFuzzer targets with clang in
#                         build-fuzz and run each one for SECONDS (60)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="${MORVANE_BUILD_DIR:-$here/build}"

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev libsdl2-dev
    mplayer ffmpeg
    xvfb xauth x11-utils xdotool x11vnc imagemagick
    openbox weston xwayland qt6-wayland
    fonts-dejavu-core procps
    dpkg-dev lintian desktop-file-utils librsvg2-bin file
    qemu-system-x86 linux-image-amd64 busybox-static
    clang libclang-rt-14-dev llvm
)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "setup: installing ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    # Two checkouts set up at once take turns; apt's own lock is waited for
    # too, should the system be installing something itself.
    "${sudo[@]}" flock -w 1800 /var/lock/morvane-apt.lock env DEBIAN_FRONTEND=noninteractive sh -c '
        apt-get -o DPkg::Lock::Timeout=900 update -qq &&
        apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "$@"' apt "${missing[@]}"
}

build_all() {
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j"$(nproc)"
}

cmd="${1:-run}"
case "$cmd" in
    build)
        install_missing
        build_all
        ;;
    test)
        install_missing
        build_all
        # Non-blank lines of the tests (no fuzz corpora, no media) against the program's.
        lines() { (cd "$here" && find "$@" -type f ! -path '*/fuzz/corpus/*' -exec grep -Ihcv '^\s*$' {} + | awk '{ s += $1 } END { print s + 0 }') || :; }
        t=$(lines tests) p=$(lines app browser playback settings platform packaging setup.sh)
        awk -v t="$t" -v p="$p" 'BEGIN { printf "size: %d test lines, %d program lines, ratio %.2f\n", t, p, t / p }'
        cd "$build"
        ctest --output-on-failure --timeout 300
        ;;
    package)
        install_missing
        build_all
        (cd "$build" && cpack -G DEB)
        ;;
    run)
        install_missing
        build_all
        exec "$here/packaging/run-morvane" "$build"
        ;;
    sanitize)
        install_missing
        exec "$here/tests/sanitize.sh" "$here" "$here/build-sanitize"
        ;;
    fuzz)
        install_missing
        exec "$here/tests/fuzz/run.sh" "$here" "$here/build-fuzz" "${2:-60}"
        ;;
    *)
        echo "usage: $0 run|test|build|package|sanitize|fuzz [SECONDS]" >&2
        exit 2
        ;;
esac
