#!/usr/bin/env bash
# The main job: builds the product (the 32-bit Windows DLL velhalyxapi_r2.dll, and the library
# with the development launcher and the sample game natively and for 64-bit Windows), then
# plays a scripted session of the sample game against the development launcher on a fresh data
# directory, natively and under wine64, and prints the transcript.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh
for preset in win32 linux-release win64; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target velhalyxapi_r2 halyx_devlauncher halyx_client
done

work=$(mktemp -d)
launcher_pid=""
wineserver=$(command -v wineserver64 || echo /usr/lib/wine/wineserver64)
cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null && wait "$launcher_pid" 2>/dev/null
  [ -z "${WINEPREFIX:-}" ] || "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

printf 'username = Jürgen Ødegård\npassword = pässwörd-密码\ncdkey = ABCD-1234-EFGH-5678\nproducts = 1 2\n' \
  >"$work/launcher.conf"
head -c 3000000 /dev/urandom >"$work/savegame.bin"

# session <label> <launcher command...> -- <client command...>
# Starts the launcher on a fresh data directory, plays the scripted session, stops it.
session() {
  local label=$1
  shift
  local launcher=() client=()
  while [ "$1" != "--" ]; do launcher+=("$1"); shift; done
  shift
  client=("$@")
  local data="$work/$label-data"
  mkdir -p "$data"
  echo
  echo "================ $label ================"
  "${launcher[@]}" register --data-dir "$data" --config "$work/launcher.conf" >/dev/null
  "${launcher[@]}" --data-dir "$data" --config "$work/launcher.conf" -v >"$work/$label-launcher.log" 2>&1 &
  launcher_pid=$!
  for _ in $(seq 1 100); do
    "${client[@]}" login >/dev/null 2>&1 && break
    sleep 0.2
  done

  step() { echo; echo "\$ halyx_client $*"; "${client[@]}" "$@"; }
  step put 1 5 "$work/savegame.bin" --name "Erster Spielstand – Kapitel 2"
  step list 1
  step get 1 5 "$work/$label-readback.bin"
  echo; echo "\$ cmp savegame.bin readback.bin"
  cmp "$work/savegame.bin" "$work/$label-readback.bin" && echo "identical: $(stat -c %s "$work/savegame.bin") bytes"
  step login
  step loc en Title
  step loc ja Title
  step server 1
  step rm 1 5
  step list 1

  kill "$launcher_pid"; wait "$launcher_pid" 2>/dev/null || true
  launcher_pid=""
  [ -z "${WINEPREFIX:-}" ] || "$wineserver" -k 2>/dev/null || true
  echo; echo "(launcher log: $(wc -l <"$work/$label-launcher.log") lines, first lines:)"
  head -n 6 "$work/$label-launcher.log" | tr -d '\r'
}

# Natively, with private socket and configuration folders.
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
bin=build/linux-release/bin
session linux "$bin/halyx_devlauncher" -- "$bin/halyx_client"

# The 64-bit Windows build under wine64, in a prefix of its own.
export WINEPREFIX="$root/build/win64/wineprefix"
wine="cmake/wine-run.sh $WINEPREFIX"
bin=build/win64/bin
session win64-wine $wine "$bin/halyx_devlauncher.exe" -- $wine "$bin/halyx_client.exe"

echo
echo "Product: build/win32/bin/velhalyxapi_r2.dll (32-bit Windows), public headers in include/"
