#!/usr/bin/env bash
# Shows that check_pe_tables.sh rejects what it must: builds the probe module
# twice with the cross compiler, once as the add-in is linked (it must pass)
# and once with a missing export, a wrong ordinal and the C++ runtime as DLLs
# (it must fail, naming each fault).
#   check_pe_tables_selftest.sh CHECKER TRIPLET SOURCE_DIR REAL_DEF WORK_DIR
set -euo pipefail
checker=$1 triplet=$2 src=$3 real_def=$4 work=$5
cxx=$triplet-g++-win32
objdump=$triplet-objdump
mkdir -p "$work"
common=(-shared -Wl,--kill-at -Wl,--enable-stdcall-fixup)

"$cxx" "${common[@]}" -static-libgcc -static-libstdc++ -static \
  -o "$work/good.dll" "$src/probe_module.cpp" "$real_def"
"$checker" "$objdump" "$work/good.dll"

"$cxx" "${common[@]}" -o "$work/bad.dll" "$src/probe_module.cpp" \
  "$src/wrong_ordinals.def"
if out=$("$checker" "$objdump" "$work/bad.dll"); then
  echo "FAIL: the checker accepted bad.dll"; exit 1
fi
echo "$out"
status=0
for fault in "DllGetClassObject 1;" "libstdc++-6.dll"; do
  if ! grep -qF -- "$fault" <<<"$out"; then
    echo "FAIL: no fault reported for $fault"; status=1
  fi
done
grep -qF "DllUnregisterServer" <<<"$out" || { echo "FAIL: missing export not named"; status=1; }
exit $status
