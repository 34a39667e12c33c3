#!/usr/bin/env bash
# Makes the packages (the .deb and .tar.gz of the release build, the .zip of
# the Windows build), installs the .deb on this machine and runs the
# installed client against the installed frame-sink, lists the .zip, and
# makes every package a second time from a copy of the sources in another
# folder: the two must be byte for byte the same. The installed package is
# removed again whatever happens. Needs root (or sudo) for dpkg.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wait_for_sink.sh

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Both copies must date their files alike, also without a .git folder.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

work=$(mktemp -d)
installed=""
sink=""
cleanup() {
  [ -z "$sink" ] || kill "$sink" 2>/dev/null || true
  [ -z "$installed" ] || $sudo dpkg -r frame-client >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Builds and packages the programs of the sources in $1; further arguments
# go to cmake. cpack builds what is out of date first.
make_packages() {
  local preset
  for preset in release windows; do
    (cd "$1" && cmake --preset "$preset" "${@:2}" >/dev/null &&
      cpack --preset "$preset" >/dev/null)
  done
}

# Checksums of the packages made from the sources in $1, by file name.
checksums() {
  sha256sum "$1"/build/release/packages/*.deb "$1"/build/release/packages/*.tar.gz \
    "$1"/build/windows/packages/*.zip | sed 's|  .*/|  |'
}

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

echo "--- packages"
rm -rf build/release/packages build/windows/packages
make_packages .
checksums . | tee "$work/here"

echo "--- the .deb, installed"
deb=$(ls build/release/packages/*.deb)
dpkg-deb --field "$deb" Package Version Architecture Section Maintainer Depends
[ -z "$(dpkg-deb --field "$deb" Depends)" ] || fail "the package has dependencies; static programs need none"
installed=yes
$sudo dpkg -i "$deb" >/dev/null
# Bounded: a client that never connects must not leave it waiting.
timeout 20 /usr/bin/frame-sink --connections 1 >"$work/received" 2>"$work/sink.err" &
sink=$!
wait_for_sink
status=0
(cd / && /usr/bin/frame-client) >"$work/printed" || status=$?
wait "$sink" || fail "frame-sink failed or got no frame: $(cat "$work/sink.err")"
sink=""
printf 'Connected to server\nSent JSON: Message { id: "3", message: "split" }\n' >"$work/expected"
cmp -s "$work/printed" "$work/expected" || fail "the client printed: $(cat "$work/printed")"
[ "$status" -eq 0 ] || fail "the client's exit status is $status"
# frame-sink prints the payload of each well-formed frame: one frame whose
# prefix agreed with its 28 bytes, and nothing after it.
printf '{"id":"3","message":"split"}\n' >"$work/expected"
cmp -s "$work/received" "$work/expected" || fail "frame-sink got: $(cat "$work/received")"
payload=$(($(wc -c <"$work/received") - 1))
echo "frame-sink got one frame of $((4 + payload)) bytes; the client exited with $status, printing:"
cat "$work/printed"
$sudo dpkg -r frame-client >/dev/null
installed=""

echo "--- the Windows .zip"
zip_list=$(cmake -E tar tf build/windows/packages/*.zip)
echo "$zip_list"
for file in frame-client.exe frame-sink.exe README.md; do
  grep -q "/$file\$" <<<"$zip_list" || fail "$file is missing from the .zip"
done

echo "--- the same packages from a copy in another folder"
mkdir "$work/elsewhere"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$work/elsewhere"
# Only the programs go into the packages: the tests need not be built again.
make_packages "$work/elsewhere" -DFC_BUILD_TESTS=OFF -DFC_BUILD_BENCHMARKS=OFF
checksums "$work/elsewhere" >"$work/there"
diff "$work/here" "$work/there" || fail "the packages differ between the two folders"
echo "identical: $(wc -l <"$work/here") packages"
