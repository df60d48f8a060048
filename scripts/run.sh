#!/usr/bin/env bash
# The main job: builds the product, the 32-bit Windows DLL velhalyxapi_r2.dll with its import
# library, and the Linux library, and shows where they are.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
for preset in win32 linux-release; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

echo
echo "Built:"
for f in build/win32/bin/velhalyxapi_r2.dll build/win32/api/halyxdll/libvelhalyxapi_r2.dll.a \
  build/linux-release/bin/libvelhalyxapi_r2.so; do
  [ -f "$f" ] && printf '  %-55s %8d bytes\n' "$f" "$(stat -c %s "$f")"
done
echo "Public headers: include/velhalyxapi_r2.h (and include/velhalyxapi_r2/)"
