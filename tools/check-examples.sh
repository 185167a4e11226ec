#!/usr/bin/env bash
# The two examples of reading the loaded station from another program (examples/, see README.md),
# as another program's developer uses them: the C entry's library, header and pkg-config file
# laid under a scratch prefix (the components of libksbtr1 and libksbtr-dev), a demo station
# generated and loaded headless, then read_schedule.c built through pkg-config and run with
# read_schedule.py on the same hour. Both must print that hour's events, and the same lines.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/debug}"
hour=2026120712  # loaded: the load at 10:00 on the 7th moves the hours from 11:00 on
cmake --build "$build" --target ksbtr diffuseur-secours ks-demo-station
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for component in library development; do
  cmake --install "$build" --prefix "$work/stage" --component "$component" >/dev/null
done
pcdir="$(dirname "$(find "$work/stage" -name ksbtr.pc)")"

"$build/tools/demo/ks-demo-station" --date 20261207 "$work/station" >/dev/null
"$build/src/gui/diffuseur-secours" --root "$work/station" --load-once --at "07/12/2026 10:00:00"

read -ra flags <<<"$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs ksbtr)"
cc -std=c11 -Wall -Wextra -Wpedantic -Werror examples/read_schedule.c "${flags[@]}" \
  -o "$work/read_schedule"
export LD_LIBRARY_PATH="$pcdir/.."
data="$work/station/Local/Data"
"$work/read_schedule" "$data" "$hour" >"$work/c.txt"
python3 examples/read_schedule.py "$data" "$hour" >"$work/python.txt"

cat "$work/c.txt"
if [ ! -s "$work/c.txt" ]; then
  echo "examples: no event in hour $hour"
  exit 1
fi
if ! diff -u "$work/c.txt" "$work/python.txt"; then
  echo "examples: read_schedule.c and read_schedule.py disagree"
  exit 1
fi
echo "examples: $(wc -l <"$work/c.txt") events of $hour, the same from C and Python"
