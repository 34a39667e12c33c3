#!/usr/bin/env bash
# Builds the release client and runs it once against frame-sink, showing both
# sides: what the client printed, and the frame payload the receiver got.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wait_for_sink.sh

tools/install_deps.sh base
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target frame-client frame-sink

build/release/frame-sink --connections 1 >build/release/sink.out 2>build/release/sink.err &
sink=$!
trap 'kill $sink 2>/dev/null || true' EXIT
wait_for_sink build/release/sink.err >/dev/null

echo "--- client (exit status follows) ---"
status=0
build/release/frame-client || status=$?
echo "exit status: $status"
wait $sink || true
trap - EXIT
echo "--- receiver got ---"
cat build/release/sink.out
echo "--- receiver said ---"
cat build/release/sink.err
