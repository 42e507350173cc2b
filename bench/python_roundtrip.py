#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Times read + convert + write of a generated file through the Python
module against corvane-convert doing the same, and prints both.

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
            start = time.perf_counter()
            subprocess.run([os.path.join(build, "corvane-convert"), "--to", target, "--plate",
                            "1920x1080", "-o", os.path.join(folder, "cli-" + target), source],
                           check=True, capture_output=True)
            cli = time.perf_counter() - start

            start = time.perf_counter()
            tracks = corvane.read(source)
            converted = corvane.convert(tracks, target, plate=(1920, 1080))
            corvane.write(converted, os.path.join(folder, "py-" + target))
            python = time.perf_counter() - start
            print("python-roundtrip-%s %.3f s (corvane-convert %.3f s, %+.0f %%)"
                  % (target, python, cli, 100 * (python - cli) / cli))


if __name__ == "__main__":
    main()
