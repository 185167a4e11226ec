#!/usr/bin/env bash
# Installs what the build needs, builds the debug preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset debug
cmake --build --preset debug
ctest --preset debug
