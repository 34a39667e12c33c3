#!/usr/bin/env bash
# Style and lint checks: the format of every C and C++ file (clang-format 19,
# .clang-format), and clang-tidy 19 (.clang-tidy) over the Linux sources,
# read from the compile commands of the release build and, when they have
# been configured, of the fuzz build and of the bench build (for the sources
# that only it compiles: the benchmarks).
# Usage: tools/check_style.sh [format|tidy]   (both, and the source lists, when none is given)
set -euo pipefail
cd "$(dirname "$0")/.."

check_format() {
  echo "--- clang-format"
  git ls-files -z 'src/*' 'tests/*' 'tools/*' 'fuzz/*' 'bench/*' |
    grep -z -E '\.(cc|h|c)$' | xargs -0 clang-format-19 --dry-run --Werror
}

# The sources of one build's compile commands that belong to this tree.
sources_of() {
  grep -o '"file": "[^"]*"' "$1/compile_commands.json" | sed 's/^"file": "//; s/"$//' |
    grep -F "$PWD/" | sort -u
}

check_tidy() {
  echo "--- clang-tidy"
  local build status=0
  for build in build/release build/fuzz build/bench; do
    if [ ! -f "$build/compile_commands.json" ]; then
      [ "$build" = build/release ] || continue
      echo "no $build/compile_commands.json: run 'cmake --preset release' first" >&2
      return 1
    fi
    # Findings are errors (.clang-tidy). Each run's report is printed whole,
    # so that two runs at once do not mix their lines, with paths from the
    # tree's root; clang-tidy's progress and its counts of system-header
    # warnings are left out.
    if [ "$build" = build/bench ]; then
      comm -23 <(sources_of "$build") <(sources_of build/release)
    else
      sources_of "$build"
    fi | xargs -r -P2 -n4 sh -c '
      report=$(clang-tidy-19 -p "$0" --quiet "$@" 2>&1); status=$?
      [ -z "$report" ] || printf "%s\n" "$report" |
        grep -v -E "^([0-9]+ warnings? generated\.|\[[0-9]+/[0-9]+\] Processing file .*)$"
      exit $status' "$build" | sed "s|$PWD/||g" || status=1
  done
  return $status
}

# Every C++ source of the tree is in a target's list: one left out would
# silently not be built, a test not run.
check_lists() {
  echo "--- source lists"
  local unlisted
  unlisted=$(comm -23 <(git ls-files 'src/*.cc' 'tests/*.cc' 'fuzz/*.cc' 'bench/*.cc' | sort) \
    <(grep -oE '(src|tests|fuzz|bench)/[A-Za-z0-9_/]+\.cc' cmake/sources.cmake | sort -u))
  [ -z "$unlisted" ] || { echo "not in cmake/sources.cmake: $unlisted" >&2; return 1; }
}

case "${1:-all}" in
  format) check_format ;;
  tidy) check_tidy ;;
  all)
    check_format
    check_lists
    check_tidy
    ;;
  *) echo "usage: tools/check_style.sh [format|tidy]" >&2; exit 2 ;;
esac
