#!/usr/bin/env bash
# Fails when a folder of src/core includes a folder above it. The layers, bottom first:
# base, sys, log, settings, db, transfer, then ports (the console ports) and app.
set -euo pipefail
cd "$(dirname "$0")/.."
rank() {
  case "$1" in
    base) echo 0 ;; sys) echo 1 ;; log) echo 2 ;; settings) echo 3 ;; db) echo 4 ;;
    transfer) echo 5 ;; ports) echo 6 ;; app) echo 7 ;; *) echo 99 ;;
  esac
}
bad=0
while IFS=: read -r file _ include; do
  from="$(cut -d/ -f3 <<<"$file")"
  to="$(sed -E 's|.*"core/([a-z_]+)/.*|\1|' <<<"$include")"
  if [ "$(rank "$from")" -eq 99 ] || [ "$(rank "$to")" -eq 99 ]; then
    echo "unknown layer: $file: $include"
    bad=1
  elif [ "$(rank "$to")" -gt "$(rank "$from")" ]; then
    echo "upward include: $file ($from) includes $to: $include"
    bad=1
  fi
done < <(grep -rn '#include "core/' src/core)
if [ "$bad" -ne 0 ]; then
  exit 1
fi
echo "core layers: every include points down"
