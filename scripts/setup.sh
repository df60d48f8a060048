#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test every preset, and builds
# libprotobuf for both mingw triplets into a cache outside the repository. Idempotent: a second
# run installs nothing and rebuilds nothing.
set -euo pipefail

PROTOBUF_VERSION=3.21.12
CACHE_ROOT="${VELHALYX_CACHE:-$HOME/.cache/velhalyx}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

packages=(
  build-essential cmake ninja-build ccache clang libclang-rt-14-dev dpkg-dev
  protobuf-compiler libprotobuf-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
  binutils-mingw-w64-x86-64 wine64 llvm lld python3
  # The C# and Python bindings and their tests.
  mono-mcs mono-runtime python3-pytest
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    >"${TMPDIR:-/tmp}/velhalyx-apt.log" 2>&1 ||
    { cat "${TMPDIR:-/tmp}/velhalyx-apt.log"; exit 1; }
fi

# Lets apt-get source fetch Debian's source packages.
enable_source_packages() {
  if ! grep -rqs 'deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "setup: enabling Debian source packages"
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' \
      'Suites: bookworm bookworm-updates' 'Components: main' \
      'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' '' \
      'Types: deb-src' 'URIs: http://deb.debian.org/debian-security' \
      'Suites: bookworm-security' 'Components: main' \
      'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      $SUDO tee /etc/apt/sources.list.d/velhalyx-src.sources >/dev/null
    $SUDO apt-get update -qq
  fi
}

# Unpacks the upstream sources of Debian's source package $1 at version $2 into the cache once.
fetch_source_package() {
  local package=$1 version=$2
  local src="$CACHE_ROOT/src/$package-$version"
  [ -f "$src/CMakeLists.txt" ] && return 0
  enable_source_packages
  mkdir -p "$CACHE_ROOT/src"
  (cd "$CACHE_ROOT/src" && apt-get source -qq --download-only "$package" >/dev/null 2>&1)
  (cd "$CACHE_ROOT/src" && rm -rf "$package-$version" && tar xf "${package}_$version".orig.tar.*)
}

# Builds the CMake project in $2 for mingw triplet $3 and installs it into $1, once (a finished
# install is marked complete). Further arguments go to the configure step.
cross_build() {
  local prefix=$1 src=$2 triplet=$3
  shift 3
  [ -f "$prefix/.complete" ] && return 0
  local build="$CACHE_ROOT/build/$(basename "$prefix")"
  rm -rf "$build"
  # Each project leaves some of the common settings unused (--no-warn-unused-cli).
  cmake -S "$src" -B "$build" -G Ninja --no-warn-unused-cli \
    -DCMAKE_SYSTEM_NAME=Windows \
    -DCMAKE_C_COMPILER="$triplet-gcc-posix" -DCMAKE_CXX_COMPILER="$triplet-g++-posix" \
    -DCMAKE_RC_COMPILER="$triplet-windres" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >/dev/null
  cmake --build "$build" >/dev/null
  cmake --install "$build" >/dev/null
  rm -rf "$build"
  touch "$prefix/.complete"
}

# libprotobuf for one mingw triplet, static, library only.
build_protobuf() {
  local triplet=$1
  local prefix="$CACHE_ROOT/protobuf-$PROTOBUF_VERSION-$triplet"
  [ -f "$prefix/.complete" ] && return 0
  fetch_source_package protobuf "$PROTOBUF_VERSION"
  echo "setup: building libprotobuf $PROTOBUF_VERSION for $triplet"
  cross_build "$prefix" "$CACHE_ROOT/src/protobuf-$PROTOBUF_VERSION" "$triplet" \
    -DCMAKE_POSITION_INDEPENDENT_CODE=OFF \
    -Dprotobuf_BUILD_PROTOC_BINARIES=OFF -Dprotobuf_BUILD_TESTS=OFF \
    -Dprotobuf_WITH_ZLIB=OFF -Dprotobuf_BUILD_SHARED_LIBS=OFF \
    -Dprotobuf_BUILD_LIBPROTOC=OFF -Dprotobuf_INSTALL=ON
}

# GoogleTest for one mingw triplet, from the sources Debian installs.
build_gtest() {
  local triplet=$1
  local prefix="$CACHE_ROOT/googletest-$triplet"
  [ -f "$prefix/.complete" ] && return 0
  echo "setup: building GoogleTest for $triplet"
  cross_build "$prefix" /usr/src/googletest "$triplet" \
    -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON
}

# Google Benchmark for one mingw triplet, from Debian's source package (the same version as
# libbenchmark-dev), for the Windows reference runs of the benchmarks.
BENCHMARK_VERSION=1.7.1
build_benchmark() {
  local triplet=$1
  local prefix="$CACHE_ROOT/benchmark-$BENCHMARK_VERSION-$triplet"
  [ -f "$prefix/.complete" ] && return 0
  fetch_source_package benchmark "$BENCHMARK_VERSION"
  echo "setup: building Google Benchmark $BENCHMARK_VERSION for $triplet"
  cross_build "$prefix" "$CACHE_ROOT/src/benchmark-$BENCHMARK_VERSION" "$triplet" \
    -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_GTEST_TESTS=OFF \
    -DBENCHMARK_ENABLE_WERROR=OFF -DBUILD_SHARED_LIBS=OFF
}

for triplet in x86_64-w64-mingw32 i686-w64-mingw32; do
  build_protobuf "$triplet"
done
build_gtest x86_64-w64-mingw32
build_benchmark x86_64-w64-mingw32
echo "setup: ready (cache in $CACHE_ROOT)"
