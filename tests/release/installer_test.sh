#!/usr/bin/env bash
# installer_test.sh <build-root> <release-win64 build> <StandinHost.exe>
# The installer in a fresh 64-bit Wine prefix, as a user without the add-in meets it: silent install;
# the stand-in host, with nothing else registered, loads the installed add-in from the current user's
# registration and saves an attachment; the installer refuses while the host holds the DLLs; silent
# uninstall; then nothing of ours is left. Every check is printed as it runs.
# Where 32-bit programs run, it tests the shipped installer (a 32-bit program, built by
# scripts/package.sh into dist/). Where they do not, the same script built as a 64-bit program with
# the x86_64 DLLs alone (package.sh --x64-only), and the shipped installer is reported not run.
# Writes the one-line result to <release-win64 build>/installer-test.txt for the test summary.
set -uo pipefail
broot="$1"; bdir="$2"; host="$3"
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=../../scripts/wine-arch.sh
. "$root/scripts/wine-arch.sh"
wine_arch_probe
result_file="$bdir/installer-test.txt"
rm -f "$result_file"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: the host's windows need one"; exit 1; }

work="$bdir/installer-test"
failures=0
check() {  # check <description> <command...>
  local what="$1"; shift
  if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; failures=$((failures + 1)); fi
}

if [ "$TALLOWBY_WIN32_RUNS" = yes ]; then
  TALLOWBY_BUILD_ROOT="$broot" bash "$root/scripts/package.sh" || exit 1
  version=$(sed -n 's/^project(Tallowby VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
  installer="$root/dist/TallowbySetup-$version.exe"
  loader=/usr/lib/wine/wine
  form="the shipped installer (32-bit program)"
else
  mkdir -p "$work"
  installer="$work/TallowbySetup-x64-only.exe"
  TALLOWBY_BUILD_ROOT="$broot" bash "$root/scripts/package.sh" --x64-only "$installer" || exit 1
  loader=/usr/lib/wine/wine64
  form="the installer built as a 64-bit program (x86_64 DLLs only); the shipped 32-bit installer: not run here ($TALLOWBY_WIN32_WHY)"
fi
echo "testing $form"

# A fresh prefix of its own: nothing registered but what the installer writes.
rm -rf "$work/prefix" "$work/saved"
mkdir -p "$work/saved"
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
# No persistent server: "wineserver -w" must be able to wait for the prefix's last program.
server=/usr/lib/wine/wineserver64
trap '"$server" -k >/dev/null 2>&1' EXIT
wine64() { /usr/lib/wine/wine64 "$@"; }
wine64 wineboot -i >/dev/null 2>&1
wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# What is ours: our names and every identifier of our type libraries (from each library block on:
# the host's interfaces declared before it are the host's).
guids=$(awk 'FNR == 1 {mine = 0} /version\(/ {mine = 1} mine' "$root/addin/win/Tallowby.idl" "$root/proppage/win/TallowbyPage.idl" |
        grep -oi 'uuid([0-9a-f-]*)' | sed 's/uuid(\(.*\))/\1/' | sort -u)
# The registry, both hives, as text.
export_registry() {
  local hive
  for hive in HKCU HKLM; do
    rm -f "$work/$hive.reg"
    wine64 reg export "$hive" "$(winpath "$work/$hive.reg")" /y >/dev/null 2>&1
    # One line per key and one per value, each value prefixed by its key.
    iconv -f UTF-16LE -t UTF-8 "$work/$hive.reg" 2>/dev/null | tr -d '\r' |
      awk '/^\[/ {key = $0; print; next} NF {print key " " $0}' > "$work/$hive.txt"
  done
}
ours_in() {  # ours_in <file>: the lines naming anything of ours
  { grep -i -e tallowby -e quenmark "$1"; for g in $guids; do grep -i -F "$g" "$1"; done; } | sort -u
}
files_of_ours() {
  find "$WINEPREFIX/drive_c" \( -iname '*tallowby*' -o -iname '*quenmark*' \) -print
}

export_registry
check "the fresh prefix has nothing of ours (HKCU, HKLM, files)" \
  test -z "$(ours_in "$work/HKCU.txt")$(ours_in "$work/HKLM.txt")$(files_of_ours)"

echo "--- silent install"
"$loader" "$(winpath "$installer")" /S; rc=$?
check "silent install exits 0 (exit $rc)" test $rc -eq 0
local_app=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -type d -name Local -path '*AppData*' | head -n 1)
instdir="$local_app/Quenmark Save Attachments"
check "installed under the user's local application data: $instdir" test -d "$instdir"
check "x64\\Tallowby.dll, x64\\TallowbyPage.dll and uninstall.exe there" \
  test -f "$instdir/x64/Tallowby.dll" -a -f "$instdir/x64/TallowbyPage.dll" -a -f "$instdir/uninstall.exe"
if [ "$TALLOWBY_WIN32_RUNS" = yes ]; then
  check "x86\\Tallowby.dll and x86\\TallowbyPage.dll there" test -f "$instdir/x86/Tallowby.dll" -a -f "$instdir/x86/TallowbyPage.dll"
fi
export_registry
connect=$(sed -n 's/.*uuid(\([0-9A-Fa-f-]*\)).*/\1/p;/coclass Connect/q' "$root/addin/win/Tallowby.idl" | tail -n 1)
has() { grep -qiF "$2" "$work/$1.txt"; }
check "HKCU\\Software\\Classes\\Tallowby.Connect registered per user" has HKCU '[HKEY_CURRENT_USER\Software\Classes\Tallowby.Connect\CLSID]'
check "HKCU\\Software\\Classes\\CLSID\\{$connect}\\InprocServer32 per user" has HKCU "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{$connect}\\InprocServer32]"
check "TallowbyPage.PropPage registered per user" has HKCU '[HKEY_CURRENT_USER\Software\Classes\TallowbyPage.PropPage\CLSID]'
check "the type libraries registered per user" has HKCU '[HKEY_CURRENT_USER\Software\Classes\TypeLib\'
check "the host's add-in entry" has HKCU '[HKEY_CURRENT_USER\Software\Microsoft\Office\Outlook\Addins\Tallowby.Connect]'
check "the uninstaller in the user's Programs and Features" \
  has HKCU '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuenmarkSaveAttachments]'
check "the uninstall entry runs uninstall.exe, quietly with /S" has HKCU '"QuietUninstallString"="\"C:\\users\\'
# Wine's RegisterTypeLib also writes each interface into the other registry view, by a route the
# per-user redirection of HKEY_CLASSES_ROOT does not cover: those keys land machine-wide under Wine
# (Windows' per-user call keeps them per user). The uninstall check below allows none of them.
# The 32-bit view's copy is exported as Software\Wow6432Node\Classes, the 64-bit one's as Software\Classes.
machine=$(ours_in "$work/HKLM.txt" |
  grep -v '^\[HKEY_LOCAL_MACHINE\\Software\\\(Wow6432Node\\\)\?Classes\\\(Wow6432Node\\\)\?Interface\\{')
check "nothing of ours machine-wide (HKLM, so HKCR), but Wine's other-view interface keys" test -z "$machine"
[ -z "$machine" ] || echo "$machine" | sed 's/^/  machine-wide: /'
echo "      (Wine's other-view interface keys machine-wide: $(ours_in "$work/HKLM.txt" | grep -c '^\[') keys)"
check "what the uninstall check looks for is found after the install" test -n "$(ours_in "$work/HKCU.txt")"

echo "--- the stand-in host with the installed add-in"
cat > "$work/use.script" <<SCRIPT
open mail "Installed" received from "Ann Example" on 2024-05-17 attach byvalue notes.txt text "saved by the installed add-in"
saveas save "$(winpath "$work/saved/notes.txt")"
click "Save Attachments"
shutdown
SCRIPT
wine64 "$(winpath "$host")" --deadline 40 --transcript "$(winpath "$work/use.txt")" "$(winpath "$work/use.script")" \
  >/dev/null 2>&1; rc=$?
sed 's/^/  | /' "$work/use.txt"
seen() { grep -qF -- "$1" "$work/use.txt"; }
check "the host ran the script (exit $rc)" test $rc -eq 0
check "the host found the add-in in the current user's classes" seen 'class "Tallowby.Connect" per-user server="C:\users\'
check "the add-in connected" seen 'addin "Tallowby.Connect" OnConnection ok'
check "its button saved the attachment" grep -qx 'saved by the installed add-in' "$work/saved/notes.txt"
check "the add-in unloaded at the end" seen 'addin "Tallowby.Connect" DllCanUnloadNow S_OK unloaded=yes'

echo "--- a file in use: the installer refuses"
# The host loads both DLLs and waits; meanwhile the installer and the uninstaller must refuse.
rm -f "$work/hold.ready" "$work/hold.done"
cat > "$work/hold.script" <<SCRIPT
start
options
page hold "$(winpath "$work/hold.ready")" "$(winpath "$work/hold.done")"
page cancel
SCRIPT
wine64 "$(winpath "$host")" --deadline 60 --transcript "$(winpath "$work/hold.txt")" "$(winpath "$work/hold.script")" \
  >/dev/null 2>&1 &
hold_pid=$!
deadline=$((SECONDS + 60))
until [ -e "$work/hold.ready" ] || ! kill -0 $hold_pid 2>/dev/null || [ $SECONDS -ge $deadline ]; do sleep 0.1; done
check "the host holds the add-in" test -e "$work/hold.ready"
"$loader" "$(winpath "$installer")" /S; rc=$?
check "the installer refuses while the host runs (exit $rc, expected 2)" test $rc -eq 2
# Run in place (_?=) so that its exit code is its own, from a batch file as a script would: NSIS
# finds "_?=" only unquoted, and Wine's loader quotes an argument that holds a space.
printf '@"%s" /S _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$(winpath "$instdir/uninstall.exe")" "$(winpath "$instdir")" \
  >"$work/uninstall-in-place.cmd"
"$loader" cmd /c "$(winpath "$work/uninstall-in-place.cmd")"; rc=$?
check "the uninstaller refuses while the host runs (exit $rc, expected 2)" test $rc -eq 2
check "and left the installation alone" test -f "$instdir/x64/Tallowby.dll" -a -f "$instdir/uninstall.exe"
touch "$work/hold.done"
wait $hold_pid

echo "--- silent uninstall"
"$loader" "$(winpath "$instdir/uninstall.exe")" /S; rc=$?
check "silent uninstall exits 0 (exit $rc)" test $rc -eq 0
# As the user runs it (the uninstall entry's QuietUninstallString), the uninstaller goes on in a
# copy of itself in the temporary folder: wait for the prefix's last program to end.
"$server" -w >/dev/null 2>&1
export_registry
left_registry="$(ours_in "$work/HKCU.txt")$(ours_in "$work/HKLM.txt")"
check "no registry key or value of ours left in HKCU or HKLM (names, $(echo "$guids" | wc -w) identifiers)" \
  test -z "$left_registry"
[ -z "$left_registry" ] || echo "$left_registry" | sed 's/^/  left: /'
left_files=$(files_of_ours)
check "no file or folder of ours left on drive C:" test -z "$left_files"
[ -z "$left_files" ] || echo "$left_files" | sed 's/^/  left: /'
temp_left=$(find "$local_app/Temp" -mindepth 1 -maxdepth 1 -iname '~nsu*' 2>/dev/null)
check "nothing of the uninstaller left in the temporary folder" test -z "$temp_left"
[ -z "$temp_left" ] || echo "$temp_left" | sed 's/^/  left: /'
check "the saved attachment, the user's, stays" test -f "$work/saved/notes.txt"

if [ $failures -eq 0 ]; then
  echo "installer: $form: install, use, refusal in use, uninstall, nothing left: passed" | tee "$result_file"
  exit 0
fi
echo "installer: $form: $failures check(s) FAILED" | tee "$result_file"
exit 1
