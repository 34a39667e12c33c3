#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those
# already present. Usage: tools/install_deps.sh [base|all|bench]
#   base:  compiler, CMake, GoogleTest
#   all:   base plus Google Benchmark for the bench preset, clang-19 with
#          libFuzzer, clang-format and clang-tidy 19, mingw-w64 with wine for
#          the Windows build, Debian's cross compilers for the other Linux
#          machines (arm64, armhf, i386, ppc64el, s390x, riscv64) with
#          qemu-user to run their tests, lintian, groff and man for the
#          package checks, and strace, with which tests make system calls
#          fail
#   bench: base plus Google Benchmark for the bench preset, valgrind and
#          strace for tools/bench_startup.sh, and python3 for
#          tools/bench_sink.py
set -euo pipefail

packages=(g++ cmake make libgtest-dev libgmock-dev googletest)
case "${1:-base}" in
  all) packages+=(strace libbenchmark-dev clang-19 libclang-rt-19-dev clang-format-19 clang-tidy-19
         g++-mingw-w64-x86-64 wine wine64 g++-aarch64-linux-gnu g++-arm-linux-gnueabihf
         g++-i686-linux-gnu g++-powerpc64le-linux-gnu g++-s390x-linux-gnu g++-riscv64-linux-gnu
         qemu-user lintian groff-base man-db) ;;
  bench) packages+=(libbenchmark-dev valgrind strace python3) ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
