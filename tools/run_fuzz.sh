#!/usr/bin/env bash
# Builds the fuzz targets (clang 19, libFuzzer, AddressSanitizer and UBSan) and
# runs each one for a short, bounded time, starting from its committed seed
# corpus. Exits non-zero if any target crashes, leaks, hits undefined
# behaviour or breaks one of its checks; the failing input is kept under
# build/fuzz/artifacts/.
#
# FC_FUZZ_SECONDS sets the time per target (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FC_FUZZ_SECONDS:-20}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

artifacts=build/fuzz/artifacts
mkdir -p "$artifacts"
# New inputs go to a scratch directory: the committed seeds stay as they are.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

status=0
for source in fuzz/*_fuzz.cc; do
  target=$(basename "$source" .cc)
  name=${target%_fuzz}
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$artifacts/$target-")
  [[ -f fuzz/$name.dict ]] && options+=(-dict="fuzz/$name.dict")
  mkdir -p "$scratch/$name"
  echo "=== $target: ${seconds} s"
  if ! "build/fuzz/fuzz/$target" "${options[@]}" "$scratch/$name" "fuzz/corpus/$name" \
      >"$scratch/$target.log" 2>&1; then
    tail -n 60 "$scratch/$target.log" >&2
    echo "$target FAILED; the input is in $artifacts/" >&2
    status=1
  else
    grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' \
      "$scratch/$target.log" || true
    grep -E '^#[0-9]+[[:space:]]+DONE' "$scratch/$target.log" || true
  fi
done
exit "$status"
