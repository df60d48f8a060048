#!/usr/bin/env bash
# Checks what `cmake --install` lays out, as a game developer receives it:
#  - the win32, win64 and Linux builds installed into temporary prefixes have the expected files;
#  - the installed libraries pass the export check, carry no debug information themselves and
#    name their separate debug file; the DLLs carry a version resource with the project version;
#  - the MSVC import libraries carry the plain names and the MSVC-decorated class members, and
#    link an MSVC-ABI program (clang for *-pc-windows-msvc, lld-link, /safeseh on i386) that
#    imports the plain names from velhalyxapi_r2.dll (the build links one that uses the classes:
#    tests/msvc);
#  - a C89 program builds against the installed C header (mingw, and pkg-config natively) and
#    runs (Linux, and 64-bit Windows under wine64);
#  - a game project of its own finds the library with find_package(velhalyxapi_r2) and builds
#    against each install (mingw for Windows), and against pkg-config natively; the programs
#    built for Linux and for 64-bit Windows (under wine64) run their checks.
# The install prefixes are moved after installing, so the package files must be relocatable.
#
# usage: check-package.sh [WIN32_BUILD [LINUX_BUILD [WIN64_BUILD]]]
#        (defaults build/win32 build/linux build/win64, configured from the presets)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
win32_build=$(realpath "${1:-build/win32}")
linux_build=$(realpath "${2:-build/linux}")
win64_build=$(realpath "${3:-build/win64}")

tool() {
  local name
  for name in "$@"; do
    if command -v "$name" >/dev/null; then
      command -v "$name"
      return 0
    fi
  done
  echo "check-package: none of $* found (run scripts/setup.sh)" >&2
  return 1
}
clang=$(tool clang++ clang++-14)
lld_link=$(tool lld-link lld-link-14)
llvm_readobj=$(tool llvm-readobj llvm-readobj-14)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "  FAILED: $*"
  failures=$((failures + 1))
}
# Runs a command quietly; shows its output only when it fails.
quiet() {
  local log="$work/last.log"
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    return 1
  fi
}

version=$(sed -n 's/^project(velhalyxapi_r2 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
headers=$(cd include && find . -name '*.h' | sed 's|^\./||' | sort)
plain_exports=$(grep -E '^[A-Za-z_][A-Za-z0-9_]*$' scripts/expected-exports.txt)

# install_build <build> <name>: builds, installs into a prefix, then moves the prefix to
# $work/<name>.
install_build() {
  local build=$1 name=$2
  quiet cmake --build "$build"
  quiet cmake --install "$build" --prefix "$work/installed-$name"
  mv "$work/installed-$name" "$work/$name"
}

expect_files() {
  local prefix=$1 file
  shift
  for file in "$@"; do
    [ -f "$prefix/$file" ] || fail "missing $file"
  done
}

common_files() {
  local prefix=$1 header
  for header in $headers; do
    expect_files "$prefix" "include/$header"
  done
  expect_files "$prefix" lib/cmake/velhalyxapi_r2/velhalyxapi_r2Config.cmake \
    lib/cmake/velhalyxapi_r2/velhalyxapi_r2ConfigVersion.cmake \
    share/doc/velhalyxapi_r2/integration-guide.md
  grep -q "PACKAGE_VERSION \"$version\"" \
    "$prefix/lib/cmake/velhalyxapi_r2/velhalyxapi_r2ConfigVersion.cmake" ||
    fail "package version is not $version"
}

# check_windows <prefix> <build> <triplet>
check_windows() {
  local prefix=$1 build=$2 triplet=$3
  # i386 decorates C names with a leading underscore; x86-64 does not.
  local machine=x64 dlltool_machine=i386:x86-64 target=x86_64-pc-windows-msvc import=""
  local arch=x86_64
  if [ "$triplet" = i686-w64-mingw32 ]; then
    machine=x86 dlltool_machine=i386 target=i686-pc-windows-msvc import=_ arch=i686
  fi
  local dll="$prefix/bin/velhalyxapi_r2.dll" name sections
  expect_files "$prefix" bin/velhalyxapi_r2.dll bin/velhalyxapi_r2.dll.debug \
    bin/halyx_devlauncher.exe lib/libvelhalyxapi_r2.dll.a lib/velhalyxapi_r2.lib \
    lib/velhalyxapi_r2.def
  if [ -f "$build/bin/halyx_client.exe" ]; then expect_files "$prefix" bin/halyx_client.exe; fi
  common_files "$prefix"
  quiet scripts/check-exports.sh "$dll" || fail "export check of the installed DLL"

  sections=$("$triplet-objdump" -h "$dll")
  if grep -q ' \.debug_' <<<"$sections"; then fail "the installed DLL has debug sections"; fi
  grep -q ' \.gnu_debuglink ' <<<"$sections" || fail "the installed DLL has no debug link"
  "$triplet-objdump" -s -j .gnu_debuglink "$dll" | grep -q 'velhalyxapi_r2.d' ||
    fail "the debug link does not name velhalyxapi_r2.dll.debug"
  "$triplet-objdump" -h "$prefix/bin/velhalyxapi_r2.dll.debug" | grep -q ' \.debug_info ' ||
    fail "velhalyxapi_r2.dll.debug holds no debug information"

  # Version resource: a resource of type 16 (RT_VERSION) holding the project's version.
  "$triplet-objdump" -p "$dll" | sed -n '/Resource Directory section/,/Resources start/p' |
    grep -q 'Entry: ID: 0x000010,' || fail "no version resource"
  local texts
  texts=$(strings -el "$dll")
  grep -qx VS_VERSION_INFO <<<"$texts" || fail "no VS_VERSION_INFO"
  grep -A1 -x ProductName <<<"$texts" | grep -qx velhalyxapi_r2 || fail "product name"
  grep -A1 -x FileVersion <<<"$texts" | grep -qx "$version" || fail "file version is not $version"

  # The MSVC import library: short import members that name the DLL, the plain names and the
  # MSVC-decorated class members (derived from the installed header; no underscore before a
  # decorated name on i386). The installed .def lists them too.
  local members decorated
  members=$("$llvm_readobj" "$prefix/lib/velhalyxapi_r2.lib")
  for name in $plain_exports; do
    grep -qx "Symbol: __imp_$import$name" <<<"$members" || fail "velhalyxapi_r2.lib lacks $name"
  done
  decorated=$(python3 scripts/msvc-abi.py derive --arch "$arch" --include "$prefix/include" \
    --exports scripts/expected-exports.txt) || fail "the decorated names cannot be derived"
  [ "$(grep -c . <<<"$decorated")" -gt 0 ] || fail "no decorated names derived"
  while read -r name; do
    grep -qxF "Symbol: __imp_$name" <<<"$members" || fail "velhalyxapi_r2.lib lacks $name"
    grep -qF "\"$name\"" "$prefix/lib/velhalyxapi_r2.def" || fail "velhalyxapi_r2.def lacks $name"
  done <<<"$decorated"
  if grep '^File: ' <<<"$members" | grep -v -q -E '(: |\()velhalyxapi_r2\.dll\)?$'; then
    fail "velhalyxapi_r2.lib has members for another DLL"
  fi

  # An MSVC-ABI program without a C runtime, linked against it with lld-link.
  local msvc="$work/msvc-$triplet"
  mkdir -p "$msvc"
  local exit_process=ExitProcess
  [ "$machine" = x86 ] && exit_process=ExitProcess@4  # stdcall
  printf 'LIBRARY kernel32.dll\nEXPORTS\n%s\n' "$exit_process" >"$msvc/kernel32.def"
  quiet "$(tool llvm-dlltool llvm-dlltool-14)" -m "$dlltool_machine" -k -d "$msvc/kernel32.def" \
    -l "$msvc/kernel32.lib"
  for name in PackageConsumer MsvcEntry; do
    quiet "$clang" --target="$target" -std=c++17 -O1 -fno-exceptions -fno-rtti -Wall -Wextra \
      -Werror -I"$prefix/include" -c "tests/package/$name.cpp" -o "$msvc/$name.obj"
  done
  local safeseh=""
  [ "$machine" = x86 ] && safeseh=/safeseh
  quiet "$lld_link" /nologo /machine:"$machine" $safeseh /subsystem:console \
    /entry:PackageConsumerEntry /nodefaultlib /out:"$msvc/consumer.exe" \
    "$msvc/PackageConsumer.obj" "$msvc/MsvcEntry.obj" "$prefix/lib/velhalyxapi_r2.lib" \
    "$msvc/kernel32.lib" || fail "MSVC-ABI link against velhalyxapi_r2.lib"
  if [ -f "$msvc/consumer.exe" ]; then
    "$triplet-objdump" -p "$msvc/consumer.exe" |
      sed -n '/DLL Name: velhalyxapi_r2.dll/,/^$/p' | grep -q ' KxHalyxdllGetSession$' ||
      fail "the MSVC-ABI program does not import KxHalyxdllGetSession from velhalyxapi_r2.dll"
  fi

  # A C game, cross-built with mingw against the GNU import library.
  c_consumer "$triplet-gcc-posix" "$work/c-consumer-$triplet.exe" -I"$prefix/include" -static \
    "$prefix/lib/libvelhalyxapi_r2.dll.a" || fail "C consumer against the $triplet install"

  # A game's own CMake project, cross-built with mingw.
  quiet cmake -S tests/package/consumer -B "$work/consumer-$triplet" -G Ninja \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_CXX_COMPILER="$triplet-g++-posix" \
    -DCMAKE_EXE_LINKER_FLAGS=-static -DCMAKE_PREFIX_PATH="$prefix" &&
    quiet cmake --build "$work/consumer-$triplet" ||
    fail "find_package consumer against the $triplet install"
}

# c_consumer <compiler> <output> <flags...>: the C89 consumer of the installed C header.
c_consumer() {
  local compiler=$1 output=$2
  shift 2
  quiet "$compiler" -std=c89 -pedantic -Wall -Wextra -Werror tests/package/CConsumer.c -o "$output" "$@"
}

run_under_wine() {
  local program=$1
  quiet cmake/wine-run.sh "$win64_build/wineprefix" "$program" || fail "$program under wine64"
}

echo "== package: win32 ($win32_build)"
install_build "$win32_build" win32
check_windows "$work/win32" "$win32_build" i686-w64-mingw32

echo "== package: win64 ($win64_build)"
install_build "$win64_build" win64
prefix="$work/win64"
check_windows "$prefix" "$win64_build" x86_64-w64-mingw32
# Both 64-bit programs run, with the DLL beside them, in the win64 build's Wine prefix (no
# launcher serves the pipe there outside the tests).
cp "$prefix/bin/velhalyxapi_r2.dll" "$work/msvc-x86_64-w64-mingw32/"
run_under_wine "$work/msvc-x86_64-w64-mingw32/consumer.exe"
run_under_wine "$work/consumer-x86_64-w64-mingw32/package_consumer.exe"
cp "$prefix/bin/velhalyxapi_r2.dll" "$work/"
run_under_wine "$work/c-consumer-x86_64-w64-mingw32.exe"
# A Linux project must not take the Windows package.
if cmake -S tests/package/consumer -B "$work/consumer-refused" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/refused.log" 2>&1 ||
  ! grep -q 'package is for Windows' "$work/refused.log"; then
  fail "a Linux project did not refuse the Windows package"
fi

echo "== package: linux ($linux_build)"
install_build "$linux_build" linux
prefix="$work/linux"
library="$prefix/lib/libvelhalyxapi_r2.so"
expect_files "$prefix" lib/libvelhalyxapi_r2.so lib/libvelhalyxapi_r2.so.debug \
  lib/pkgconfig/velhalyxapi_r2.pc bin/halyx_devlauncher
if [ -f "$linux_build/bin/halyx_client" ]; then expect_files "$prefix" bin/halyx_client; fi
common_files "$prefix"
quiet scripts/check-exports.sh "$library" || fail "export check of the installed library"
sections=$(readelf -S -W "$library")
if grep -q ' \.debug_' <<<"$sections"; then fail "the installed library has debug sections"; fi
readelf -p .gnu_debuglink "$library" | grep -q 'libvelhalyxapi_r2.so.debug' ||
  fail "the debug link does not name libvelhalyxapi_r2.so.debug"
readelf -d "$library" | grep -q 'SONAME.*\[libvelhalyxapi_r2.so\]' || fail "soname"
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
[ "$(pkg-config --modversion velhalyxapi_r2)" = "$version" ] || fail "pkg-config version"

# The programs run without a launcher: private socket and configuration directories.
mkdir -m 0700 "$work/run" "$work/config"
run_native() {
  quiet env XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" "$1" || fail "$1"
}
quiet cmake -S tests/package/consumer -B "$work/consumer-linux" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" && quiet cmake --build "$work/consumer-linux" &&
  run_native "$work/consumer-linux/package_consumer" ||
  fail "find_package consumer against the Linux install"
# shellcheck disable=SC2046  # pkg-config's output is a list of words
quiet g++ -std=c++11 -Wall -Wextra -Werror tests/package/consumer/main.cpp \
  tests/package/PackageConsumer.cpp $(pkg-config --cflags --libs velhalyxapi_r2) \
  -Wl,-rpath,"$prefix/lib" -o "$work/pkg-config-consumer" &&
  run_native "$work/pkg-config-consumer" || fail "pkg-config consumer"
# shellcheck disable=SC2046
c_consumer gcc "$work/c-consumer" $(pkg-config --cflags --libs velhalyxapi_r2) \
  -Wl,-rpath,"$prefix/lib" && run_native "$work/c-consumer" || fail "C consumer (pkg-config)"

if [ $failures -eq 0 ]; then
  echo "package check: ok"
else
  echo "package check: FAILED ($failures)"
  exit 1
fi
