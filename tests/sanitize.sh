#!/usr/bin/env bash
# sanitize.sh SOURCE_DIR BUILD_DIR: the tests that need no display stack, built with ASan and
# UBSan; any report fails the run, even from a program whose status a test ignores.
set -uo pipefail
src=$(cd "$1" && pwd) build=$2 reports=$2/sanitizer-reports
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null || exit 1
cmake --build "$build" -j2 || exit 1

# Tests that drop to nobody write here too.
rm -rf "$reports" && mkdir -p "$reports" && chmod 1777 "$reports" || exit 1
export MORVANE_SANITIZED=1 LSAN_OPTIONS="suppressions=$src/tests/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:check_initialization_order=1:\
strict_init_order=1:log_path=$reports/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
cd "$build" && ctest --output-on-failure --timeout 600 -LE 'e2e|fb|package|wm|wayland'
status=$?
[ -z "$(ls -A "$reports")" ] || { tail -n +1 "$reports"/* >&2; status=1; }
exit $status
