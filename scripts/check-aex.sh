#!/usr/bin/env bash
# Checks that a built Stipplex.aex exports only EntryPointFunc and imports
# only Windows' own DLLs (no compiler runtime DLL beside it).
set -euo pipefail
aex=${1:?usage: check-aex.sh Stipplex.aex}
dump=$(x86_64-w64-mingw32-objdump -p "$aex")

exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p')
if [ "$exports" != "EntryPointFunc" ]; then
  echo "error: $aex exports: ${exports:-nothing} (expected EntryPointFunc only)" >&2
  exit 1
fi

allowed='^(KERNEL32|USER32|GDI32|SHELL32|SHLWAPI|ADVAPI32|msvcrt|ucrtbase|api-ms-win-crt-.*)\.dll$'
bad=0
for dll in $(echo "$dump" | awk '/DLL Name:/{print $3}'); do
  if ! [[ "$dll" =~ $allowed ]]; then
    echo "error: $aex imports $dll, which is not part of Windows" >&2
    bad=1
  fi
done
[ $bad -eq 0 ] || exit 1
echo "$aex: exports EntryPointFunc only; imports $(echo "$dump" | awk '/DLL Name:/{print $3}' | tr '\n' ' ')"
