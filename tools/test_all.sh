#!/usr/bin/env bash
# Builds and runs every test: the Linux suite under AddressSanitizer and UBSan,
# the release build's suite, the 64-bit ARM release build's suite under
# qemu-aarch64, the benchmarks (compiled only), a short fuzzing run, the
# format and lint checks, the Windows suite under wine, then the packages:
# installed or unpacked and run, and made twice to compare.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install_deps.sh all

echo "=== Linux, debug with sanitizers ==="
cmake --preset dev
cmake --build --preset dev -j2
ctest --preset dev

echo "=== Linux, release ==="
cmake --preset release
cmake --build --preset release -j2
ctest --preset release

echo "=== Linux 64-bit ARM, release, under qemu-aarch64 ==="
cmake --preset release-arm64
cmake --build --preset release-arm64 -j2
ctest --preset release-arm64

echo "=== Benchmarks, compiled ==="
cmake --preset bench
cmake --build --preset bench -j2

echo "=== Fuzzing, bounded ==="
tools/run_fuzz.sh

echo "=== Format and lint ==="
tools/check_style.sh

echo "=== Windows x86-64 under wine ==="
tools/run_windows_tests.sh

echo "=== Packages: installed and run, reproducible ==="
tools/check_packages.sh
