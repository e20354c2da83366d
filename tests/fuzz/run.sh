#!/usr/bin/env bash
# run.sh SOURCE_DIR BUILD_DIR [SECONDS]: the libFuzzer targets built with clang, each run for
# SECONDS from the committed corpus. New inputs stay in BUILD_DIR/corpus; a failing input is
# saved in BUILD_DIR/crashes and fails the run: add it to the corpus.
set -uo pipefail
src=$(cd "$1" && pwd) build=$2 status=0
cmake -S "$src" -B "$build" -DMORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
cmake --build "$build" -j2 --target fuzzers || exit 1

[ -d /dev/shm ] && export TMPDIR=/dev/shm # the settings target writes a file per input
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# The longest input each target looks at: a short settings file, identify output, a path.
for row in settings:2048 identify:1024 shellquote:1024 fsname:512; do
    target=${row%:*} && log="$build/fuzz_${row%:*}.log"
    mkdir -p "$build/corpus/$target" "$build/crashes"
    if "$build/tests/fuzz/fuzz_$target" -max_total_time="${3:-60}" -max_len="${row#*:}" \
        -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$build/crashes/$target-" \
        "$build/corpus/$target" "$src/tests/fuzz/corpus/$target" >"$log" 2>&1; then
        echo "fuzz: $target: $(grep -aE '^#[0-9]+.DONE' "$log")" # runs, coverage, exec/s
    else
        status=1 && tail -n 40 "$log" && echo "fuzz: $target FAILED, see $log and $build/crashes"
    fi
done
# The committed corpus once more, as ./setup.sh test replays it.
(cd "$build" && ctest --output-on-failure -L fuzz) || status=1
exit $status
