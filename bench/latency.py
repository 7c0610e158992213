#!/usr/bin/env python3
"""The latency mode of the benchmark: tarnwick-check against a script using Python's poplib,
both whole programs as a user runs them, each timed from start to exit. Once on plain
loopback, once through latency_relay.py delaying each direction by DELAY_MS.

    latency.py TARNWICK_CHECK DOVECOT_PORT DELAY_MS REPETITIONS

Prints one row per link: messages, link, the medians in milliseconds, poplib's own time of
its check (without the interpreter's start), the ratios and, through the relay, the round
trips of one check of each (counted by the relay).
"""
import os
import select
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def timed(command):
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
    took = (time.perf_counter() - start) * 1000.0
    if done.returncode != 0:
        sys.exit("latency.py: %s failed: %s" % (command[0], done.stderr.decode(errors="replace")))
    return took, done.stdout.decode()


def round_trips(relay):
    """What the relay counted for the connection that just ended; None without a relay."""
    if relay is None:
        return None
    ready, _, _ = select.select([relay.stdout], [], [], 10)
    if not ready:
        sys.exit("latency.py: the relay did not report the session")
    return int(relay.stdout.readline())


def measure(check, port, repetitions, poplib_repetitions, profile, relay=None):
    subprocess.run([check, "--profile", profile, "--setup", "--server", "127.0.0.1:%d" % port,
                    "--user", "test", "--password-stdin"], input=b"secret\n", check=True,
                   stdout=subprocess.DEVNULL)
    poplib = [sys.executable, os.path.join(HERE, "poplib_check.py"), "127.0.0.1", str(port),
              "test", "secret", "1"]
    ours, theirs, theirs_inside = [], [], []
    trips = {}
    count = None
    # Turns, so that a change of load on a shared machine hits both alike.
    for turn in range(max(repetitions, poplib_repetitions)):
        if turn < repetitions:
            took, out = timed([check, "--profile", profile])
            ours.append(took)
            count = out.split()[0]
            trips["ours"] = round_trips(relay)
        if turn < poplib_repetitions:
            took, out = timed(poplib)
            theirs.append(took)
            theirs_inside.append(float(out.strip()))
            trips["poplib"] = round_trips(relay)
    if not theirs:
        return count, 0, 0, 0, trips
    return count, statistics.median(ours), statistics.median(theirs), \
        statistics.median(theirs_inside), trips


def main():
    if len(sys.argv) != 5:
        sys.exit("usage: latency.py TARNWICK_CHECK DOVECOT_PORT DELAY_MS REPETITIONS")
    check, port, delay, repetitions = sys.argv[1], int(sys.argv[2]), sys.argv[3], \
        int(sys.argv[4])
    relay = subprocess.Popen([sys.executable, os.path.join(HERE, "latency_relay.py"), str(port),
                              delay], stdout=subprocess.PIPE)
    try:
        relay_port = int(relay.stdout.readline())
        with tempfile.TemporaryDirectory() as folder:
            profile = os.path.join(folder, "tarnwick.ini")
            links = [("loopback", port, repetitions, repetitions, None),
                     ("%s ms each way" % delay, relay_port, max(3, repetitions // 3), 1, relay)]
            for name, target, reps, poplib_reps, counter in links:
                # One untimed check: Dovecot indexes a freshly seeded mailbox on first sight.
                measure(check, target, 1, 0, profile, counter)
                count, ours, theirs, inside, trips = measure(check, target, reps, poplib_reps,
                                                             profile, counter)
                shown = ["%s" % trips[who] if trips.get(who) else "-"
                         for who in ("ours", "poplib")]
                print("%-9s %-16s %12.1f %12.1f %12.1f %9.1fx %9.1fx %11s %11s" %
                      (count, name, ours, theirs, inside, theirs / ours, inside / ours,
                       shown[0], shown[1]), flush=True)
    finally:
        relay.kill()
        relay.wait()


if __name__ == "__main__":
    main()
