#!/usr/bin/env bash
# Checks a built library against scripts/expected-exports.txt:
#  - every plain export listed there is exported by its plain name;
#  - the C++ classes listed there are exported under GCC's decoration (_ZN2kx8halyxdll...);
#  - a Windows DLL exports exactly the MSVC-decorated names of those classes' public members, as
#    scripts/msvc-abi.py derives them from an MSVC-ABI compile of the public header for the
#    DLL's architecture; the Linux library exports none;
#  - nothing else is exported;
#  - a Windows DLL imports only Windows system DLLs (no mingw runtime, no protobuf DLL).
set -euo pipefail
set -f  # names hold ? (MSVC decoration): never expand them as file patterns
library=${1:?usage: check-exports.sh <velhalyxapi_r2.dll | libvelhalyxapi_r2.so>}
here=$(cd "$(dirname "$0")" && pwd)
list="$here/expected-exports.txt"

# The plain names of the list (not comments, not `class` lines).
plain=$(grep -E '^[A-Za-z_][A-Za-z0-9_]*$' "$list" || true)
decorated=""
case "$library" in
  *.dll)
    # The x86-64 objdump reads the 32-bit and the 64-bit DLL.
    dump=$(x86_64-w64-mingw32-objdump -p "$library")
    exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
      sed -n 's/^\s*\[\s*[0-9]*\] \(.*\)$/\1/p')
    imports=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: \(.*\)$/\1/p')
    arch=x86_64
    if x86_64-w64-mingw32-objdump -f "$library" | grep -q 'pei-i386'; then arch=i686; fi
    decorated=$(python3 "$here/msvc-abi.py" derive --arch "$arch" --include "$here/../include" \
      --exports "$list")
    ;;
  *)
    exports=$(nm -D --defined-only "$library" | awk '{print $3}')
    imports=""
    ;;
esac

status=0
for name in $plain $decorated; do
  # A here-string, not a pipe: grep -q stops at the first match, and under pipefail the
  # writer's broken pipe would report a present export as missing.
  if ! grep -qxF -- "$name" <<<"$exports"; then
    echo "missing export: $name"
    status=1
  fi
done

# Anything else: GCC's names of the exported classes (_ZN2kx8halyxdll...) only.
foreign=$(printf '%s\n' "$exports" | grep -vxF -f <(printf '%s\n' $plain $decorated) |
  grep -v -E '^_ZN2kx8halyxdll' || true)
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

count() { printf '%s\n' "$1" | grep -c . || true; }
echo "exports: $(count "$exports") ($(count "$plain") plain, $(count "$decorated") MSVC-decorated," \
  "$(count "$(grep -E '^_ZN' <<<"$exports" || true)") GCC-decorated)"
printf '  %s\n' $exports
echo "imports: $(echo $imports)"
[ $status -eq 0 ] && echo "export check: ok" || echo "export check: FAILED"
exit $status
