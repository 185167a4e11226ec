#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build pkg-config lintian \
  qt6-base-dev qt6-translations-l10n libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev \
  clang libclang-rt-14-dev clang-tidy-14 valgrind util-linux xdg-utils
