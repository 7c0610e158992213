#!/usr/bin/env bash
# Times a full mailbox check (LIST and TOP for every message) against a local Dovecot, side
# by side with Python's poplib doing the same commands. Needs root for Dovecot.
#
#   bench/run.sh [REPETITIONS]          100 and 1000 messages on loopback: our POP3 client
#                                       (CPop alone, and Account::CheckMail with the list)
#                                       (default 15 repetitions)
#   bench/run.sh latency [DELAY_MS] [REPETITIONS]
#                                       200 and 1000 messages: tarnwick-check against a
#                                       poplib script, both timed as whole programs, on
#                                       loopback and through a relay that delays each
#                                       direction by DELAY_MS (default 25: a 50 ms round
#                                       trip), with the round trips of each through the
#                                       relay; default 9 repetitions (fewer through the relay)
#   bench/run.sh list [MESSAGES] [REPETITIONS]
#                                       under Wine (x86_64) on a virtual display: the main
#                                       window's changed refill of MESSAGES rows (default 5000)
#                                       against a report list filled item by item, and the
#                                       longest stall of a check that finds no change;
#                                       default 5 repetitions
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = list ]; then
    build="$root/build/win64" # the cross build the tests use, release already
    echo "Building list_bench (MinGW x86_64, release) in $build ..."
    cmake --no-warn-unused-cli -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target list_bench -j2 >/dev/null
    . "$root/tools/wine-env.sh"
    wine_use "$root" x86_64
    xvfb_start
    trap 'wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null' EXIT
    # Painting is part of what is timed: Wine's X11 driver, not the null one.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wine "$build/bench/list_bench.exe" "${2:-5000}" "${3:-5}"
    echo
    echo "Targets: a refill of 5000 changed rows under 1000 ms; no stall over 100 ms while a"
    echo "check finds no change."
    exit 0
fi
build="$root/build/bench"
mode=default
if [ "${1:-}" = latency ]; then
    mode=latency
    delay=${2:-25}
    repetitions=${3:-9}
else
    repetitions=${1:-15}
fi
dovecot="$root/tools/dovecot.sh"

echo "Building check_bench (release, no sanitizers) in $build ..."
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARNWICK_SANITIZE=OFF >/dev/null
cmake --build "$build" --target check_bench tarnwick-check -j2 >/dev/null
bench="$build/bench/check_bench"
check="$build/src/tarnwick-check"

dir=$(mktemp -d /tmp/tarnwick-bench-XXXXXX)
cleanup() {
    bash "$dovecot" stop "$dir" || true
    rm -rf "$dir"
}
trap cleanup EXIT
port=$(DOVECOT_PREFORK=1 bash "$dovecot" start "$dir")

if [ "$mode" = latency ]; then
    echo "Dovecot on 127.0.0.1:$port; medians of $repetitions runs on loopback, fewer through the relay."
    echo "Whole programs from start to exit; \"inside\" is poplib's own time, without Python's start."
    echo
    printf '%-9s %-16s %12s %12s %12s %10s %10s %11s %11s\n' messages link "ours (ms)" "poplib (ms)" \
        "inside (ms)" "ratio" "inside" "ours (RT)" "poplib (RT)"
    for count in 200 1000; do
        bash "$dovecot" seed "$dir" "$count"
        python3 "$root/bench/latency.py" "$check" "$port" "$delay" "$repetitions"
    done
    echo
    echo "RT: round trips of one check, as the relay counts them (the greeting, and every"
    echo "command that found the server with nothing left to answer)."
    echo "Ratios are poplib's time over ours. Targets: 200 messages at a 50 ms round trip under"
    echo "1000 ms and 10x; 1000 messages on loopback at most 100 ms and 3x."
    exit 0
fi
echo "Dovecot on 127.0.0.1:$port; $repetitions runs each, in turns."
echo

# The machine is shared: the clients take turns in short rounds so that a change of load
# hits all of them alike. Each figure is the median of the rounds' medians.
rounds=5
per_round=$(( (repetitions + rounds - 1) / rounds ))
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

printf '%-9s %14s %18s %14s %16s\n' messages "CPop (ms)" "CheckMail (ms)" "poplib (ms)" "poplib / CPop"
for count in 100 1000; do
    bash "$dovecot" seed "$dir" "$count"
    # One untimed round each: Dovecot indexes a freshly seeded mailbox on first sight.
    "$bench" pop 127.0.0.1 "$port" test secret 1 >/dev/null 2>&1
    python3 "$root/bench/poplib_check.py" 127.0.0.1 "$port" test secret 1 >/dev/null 2>&1

    pop_all="" poplib_all="" account_all=""
    for _ in $(seq "$rounds"); do
        pop_all+="$("$bench" pop 127.0.0.1 "$port" test secret "$per_round" 2>/dev/null)"$'\n'
        poplib_all+="$(python3 "$root/bench/poplib_check.py" 127.0.0.1 "$port" test secret "$per_round" 2>/dev/null)"$'\n'
        account_all+="$("$bench" account 127.0.0.1 "$port" test secret "$per_round" 2>/dev/null)"$'\n'
    done
    pop_ms=$(printf '%s' "$pop_all" | median)
    poplib_ms=$(printf '%s' "$poplib_all" | median)
    account_ms=$(printf '%s' "$account_all" | median)
    ratio=$(python3 -c "print('%.2f' % ($poplib_ms / $pop_ms))")
    printf '%-9s %14s %18s %14s %15sx\n' "$count" "$pop_ms" "$account_ms" "$poplib_ms" "$ratio"
done
echo
echo "poplib / CPop above 1 means our client is faster than poplib."
