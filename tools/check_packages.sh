#!/usr/bin/env bash
# Makes the packages (the .deb and .tar.gz of every Linux build, x86-64 and
# the cross-built machines, the .zip of the Windows build, and beside them
# the source archive) and checks them: each folder's SHA256SUMS; each .deb
# with lintian (no error, no warning), its manual pages with groff, and its
# Built-Using field against the installed C library's source version; the
# licence, the third-party notices (with the full licence texts) and the
# manual pages in each listing; the Linux packages of every machine hold the
# same files. Each archive is unpacked and its client run against its
# frame-sink (under the build's qemu for a machine other than this one); the
# .deb for this machine is installed, the installed programs run the same
# way and the installed page opened with man (a .deb for another machine
# cannot be installed here). Then every package is made a second time from a
# copy of the sources in another folder, and the x86-64 ones a third time
# from the unpacked source archive: they must be byte for byte the same. The
# installed package is removed again whatever happens. Needs root (or sudo)
# for dpkg.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wait_for_sink.sh

# The Linux builds: release for this machine (amd64), release-<Debian
# architecture> for the others.
linux_presets=(release release-arm64 release-armhf release-i386 release-ppc64el release-s390x
  release-riscv64)

# The Debian architecture of a Linux preset, and the machine's name in its
# archive, as the build's table of machines has it.
architecture_of() { [ "$1" = release ] && echo amd64 || echo "${1#release-}"; }
archive_name_of() {
  sed -n "s/^set(fc_linux_$(architecture_of "$1") [^ ]* [^ ]* \([^ ]*\) .*/\1/p" \
    cmake/linux_targets.cmake
}

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

# Builds and packages the programs of the sources in $1 for the presets
# named after it, or for every preset when none is; further arguments go to
# cmake. The build runs on both cores first: cpack's own build, of what is
# still out of date, runs on one.
make_packages() {
  local source=$1 presets=("${@:2}") preset
  [ ${#presets[@]} -gt 0 ] || presets=("${linux_presets[@]}" windows)
  for preset in "${presets[@]}"; do
    (cd "$source" && cmake --preset "$preset" "${cmake_options[@]}" >/dev/null &&
      cmake --build --preset "$preset" -j2 >/dev/null && cpack --preset "$preset" >/dev/null)
  done
}
cmake_options=()

# The checksums of the packages of the presets given, made from the sources in $1.
checksums() {
  local preset
  for preset in "${@:2}"; do cat "$1/build/$preset/packages/SHA256SUMS"; done
}

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# The one package in folder $1 whose name ends in $2.
package_in() {
  local found=("$1"/*"$2")
  [ ${#found[@]} -eq 1 ] && [ -f "${found[0]}" ] || fail "not one *$2 in $1"
  echo "${found[0]}"
}

# SHA256SUMS in folder $1 holds the right sum of each package there.
check_sums() {
  (cd "$1" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS in $1 does not match"
  local listed present
  listed=$(sed 's/^[0-9a-f]*  //' "$1/SHA256SUMS")
  present=$(cd "$1" && LC_ALL=C ls frame-client[-_]*)
  [ "$listed" = "$present" ] || fail "SHA256SUMS in $1 lists: $listed"
  echo "SHA256SUMS: the right sum of each package there ($(wc -l <"$1/SHA256SUMS"))"
}

# Prints the listing $1 and fails unless it names every path after it.
expect_listed() {
  local listing=$1 path
  echo "$listing"
  for path in "${@:2}"; do
    grep -q "/$path\$" <<<"$listing" || fail "$path is missing from the package"
  done
}

# lintian on the .deb $1: no error and no warning. lintian warns when run as
# root, so root runs it as nobody, on a copy nobody can read.
lint_deb() {
  local copy as_user=()
  copy=$(mktemp -d -p "$work")
  chmod 755 "$work" "$copy"
  cp "$1" "$copy/"
  chmod 644 "$copy"/*
  [ "$(id -u)" -ne 0 ] ||
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=/nonexistent)
  "${as_user[@]}" lintian -EvIL +pedantic --fail-on error,warning "$copy/${1##*/}" ||
    fail "lintian finds errors or warnings in ${1##*/}"
}

# groff's warnings about each manual page the .deb $1 carries: none.
check_pages() {
  local page warnings
  for page in frame-client frame-sink; do
    warnings=$(dpkg-deb --fsys-tarfile "$1" | tar -xOf - "./usr/share/man/man1/$page.1.gz" |
      gzip -dc | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $page(1): $warnings"
  done
  echo "groff -man -ww -z: no warning for frame-client(1) and frame-sink(1)"
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
  wait_for_sink "$work/sink.err" >/dev/null || fail "frame-sink never listened: $(cat "$work/sink.err")"
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

# The third-party notices $1 name each component given after it, and hold
# every line of each licence text file given there too.
check_notices() {
  local notices=$1 item missing
  for item in "${@:2}"; do
    if [ -f "$item" ]; then
      missing=$(grep -Fvx -f "$notices" "$item" | head -3 || true)
      [ -z "$missing" ] || fail "the notices lack lines of $item: $missing"
    else
      grep -qF "$item" "$notices" || fail "the notices do not name $item"
    fi
  done
  echo "THIRD-PARTY-NOTICES: $(grep -c . "$notices") lines, naming and quoting all it should"
}

# The upstream version of the installed package $1 (no epoch, no revision).
upstream_version() {
  dpkg-query -W -f='${Version}' "$1" | sed -E 's/^[0-9]+://; s/-[^-]*$//'
}

# The static C library of Debian architecture $1, its package and the
# source package named in Built-Using, as the build machine has them.
check_c_library() {
  local deb=$1 arch=$2 package=libc6-dev-$2-cross notices=$work/notices-$2 expected
  [ "$arch" != "$(dpkg --print-architecture)" ] || package=libc6-dev:$arch
  expected=$(dpkg-query -W -f='${source:Package} (= ${source:Version})' "$package")
  dpkg-deb --field "$deb" Built-Using | grep -qF "$expected" ||
    fail "Built-Using does not name $expected"
  dpkg-deb --fsys-tarfile "$deb" |
    tar -xOf - ./usr/share/doc/frame-client/THIRD-PARTY-NOTICES >"$notices"
  check_notices "$notices" "GNU C Library $(upstream_version "$package")" \
    "$(dpkg-query -W -f='${Package} ${Version}' "$package")" "GCC runtime libraries" \
    "GCC RUNTIME LIBRARY EXCEPTION" "frame-client-$version.tar.gz" \
    /usr/share/common-licenses/LGPL-2.1 /usr/share/common-licenses/GPL-3
}

# Checks the packages of the Linux build $1.
check_linux_packages() {
  local preset=$1 deb archive emulator unpacked
  local arch target
  arch=$(architecture_of "$preset")
  target=$(archive_name_of "$preset")
  deb=$(package_in "build/$preset/packages" "_$arch.deb")
  archive=$(package_in "build/$preset/packages" "-linux-$target.tar.gz")
  # The emulator the build's tests ran under; none for this machine.
  emulator=$(sed -n 's/^FC_QEMU:FILEPATH=//p' "build/$preset/CMakeCache.txt")
  check_sums "build/$preset/packages"

  echo "--- $preset: ${deb##*/}"
  dpkg-deb --field "$deb" Package Version Architecture Section Maintainer Depends Built-Using
  [ "$(dpkg-deb --field "$deb" Architecture)" = "$arch" ] || fail "the package is not for $arch"
  [ -z "$(dpkg-deb --field "$deb" Depends)" ] || fail "the package has dependencies; static programs need none"
  expect_listed "$(dpkg-deb -c "$deb" | awk '{ print $NF }')" usr/bin/frame-client \
    usr/bin/frame-sink usr/share/doc/frame-client/copyright usr/share/doc/frame-client/changelog.gz \
    usr/share/man/man1/frame-client.1.gz usr/share/man/man1/frame-sink.1.gz \
    usr/share/lintian/overrides/frame-client usr/share/doc/frame-client/THIRD-PARTY-NOTICES
  lint_deb "$deb"
  check_pages "$deb"
  check_c_library "$deb" "$arch"
  echo "--- $preset: ${archive##*/}"
  expect_listed "$(tar -tzf "$archive")" bin/frame-client bin/frame-sink \
    share/doc/frame-client/LICENSE share/doc/frame-client/THIRD-PARTY-NOTICES \
    share/man/man1/frame-client.1.gz share/man/man1/frame-sink.1.gz
  tar -xOzf "$archive" --wildcards '*/share/doc/frame-client/THIRD-PARTY-NOTICES' |
    cmp -s - "$work/notices-$arch" || fail "the archive's notices are not the .deb's"
  if [ "$preset" != "${linux_presets[0]}" ]; then
    local first=${linux_presets[0]}
    diff <(contents "build/$first/packages/"*.deb) <(contents "$deb") ||
      fail "the .deb for $arch holds other files than the one for $(architecture_of "$first")"
    diff <(contents "$(package_in "build/$first/packages" "-linux-$(archive_name_of "$first").tar.gz")") \
      <(contents "$archive") ||
      fail "the archive for $target holds other files than the one for $(archive_name_of "$first")"
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
  man frame-client 2>&1 | grep '^NAME' >/dev/null || fail "man frame-client shows no page"
  echo "man frame-client: $(man -w frame-client)"
  $sudo dpkg -r frame-client >/dev/null
  installed=""
}

echo "--- packages"
all_presets=("${linux_presets[@]}" windows)
for preset in "${all_presets[@]}"; do
  rm -rf "build/$preset/packages"
done
make_packages .
checksums . "${all_presets[@]}" | tee "$work/here"
version=$(dpkg-deb --field "$(package_in build/release/packages _amd64.deb)" Version)

for preset in "${linux_presets[@]}"; do
  check_linux_packages "$preset"
done

echo "--- the Windows .zip"
check_sums build/windows/packages
zip=$(realpath "$(package_in build/windows/packages .zip)")
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
expect_listed "$(cd "$work/zip" && find . -type f)" frame-client.exe frame-sink.exe README.md \
  LICENSE THIRD-PARTY-NOTICES
check_notices "$work"/zip/*/THIRD-PARTY-NOTICES "mingw-w64 runtime" winpthreads \
  "GCC runtime libraries" "GCC RUNTIME LIBRARY EXCEPTION" /usr/share/common-licenses/GPL-3

echo "--- the source archive"
source_archive=frame-client-$version.tar.gz
# The same file beside every build's packages, holding the tracked files.
sums=$(for preset in "${all_presets[@]}"; do
  package_in "build/$preset/packages" "$source_archive" >/dev/null
  grep " $source_archive\$" "build/$preset/packages/SHA256SUMS"
done | sort -u)
[ "$(wc -l <<<"$sums")" -eq 1 ] || fail "the source archives differ between builds: $sums"
diff <(tar -tzf "build/release/packages/$source_archive" | sed "s|^frame-client-$version/||") \
  <(git ls-files | LC_ALL=C sort) || fail "$source_archive holds other files than git tracks"
echo "$source_archive: the same in ${#all_presets[@]} folders, the $(git ls-files | wc -l) tracked files"

echo "--- the same packages from a copy in another folder"
mkdir "$work/elsewhere"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$work/elsewhere"
# Only the programs go into the packages: the tests need not be built again.
cmake_options=(-DFC_BUILD_TESTS=OFF)
make_packages "$work/elsewhere"
checksums "$work/elsewhere" "${all_presets[@]}" >"$work/there"
diff "$work/here" "$work/there" || fail "the packages differ between the two folders"
echo "identical: $(wc -l <"$work/here") packages"

echo "--- the x86-64 packages from the unpacked source archive"
tar -xzf "build/release/packages/$source_archive" -C "$work"
make_packages "$work/frame-client-$version" release
diff <(checksums . release) <(checksums "$work/frame-client-$version" release) ||
  fail "the source archive does not build the same packages"
echo "identical: the x86-64 packages built from $source_archive"
