#!/usr/bin/env bash
# Builds and runs every test: the Linux suite under AddressSanitizer and UBSan
# (dev), the release build's suite, the suite of each cross-built Linux
# machine under its qemu (release-<Debian architecture>: 64-bit and 32-bit
# ARM, 32-bit x86, POWER, IBM Z, RISC-V), the benchmarks (compiled only), a
# short fuzzing run, the format and lint checks, the Windows suite under
# wine, then the packages: installed or unpacked and run, and made again to
# compare. Each stage's time is printed.
set -euo pipefail
cd "$(dirname "$0")/.."

# Runs a stage, named by $1, and prints how long it took.
stage() {
  local start=$SECONDS
  echo "=== $1 ==="
  "${@:2}"
  echo "=== $1: $((SECONDS - start)) s ==="
}

# Configures, builds and tests each preset given. A preset's tests run,
# mostly on one core, while the next preset builds on both; one preset's
# tests at a time, as every end-to-end test uses 127.0.0.1:12345. Their
# report is printed when they end.
suites() {
  local preset tests="" report
  report=$(mktemp)
  for preset in "$@"; do
    stage "$preset: built" sh -c "cmake --preset $preset && cmake --build --preset $preset -j2"
    [ -z "$tests" ] || finish_tests "$tests" "$report"
    (
      start=$SECONDS
      status=0
      ctest --preset "$preset" >"$report" 2>&1 || status=$?
      echo "=== $preset: tests, $((SECONDS - start)) s ===" >>"$report"
      exit $status
    ) &
    tests="$! $preset"
  done
  finish_tests "$tests" "$report"
  rm -f "$report"
}

# Waits for the tests "$1" (their process and preset) and prints their
# report $2, which ends with their time; fails as they did.
finish_tests() {
  local process preset status=0
  read -r process preset <<<"$1"
  wait "$process" || status=$?
  echo "=== $preset: tests ==="
  cat "$2"
  return $status
}

stage "Installs" tools/install_deps.sh all
stage "Linux: this machine, then six others under qemu" suites dev release release-arm64 \
  release-armhf release-i386 release-ppc64el release-s390x release-riscv64
stage "Benchmarks, compiled" sh -c 'cmake --preset bench && cmake --build --preset bench -j2'
stage "Fuzzing, bounded" tools/run_fuzz.sh
stage "Format and lint" tools/check_style.sh
stage "Windows x86-64 under wine" tools/run_windows_tests.sh
stage "Packages: installed and run, reproducible" tools/check_packages.sh
echo "=== every stage passed in $SECONDS s ==="
