#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang with AddressSanitizer and UndefinedBehaviorSanitizer,
# in build/fuzz) and runs each for FUZZ_SECONDS (default 60), from the seeds in
# tests/fuzz/corpus/<harness>/. What a run learns stays in build/fuzz/corpus/<harness>/;
# an input that breaks a property, crashes, hangs or takes far more memory than it
# delivered goes to build/fuzz/findings/. Prints each harness's figures and a GoogleTest-
# style "[  PASSED  ]"/"[  FAILED  ]" line, which the test command counts.
#   fuzz.sh [HARNESS...]      (pop3, mime, profile, update; all by default)
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
harnesses=${*:-pop3 mime profile update}
dir=build/fuzz

targets=$(printf 'fuzz_%s ' $harnesses)
if ! CC=clang CXX=clang++ cmake -S . -B $dir -DTARNWICK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >/dev/null || ! cmake --build $dir -j"$(nproc 2>/dev/null || echo 2)" --target $targets; then
    echo "building the fuzzing harnesses failed" >&2
    exit 1
fi

failed=0
for h in $harnesses; do
    mkdir -p $dir/corpus/$h $dir/findings
    log=$dir/$h.log
    # A few KiB of input never justify a quarter of a GiB: memory follows the bytes that
    # arrived. Nothing waits on a replayed peer, so a slow input is a finding too.
    $dir/tests/fuzz/fuzz_$h $dir/corpus/$h tests/fuzz/corpus/$h -max_total_time="$seconds" \
        -timeout=20 -malloc_limit_mb=256 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix=$dir/findings/$h- >$log 2>&1
    rc=$?
    runs=$(grep -a 'stat::number_of_executed_units' $log | awk '{print $2}' | tail -n1)
    corpus=$(find $dir/corpus/$h -type f | wc -l)
    if [ $rc -eq 0 ]; then
        echo "fuzz_$h: ${runs:-0} runs in $seconds s, no findings (corpus $corpus inputs)"
        echo "[  PASSED  ] 1 test."
    else
        failed=1
        echo "fuzz_$h: a finding after ${runs:-?} runs (full log: $log)"
        grep -a -m3 -E 'property failed|ERROR: |SUMMARY: ' $log | sed 's/^/   /'
        grep -a -m1 'Test unit written to' $log | sed 's/^/   /'
        echo "[  FAILED  ] 1 test, fuzz_$h"
    fi
done
exit $failed
