#!/usr/bin/env bash
# Builds and runs the benchmarks: natively (linux-bench preset), then the 64-bit Windows build
# under wine64 for reference (win64-bench preset). Each run prints its table and writes its
# figures as JSON to build/<preset>/bench.json.
#
#   scripts/bench.sh                 full runs (several minutes each; the machine should be idle)
#   scripts/bench.sh --smoke         tiny sizes, few iterations, no timing target judged
#   scripts/bench.sh --native-only   skip the Windows run (combines with --smoke)
#
# Fails when a benchmark fails (a transfer broke off, data arrived wrong), never because of
# a figure.
set -euo pipefail
cd "$(dirname "$0")/.."

smoke=()
windows=1
for argument in "$@"; do
  case "$argument" in
    --smoke) smoke=(--smoke) ;;
    --native-only) windows=0 ;;
    *) echo "usage: $0 [--smoke] [--native-only]" >&2; exit 2 ;;
  esac
done
# Full runs interleave the repetitions of all benchmarks, so that a baseline and its figure
# share whatever else the machine is doing.
interleave=()
[ "${#smoke[@]}" -eq 0 ] && interleave=(--benchmark_enable_random_interleaving=true)

scripts/setup.sh

echo "== linux-bench"
cmake --preset linux-bench >/dev/null
cmake --build --preset linux-bench --target halyx_bench
build/linux-bench/bin/halyx_bench "${smoke[@]}" "${interleave[@]}" \
  --json=build/linux-bench/bench.json

if [ "$windows" -eq 1 ]; then
  echo "== win64-bench (under wine64)"
  cmake --preset win64-bench >/dev/null
  cmake --build --preset win64-bench --target halyx_bench
  (cd build/win64-bench &&
    ../../cmake/wine-run.sh "$PWD/wineprefix" bin/halyx_bench.exe "${smoke[@]}" \
      "${interleave[@]}" --json=bench.json)
fi
