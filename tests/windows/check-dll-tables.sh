#!/usr/bin/env bash
# Reads a plug-in DLL's export and import tables with objdump -p: its
# exports must be exactly the entry points named (sorted, one space apart),
# and every imported DLL a part of Windows (no MinGW runtime: libstdc++,
# libgcc and winpthread are linked in).
#   check-dll-tables.sh OBJDUMP DLL "ENTRY POINTS"
set -euo pipefail
objdump=$1
dll=$2
expected=$3

tables=$("$objdump" -p "$dll")

exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$tables" | grep -oE '^\s+\[ *[0-9]+\] .+$' | sed -E 's/^\s+\[ *[0-9]+\] //' | sort | xargs || true)
if [ "$exports" != "$expected" ]; then
    echo "exports: expected only $expected, found: $exports"
    exit 1
fi

system_dlls=(advapi32.dll comdlg32.dll dxgi.dll gdi32.dll imm32.dll kernel32.dll msvcrt.dll ole32.dll
             oleaut32.dll shell32.dll shlwapi.dll user32.dll version.dll wininet.dll winmm.dll ws2_32.dll
             wsock32.dll rpcrt4.dll comctl32.dll)
status=0
imports=$(grep -oE 'DLL Name: .+' <<<"$tables" | cut -d' ' -f3 | tr 'A-Z' 'a-z' | sort -u)
for name in $imports; do
    if [[ " ${system_dlls[*]} " != *" $name "* ]]; then
        echo "imports $name, which is not a system DLL"
        status=1
    fi
done
[ -n "$imports" ] || { echo "no import table found"; status=1; }

[ $status -eq 0 ] && echo "exports: $exports; imports:" $imports
exit $status
