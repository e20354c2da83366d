#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for SECONDS,
# starting from the committed corpus. New inputs the fuzzer finds are kept in
# BUILD_DIR/corpus/<target>, not in the source tree; a failing input is saved
# in BUILD_DIR/crashes and ends the run with an error: add it to
# tests/fuzz/corpus/<target> as a regression input.
#
#   run.sh SOURCE_DIR BUILD_DIR [SECONDS]
set -uo pipefail

src=$(cd "$1" && pwd)
build=$2
seconds=${3:-60}
case "$seconds" in
    ''|*[!0-9]*) echo "fuzz: SECONDS must be a whole number" >&2; exit 2 ;;
esac

cmake -S "$src" -B "$build" -DMORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
cmake --build "$build" -j2 --target fuzzers || exit 1

# The longest input each target looks at: a settings file of a few lines; a
# few pieces of identify output; a path.
declare -A max_len=([settings]=2048 [identify]=1024 [shellquote]=1024 [fsname]=512)

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

mkdir -p "$build/crashes"
status=0
summary=()
for target in settings identify shellquote fsname; do
    binary="$build/tests/fuzz/fuzz_$target"
    [ -x "$binary" ] || continue
    scratch="$build/corpus/$target"
    mkdir -p "$scratch"
    log="$build/fuzz_$target.log"
    echo "fuzz: $target for ${seconds}s"
    "$binary" -max_total_time="$seconds" -max_len="${max_len[$target]}" \
        -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/crashes/$target-" \
        "$scratch" "$src/tests/fuzz/corpus/$target" >"$log" 2>&1
    rc=$?
    # The last status line: "#RUNS ... cov: N ft: N corp: N/Nb ... exec/s: N".
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$last")
    execs=$(sed -nE 's/^stat::average_exec_per_sec: *([0-9]+)/\1/p' "$log")
    runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log")
    if [ $rc -ne 0 ]; then
        status=1
        summary+=("$target: FAILED (exit $rc), see $log and $build/crashes")
        tail -n 40 "$log"
    else
        summary+=("$target: ${runs:-?} runs, ${execs:-?} exec/s, cov ${cov:-?}")
    fi
done

echo "fuzz: summary (${seconds}s per target)"
printf '  %s\n' "${summary[@]}"

# The committed corpus, regression inputs included, once more without
# fuzzing: the same check ./setup.sh test runs with the replay driver.
(cd "$build" && ctest --output-on-failure -L fuzz) || status=1
exit $status
