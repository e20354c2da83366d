#!/usr/bin/env bash
# One entry point for a fresh Debian machine:
#   ./setup.sh run    install what is missing, build, start Morvane
#   ./setup.sh test   install what is missing, build, run the whole test suite
#   ./setup.sh build  install what is missing and build only
#   ./setup.sh package  install, build, make build/morvane_VERSION_ARCH.deb
#   ./setup.sh package arm64  the same for arm64 in build-arm64 (cross-built
#                         on another architecture)
#   ./setup.sh bench [arm64]  bench/run.sh here, or in the arm64 VM
#   ./setup.sh sanitize   build with AddressSanitizer and UBSan in build-sanitize,
#                         run the unit, window and robustness tests there
#   ./setup.sh fuzz [SECONDS]  build the libFuzzer targets with clang in
#                         build-fuzz and run each one for SECONDS (60)
#   ./setup.sh unsigned-char  build with -funsigned-char (as on ARM) in
#                         build-unsigned-char, run the unit, window and
#                         fuzz-replay tests there
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build="${MORVANE_BUILD_DIR:-$here/build}"

arch=$(dpkg --print-architecture)

# What building and running need, and nothing for the tests: the compiler,
# Qt, MPlayer, and for a machine with neither a desktop nor a console a
# virtual X display with a VNC server.
run_packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev libsdl2-dev
    mplayer fonts-dejavu-core
    xvfb x11vnc x11-utils iproute2
)
# Making the Debian package.
package_packages=(dpkg-dev file librsvg2-bin)
# The cross-build for arm64 on another machine: Debian's multiarch cross
# toolchain, Qt's arm64 development packages beside the machine's own Qt tools.
arm64_cross_packages=(crossbuild-essential-arm64 qt6-base-dev:arm64 libgl-dev:arm64 libx11-dev:arm64
    libsdl2-dev:arm64)
# The test tools on every machine, then those for this architecture: the
# framebuffer VM boots this machine's own kernel (amd64 only), the arm64 VM
# an arm64 kernel and root fetched with apt-get.
test_packages=(
    "${package_packages[@]}" lintian desktop-file-utils
    ffmpeg xauth xdotool libxtst-dev imagemagick tesseract-ocr procps python3-evdev
    openbox weston xwayland qt6-wayland
    clang libclang-rt-14-dev llvm
    qemu-system-arm busybox-static kmod
)
case $arch in
    amd64) test_packages+=(qemu-system-x86 linux-image-amd64 "${arm64_cross_packages[@]}") ;;
esac

# install_missing PACKAGE...: installs those not installed yet; NAME:arm64
# adds that architecture to dpkg first.
install_missing() {
    local missing=() p
    for p; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "setup: installing ${missing[*]}"
    local sudo=() foreign=
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    [[ " ${missing[*]}" == *:arm64* ]] && [ "$arch" != arm64 ] && foreign=arm64
    # Two checkouts set up at once take turns; apt's own lock is waited for
    # too, should the system be installing something itself.
    "${sudo[@]}" flock -w 1800 /var/lock/morvane-apt.lock env DEBIAN_FRONTEND=noninteractive foreign="$foreign" sh -c '
        { [ -z "$foreign" ] || dpkg --add-architecture "$foreign"; } &&
        apt-get -o DPkg::Lock::Timeout=900 update -qq &&
        apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "$@"' apt "${missing[@]}"
}

# build_all [DIR CMAKE-OPTION...]: configures and builds DIR ($build).
build_all() {
    local dir=${1:-$build}
    cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${@:2}" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

# The arm64 build: this machine's own build on arm64, else a cross-build.
arm64_build=$build
[ "$arch" = arm64 ] || arm64_build=$here/build-arm64
build_arm64() {
    [ "$arch" = arm64 ] && { build_all; return; }
    build_all "$arm64_build" -DCMAKE_TOOLCHAIN_FILE="$here/packaging/aarch64-linux-gnu.cmake"
}

cmd="${1:-run}"
case "$cmd" in
    build)
        install_missing "${run_packages[@]}"
        build_all
        ;;
    test)
        install_missing "${run_packages[@]}" "${test_packages[@]}"
        build_all
        skip=()
        case $arch in
            amd64) ;;
            arm64) skip=(gamepad) && echo "setup: the gamepad group is left out on arm64: its VM boots an amd64 kernel; the arm64 group is this machine's framebuffer test" ;;
            *) skip=(gamepad arm64) && echo "setup: the gamepad and arm64 groups are left out on $arch: they run on amd64 and arm64 only" ;;
        esac
        if [[ " ${skip[*]} " != *" arm64 "* ]]; then
            build_arm64
            "$here/tests/arm64/root.sh" "$arm64_build/vm-root"
        fi
        # Characters on the non-blank lines of the tests (no fuzz corpora, no media) and the program's.
        chars() { (cd "$here" && find "$@" -type f ! -path '*/fuzz/corpus/*' -exec grep -Ih . {} + |
            awk 'NF { s += length($0) } END { print s + 0 }') || :; }
        t=$(chars tests) p=$(chars app browser playback settings platform packaging setup.sh)
        awk -v t="$t" -v p="$p" 'BEGIN {
            printf "size: %d test characters, %d program characters, ratio %.2f\n", t, p, t / p }'
        cd "$build"
        ctest --output-on-failure --timeout 300 ${skip[@]:+-E "^($(IFS='|'; echo "${skip[*]}"))\$"}
        ;;
    package)
        install_missing "${run_packages[@]}" "${package_packages[@]}"
        if [ "${2:-$arch}" = arm64 ]; then
            [ "$arch" = arm64 ] || install_missing "${arm64_cross_packages[@]}"
            build_arm64
            (cd "$arm64_build" && cpack -G DEB)
        elif [ "${2:-$arch}" = "$arch" ]; then
            build_all
            (cd "$build" && cpack -G DEB)
        else
            echo "setup: packages are made for $arch, and for arm64 (./setup.sh package arm64)" >&2
            exit 2
        fi
        ;;
    run)
        install_missing "${run_packages[@]}"
        build_all
        exec "$here/packaging/run-morvane" --vnc "$build"
        ;;
    sanitize)
        install_missing "${run_packages[@]}" "${test_packages[@]}"
        exec "$here/tests/sanitize.sh" "$here" "$here/build-sanitize"
        ;;
    fuzz)
        install_missing "${run_packages[@]}" clang libclang-rt-14-dev llvm
        exec "$here/tests/fuzz/run.sh" "$here" "$here/build-fuzz" "${2:-60}"
        ;;
    bench)
        install_missing "${run_packages[@]}" "${test_packages[@]}"
        build_all
        [ "${2:-}" = arm64 ] || exec "$here/bench/run.sh" "$build"
        build_arm64
        "$here/tests/arm64/root.sh" "$arm64_build/vm-root"
        exec "$here/tests/arm64/arm64.sh" "$build" "$arm64_build" bench
        ;;
    unsigned-char)
        install_missing "${run_packages[@]}" "${test_packages[@]}"
        build_all "$here/build-unsigned-char" -DCMAKE_CXX_FLAGS=-funsigned-char
        cd "$here/build-unsigned-char"
        ctest --output-on-failure --timeout 300 -LE '^(e2e|wm|wayland|fb|gamepad|package|arm64|robustness)$'
        ;;
    *)
        echo "usage: $0 run|test|build|package [arm64]|bench [arm64]|sanitize|fuzz [SECONDS]|unsigned-char" >&2
        exit 2
        ;;
esac
