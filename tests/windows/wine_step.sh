#!/usr/bin/env bash
# One step of the end-to-end run of the x64 build under Wine:
#   wine_step.sh PREFIX WIN64_BUILD_DIR STEP [ARGS]
# Steps: prefix (make a fresh prefix), register, run, unregister, cleanup,
# and probe NATIVE_PROBE KNOWN_DIFFERENCES (the platform probe's answers
# under Wine against the emulation's).
# Every step but cleanup runs under its own Xvfb display (xvfb-run -a), so
# that message boxes really show; the prefix is shared by the steps of one
# test run, since a cold start takes seconds.
set -euo pipefail
prefix=$1 win64=$2 step=$3

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

if [ "$step" = cleanup ]; then
  [ -d "$prefix" ] && "$wineserver" -k 2>/dev/null || true
  rm -rf "$prefix"
  exit 0
fi
if [ -z "${BRINDLE_UNDER_XVFB:-}" ]; then
  BRINDLE_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

addin="$win64/server/BrindleAddin.dll"
companion="$win64/host/ShellStoreStandIn.dll"
host="$win64/host/outlook_host.exe"
# Wine's default prefix maps drive Z: to the file system root.
winpath() { local p; p=$(readlink -f "$1"); echo "Z:${p//\//\\}"; }

run() {  # a Windows program; its exit code is the step's concern
  echo "> wine $*"
  "$wine" "$@"
}

status=0
case $step in
  prefix)
    rm -rf "$prefix"
    mkdir -p "$prefix"
    "$wine" wineboot --init >/dev/null 2>&1 || true
    "$wineserver" -w
    [ -f "$prefix/system.reg" ] || { echo "FAIL: no Wine prefix made"; exit 1; }
    echo "Wine prefix ready"
    ;;
  register)
    run regsvr32 /s "$(winpath "$addin")" || { echo "FAIL: regsvr32 of the add-in"; status=1; }
    run regsvr32 /s "$(winpath "$companion")" || { echo "FAIL: regsvr32 of the companion stand-in"; status=1; }
    run "$(winpath "$host")" check-registered "$(winpath "$addin")" || status=1
    ;;
  run)
    run "$(winpath "$host")" run || status=1
    ;;
  unregister)
    # Keys and values registration never wrote, at every depth, must go too.
    for key in \
        'HKCR\CLSID\{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}\InprocServer32\Added\Deeper' \
        'HKCR\BrindleAddin.BRAddin\Added' \
        'HKCU\Software\Microsoft\Office\Outlook\Addins\BrindleAddin.BRAddin\Added\Deeper\Deepest'; do
      run reg add "$key" /v ByHand /t REG_SZ /d x /f >/dev/null || { echo "FAIL: reg add $key"; status=1; }
    done
    run "$(winpath "$host")" check-added-by-hand || status=1
    run regsvr32 /u /s "$(winpath "$addin")" || { echo "FAIL: regsvr32 /u"; status=1; }
    run "$(winpath "$host")" check-unregistered || status=1
    run regsvr32 /u /s "$(winpath "$addin")" || { echo "FAIL: a second regsvr32 /u"; status=1; }
    ;;
  probe)
    native=$4 known=$5
    here=$(mktemp -d)
    "$native" >"$here/emulation.txt"
    "$wine" "$(winpath "$win64/host/platform_probe.exe")" | tr -d '\r' >"$here/windows.txt" || true
    # Keys whose answers may differ, with the reason beside each.
    skip=$(sed -e 's/#.*//' -e 's/[[:space:]]*$//' "$known" | grep -v '^$' || true)
    filter() { if [ -n "$skip" ]; then grep -v -F -f <(sed 's/$/ = /' <<<"$skip") "$1"; else cat "$1"; fi; }
    lines=$(wc -l <"$here/windows.txt")
    if [ "$lines" -lt 40 ]; then
      echo "FAIL: the probe answered $lines lines under Wine"; status=1
    elif ! diff <(filter "$here/emulation.txt") <(filter "$here/windows.txt"); then
      echo "FAIL: the emulation answers differently from Windows (< emulation, > Wine)"
      status=1
    else
      echo "the emulation answered as Windows on $lines questions" \
        "($(grep -c . <<<"$skip") known differences set aside)"
    fi
    rm -rf "$here"
    ;;
  *) echo "unknown step $step" >&2; exit 2 ;;
esac
"$wineserver" -w
exit $status
