#!/usr/bin/env bash
# Runs a Windows program under wine64 for CTest: wine-run.sh <prefix> <program> [args...].
# Strips Wine's CR line ends so test names and output stay clean; keeps the exit status.
set -o pipefail
prefix=$1
shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
if [ ! -d "$prefix" ]; then
  mkdir -p "$prefix"
  "$wine" wineboot --init >/dev/null 2>&1
fi
"$wine" "$@" 2>&1 | tr -d '\r'
