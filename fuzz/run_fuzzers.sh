#!/usr/bin/env bash
# Runs every fuzz target of BUILD_DIR for SECONDS each on its corpus (CORPUS_DIR/<target>),
# one after another; a crash, hang or sanitizer report leaves its input in
# BUILD_DIR/artifacts/<target>/ and fails the run once all targets have run.
# Usage: fuzz/run_fuzzers.sh BUILD_DIR CORPUS_DIR SECONDS [TARGET...]
set -uo pipefail
build="${1:?usage: run_fuzzers.sh BUILD_DIR CORPUS_DIR SECONDS [TARGET...]}"
corpus="${2:?}"
seconds="${3:?}"
shift 3
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for exe in "$build"/fuzz/fuzz_*; do
        [ -x "$exe" ] && [ -f "$exe" ] && targets+=("${exe##*/fuzz_}")
    done
fi
[ ${#targets[@]} -gt 0 ] || { echo "fuzz: no fuzz targets in $build/fuzz"; exit 1; }

failed=()
for t in "${targets[@]}"; do
    mkdir -p "$corpus/$t" "$build/artifacts/$t" "$build/logs"
    log="$build/logs/$t.log"
    # Names stored in the inputs are tried as files: nothing may wait on a terminal.
    if ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" "$corpus/$t" </dev/null >"$log" 2>&1; then
        printf '%-16s ok   %s\n' "$t" "$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') executions"
    else
        printf '%-16s FAIL (see %s)\n' "$t" "$log"
        grep -m3 -E 'ERROR|runtime error|SUMMARY' "$log" | sed 's/^/    /'
        failed+=("$t")
    fi
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzz: ${failed[*]} failed"; exit 1; }
