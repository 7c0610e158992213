#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang with AddressSanitizer and UndefinedBehaviorSanitizer,
# in build/fuzz) and runs them. Each run first replays the harness's seeds
# (tests/fuzz/corpus/<harness>/) and its regression inputs (tests/fuzz/regressions/<harness>/),
# then fuzzes:
#   fuzz.sh [HARNESS...]           explores from a random seed for FUZZ_SECONDS (default 60);
#                                  what it learns stays in build/fuzz/corpus/<harness>/
#   fuzz.sh --fixed [HARNESS...]   a fixed number of inputs from a fixed seed, starting from
#                                  the committed inputs only, so that the same tree gives the
#                                  same counts and the same answer on every run (the test
#                                  command's mode)
# An input that breaks a property, crashes, hangs or takes far more memory than it delivered
# goes to build/fuzz/findings/. Prints each harness's figures and a GoogleTest-style
# "[  PASSED  ]"/"[  FAILED  ]" line, which the test command counts.
set -uo pipefail
cd "$(dirname "$0")/.."
fixed=0
if [ "${1:-}" = --fixed ]; then
    fixed=1
    shift
fi
seconds=${FUZZ_SECONDS:-60}
harnesses=${*:-pop3 mime profile update}
dir=build/fuzz

# Inputs per harness in fixed mode, each about 30 s on one core of our machines.
fixed_runs() {
    case $1 in
    pop3) echo 120000 ;;
    profile) echo 80000 ;;
    update) echo 45000 ;;
    mime) echo 150000 ;;
    *) echo 20000 ;;
    esac
}
fixed_seed=20261207

available=""
for h in $harnesses; do
    [ -f tests/fuzz/${h}_fuzz.cpp ] && available="$available $h"
done
harnesses=$available

targets=$(printf 'fuzz_%s ' $harnesses)
if ! CC=clang CXX=clang++ cmake -S . -B $dir -DTARNWICK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >/dev/null || ! cmake --build $dir -j"$(nproc 2>/dev/null || echo 2)" --target $targets; then
    echo "building the fuzzing harnesses failed" >&2
    exit 1
fi

# A few KiB of input never justify a quarter of a GiB: memory follows the bytes that
# arrived. Nothing waits on a replayed peer, so a slow input is a finding too.
limits="-timeout=20 -malloc_limit_mb=256 -rss_limit_mb=2048"

failed=0
for h in $harnesses; do
    mkdir -p $dir/findings
    log=$dir/$h.log
    committed=()
    for d in tests/fuzz/corpus/$h tests/fuzz/regressions/$h; do
        [ -d $d ] && committed+=("$d")
    done
    harness=$dir/tests/fuzz/fuzz_$h
    # Every committed input once, on its own: a mended finding stays mended.
    $harness -runs=0 $limits -artifact_prefix=$dir/findings/$h- "${committed[@]}" >$log 2>&1
    rc=$?
    replayed=$(find "${committed[@]}" -type f | wc -l)
    if [ $rc -eq 0 ]; then
        if [ $fixed -eq 1 ]; then
            runs=$(fixed_runs $h)
            # A fresh scratch corpus each time, so that nothing learnt before changes the path.
            scratch=$dir/fixed/$h
            rm -rf $scratch && mkdir -p $scratch
            # No reloading of the corpus folder on a timer: that alone made runs differ.
            $harness $scratch "${committed[@]}" -seed=$fixed_seed -runs=$runs -reload=0 $limits \
                -print_final_stats=1 -artifact_prefix=$dir/findings/$h- >>$log 2>&1
            rc=$?
            what="$runs inputs from seed $fixed_seed"
        else
            mkdir -p $dir/corpus/$h
            $harness $dir/corpus/$h "${committed[@]}" -max_total_time="$seconds" $limits \
                -print_final_stats=1 -artifact_prefix=$dir/findings/$h- >>$log 2>&1
            rc=$?
            what="$seconds s from a random seed"
        fi
    fi
    done_runs=$(grep -a 'stat::number_of_executed_units' $log | awk '{print $2}' | tail -n1)
    if [ $rc -eq 0 ]; then
        echo "fuzz_$h: $replayed committed inputs replayed, then ${done_runs:-0} runs ($what), no findings"
        echo "[  PASSED  ] 1 test."
    else
        failed=1
        echo "fuzz_$h: a finding (full log: $log)"
        grep -a -m3 -E 'property failed|ERROR: |SUMMARY: ' $log | sed 's/^/   /'
        grep -a -m1 'Test unit written to' $log | sed 's/^/   /'
        echo "[  FAILED  ] 1 test, fuzz_$h"
    fi
done
exit $failed
