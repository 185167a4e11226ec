#!/usr/bin/env bash
# Installs what the build needs, builds the program and starts it on a demo station made in
# build/demo (the program's folder there holds its settings, log and station folders).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset release -DKS_BUILD_BENCH=OFF
cmake --build --preset release
demo="$PWD/build/demo"
mkdir -p "$demo"
if [ -x build/release/tools/demo/ks-demo-station ]; then
  build/release/tools/demo/ks-demo-station "$demo"
fi
exec build/release/src/gui/diffuseur-secours --root "$demo"
