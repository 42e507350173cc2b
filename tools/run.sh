#!/usr/bin/env bash
# Sets up, builds and starts Corvane.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
exec ./build/corvane "$@"
