#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the fuzz targets with clang (in build-fuzz/, with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each over its seed corpus, then
# on new inputs for its share of SECONDS (default 60, split over all
# targets). Every format with a reader gets a reader run of its own.
# Prints each target's runs; exits non-zero when a target finds a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz

if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCORVANE_FUZZ=ON >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)" --target fuzz_read fuzz_import fuzz_formula corvane-convert

# Seed corpora: the real files and the test files; formulas of the tests.
corpus="$build/corpus"
mkdir -p "$corpus/files" "$corpus/formula"
for f in ../shared/samples/*/* tests/samples/* tests/fuzz/seeds/* examples/*; do
    case "$f" in *.md|*LICENSE*) continue ;; esac
    [ -f "$f" ] && head -c 65536 "$f" > "$corpus/files/$(echo "$f" | tr '/.' '__')"
done
printf '=1+2*3' > "$corpus/formula/a"
printf '=-(A1+B2)/C3' > "$corpus/formula/b"
printf "'text" > "$corpus/formula/c"

readers=$("$build/corvane-convert" --list-formats | awk '$0 ~ / read/ {print $1}')
runs=()
for id in $readers; do runs+=("fuzz_read --format=$id"); done
runs+=("fuzz_import" "fuzz_formula")
share=$(( seconds / ${#runs[@]} ))
[ "$share" -ge 1 ] || share=1

export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1
status=0
for run in "${runs[@]}"; do
    set -- $run
    target=$1; shift
    seeds="$corpus/files"
    [ "$target" = fuzz_formula ] && seeds="$corpus/formula"
    work="$build/work/${run//[ =]/_}"
    mkdir -p "$work"
    log="$work/log.txt"
    if "$build/tests/fuzz/$target" "$@" -max_total_time="$share" -max_len=65536 -timeout=10 \
        -rss_limit_mb=4096 -artifact_prefix="$work/" "$work" "$seeds" >"$log" 2>&1; then
        echo "$run: $(grep -Eo 'Done [0-9]+ runs' "$log" | tail -n 1 || echo 'done'), nothing found"
    else
        echo "$run: FOUND A FAULT (see $log)"
        tail -n 30 "$log"
        status=1
    fi
done
exit $status
