#!/usr/bin/env bash
# Installs what the build needs, builds the program and its tools, makes (or refreshes) a demo
# station in build/demo and starts the program on it (--root: the program's folder there holds
# its settings, log folder and station folders).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset run
cmake --build --preset run
demo="$PWD/build/demo"
mkdir -p "$demo"
build/run/tools/demo/ks-demo-station "$demo"
exec build/run/src/gui/diffuseur-secours --root "$demo"
