#!/usr/bin/env bash
# Builds every preset that has tests and runs all of them (native, AddressSanitizer +
# UndefinedBehaviorSanitizer, ThreadSanitizer, and the 64-bit Windows build under wine64),
# builds the product DLL and checks its export and import tables, checks the installed
# packages, runs the benchmarks once in their smoke mode (no figure is judged), and runs every
# fuzz target for a short smoke time.
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

echo "== win32: build the product DLL"
cmake --preset win32 >/dev/null
cmake --build --preset win32
scripts/check-exports.sh build/win32/bin/velhalyxapi_r2.dll
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
