#!/usr/bin/env bash
# Cross-builds the Windows x86-64 programs and runs the whole test suite
# (unit and end-to-end) under wine: cmake --preset windows, build, ctest.
# Needs g++-mingw-w64-x86-64, wine64 and googletest; no display is needed.
# cmake/wine.sh sets wine up (its prefix, build/windows/wine, is made on
# first use) and runs every test program.
set -euo pipefail
cd "$(dirname "$0")/.."

# End the wine session the tests started (its server and system
# processes), whatever way the script ends.
trap 'cmake/wine.sh end' EXIT

echo "=== Windows x86-64 (mingw-w64), tests under wine ==="
cmake --preset windows
cmake --build --preset windows -j2
ctest --preset windows --timeout 300
