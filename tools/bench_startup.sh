#!/usr/bin/env bash
# Start-up cost of the release client beside a minimal C client that makes
# the same system calls (tools/bench_startup_client.c, -O2, linked
# dynamically), both run against frame-sink: the instructions of one
# successful run (callgrind), the median wall time of interleaved runs
# (tools/bench_startup_timer.c), the file sizes, and the client's system
# calls (strace -f -c).
#   FC_BENCH_RUNS  runs of each program for the wall time (default 1000)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wait_for_sink.sh
runs=${FC_BENCH_RUNS:-1000}
tools/install_deps.sh bench
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target frame-client frame-sink >/dev/null

work=$(mktemp -d)
sink=""
trap '[ -z "$sink" ] || kill "$sink" 2>/dev/null; rm -rf "$work"' EXIT
# Both programs are measured as copies, written in one pass as installing
# writes them: the linker writes its output piece by piece, and on recent
# kernels a file written that way starts measurably slower (some 40 us for
# the client on the machine this was written on; the C client barely
# changes).
client=$work/frame-client
baseline=$work/c-client
cp build/release/frame-client "$client"
cc -O2 -o "$work/c-client.linked" tools/bench_startup_client.c
cp "$work/c-client.linked" "$baseline"
cc -O2 -o "$work/timer" tools/bench_startup_timer.c

build/release/frame-sink >/dev/null 2>&1 &
sink=$!
wait_for_sink

# Instructions of one run of $1, which must succeed.
instructions() {
  if ! valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" >/dev/null \
      2>"$work/callgrind.log"; then
    cat "$work/callgrind.log" >&2
    echo "$1 failed under callgrind" >&2
    return 1
  fi
  sed -n 's/.*Collected : *//p' "$work/callgrind.log"
}

client_ir=$(instructions "$client")
baseline_ir=$(instructions "$baseline")
medians=$("$work/timer" "$runs" "$client" "$baseline")
client_us=$(sed -n 1p <<<"$medians")
baseline_us=$(sed -n 2p <<<"$medians")

echo "=== frame-client (static PIE) beside a minimal C client (dynamic, -O2) ==="
awk -v ci="$client_ir" -v bi="$baseline_ir" -v cu="$client_us" -v bu="$baseline_us" \
    -v cs="$(stat -c %s "$client")" -v bs="$(stat -c %s "$baseline")" -v runs="$runs" 'BEGIN {
  printf "%-32s %14s %14s %8s\n", "", "frame-client", "C client", "ratio"
  printf "%-32s %14d %14d %8.2f\n", "instructions, one run", ci, bi, ci / bi
  printf "%-32s %14d %14d %8.2f\n", "median wall time (us), " runs " runs", cu, bu, cu / bu
  printf "%-32s %14d %14d\n", "file size (bytes)", cs, bs
}'
echo "=== system calls of one frame-client run (strace -f -c) ==="
strace -f -c -o "$work/strace.txt" "$client" >/dev/null
cat "$work/strace.txt"
