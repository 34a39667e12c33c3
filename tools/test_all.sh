#!/usr/bin/env bash
# Builds and runs every test: the Linux suite under AddressSanitizer and UBSan,
# the release build's suite, the suite of each cross-built Linux machine
# (64-bit and 32-bit ARM, 32-bit x86, POWER, IBM Z, RISC-V) under its qemu,
# the benchmarks (compiled only), a short fuzzing run, the format and lint
# checks, the Windows suite under wine, then the packages: installed or
# unpacked and run, and made again to compare. Each stage's time is printed.
set -euo pipefail
cd "$(dirname "$0")/.."

# Runs a stage, named by $1, and prints how long it took.
stage() {
  local start=$SECONDS
  echo "=== $1 ==="
  "${@:2}"
  echo "=== $1: $((SECONDS - start)) s ==="
}

# Configures, builds and tests the preset $1.
suite() {
  cmake --preset "$1"
  cmake --build --preset "$1" -j2
  ctest --preset "$1"
}

stage "Installs" tools/install_deps.sh all
stage "Linux, debug with sanitizers" suite dev
stage "Linux, release" suite release
for architecture in arm64 armhf i386 ppc64el s390x riscv64; do
  stage "Linux $architecture, release, under qemu" suite "release-$architecture"
done
stage "Benchmarks, compiled" sh -c 'cmake --preset bench && cmake --build --preset bench -j2'
stage "Fuzzing, bounded" tools/run_fuzz.sh
stage "Format and lint" tools/check_style.sh
stage "Windows x86-64 under wine" tools/run_windows_tests.sh
stage "Packages: installed and run, reproducible" tools/check_packages.sh
echo "=== every stage passed in $SECONDS s ==="
