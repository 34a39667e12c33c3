#!/usr/bin/env bash
# Shows the system calls of one successful run of the release client against
# frame-sink: the full trace of what happens after the program's own start-up
# (from the standard-stream check on), then strace's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wait_for_sink.sh
command -v strace >/dev/null || { echo "strace is not installed" >&2; exit 2; }
cmake --build --preset release -j2 --target frame-client frame-sink >/dev/null

trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
build/release/frame-sink --connections 2 >/dev/null 2>&1 &
wait_for_sink
strace -f -o "$trace" build/release/frame-client >/dev/null
echo "--- after start-up ---"
sed -n '/^[0-9]* *poll(/,$p' "$trace" | sed 's/^[0-9]* *//'
echo "--- strace -f -c ---"
strace -f -c build/release/frame-client 2>&1 >/dev/null
wait
