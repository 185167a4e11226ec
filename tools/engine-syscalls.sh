#!/bin/sh
# System calls per engine read: runs `bench_engine --count-reads` under strace twice, without
# reads and with N get next plus N get equal on a table of 100,000 songs, and divides the
# difference in fcntl and fstat calls (the lock and file checks a read can make) by the reads.
#
#     tools/engine-syscalls.sh [BENCH_ENGINE] [N]     (defaults: the release build, 50000)
set -eu
bench=${1:-build/release/bench/engine/bench_engine}
reads=${2:-50000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# fcntl and fstat calls (newfstatat is how the C library makes fstat) of one run.
count() {
    strace -f -c -e trace=fcntl,fstat,newfstatat -o "$work/calls-$1" \
        "$bench" --count-reads "$1" --dir "$work" >/dev/null
    awk '$NF == "fcntl" || $NF == "fstat" || $NF == "newfstatat" { n += $4 } END { print n + 0 }' \
        "$work/calls-$1"
}

none=$(count 0)
some=$(count "$reads")
awk -v a="$none" -v b="$some" -v r="$reads" 'BEGIN {
    printf "fcntl + fstat: %d without reads, %d with %d reads: %.4f per read (goal < 0.05)\n",
        a, b, 2 * r, (b - a) / (2 * r)
}'
