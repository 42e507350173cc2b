#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Sets up, builds and starts Corvane.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
exec ./build/corvane "$@"
