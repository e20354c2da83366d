#!/usr/bin/env bash
# Builds Morvane and its tests with AddressSanitizer (leak checking on) and
# UndefinedBehaviorSanitizer in a build folder of their own, then runs the
# unit, window and robustness tests there. Tests that need a real display
# stack (e2e, framebuffer, window managers, Wayland, packaging) stay out.
#
#   sanitize.sh SOURCE_DIR BUILD_DIR
#
# Any sanitizer report fails the run, also one from a program that a test
# script started and whose own exit status the script does not look at:
# every report is written to BUILD_DIR/sanitizer-reports as well.
set -uo pipefail

src=$(cd "$1" && pwd)
build=$2
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null || exit 1
cmake --build "$build" -j2 || exit 1

reports="$build/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
# Tests drop to "nobody" for some runs; those must be able to report too.
chmod 1777 "$reports"

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:exitcode=86:check_initialization_order=1:strict_init_order=1:log_path=$reports/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=87:log_path=$reports/ubsan"
export LSAN_OPTIONS="suppressions=$src/tests/lsan.supp:print_suppressions=0"

cd "$build" || exit 1
status=0
ctest --output-on-failure --timeout 600 -LE 'e2e|fb|package|wm|wayland|bench' \
    -E '^tst_robustness$' || status=1

# The robustness cases, less the two volume cases: the 10 MB settings file
# and the folder of 100 000 entries take minutes when every access is checked.
# The resident-memory bound over many play/stop cycles runs by itself with
# ASan's quarantine off, as the quarantine keeps freed memory on purpose;
# LeakSanitizer still checks the cycles for leaks.
robustness="$build/tests/tst_robustness"
run_robustness() {
    (cd "$build/tests" && QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp \
        timeout 600 "$robustness" "$@") >>"$build/tst_robustness.log" 2>&1 || {
        status=1
        tail -n 40 "$build/tst_robustness.log"
    }
}
: >"$build/tst_robustness.log"
cycles=manyPlayStopCycles
# One "function" or "function:row" argument per case.
mapfile -t cases < <(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp "$robustness" -datatags 2>/dev/null \
    | sed -E 's/^[^ ]+ ([^ ]+) (.+)$/\1:\2/;t;s/^[^ ]+ ([^ ]+)$/\1/' \
    | grep -vE "^($cycles|hundredThousandEntries|unusableSettingsFiles:10 MB.*)$")
[ ${#cases[@]} -gt 0 ] || { echo "sanitize: no robustness cases listed" >&2; status=1; }
echo "sanitize: tst_robustness $(printf "[%s] " "${cases[@]}")"
run_robustness "${cases[@]}"
echo "sanitize: tst_robustness $cycles (no quarantine)"
ASAN_OPTIONS="$ASAN_OPTIONS:quarantine_size_mb=0:thread_local_quarantine_size_kb=0:allocator_release_to_os_interval_ms=0" \
    run_robustness "$cycles"
grep -E '^(FAIL|Totals)' "$build/tst_robustness.log"

found=0
for f in "$reports"/*; do
    [ -e "$f" ] || continue
    found=1
    echo "=== sanitizer report $f"
    cat "$f"
done
if grep -E -l 'runtime error:|ERROR: AddressSanitizer|ERROR: LeakSanitizer' \
        Testing/Temporary/LastTest*.log tst_robustness.log 2>/dev/null; then
    found=1
fi
if [ $found -ne 0 ]; then
    echo "sanitize: sanitizer reports found" >&2
    exit 1
fi
[ $status -eq 0 ] && echo "sanitize: all tests passed, no sanitizer reports"
exit $status
