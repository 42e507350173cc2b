#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Times corvane-convert against the floor: a tuned single-thread C++
parse-and-format of the same 3DE v4 -> Nuke CameraTracker conversion, with
one fdatasync (../shared/bench/floor.cpp, built here with g++ -O2). The two
run alternately on one generated file; each run's wall time and peak memory
are printed, then the medians and their ratios.

    python3 bench/floor_pair.py [build] [rows] [runs] [floor.cpp]
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time


def timed(command):
    """Wall seconds and peak resident megabytes of one run of command."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    errors = child.stderr.read().decode(errors="replace")
    child.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), errors))
    return wall, usage.ru_maxrss / 1024.0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rows = sys.argv[2] if len(sys.argv) > 2 else "1000000"
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    floor_source = (sys.argv[4] if len(sys.argv) > 4
                    else os.path.join(here, "..", "..", "shared", "bench", "floor.cpp"))
    if not os.path.exists(floor_source):
        sys.exit("no floor source at %s (give its path as the fourth argument)" % floor_source)
    with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR", "/tmp")) as folder:
        floor = os.path.join(folder, "floor")
        subprocess.run(["g++", "-O2", "-std=c++17", floor_source, "-o", floor], check=True)
        source = os.path.join(folder, "generated.txt")
        subprocess.run([os.path.join(build, "corvane-bench"), "--generate", source,
                        "--rows", rows, "--tracks", str(max(1, int(rows) // 1000))],
                       check=True, capture_output=True)
        commands = {
            "floor": [floor, source, os.path.join(folder, "floor.txt")],
            "corvane": [os.path.join(build, "corvane-convert"), "--quiet",
                        "--to", "nuke-cameratracker", "--plate", "1920x1080",
                        "-o", os.path.join(folder, "corvane.txt"), source],
        }
        figures = {name: [] for name in commands}
        print("# %s points, 3DE v4 -> Nuke CameraTracker, %d alternating runs" % (rows, runs))
        for run in range(runs):
            order = ["floor", "corvane"] if run % 2 == 0 else ["corvane", "floor"]
            for name in order:
                wall, peak = timed(commands[name])
                figures[name].append((wall, peak))
                print("%-8s run %d  %.3f s  %.1f MB" % (name, run + 1, wall, peak))
        wall = {n: statistics.median(w for w, _ in f) for n, f in figures.items()}
        peak = {n: statistics.median(p for _, p in f) for n, f in figures.items()}
        for name in commands:
            print("%-8s median  %.3f s  %.1f MB" % (name, wall[name], peak[name]))
        print("corvane/floor  wall %.2fx  memory %.2fx"
              % (wall["corvane"] / wall["floor"], peak["corvane"] / peak["floor"]))


if __name__ == "__main__":
    main()
