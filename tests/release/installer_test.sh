#!/usr/bin/env bash
# installer_test.sh <per-user|all-users> <release-win64 build> <StandinHost.exe>
# The setup program in a fresh 64-bit Wine prefix, as someone without the add-in meets it, in one of
# its two modes: silent install (/S, with /ALLUSERS for all users); the installed files and their
# signatures; the registry the mode writes (per user: the user's classes and add-in entry, nothing
# machine-wide; all users: the machine's classes and add-in list, nothing per user); the stand-in
# host, with nothing else registered, loads the installed add-in and saves an attachment; the setup
# program and the uninstaller refuse while the host holds the DLLs; installing the other kind over it
# is refused (all users: also the Windows Installer package) and changes nothing; silent uninstall;
# then nothing of ours is left. Every check is printed as it runs.
# Where 32-bit programs run, it tests the shipped setup program (a 32-bit program). Where they do not,
# the same script built as a 64-bit program with the x86_64 DLLs alone, and the shipped setup
# program is reported not run. Both come signed with the test certificate from package_test.sh
# (<release-win64 build>/package/).
# Appends the one-line result to <release-win64 build>/installer-test.txt for the test summary.
set -uo pipefail
mode="$1"; bdir="$2"; host="$3"
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=../../scripts/wine-arch.sh
. "$root/scripts/wine-arch.sh"
wine_arch_probe
work="$bdir/installer-test-$mode"
result_file="$bdir/installer-test.txt"
. "$root/tests/release/lib.sh"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: the host's windows need one"; exit 1; }
case "$mode" in per-user) all="" ;; all-users) all=/ALLUSERS ;; *) echo "no mode $mode" >&2; exit 2 ;; esac

package="$bdir/package"
ca="$package/ca.pem"
expect_signed=yes
version=$(sed -n 's/^project(Tallowby VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
if [ "$TALLOWBY_WIN32_RUNS" = yes ]; then
  installer="$package/signed/TallowbySetup-$version.exe"
  loader=/usr/lib/wine/wine
  form="the shipped setup program (32-bit program)"
else
  installer="$package/signed/TallowbySetup-x64-only.exe"
  loader=/usr/lib/wine/wine64
  form="the setup program built as a 64-bit program (x86_64 DLLs only); the shipped 32-bit one: not run here ($TALLOWBY_WIN32_WHY)"
fi
summary="installer, $mode: $form: install, signatures, registry, use, refusal in use and of the other mode, uninstall, nothing left"
[ -f "$installer" ] || { echo "no $installer: package_test.sh makes it"; failures=1; finish "$summary"; }
rm -rf "$work"
mkdir -p "$work"
echo "testing $form, $mode"

fresh_prefix
export_registry fresh
check "the fresh prefix has nothing of ours (HKCU, HKLM, files)" \
  test -z "$(ours_in "$work/fresh-HKCU.txt")$(ours_in "$work/fresh-HKLM.txt")$(files_of_ours)"

echo "--- silent install ${all:-(for the current user)}"
"$loader" "$(winpath "$installer")" /S $all; rc=$?
check "silent install exits 0 (exit $rc)" test $rc -eq 0
if [ "$mode" = per-user ]; then
  instdir="$local_app/Quenmark Save Attachments"
  where="the user's local application data"
else
  instdir="$program_files/Quenmark Save Attachments"
  where="Program Files"
fi
windir="C:${instdir#"$WINEPREFIX/drive_c"}"
windir="${windir//\//\\}"
check "installed under $where: $windir" test -d "$instdir"
installed=("$instdir/x64/Tallowby.dll" "$instdir/x64/TallowbyPage.dll")
[ "$TALLOWBY_WIN32_RUNS" = yes ] && installed+=("$instdir/x86/Tallowby.dll" "$instdir/x86/TallowbyPage.dll")
check "$(for f in "${installed[@]}"; do printf '%s ' "${f#"$instdir/"}"; done)and uninstall.exe there" \
  test -f "${installed[0]}" -a -f "${installed[1]}" -a -f "${installed[${#installed[@]} - 1]}" -a -f "$instdir/uninstall.exe"
verify_signatures "the installed DLLs and the uninstaller" "${installed[@]}" "$instdir/uninstall.exe"

export_registry installed
connect=$(sed -n 's/.*uuid(\([0-9A-Fa-f-]*\)).*/\1/p;/coclass Connect/q' "$root/addin/win/Tallowby.idl" | tail -n 1)
has() { grep -qiF -- "$2" "$work/installed-$1.txt"; }
if [ "$mode" = per-user ]; then
  check "HKCU\\Software\\Classes\\Tallowby.Connect registered per user" has HKCU '[HKEY_CURRENT_USER\Software\Classes\Tallowby.Connect\CLSID]'
  check "HKCU\\Software\\Classes\\CLSID\\{$connect}\\InprocServer32 per user" has HKCU "[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{$connect}\\InprocServer32]"
  check "TallowbyPage.PropPage registered per user" has HKCU '[HKEY_CURRENT_USER\Software\Classes\TallowbyPage.PropPage\CLSID]'
  check "the type libraries registered per user" has HKCU '[HKEY_CURRENT_USER\Software\Classes\TypeLib\'
  check "the host's add-in entry in the user's list" has HKCU '[HKEY_CURRENT_USER\Software\Microsoft\Office\Outlook\Addins\Tallowby.Connect]'
  check "the uninstaller in the user's Programs and Features" \
    has HKCU '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuenmarkSaveAttachments]'
  check "the uninstall entry runs uninstall.exe, quietly with /S" has HKCU '"QuietUninstallString"="\"C:\\users\\'
  # Wine's RegisterTypeLib also writes each interface into the other registry view, by a route the
  # per-user redirection of HKEY_CLASSES_ROOT does not cover: those keys land machine-wide under Wine
  # (Windows' per-user call keeps them per user). The uninstall check below allows none of them.
  # The 32-bit view's copy is exported as Software\Wow6432Node\Classes, the 64-bit one's as Software\Classes.
  machine=$(ours_in "$work/installed-HKLM.txt" |
    grep -v '^\[HKEY_LOCAL_MACHINE\\Software\\\(Wow6432Node\\\)\?Classes\\\(Wow6432Node\\\)\?Interface\\{')
  check "nothing of ours machine-wide (HKLM, so HKCR), but Wine's other-view interface keys" test -z "$machine"
  list machine-wide "$machine"
  echo "      (Wine's other-view interface keys machine-wide: $(ours_in "$work/installed-HKLM.txt" | grep -c '^\[') keys)"
  class_line='class "Tallowby.Connect" per-user server="C:\users\'
else
  inproc="[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{$connect}\\InprocServer32] @=\"${windir//\\/\\\\}\\\\x64\\\\Tallowby.dll\""
  check "the classes machine-wide, the 64-bit view's naming x64\\Tallowby.dll" has HKLM "$inproc"
  check "TallowbyPage.PropPage machine-wide" has HKLM '[HKEY_LOCAL_MACHINE\Software\Classes\TallowbyPage.PropPage\CLSID]'
  check "the type libraries machine-wide" has HKLM '[HKEY_LOCAL_MACHINE\Software\Classes\Typelib\{'
  check "the host's add-in entry in the machine's list (64-bit view), LoadBehavior 3" \
    has HKLM '[HKEY_LOCAL_MACHINE\Software\Microsoft\Office\Outlook\Addins\Tallowby.Connect] "LoadBehavior"=dword:00000003'
  if [ "$TALLOWBY_WIN32_RUNS" = yes ]; then
    check "and in the 32-bit view's" has HKLM '[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Office\Outlook\Addins\Tallowby.Connect]'
    check "the 32-bit classes in the 32-bit view" has HKLM "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\{$connect}\\InprocServer32]"
  fi
  check "the uninstaller in the machine's Programs and Features" \
    has HKLM '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuenmarkSaveAttachments]'
  check "the uninstall entry runs uninstall.exe, quietly with /S" \
    has HKLM '"QuietUninstallString"="\"C:\\Program Files\\Quenmark Save Attachments\\uninstall.exe\" /S"'
  user=$(ours_in "$work/installed-HKCU.txt")
  check "nothing of ours per user (HKCU)" test -z "$user"
  list per-user "$user"
  class_line="class \"Tallowby.Connect\" machine-wide server=\"$windir\\x64\\Tallowby.dll\""
fi
check "what the uninstall check looks for is found after the install" \
  test -n "$(ours_in "$work/installed-HKCU.txt")$(ours_in "$work/installed-HKLM.txt")"

echo "--- the stand-in host with the installed add-in"
use_installed "$class_line"
[ "$mode" = all-users ] && check "from the machine's add-in list" \
  grep -qF 'addin key="Tallowby.Connect" friendlyname="Quenmark Save Attachments" description="Provides useful options for saving attachments" loadbehavior=3 list=machine' "$work/use.txt"

echo "--- a file in use: the setup program and the uninstaller refuse"
# The host loads both DLLs and waits; meanwhile the setup program and the uninstaller must refuse.
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
"$loader" "$(winpath "$installer")" /S $all; rc=$?
check "the setup program refuses while the host runs (exit $rc, expected 2)" test $rc -eq 2
# Run in place (_?=) so that its exit code is its own, from a batch file as a script would: NSIS
# finds "_?=" only unquoted, and Wine's loader quotes an argument that holds a space.
printf '@"%s\\uninstall.exe" /S _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$windir" "$windir" >"$work/uninstall-in-place.cmd"
"$loader" cmd /c "$(winpath "$work/uninstall-in-place.cmd")"; rc=$?
check "the uninstaller refuses while the host runs (exit $rc, expected 2)" test $rc -eq 2
check "and left the installation alone" test -f "$instdir/x64/Tallowby.dll" -a -f "$instdir/uninstall.exe"
touch "$work/hold.done"
wait $hold_pid

echo "--- the other kind of installation over this one: refused"
export_registry before-other
if [ "$mode" = per-user ]; then
  "$loader" "$(winpath "$installer")" /S /ALLUSERS; rc=$?
  check "the setup program for all users refuses (exit $rc, expected 2)" test $rc -eq 2
  check "and wrote nothing under Program Files" test ! -e "$program_files/Quenmark Save Attachments"
else
  "$loader" "$(winpath "$installer")" /S; rc=$?
  check "the setup program for the current user refuses (exit $rc, expected 2)" test $rc -eq 2
  check "and wrote nothing under the user's local application data" test ! -e "$local_app/Quenmark Save Attachments"
  msi="$package/signed/Tallowby-$version.msi"
  wine64 msiexec /i "$(winpath "$msi")" /qn; rc=$?
  wine_wait
  check "the Windows Installer package refuses (exit $rc: 1603, a launch condition, as a Unix exit status keeps it)" \
    test $rc -eq $((1603 % 256))
fi
export_registry after-other
changed=$(diff <(ours_in "$work/before-other-HKCU.txt"; ours_in "$work/before-other-HKLM.txt") \
               <(ours_in "$work/after-other-HKCU.txt"; ours_in "$work/after-other-HKLM.txt"))
check "the registry of ours is as it was" test -z "$changed"
list changed "$changed"

if [ "$mode" = all-users ]; then
  echo "--- installing again for all users: in place"
  "$loader" "$(winpath "$installer")" /S /ALLUSERS; rc=$?
  check "the setup program for all users again exits 0 (exit $rc)" test $rc -eq 0
  export_registry again
  check "the same registry of ours as after the first install" \
    test "$(ours_in "$work/installed-HKLM.txt" | grep -v EstimatedSize)" = "$(ours_in "$work/again-HKLM.txt" | grep -v EstimatedSize)"
fi

echo "--- silent uninstall"
if [ "$mode" = per-user ]; then
  # As the uninstall entry's QuietUninstallString runs it (by its C: path: the uninstaller tells the
  # two kinds apart by the folder the list of programs names): it goes on in a copy of itself in the
  # temporary folder, so wait for the prefix's last program to end.
  "$loader" "$windir\uninstall.exe" /S; rc=$?
  check "silent uninstall exits 0 (exit $rc)" test $rc -eq 0
  wine_wait
else
  # As the user guide tells administrators: in place (_?=), so that it waits and its exit code is its
  # own; it cannot remove itself, so the script removes it and the folder after it.
  "$loader" cmd /c "$(winpath "$work/uninstall-in-place.cmd")"; rc=$?
  check "silent uninstall in place exits 0 (exit $rc)" test $rc -eq 0
  left=$(find "$instdir" -mindepth 1 2>/dev/null)
  check "and left only itself, uninstall.exe (found: ${left:-nothing})" test "$left" = "$instdir/uninstall.exe"
  rm -f "$instdir/uninstall.exe"
  rmdir "$instdir"
fi
if [ "$mode" = per-user ]; then
  nothing_of_ours uninstalled ""
else
  # The add-in's one preference is each user's, written by their Outlook: an uninstall for every user
  # cannot reach other users' registry, and leaves this one's too.
  nothing_of_ours uninstalled 'VB and VBA Program Settings\\Quenmark Save Attachments'
fi
temp_left=$(find "$local_app/Temp" -mindepth 1 -maxdepth 1 -iname '~nsu*' 2>/dev/null)
check "nothing of the uninstaller left in the temporary folder" test -z "$temp_left"
list left "$temp_left"
check "the saved attachment, the user's, stays" test -f "$work/saved/notes.txt"

finish "$summary"
