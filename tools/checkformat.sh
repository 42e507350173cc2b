#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fails when a C++ source is not formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' \
    'bench/*.h' 'docs/*.cpp')
clang-format --dry-run -Werror "${files[@]}"
echo "== every source is formatted"
