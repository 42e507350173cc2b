#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Times read + convert + write of a generated file through the Python
module against corvane-convert doing the same (the best of three runs
each), and prints both.

    PYTHONPATH=build/python python3 bench/python_roundtrip.py [build] [rows]
"""

import os
import subprocess
import sys
import tempfile
import time

import corvane


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rows = sys.argv[2] if len(sys.argv) > 2 else "1000000"
    with tempfile.TemporaryDirectory() as folder:
        source = os.path.join(folder, "generated.txt")
        subprocess.run([os.path.join(build, "corvane-bench"), "--generate", source,
                        "--rows", rows], check=True, capture_output=True)
        for target in ("3de4", "nuke-cameratracker"):
            def cli():
                subprocess.run([os.path.join(build, "corvane-convert"), "--to", target,
                                "--plate", "1920x1080", "-o",
                                os.path.join(folder, "cli-" + target), source],
                               check=True, capture_output=True)

            def python():
                tracks = corvane.read(source)
                converted = corvane.convert(tracks, target, plate=(1920, 1080))
                corvane.write(converted, os.path.join(folder, "py-" + target))

            ours, theirs = best(python), best(cli)
            print("python-roundtrip-%s %.3f s (corvane-convert %.3f s, %+.0f %%)"
                  % (target, ours, theirs, 100 * (ours - theirs) / theirs))


def best(run, times=3):
    """The best of a few runs: the first ones meet a cold cache."""
    seconds = []
    for _ in range(times):
        start = time.perf_counter()
        run()
        seconds.append(time.perf_counter() - start)
    return min(seconds)


if __name__ == "__main__":
    main()
