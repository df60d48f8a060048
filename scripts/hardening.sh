#!/usr/bin/env bash
# Measures what a misbehaving launcher costs the game: halyx_hardening against the bench peer,
# each figure RUNS times (default 3), natively (linux-bench preset), then the 64-bit Windows
# build under wine64 (win64-bench preset). Prints one line per run. The figures are noisy on a
# shared machine: compare ranges, not single runs.
#
#   scripts/hardening.sh [--native-only] [--library DIR]
#
# --library DIR measures another build of the library with the same program: DIR holds its
# libvelhalyxapi_r2.so (native run) or its velhalyxapi_r2.dll (Windows run). The library's log
# lines in the garbage stream are counted from its debugger output (standard error natively;
# under Wine, the debugstr channel).
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${RUNS:-3}"
windows=1
library=""
while [ $# -gt 0 ]; do
  case "$1" in
    --native-only) windows=0 ;;
    --library) library="$(cd "$2" && pwd)"; shift ;;
    *) echo "usage: $0 [--native-only] [--library DIR]" >&2; exit 2 ;;
  esac
  shift
done
# The calls measured: the launcher reading or not, a 1 MiB Write, the largest a message holds
# (64 MiB - 64 bytes) and 64 MiB.
call_cases=()
for behaviour in serve stall; do
  for bytes in 1048576 67108800 67108864; do call_cases+=("calls $behaviour $bytes"); done
done

# measure <runner...>: every figure, RUNS times, through the runner.
measure() {
  local log
  log=$(mktemp)
  for _ in $(seq "$runs"); do
    "$@" garbage >"$log" 2>&1 || true
    echo "$(grep '^garbage:' "$log" | tr -d '\r'), $(grep -cv '^garbage:' "$log") log lines"
  done
  for _ in $(seq "$runs"); do "$@" large-list 2>/dev/null | grep '^large-list:' | tr -d '\r'; done
  for case in "${call_cases[@]}"; do
    # shellcheck disable=SC2086
    for _ in $(seq "$runs"); do "$@" $case 2>/dev/null | grep '^calls:' | tr -d '\r'; done
  done
  rm -f "$log"
}

echo "== linux-bench"
cmake --preset linux-bench >/dev/null
cmake --build --preset linux-bench --target halyx_hardening
if [ -n "$library" ]; then
  measure env LD_LIBRARY_PATH="$library" build/linux-bench/bin/halyx_hardening
else
  measure build/linux-bench/bin/halyx_hardening
fi

if [ "$windows" -eq 1 ]; then
  echo "== win64-bench (under wine64)"
  cmake --preset win64-bench >/dev/null
  cmake --build --preset win64-bench --target halyx_hardening
  bin="$PWD/build/win64-bench/bin"
  if [ -n "$library" ]; then
    # Windows loads the DLL beside the program first: a folder of its own for that build.
    bin="$PWD/build/win64-bench/hardening-other-library"
    mkdir -p "$bin"
    cp build/win64-bench/bin/halyx_hardening.exe build/win64-bench/bin/halyx_benchpeer.exe "$bin"
    cp "$library/velhalyxapi_r2.dll" "$bin"
  fi
  WINEDEBUG=+debugstr measure cmake/wine-run.sh "$PWD/build/win64-bench/wineprefix" \
    "$bin/halyx_hardening.exe"
fi
