#!/usr/bin/env bash
# Valgrind's memcheck on one whole headless load (--load-once) of a generated small station,
# with the debug build: a memory error or a leak, or a load that does not succeed, fails.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build --preset debug --target diffuseur-secours ks-demo-station
station="$(mktemp -d)"
trap 'rm -rf "$station"' EXIT
build/debug/tools/demo/ks-demo-station --size small "$station" >/dev/null
valgrind --error-exitcode=1 --leak-check=full --quiet \
  build/debug/src/gui/diffuseur-secours --root "$station" --load-once
echo "valgrind: one whole load, no error, no leak"
