#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need. When every one is
# installed already, apt is not called at all (no package list is fetched).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config lintian
  qt6-base-dev qt6-translations-l10n libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-tidy-14 valgrind util-linux xdg-utils ccache libfuse3-dev fuse3
  python3
)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qx installed; then
    missing+=("$package")
  fi
done
if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: every package is installed"
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
