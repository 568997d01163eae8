#!/usr/bin/env python3
"""The window's start-up: time from starting the program to its first paint,
for Vornik and for an empty Qt 6 main window, alternately under one virtual
X server, median of RUNS each.

    bench/first_paint.py BUILD_DIR [RUNS]

BUILD_DIR holds src/ui/vornik and bench/vornik_empty_window (a Release
build with -DVORNIK_BUILD_BENCH=ON). Needs xvfb-run.
"""
import os
import statistics
import subprocess
import sys
import time

INNER = r'''
import os, subprocess, sys, time
def once(argv, env):
    start = time.monotonic_ns()
    out = subprocess.run(argv, env=env, capture_output=True, text=True, timeout=60).stdout
    for line in out.splitlines():
        if line.startswith("first-paint "):
            return (int(line.split()[1]) - start) / 1e6
    raise SystemExit("no first paint from " + argv[0])
vornik, empty, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
env = dict(os.environ, VORNIK_FIRST_PAINT="1", QT_QPA_PLATFORM="xcb")
once([vornik], env); once([empty], env)  # warm the page cache
for _ in range(runs):
    print("vornik", once([vornik], env))
    print("empty", once([empty], env))
'''


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    vornik = os.path.join(build, "src", "ui", "vornik")
    empty = os.path.join(build, "bench", "vornik_empty_window")
    for program in (vornik, empty):
        if not os.access(program, os.X_OK):
            print(f"missing {program}")
            return 2
    result = subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1024x768x24 -dpi 96", sys.executable, "-c", INNER,
                             vornik, empty, str(runs)], capture_output=True, text=True, check=True)
    times = {"vornik": [], "empty": []}
    for line in result.stdout.splitlines():
        name, ms = line.split()
        times[name].append(float(ms))
    v, e = statistics.median(times["vornik"]), statistics.median(times["empty"])
    print(f"first paint, median of {runs}: Vornik {v:.1f} ms, empty Qt window {e:.1f} ms, {v / e:.2f}x")
    return 0


if __name__ == "__main__":
    sys.exit(main())
