#!/usr/bin/env bash
# run.sh SOURCE_DIR BUILD_DIR [SECONDS]: the libFuzzer targets built with clang, each run for
# SECONDS from the committed corpus. New inputs stay in BUILD_DIR/corpus; a failing input is
# saved in BUILD_DIR/crashes and fails the run: add it to the corpus.
set -uo pipefail
src=$(cd "$1" && pwd) build=$2 seconds=${3:-60} status=0
cmake -S "$src" -B "$build" -DMORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
cmake --build "$build" -j2 --target fuzzers || exit 1

[ -d /dev/shm ] && export TMPDIR=/dev/shm # the settings target writes a file per input
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# fuzz TARGET LENGTH: TARGET for SECONDS, on inputs of at most LENGTH bytes.
fuzz() {
    local target=$1 log=$build/fuzz_$1.log
    mkdir -p "$build/corpus/$target" "$build/crashes"
    if "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="$2" -timeout=20 \
        -rss_limit_mb=2048 -artifact_prefix="$build/crashes/$target-" \
        "$build/corpus/$target" "$src/tests/fuzz/corpus/$target" >"$log" 2>&1; then
        echo "fuzz: $target: $(grep -aE '^#[0-9]+.DONE' "$log")" # runs, coverage, exec/s
    else
        status=1 && tail -n 40 "$log" && echo "fuzz: $target FAILED, see $log and $build/crashes"
    fi
}
# The longest input each target looks at: a short settings file, identify output, a path.
fuzz settings 2048
fuzz identify 1024
fuzz shellquote 1024
fuzz fsname 512
# The committed corpus once more, as ./setup.sh test replays it.
(cd "$build" && ctest --output-on-failure -L fuzz) || status=1
exit $status
