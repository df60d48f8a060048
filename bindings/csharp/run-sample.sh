#!/usr/bin/env bash
# Builds the C# sample with Mono and runs it natively against a development launcher started
# here, in private directories.
# usage: run-sample.sh [BIN_DIR]   (the build's program directory; default build/linux/bin)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(realpath "${1:-$here/../../build/linux/bin}")
work=$(mktemp -d)
launcher_pid=""
cleanup() {
  [ -z "$launcher_pid" ] || { kill "$launcher_pid" 2>/dev/null; wait "$launcher_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

mcs -nologo -warnaserror -out:"$work/sample.exe" "$here/Velhalyxapi.cs" "$here/Sample.cs"

export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
printf 'username = Jürgen\npassword = pässwort\ncdkey = KEY-0042\nproducts = 7\n' >"$work/launcher.conf"
"$bin/halyx_devlauncher" --data-dir "$work/data" --config "$work/launcher.conf" >"$work/launcher.log" 2>&1 &
launcher_pid=$!
for _ in $(seq 1 200); do
  grep -q 'serving ' "$work/launcher.log" && break
  sleep 0.05
done
LD_LIBRARY_PATH="$bin" mono "$work/sample.exe" 7 "Jürgen"
