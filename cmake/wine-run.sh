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
# CTest starts several programs at once: the first one creates the prefix while the others wait
# on the lock, since a program started on a half-made prefix fails.
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.initialized" ]; then
    mkdir -p "$prefix"
    "$wine" wineboot --init >/dev/null 2>&1
    touch "$prefix/.initialized"
  fi
) 9>"$prefix.lock"
"$wine" "$@" 2>&1 | tr -d '\r'
