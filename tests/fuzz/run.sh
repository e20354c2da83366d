#!/usr/bin/env bash
# run.sh SOURCE_DIR BUILD_DIR [SECONDS]: the libFuzzer targets built with clang, each run for
# SECONDS from the committed corpus; a failing input goes to BUILD_DIR/crashes, for the corpus.
set -uo pipefail
src=$(cd "$1" && pwd) build=$2 status=0
cmake -S "$src" -B "$build" -DMORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
cmake --build "$build" -j2 --target fuzzers || exit 1

[ -d /dev/shm ] && export TMPDIR=/dev/shm # the settings target writes a file per input
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for target in settings identify shellquote fsname; do
    log=$build/fuzz_$target.log && mkdir -p "$build/corpus/$target" "$build/crashes"
    if "$build/tests/fuzz/fuzz_$target" -max_total_time="${3:-60}" -max_len=2048 -timeout=20 \
        -artifact_prefix="$build/crashes/$target-" "$build/corpus/$target" \
        "$src/tests/fuzz/corpus/$target" >"$log" 2>&1; then
        echo "fuzz: $target: $(grep -aE '^#[0-9]+.DONE' "$log")"
    else
        status=1 && tail -n 40 "$log" && echo "fuzz: $target FAILED, see $log"
    fi
done
exit $status
