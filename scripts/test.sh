#!/usr/bin/env bash
# Builds every preset that has tests and runs all of them (native, AddressSanitizer +
# UndefinedBehaviorSanitizer, ThreadSanitizer, and the 64-bit Windows build under wine64, where
# the MSVC-ABI game runs against the development launcher), builds the product DLL and checks
# its export and import tables, checks the installed packages, runs the benchmarks once in
# their smoke mode (no figure is judged), and runs every fuzz target for a short smoke time.
# Both Windows builds also derive the MSVC-decorated exports, check the DLL's code against
# MSVC's calling convention, and link the MSVC-ABI game and check its imports (build steps).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

summary=()
for preset in linux linux-asan linux-tsan win64; do
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== $preset: test"
  log=$(mktemp)
  ctest --preset "$preset" 2>&1 | tee "$log"
  summary+=("$preset: $(grep -E 'tests passed' "$log" | tail -n 1)")
  rm -f "$log"
done

echo "== win64: the MSVC-ABI game's run against the development launcher"
cat build/win64/tests/integration/msvc_class_game-transcript.txt

echo "== win32: build the product DLL (with the MSVC-ABI checks of the build)"
cmake --preset win32 >/dev/null
cmake --build --preset win32
# The build's checks, again in this log (they are build steps, so a rebuild skips them).
python3 scripts/msvc-abi.py self-test --cxx i686-w64-mingw32-g++-posix
python3 scripts/msvc-abi.py check-convention build/win32/bin/velhalyxapi_r2.dll
python3 scripts/msvc-abi.py check-imports build/win32/bin/msvc_class_game.exe \
  build/win32/bin/velhalyxapi_r2.dll
python3 scripts/msvc-abi.py check-convention build/win64/bin/velhalyxapi_r2.dll
scripts/check-exports.sh build/win32/bin/velhalyxapi_r2.dll
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
