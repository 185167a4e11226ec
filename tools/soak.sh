#!/usr/bin/env bash
# Soak: the reliability tests and the fuzz targets, round after round with new seeds, for a
# chosen number of minutes (the round running at the deadline is finished), then the sums:
#   bash tools/soak.sh [MINUTES]        # 20 by default
# Each round runs the killed loads (on the medium station), the faulted loads, the bad input,
# the live server and each fuzz target for a minute. A test program or a fuzz target that ends
# on a signal counts as a crash, one that runs past its bound as a hang; the output of a
# failure and the inputs a fuzz target crashed on are kept in build/soak/. Not part of CI.
#
#   bash tools/soak.sh --year [PERIOD]  # a simulated year of loads, in minutes
# runs the month of loads (tests/core/app/month_of_loads_test.cpp) for 365 simulated days on
# the optimised build, at the period of that index in the options window (3: every 60 minutes,
# 8,760 loads, 15 minutes on a busy two-core machine; 1: every 30 minutes, 17,520 loads, 18
# minutes; 0: every 15 minutes, 35,040 loads, not timed yet), with every check
# of the test after every load (its station's folders in /dev/shm), then prints the loads, the peak memory at load 100 and at the
# last load, the open files and the trace folder's size.
set -uo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--year" ]; then
  period="${2:-3}"
  cmake --preset release >/dev/null || exit 1
  cmake --build --preset release --target test_core_app >/dev/null || exit 1
  log="$(mktemp)"
  trap 'rm -f "$log"' EXIT
  # The station's folders in memory when there is a memory file system: the year then waits
  # on the loads, not on the disk.
  [ -w /dev/shm ] && export TMPDIR=/dev/shm
  start=$(date +%s)
  KS_MONTH_DAYS=365 KS_MONTH_FREQUENCY="$period" build/release/tests/test_core_app \
    --gtest_filter='MonthOfLoads.*' >"$log" 2>&1
  status=$?
  line="$(grep '^figures: ' "$log")"
  value() { for pair in ${line#figures: }; do [ "${pair%%=*}" = "$1" ] && echo "${pair#*=}"; done; }
  echo "simulated year, period index $period, $(($(date +%s) - start)) s"
  echo "loads:                    $(value loads) ($(value compared) compared with a clean load)"
  echo "peak memory at load 100:  $(value peak_kb_at_100) kB"
  echo "peak memory at last load: $(value peak_kb_at_last) kB"
  echo "heap after the first day: $(value heap_warm) bytes, at the end: $(value heap_last) bytes"
  echo "open files at the end:    $(value open_files)"
  echo "trace folder:             $(value trace_bytes) bytes"
  if [ "$status" -ne 0 ]; then
    grep -E 'Failure|Expected|Which is|load [0-9]+ at' "$log" | head -40
    echo "the year failed (status $status)"
  fi
  exit "$status"
fi

minutes="${1:-20}"
deadline=$(($(date +%s) + minutes * 60))

cmake --preset debug >/dev/null
cmake --build --preset debug --target test_reliability >/dev/null || exit 1
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_ini_file fuzz_engine_call fuzz_trace_line \
  fuzz_genuine_file fuzz_table_file >/dev/null || exit 1

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM
kept=build/soak
mkdir -p "$kept"
mkdir -p "$scratch/corpus" "$scratch/artifacts"
cp -r tests/fuzz/corpus/. "$scratch/corpus"/
cp tests/engine/data/genuine/*.DAT "$scratch/corpus/genuine"/

rounds=0 loads=0 kills=0 faults=0 crashes=0 hangs=0 lost=0 failures=0 fuzzRuns=0
# Adds up the figures a test printed; counts its end by signal, past its bound, or failed.
run_test() {
  local filter="$1" size="$2" log="$scratch/test.log"
  KS_SOAK_SEED="$rounds" KS_RELIABILITY_SIZE="$size" timeout -s KILL 3600 \
    build/debug/tests/test_reliability --gtest_filter="$filter" >"$log" 2>&1
  local status=$?
  while read -r line; do
    for pair in ${line#figures: }; do
      local name="${pair%%=*}" value="${pair#*=}"
      case "$name" in
        loads) loads=$((loads + value)) ;;
        kills) kills=$((kills + value)) ;;
        faults) faults=$((faults + value)) ;;
        crashes) crashes=$((crashes + value)) ;;
        hangs) hangs=$((hangs + value)) ;;
        lost) lost=$((lost + value)) ;;
      esac
    done
  done < <(grep '^figures: ' "$log")
  if [ "$status" -eq 137 ]; then
    hangs=$((hangs + 1))
  elif [ "$status" -gt 128 ]; then
    crashes=$((crashes + 1))
  fi
  if [ "$status" -ne 0 ]; then
    failures=$((failures + 1))
    local name="${filter%%.*}"
    name="$kept/failure-$rounds-${name//[^A-Za-z0-9]/_}.log"
    cp "$log" "$name"
    echo "round $rounds: $filter failed (status $status), see $name"
  fi
}

run_fuzz() {
  local target="$1" seeds="$2" longest="$3"
  timeout -s KILL 300 build/fuzz/tests/fuzz/fuzz_"$target" -max_total_time=60 \
    -max_len="$longest" -seed=$((rounds + 1)) -artifact_prefix="$scratch/artifacts/" \
    "$scratch/corpus/$seeds" >"$scratch/fuzz.log" 2>&1
  local status=$?
  fuzzRuns=$((fuzzRuns + 1))
  if [ "$status" -eq 137 ]; then
    hangs=$((hangs + 1))
  elif [ "$status" -ne 0 ]; then
    crashes=$((crashes + 1))
    cp "$scratch/fuzz.log" "$kept/fuzz-$target-$rounds.log"
    cp "$scratch"/artifacts/* "$kept"/ 2>/dev/null
    echo "round $rounds: fuzz_$target found a crash, see $kept/fuzz-$target-$rounds.log"
  fi
}

while [ "$(date +%s)" -lt "$deadline" ]; do
  rounds=$((rounds + 1))
  run_test 'KilledLoad.*' medium
  run_test 'FaultedLoads.*' small
  run_test 'BadInput.*' small
  run_test 'LiveServer.*' small
  run_test 'MusicSongsAdvertising/*' small
  run_fuzz ini_file ini 4096
  run_fuzz engine_call engine 4096
  run_fuzz trace_line trace 4096
  run_fuzz genuine_file genuine 200000
  run_fuzz table_file table 65536
  echo "round $rounds done: loads $loads, kills $kills, faults $faults, crashes $crashes," \
    "hangs $hangs, records lost $lost"
done

echo "soak of $minutes minutes, $rounds rounds"
echo "loads run:        $loads"
echo "kills:            $kills"
echo "faults injected:  $faults"
echo "crashes:          $crashes"
echo "hangs:            $hangs"
echo "records lost:     $lost"
echo "fuzz runs:        $fuzzRuns (a minute each)"
echo "failed tests:     $failures"
[ "$crashes" -eq 0 ] && [ "$hangs" -eq 0 ] && [ "$lost" -eq 0 ] && [ "$failures" -eq 0 ]
