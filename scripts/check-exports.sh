#!/usr/bin/env bash
# Checks a built velhalyxapi_r2.dll: every plain export of scripts/expected-exports.txt is in
# its export table by its plain name, nothing else is exported but the library's own C++
# classes, and it imports only Windows system DLLs (no mingw runtime, no protobuf DLL).
set -euo pipefail
dll=${1:?usage: check-exports.sh <dll>}
here=$(cd "$(dirname "$0")" && pwd)
objdump=i686-w64-mingw32-objdump
dump=$($objdump -p "$dll")

exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^\s*\[\s*[0-9]*\] \(.*\)$/\1/p')
imports=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: \(.*\)$/\1/p')

status=0
while read -r name; do
  [ -z "$name" ] && continue
  if ! printf '%s\n' "$exports" | grep -qx "$name"; then
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
for dll_name in $imports; do
  if ! printf '%s\n' "$dll_name" | grep -qiE "$allowed"; then
    echo "unexpected import: $dll_name"
    status=1
  fi
done

echo "exports: $(printf '%s\n' "$exports" | grep -c . || true) ($(printf '%s\n' "$exports" | grep -c '^KxHalyxdll' || true) plain)"
printf '  %s\n' $exports
echo "imports: $(echo $imports)"
[ $status -eq 0 ] && echo "export check: ok" || echo "export check: FAILED"
exit $status
