#!/usr/bin/env bash
# Times a full mailbox check (LIST and TOP for every message) of 100 and 1000 messages
# against a local Dovecot: our POP3 client (CPop alone, and Account::CheckMail with the
# list) side by side with Python's poplib doing the same commands.
#
#   bench/run.sh [REPETITIONS]      (default 15; needs root for Dovecot)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
repetitions=${1:-15}
dovecot="$root/tools/dovecot.sh"

echo "Building check_bench (release, no sanitizers) in $build ..."
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARNWICK_SANITIZE=OFF >/dev/null
cmake --build "$build" --target check_bench -j2 >/dev/null
bench="$build/bench/check_bench"

dir=$(mktemp -d /tmp/tarnwick-bench-XXXXXX)
cleanup() {
    bash "$dovecot" stop "$dir" || true
    rm -rf "$dir"
}
trap cleanup EXIT
port=$(bash "$dovecot" start "$dir")
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
