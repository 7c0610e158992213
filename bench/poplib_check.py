#!/usr/bin/env python3
"""The peer of check_bench: the same full check (USER, PASS, STAT, LIST, TOP n 8 for every
message, QUIT) with Python's poplib. Prints the median in milliseconds.

    poplib_check.py HOST PORT USER PASSWORD REPETITIONS
"""
import poplib
import statistics
import sys
import time

SUMMARY_LINES = 8


def check(host, port, user, password):
    pop = poplib.POP3(host, port, timeout=30)
    pop.user(user)
    pop.pass_(password)
    count, _ = pop.stat()
    if count:
        _, listing, _ = pop.list()
        if len(listing) != count:
            raise RuntimeError("LIST gave %d entries for %d messages" % (len(listing), count))
    for n in range(1, count + 1):
        _, lines, _ = pop.top(n, SUMMARY_LINES)
        if not any(line.startswith(b"Subject: ") for line in lines):
            raise RuntimeError("TOP %d gave no Subject" % n)
    pop.quit()
    return count


def main():
    if len(sys.argv) != 6:
        sys.exit("usage: poplib_check.py HOST PORT USER PASSWORD REPETITIONS")
    host, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    repetitions = max(1, int(sys.argv[5]))
    times = []
    count = 0
    for _ in range(repetitions):
        start = time.perf_counter()
        count = check(host, port, user, password)
        times.append((time.perf_counter() - start) * 1000.0)
    print("%.2f" % statistics.median_low(times))
    print("poplib_check: %d messages, %d runs, min %.2f ms, max %.2f ms"
          % (count, repetitions, min(times), max(times)), file=sys.stderr)


if __name__ == "__main__":
    main()
