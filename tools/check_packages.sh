#!/usr/bin/env bash
# Makes the packages (the .deb and .tar.gz of the Linux builds, x86-64 and
# 64-bit ARM, and the .zip of the Windows build) and checks them. The Linux
# packages of both machines hold the same files; each archive is unpacked
# and its client run against its frame-sink (under qemu-<machine> for a
# machine other than this one); the .deb for this machine is installed and
# the installed programs run the same way (a .deb for another machine cannot
# be installed here); the .zip is listed. Then every package is made a
# second time from a copy of the sources in another folder: the two must be
# byte for byte the same. The installed package is removed again whatever
# happens. Needs root (or sudo) for dpkg.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wait_for_sink.sh

# The Linux builds, with the Debian architecture and the machine (as in the
# archive's name and uname -m) their packages are for.
linux_presets=(release release-arm64)
declare -A debian_architecture=([release]=amd64 [release-arm64]=arm64)
declare -A machine=([release]=x86_64 [release-arm64]=aarch64)

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
  for preset in "${linux_presets[@]}" windows; do
    (cd "$1" && cmake --preset "$preset" "${@:2}" >/dev/null &&
      cpack --preset "$preset" >/dev/null)
  done
}

# Checksums of the packages made from the sources in $1, by file name.
checksums() {
  local preset
  {
    for preset in "${linux_presets[@]}"; do
      sha256sum "$1/build/$preset/packages/"*.deb "$1/build/$preset/packages/"*.tar.gz
    done
    sha256sum "$1"/build/windows/packages/*.zip
  } | sed 's|  .*/|  |'
}

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# What a package holds (mode, owner, path), by path; the archive's top folder,
# which is named after the machine, as TOP.
contents() {
  case "$1" in
    *.deb) dpkg-deb -c "$1" ;;
    *) tar -tvzf "$1" ;;
  esac | awk '{print $1, $2, $6}' | sed -E 's#^([^ ]+ [^ ]+ )[^/.][^/]*/#\1TOP/#' | sort -k3
}

# Runs the client $3 against the receiver $2, both through the emulator $1
# (none when empty), and checks what each side printed.
run_pair() {
  local emulator=() status=0 payload
  [ -z "$1" ] || emulator=("$1")
  # Bounded: a client that never connects must not leave it waiting.
  timeout 20 "${emulator[@]}" "$2" --connections 1 >"$work/received" 2>"$work/sink.err" &
  sink=$!
  wait_for_sink
  (cd / && "${emulator[@]}" "$3") >"$work/printed" || status=$?
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
}

# Checks the packages of the Linux build $1.
check_linux_packages() {
  local preset=$1 deb archive emulator="" unpacked
  local arch=${debian_architecture[$preset]} target=${machine[$preset]}
  deb=$(ls "build/$preset/packages/"*"_$arch.deb")
  archive=$(ls "build/$preset/packages/"*"-linux-$target.tar.gz")
  [ "$target" = "$(uname -m)" ] || emulator=qemu-$target

  echo "--- $preset: the .deb"
  dpkg-deb --field "$deb" Package Version Architecture Section Maintainer Depends
  [ "$(dpkg-deb --field "$deb" Architecture)" = "$arch" ] || fail "the package is not for $arch"
  [ -z "$(dpkg-deb --field "$deb" Depends)" ] || fail "the package has dependencies; static programs need none"
  if [ "$preset" != "${linux_presets[0]}" ]; then
    local first=${linux_presets[0]}
    diff <(contents "build/$first/packages/"*.deb) <(contents "$deb") ||
      fail "the .deb for $arch holds other files than the one for ${debian_architecture[$first]}"
    diff <(contents "build/$first/packages/"*.tar.gz) <(contents "$archive") ||
      fail "the archive for $target holds other files than the one for ${machine[$first]}"
  fi

  echo "--- $preset: the archive, unpacked${emulator:+, its programs under $emulator}"
  unpacked="$work/unpacked-$target"
  mkdir "$unpacked"
  tar -xzf "$archive" -C "$unpacked"
  run_pair "$emulator" "$unpacked"/*/bin/frame-sink "$unpacked"/*/bin/frame-client

  [ "$arch" = "$(dpkg --print-architecture)" ] || return 0
  echo "--- $preset: the .deb, installed"
  installed=yes
  $sudo dpkg -i "$deb" >/dev/null
  run_pair "" /usr/bin/frame-sink /usr/bin/frame-client
  $sudo dpkg -r frame-client >/dev/null
  installed=""
}

echo "--- packages"
for preset in "${linux_presets[@]}" windows; do
  rm -rf "build/$preset/packages"
done
make_packages .
checksums . | tee "$work/here"

for preset in "${linux_presets[@]}"; do
  check_linux_packages "$preset"
done

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
