#!/usr/bin/env bash
# Builds every preset that has tests and runs all of them (native, AddressSanitizer +
# UndefinedBehaviorSanitizer, ThreadSanitizer, and the 64-bit Windows build under wine64; the C
# program of the C interface and the MSVC-ABI game that uses the C++ classes among them), runs
# the C# sample and the Python tests of the bindings against the Linux library, builds the
# product DLL and checks its export and import tables, checks the installed packages, runs the benchmarks once in their smoke mode (no figure is judged), and runs every
# fuzz target for a short smoke time. Both Windows builds also derive the MSVC-decorated exports,
# check the DLL's code against MSVC's calling convention, and link the MSVC-ABI game and check
# its imports (build steps).
#
# Given preset names (scripts/test.sh linux win64), it does only those: builds each and runs
# its tests, or for win32 builds the DLL and checks its tables; "bindings" runs the bindings'
# tests against an existing linux build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

summary=()
# Builds one preset and runs its tests, adding a line to the summary.
build_and_test() {
  local preset=$1
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset: test"
  local log
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  summary+=("$preset: $(grep -E 'tests passed' "$log" | tail -n 1)")
  rm -f "$log"
}

# Builds the product DLL and checks its export and import tables.
build_product() {
  echo "== win32: build the product DLL (with the MSVC-ABI checks of the build)"
  cmake --preset win32 >/dev/null
  cmake --build --preset win32
  scripts/check-exports.sh build/win32/bin/velhalyxapi_r2.dll
}

# Runs the C# sample and the Python tests of the bindings against the linux build's library.
run_bindings() {
  echo "== bindings: C# sample and Python tests against the Linux library"
  bindings/csharp/run-sample.sh build/linux/bin
  HALYX_BIN_DIR=build/linux/bin pytest-3 -q -p no:cacheprovider bindings/python
  summary+=("bindings: C# sample and Python tests passed")
}

if [ $# -gt 0 ]; then
  for preset in "$@"; do
    case "$preset" in
      win32) build_product ;;
      linux | linux-asan | linux-tsan | win64) build_and_test "$preset" ;;
      bindings) run_bindings ;;
      *) echo "test.sh: no tests to run for preset '$preset'" >&2; exit 2 ;;
    esac
  done
  if [ ${#summary[@]} -gt 0 ]; then
    echo "== summary"
    printf '%s\n' "${summary[@]}"
  fi
  exit 0
fi

for preset in linux linux-asan linux-tsan win64; do
  build_and_test "$preset"
done

echo "== win64: the MSVC-ABI game's run against the development launcher"
cat build/win64/tests/integration/msvc_class_game-transcript.txt
run_bindings
build_product
# The build's checks, again in this log (they are build steps, so a rebuild skips them).
python3 scripts/msvc-abi.py self-test --cxx i686-w64-mingw32-g++-posix
python3 scripts/msvc-abi.py check-convention build/win32/bin/velhalyxapi_r2.dll
python3 scripts/msvc-abi.py check-imports build/win32/bin/msvc_class_game.exe \
  build/win32/bin/velhalyxapi_r2.dll
python3 scripts/msvc-abi.py check-convention build/win64/bin/velhalyxapi_r2.dll
scripts/check-exports.sh build/win64/bin/velhalyxapi_r2.dll | grep -v '^  '
scripts/check-exports.sh build/linux/bin/libvelhalyxapi_r2.so

echo "== packages"
scripts/check-package.sh

echo "== bench smoke"
scripts/bench.sh --smoke

echo "== fuzz smoke"
log=$(mktemp)
FUZZ_SECONDS=10 scripts/fuzz-smoke.sh 2>&1 | tee "$log"
summary+=("linux-fuzz: $(grep -E 'tests passed' "$log" | tail -n 1)")
rm -f "$log"

echo "== summary"
printf '%s\n' "${summary[@]}"
