#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Sets up, builds and runs every test suite; then builds again with clang's
# AddressSanitizer and UndefinedBehaviorSanitizer (build-fuzz/), runs every
# suite under them, and runs the fuzz targets over their corpora and on new
# inputs for a minute in all. --quick builds and runs the fast suites only
# (CTest label "fast", under a minute).
set -euo pipefail
cd "$(dirname "$0")/.."
quick=${1:-}
if [ "$quick" = --quick ]; then
    bash tools/setup.sh
    (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -L fast -j2)
    exit 0
fi
bash tools/setup.sh --sanitizers
bash tools/checkformat.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 -j2)

echo "== Sanitizer build: every suite under AddressSanitizer and UndefinedBehaviorSanitizer"
if [ ! -f build-fuzz/CMakeCache.txt ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCORVANE_FUZZ=ON -DCORVANE_WERROR=OFF
fi
cmake --build build-fuzz --parallel "$(nproc)"
(cd build-fuzz && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 -j2)

echo "== Fuzzing: the seed corpora, then new inputs"
bash tools/fuzz.sh 60
