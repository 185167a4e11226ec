#!/usr/bin/env bash
# The record transfer's time in the desktop program against the headless run, on a fresh demo
# station for each: the desktop program (offscreen) loads at start-up since the generated
# settings put the last load a day back. Prints the seconds between the trace lines "Load
# data: Start transfert records" and "Load data: End transfert records" of each run.
#   bench/desktop/transfer_time.sh [BUILD_DIR (build/run)] [SIZE (small)] [ROUNDS (3)]
set -euo pipefail
build="${1:-build/run}"
size="${2:-small}"
rounds="${3:-3}"
program="$build/src/gui/diffuseur-secours"
generator="$build/tools/demo/ks-demo-station"

span() {  # the seconds between the transfer's start and end lines of a log file
  awk '/Load data: Start transfert records/ { start = $1 }
       /Load data: (End transfert records|cancelled)/ { end = $1 }
       function ms(t, p) { split(t, p, ":"); return ((p[1] * 60 + p[2]) * 60 + p[3]) * 1000 + p[4] }
       END { printf "%.3f", (ms(end) - ms(start)) / 1000 }' "$1"
}

for round in $(seq "$rounds"); do
  for mode in headless desktop; do
    station="$(mktemp -d)"
    "$generator" --size "$size" "$station" >/dev/null
    if [ "$mode" = headless ]; then
      "$program" --root "$station" --load-once >/dev/null 2>&1 || true
    else
      QT_QPA_PLATFORM=offscreen "$program" --root "$station" >/dev/null 2>&1 &
      pid=$!
      for _ in $(seq 600); do
        grep -qs "Next loading data" "$station"/Quenvi/Histo_KS3_Diffuseur_Secours/*.Log &&
          grep -qs "End transfert records\|cancelled because" \
            "$station"/Quenvi/Histo_KS3_Diffuseur_Secours/*.Log && break
        sleep 0.1
      done
      kill -TERM "$pid"
      wait "$pid" || true
    fi
    echo "round $round $size $mode: $(span "$station"/Quenvi/Histo_KS3_Diffuseur_Secours/*.Log) s"
    rm -rf "$station"
  done
done
