#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what Corvane needs to build (Debian packages, as root) and builds
# it in build/. Run again, it installs nothing new and rebuilds what changed.
# With --sanitizers it also installs clang and its sanitizer and fuzzer
# runtimes, for the checking build of tools/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev fonts-liberation2
          librsvg2-bin lintian desktop-file-utils appstream man-db
          pybind11-dev python3-dev python3-pytest python3-numpy python3-jsonschema mypy blender nodejs)
if [ "${1:-}" = --sanitizers ]; then
    packages+=(clang libclang-rt-14-dev llvm)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build build --parallel "$(nproc)"
