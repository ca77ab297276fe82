#!/usr/bin/env bash
# Checks the export and import tables of a built BrindleAddin.dll:
#   check_pe_tables.sh OBJDUMP DLL
# Exports: exactly DllGetClassObject @2, DllCanUnloadNow @3, DllRegisterServer
# @4 and DllUnregisterServer @5, by name.  Imports: system DLLs only (the GCC,
# C++ and thread runtimes must be linked in), with malloc and free taken from
# msvcrt.dll, the heap the companion shares.
# Prints one line per fault and exits 1 when there is any.
set -euo pipefail
objdump=$1
dll=$2

tables=$("$objdump" -p "$dll")
faults=0
fault() { echo "FAULT $(basename "$dll"): $*"; faults=$((faults + 1)); }

# "Export Address Table -- Ordinal Base N", then the name table's lines
# "[ i] Name", where i + N is the name's ordinal.
exports=$(awk '
  /Export Address Table -- Ordinal Base/ { base = $NF }
  /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
  names && /^[ \t]*$/ { names = 0 }
  names && match($0, /\[ *[0-9]+\]/) {
    i = substr($0, RSTART + 1, RLENGTH - 2) + 0
    name = substr($0, RSTART + RLENGTH); gsub(/^[ \t]+|[ \t]+$/, "", name)
    print name " " i + base
  }' <<<"$tables" | sort)
expected=$(printf '%s\n' "DllCanUnloadNow 3" "DllGetClassObject 2" \
  "DllRegisterServer 4" "DllUnregisterServer 5" | sort)
if [ "$exports" != "$expected" ]; then
  fault "exports are [$(tr '\n' ';' <<<"$exports")], expected [$(tr '\n' ';' <<<"$expected")]"
fi

allowed=" kernel32.dll user32.dll advapi32.dll ole32.dll oleaut32.dll msvcrt.dll "
imported=$(awk '/DLL Name:/ { print $3 }' <<<"$tables")
[ -n "$imported" ] || fault "no import table"
for name in $imported; do
  lower=$(tr 'A-Z' 'a-z' <<<"$name")
  [[ "$allowed" == *" $lower "* ]] || fault "imports $name, which is not a system DLL"
done

# The functions imported from each DLL, as "dll function".
functions=$(awk '
  /DLL Name:/ { dll = tolower($3); next }
  dll && /^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ { print dll " " $3 }
  ' <<<"$tables")
for f in malloc free; do
  grep -qx "msvcrt.dll $f" <<<"$functions" || fault "$f is not imported from msvcrt.dll"
done

if [ "$faults" -ne 0 ]; then
  exit 1
fi
echo "ok $(basename "$dll"): exports $(tr '\n' ' ' <<<"$exports"); imports $(tr '\n' ' ' <<<"$imported")"
