#!/usr/bin/env bash
# run.sh SOURCE_DIR BUILD_DIR [SECONDS]: the libFuzzer targets built with clang, each run for
# SECONDS from the committed corpus. A failing input goes to BUILD_DIR/crashes: add it to the
# corpus.
set -uo pipefail
src=$(cd "$1" && pwd) build=$2 seconds=${3:-60} status=0
cmake -S "$src" -B "$build" -DMORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
cmake --build "$build" -j2 --target fuzzers || exit 1

[ -d /dev/shm ] && export TMPDIR=/dev/shm # the settings target writes a file per input
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# fuzz TARGET LENGTH: inputs of at most LENGTH bytes.
fuzz() {
    local log=$build/fuzz_$1.log
    mkdir -p "$build/corpus/$1" "$build/crashes"
    if "$build/tests/fuzz/fuzz_$1" -max_total_time="$seconds" -max_len="$2" -timeout=20 \
        -rss_limit_mb=2048 -artifact_prefix="$build/crashes/$1-" \
        "$build/corpus/$1" "$src/tests/fuzz/corpus/$1" >"$log" 2>&1; then
        echo "fuzz: $1: $(grep -aE '^#[0-9]+.DONE' "$log")"
    else
        status=1 && tail -n 40 "$log" && echo "fuzz: $1 FAILED, see $log"
    fi
}
fuzz settings 2048
fuzz identify 1024
fuzz shellquote 1024
fuzz fsname 512
exit $status
