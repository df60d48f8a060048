#!/usr/bin/env bash
# Checks a built library: every plain export of scripts/expected-exports.txt is exported by its
# plain name and nothing else is exported but the library's own C++ classes. For the Windows
# DLL also: it imports only Windows system DLLs (no mingw runtime, no protobuf DLL).
set -euo pipefail
library=${1:?usage: check-exports.sh <velhalyxapi_r2.dll | libvelhalyxapi_r2.so>}
here=$(cd "$(dirname "$0")" && pwd)

case "$library" in
  *.dll)
    # The x86-64 objdump reads the 32-bit and the 64-bit DLL.
    dump=$(x86_64-w64-mingw32-objdump -p "$library")
    exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
      sed -n 's/^\s*\[\s*[0-9]*\] \(.*\)$/\1/p')
    imports=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: \(.*\)$/\1/p')
    ;;
  *)
    exports=$(nm -D --defined-only "$library" | awk '{print $3}')
    imports=""
    ;;
esac

status=0
while read -r name; do
  [ -z "$name" ] && continue
  # A here-string, not a pipe: grep -q stops at the first match, and under pipefail the
  # writer's broken pipe would report a present export as missing.
  if ! grep -qx "$name" <<<"$exports"; then
    echo "missing export: $name"
    status=1
  fi
done <"$here/expected-exports.txt"

# C++ names of the exported classes start with _ZN2kx8halyxdll (GCC's decoration).
foreign=$(printf '%s\n' "$exports" | grep -v -E '^(KxHalyxdll[A-Za-z]+|_ZN2kx8halyxdll.*)$' || true)
if [ -n "$foreign" ]; then
  echo "unexpected exports:"
  printf '  %s\n' $foreign
  status=1
fi

allowed='^(KERNEL32|ADVAPI32|msvcrt|USER32|WS2_32|ntdll|api-ms-win-[a-z0-9-]+)\.dll$'
for dll_name in $imports; do  # empty for the Linux library
  if ! grep -qiE "$allowed" <<<"$dll_name"; then
    echo "unexpected import: $dll_name"
    status=1
  fi
done

echo "exports: $(printf '%s\n' "$exports" | grep -c . || true) ($(printf '%s\n' "$exports" | grep -c '^KxHalyxdll' || true) plain)"
printf '  %s\n' $exports
echo "imports: $(echo $imports)"
[ $status -eq 0 ] && echo "export check: ok" || echo "export check: FAILED"
exit $status
