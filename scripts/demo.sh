#!/usr/bin/env bash
# The whole story under Wine and Xvfb, in a fresh prefix, with a transcript:
# register Pellicor -> the scanner counterpart starts -> a real context menu on sample files
# (screenshot) -> "Scan with Tolmera" -> the scanner receives the list -> Kestrane asks a stopped
# service, which is then started -> unregister, nothing of ours left. Exits non-zero when a step
# does not happen as described.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh || exit 1
bash scripts/build.sh >/dev/null || { echo "demo: build failed"; exit 1; }

demo=$root/build/demo
x64=$root/build/x64/bin
x86=$root/build/x86/bin
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
clsid='{5D0E27A4-91C3-4B7F-8E62-C1A9F03B7D58}'

cmake/wine-run.sh "$demo" --stop 2>/dev/null
rm -rf "$demo"
mkdir -p "$demo"
trap 'cmake/wine-run.sh "$demo" --stop' EXIT

run() { cmake/wine-run.sh "$demo" "$@"; }
winpath() { printf 'Z:%s' "$(realpath -m "$1" | sed 's|/|\\|g')"; }
step() { printf '\n== %s\n' "$*"; }
fail() { printf '\nDEMO FAILED: %s\n' "$*"; exit 1; }
show() { tr -d '\r' <"$1"; }
wait_for() {  # wait_for FILE PATTERN SECONDS
  for _ in $(seq $(( $3 * 10 ))); do grep -q -- "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
ours_in_registry() {  # prints every key or value of ours still present, in both views
  for view in 64 32; do
    for key in "HKCR\\CLSID\\$clsid" "HKCR\\*\\shellex\\ContextMenuHandlers\\Scan with Tolmera" \
               "HKCR\\Folder\\shellex\\ContextMenuHandlers\\Scan with Tolmera"; do
      run $wine64 reg query "$key" /reg:$view >/dev/null 2>&1 && echo "  left: $key (/reg:$view)"
    done
    run $wine64 reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved' /v "$clsid" /reg:$view \
      >/dev/null 2>&1 && echo "  left: Approved value $clsid (/reg:$view)"
  done
}
can_run_x86() { $wine32 --version >/dev/null 2>&1; }

step "0. A fresh Wine prefix with an X display"
run $wine64 cmd /c exit || fail "Wine did not start"
display=":$(head -n1 "$demo/wine-state/display")"
echo "prefix $demo/wineprefix, display $display"

step "1. Register Pellicor (x64 and x86)"
run $wine64 regsvr32 /s "$(winpath "$x64/Pellicor.dll")" || fail "regsvr32 (x64) failed"
echo "regsvr32 Pellicor.dll (x64): ok"
if can_run_x86; then
  run $wine32 regsvr32 /s "$(winpath "$x86/Pellicor.dll")" || fail "regsvr32 (x86) failed"
  echo "regsvr32 Pellicor.dll (x86): ok"
else
  echo "regsvr32 Pellicor.dll (x86): skipped, this machine cannot run 32-bit programs"
fi
run $wine64 reg query "HKCR\\CLSID\\$clsid\\InProcServer32" /reg:64 | tr -d '\r' | sed -n 's/^ \+/  /p'
run $wine64 reg query 'HKCR\*\shellex\ContextMenuHandlers\Scan with Tolmera' /reg:64 | tr -d '\r' | sed -n 's/^ \+/  /p'

step "2. Start the scanner counterpart (window \"Tolmera\", hand-off event)"
samples=$demo/wineprefix/drive_c/TolmeraDemo
mkdir -p "$samples/Reports"
echo "quarterly figures" > "$samples/Reports/q3.txt"
echo "ciao" > "$samples/Отчёт за квартал.txt"
long="$samples"
for part in a-rather-long-folder-name-number-one a-rather-long-folder-name-number-two \
            a-rather-long-folder-name-number-three a-rather-long-folder-name-number-four \
            a-rather-long-folder-name-number-five a-rather-long-folder-name-number-six; do long="$long/$part"; done
mkdir -p "$long"
echo "deep" > "$long/a-file-whose-full-path-is-longer-than-two-hundred-fifty-nine-characters.txt"
deep="C:\\TolmeraDemo${long#$samples}"
deep="${deep//\//\\}\\a-file-whose-full-path-is-longer-than-two-hundred-fifty-nine-characters.txt"
echo "sample files: C:\\TolmeraDemo\\Reports (a folder), C:\\TolmeraDemo\\Отчёт за квартал.txt,"
echo "  and a path of ${#deep} characters"
run $wine64 "$(winpath "$x64/TolmeraCounterpart.exe")" window --log 'C:\TolmeraDemo\scanner.log' --count 1 >"$demo/scanner.out" 2>&1 &
scanner=$!
wait_for "$demo/scanner.out" "waiting on" 30 || fail "the counterpart did not come up"
show "$demo/scanner.out"

step "3. The Explorer-like host opens the context menu on the sample files"
run $wine64 "$(winpath "$x64/ExplorerHost.exe")" --show 'C:\TolmeraDemo\Reports' 'C:\TolmeraDemo\Отчёт за квартал.txt' "$deep" \
  >"$demo/host.out" 2>&1 &
host=$!
wait_for "$demo/host.out" 'item "Scan with Tolmera" on screen' 30 || { show "$demo/host.out"; fail "the menu was not shown"; }
sleep 1
show "$demo/host.out"
grep -q '"Scan with Tolmera" enabled with bitmap' "$demo/host.out" || fail "the scan item is not enabled with its bitmap"

step "4. Screenshot of the real menu"
DISPLAY=$display import -window root -crop 1100x520+0+0 +repage "$demo/menu.png" || fail "no screenshot"
echo "saved $demo/menu.png"

step "5. Pick \"Scan with Tolmera\""
# A click in the middle of the item, where the host says the menu shows it.
read -r left top right bottom < <(sed -n 's/.*item "Scan with Tolmera" on screen at \([0-9-]*\),\([0-9-]*\) \([0-9-]*\),\([0-9-]*\).*/\1 \2 \3 \4/p' "$demo/host.out")
DISPLAY=$display xdotool mousemove $(( (left + right) / 2 )) $(( (top + bottom) / 2 )) sleep 0.3 click 1 || fail "xdotool could not click"
echo "clicked at $(( (left + right) / 2 )),$(( (top + bottom) / 2 ))"
wait $host || { show "$demo/host.out"; fail "the host failed"; }
show "$demo/host.out" | sed -n '/invoking/,$p'
wait $scanner || fail "the counterpart failed"

step "6. What the scanner received"
show "$demo/scanner.out" | sed -n '/hand-off/,$p'
entries=$(grep -c '^scanner:   \[' "$demo/scanner.out")
opened=$(tr -d '\r' <"$demo/scanner.out" | grep -c '(opens)$')
[ "$entries" = 3 ] && [ "$opened" = 3 ] || fail "expected 3 entries that open their files, got $entries entries, $opened opening"

step "7. Kestrane asks a stopped service, which is started 3 s later"
svclog='C:\TolmeraDemo\service.log'
run $wine64 sc create TolmeraSvc binPath= "$(winpath "$x64/TolmeraCounterpart.exe") service --log $svclog" >/dev/null \
  || fail "cannot install the service"
echo "service TolmeraSvc installed, stopped"
kestrane="$x64/Kestrane.exe"
can_run_x86 && kestrane="$x86/Kestrane.exe"
start=$(date +%s.%N)
run $wine64 "$(winpath "$kestrane")" &
launcher=$!
sleep 3
kill -0 $launcher 2>/dev/null || fail "Kestrane did not wait for the stopped service"
echo "Kestrane is waiting ($(basename "$(dirname "$(dirname "$kestrane")")") build); starting the service"
run $wine64 sc start TolmeraSvc >"$demo/sc.out" 2>&1 || { show "$demo/sc.out"; fail "the service did not start"; }
wait $launcher
code=$?
printf 'Kestrane exited with %d after %s s\n' "$code" "$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN{printf "%.1f", b-a}')"
[ "$code" = 0 ] || fail "Kestrane's exit code was $code"
wait_for "$samples/service.log" "133" 10 || fail "the service did not receive 133"
echo "service log (one control code a line):"; show "$samples/service.log" | sed 's/^/  /'
run $wine64 sc stop TolmeraSvc >/dev/null 2>&1
run $wine64 sc delete TolmeraSvc >/dev/null 2>&1

step "8. Unregister Pellicor; nothing of ours is left"
run $wine64 regsvr32 /u /s "$(winpath "$x64/Pellicor.dll")" || fail "regsvr32 /u (x64) failed"
can_run_x86 && { run $wine32 regsvr32 /u /s "$(winpath "$x86/Pellicor.dll")" || fail "regsvr32 /u (x86) failed"; }
left=$(ours_in_registry)
[ -z "$left" ] || { echo "$left"; fail "registry entries left behind"; }
echo "no key or value of ours is left in the registry (both views)"

printf '\nDEMO PASSED\n'
