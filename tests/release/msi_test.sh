#!/usr/bin/env bash
# msi_test.sh <release-win64 build> <StandinHost.exe>
# The Windows Installer package in a fresh 64-bit Wine prefix, as an administrator deploys it: an
# older version installed (msiexec /i … /qn), then this one over it in place; the installed files and
# their signatures; the registry it writes for every user, both architectures in their views; the
# stand-in host, with nothing else registered, loads the add-in from the machine's list and the
# installed files and saves an attachment; the setup program refuses to install over it in either
# mode; msiexec /x … /qn; then nothing of ours is left, Windows Installer's own records included.
# Last, the same files registered by the DLLs themselves (regsvr32 /n /i:machine, as the setup
# program's all-users mode does) must give the registry the package wrote, key for key.
# The 64-bit msiexec installs the package's 32-bit part as data (files, registry in the 32-bit view),
# so the whole package is tested here even where 32-bit programs cannot run; registering the 32-bit
# DLLs with their own regsvr32 needs them, and there the 32-bit part is compared with the 64-bit one.
# Uses the signed packages from package_test.sh (<release-win64 build>/package/). Appends the one-line
# result to <release-win64 build>/installer-test.txt for the test summary.
set -uo pipefail
bdir="$1"; host="$2"
root="$(cd "$(dirname "$0")/../.." && pwd)"
# shellcheck source=../../scripts/wine-arch.sh
. "$root/scripts/wine-arch.sh"
wine_arch_probe
work="$bdir/msi-test"
result_file="$bdir/installer-test.txt"
. "$root/tests/release/lib.sh"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: the host's windows need one"; exit 1; }

package="$bdir/package"
ca="$package/ca.pem"
expect_signed=yes
version=$(sed -n 's/^project(Tallowby VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
msi="$package/signed/Tallowby-$version.msi"
older="$package/older/Tallowby-0.9.0.msi"
if [ "$TALLOWBY_WIN32_RUNS" = yes ]; then
  setup="$package/signed/TallowbySetup-$version.exe"; loader=/usr/lib/wine/wine
else
  setup="$package/signed/TallowbySetup-x64-only.exe"; loader=/usr/lib/wine/wine64
fi
summary="Windows Installer package: upgrade from 0.9.0, signatures, registry, use, refusal of the setup program, uninstall, nothing left, same keys as regsvr32"
[ -f "$msi" ] && [ -f "$older" ] || { echo "no $msi or $older: package_test.sh makes them"; failures=1; finish "$summary"; }
rm -rf "$work"
mkdir -p "$work"

fresh_prefix
export_registry fresh
check "the fresh prefix has nothing of ours (HKCU, HKLM, files)" \
  test -z "$(ours_in "$work/fresh-HKCU.txt")$(ours_in "$work/fresh-HKLM.txt")$(files_of_ours)"
product_of() { msiinfo export "$1" Property | sed -n 's/^ProductCode\t\(.*\)\r\?$/\1/p' | tr -d '\r'; }
old_product=$(product_of "$older")
new_product=$(product_of "$msi")
check "each version is its own product ($old_product, $new_product)" test -n "$old_product" -a "$old_product" != "$new_product"
uninstall_key='[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\'
# The machine's list of programs, our entries: "<product code> <DisplayVersion>".
programs() {
  grep -F "$uninstall_key{" "$work/$1-HKLM.txt" | grep '"DisplayName"="Quenmark Save Attachments"' |
    sed 's/^.*Uninstall\\\({[^}]*}\).*$/\1/' | sort -u | while read -r code; do
      printf '%s %s\n' "$code" "$(grep -F "$uninstall_key$code]" "$work/$1-HKLM.txt" | sed -n 's/.*"DisplayVersion"="\([^"]*\)".*/\1/p')"
    done
}

echo "--- msiexec /i an older version, then this one over it"
wine64 msiexec /i "$(winpath "$older")" /qn; rc=$?
wine_wait
check "the older version installs (exit $rc)" test $rc -eq 0
export_registry older
check "Programs and Features lists it, 0.9.0" test "$(programs older)" = "$old_product 0.9.0"
wine64 msiexec /i "$(winpath "$msi")" /qn /l*v "$(winpath "$work/install.log")"; rc=$?
wine_wait
check "this version installs over it (exit $rc)" test $rc -eq 0
export_registry installed
check "Programs and Features lists this version alone: $(programs installed | tr '\n' ' ')" \
  test "$(programs installed)" = "$new_product $version"
check "the older version was removed first (RemoveExistingProducts)" grep -q 'RemoveExistingProducts' "$work/install.log"

instdir="$program_files/Quenmark Save Attachments"
installed=()
for arch in x86 x64; do
  for dll in Tallowby TallowbyPage; do installed+=("$instdir/$arch/$dll.dll"); done
done
check "both DLLs of each architecture under Program Files\\Quenmark Save Attachments" \
  test -f "${installed[0]}" -a -f "${installed[1]}" -a -f "${installed[2]}" -a -f "${installed[3]}"
verify_signatures "the installed DLLs" "${installed[@]}"
verify_signatures "the package" "$msi"

connect=$(sed -n 's/.*uuid(\([0-9A-Fa-f-]*\)).*/\1/p;/coclass Connect/q' "$root/addin/win/Tallowby.idl" | tail -n 1)
has() { grep -qiF -- "$2" "$work/installed-$1.txt"; }
pf='C:\\Program Files\\Quenmark Save Attachments'
check "64-bit classes in the 64-bit view, naming x64\\Tallowby.dll" \
  has HKLM "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{$connect}\\InprocServer32] @=\"$pf\\\\x64\\\\Tallowby.dll\""
check "32-bit classes in the 32-bit view, naming x86\\Tallowby.dll" \
  has HKLM "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\CLSID\\{$connect}\\InprocServer32] @=\"$pf\\\\x86\\\\Tallowby.dll\""
check "the type library for each architecture (win32, win64)" \
  has HKLM '\1.0\0\win32] @="C:\\Program Files\\Quenmark Save Attachments\\x86\\Tallowby.dll"'
check "the host's add-in entry in the machine's list, 64-bit view" \
  has HKLM '[HKEY_LOCAL_MACHINE\Software\Microsoft\Office\Outlook\Addins\Tallowby.Connect] "LoadBehavior"=dword:00000003'
check "and in the 32-bit view's" \
  has HKLM '[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Office\Outlook\Addins\Tallowby.Connect] "LoadBehavior"=dword:00000003'
user=$(ours_in "$work/installed-HKCU.txt")
check "nothing of ours per user (HKCU)" test -z "$user"
list per-user "$user"

echo "--- the stand-in host with the installed add-in"
use_installed "class \"Tallowby.Connect\" machine-wide server=\"${pf//\\\\/\\}\\x64\\Tallowby.dll\""
check "from the machine's add-in list" grep -qF 'loadbehavior=3 list=machine' "$work/use.txt"

echo "--- the setup program over the package: refused"
export_registry before-setup
"$loader" "$(winpath "$setup")" /S /ALLUSERS; rc=$?
check "the setup program for all users refuses (exit $rc, expected 2)" test $rc -eq 2
"$loader" "$(winpath "$setup")" /S; rc=$?
check "the setup program for the current user refuses (exit $rc, expected 2)" test $rc -eq 2
export_registry after-setup
changed=$(diff <(ours_in "$work/before-setup-HKCU.txt"; ours_in "$work/before-setup-HKLM.txt") \
               <(ours_in "$work/after-setup-HKCU.txt"; ours_in "$work/after-setup-HKLM.txt"))
check "the registry of ours is as it was" test -z "$changed"
list changed "$changed"
check "no uninstall.exe, no per-user folder" test ! -e "$instdir/uninstall.exe" -a ! -e "$local_app/Quenmark Save Attachments"

echo "--- msiexec /x"
wine64 msiexec /x "$(winpath "$msi")" /qn; rc=$?
wine_wait
check "msiexec /x exits 0 (exit $rc)" test $rc -eq 0
# The add-in's one preference is each user's, written by their Outlook (here the host's run above).
nothing_of_ours removed 'VB and VBA Program Settings\\Quenmark Save Attachments'
cached=$(cached_packages)
check "no copy of the package left in C:\\windows\\Installer" test -z "$cached"
list left "$cached"

echo "--- the package's registry against the DLLs' own (regsvr32 /n /i:machine on the same files)"
msiextract -C "$program_files" "$msi" >/dev/null 2>&1
check "the package's files in place again" test -f "${installed[3]}"
# Compared with the 64-bit registration alone, also where 32-bit programs run: Wine shares the
# ProgID and type library keys between the views, so the 32-bit regsvr32 rewrites what the 64-bit
# one wrote there (its HELPDIR) and writes no 32-bit ProgIDs of its own.
registered=(x64)
bad=""
for arch in "${registered[@]}"; do
  for dll in Tallowby TallowbyPage; do
    if [ $arch = x64 ]; then wine64 regsvr32 /s /n /i:machine "C:\\Program Files\\Quenmark Save Attachments\\x64\\$dll.dll" || bad+=" x64\\$dll"
    else /usr/lib/wine/wine "C:\\windows\\syswow64\\regsvr32.exe" /s /n /i:machine "C:\\Program Files\\Quenmark Save Attachments\\x86\\$dll.dll" || bad+=" x86\\$dll"; fi
  done
done
check "regsvr32 /n /i:machine registers the $(echo "${registered[@]}") DLLs" test -z "$bad"
export_registry regsvr32
# Ours, without Windows Installer's own records of the product, as one list: key names in one letter
# case (the registry ignores it; Wine's own keys spell "Typelib"), the 32-bit view's classes under one
# name (Wine exports them under Software\Classes\Wow6432Node and its link Software\Wow6432Node\Classes).
registry_of() {
  ours_in "$work/$1-HKLM.txt" | grep -v -F -e '\Installer\' -e "$uninstall_key" |
    awk '{ i = index($0, "]"); print tolower(substr($0, 1, i)) substr($0, i + 1) }' |
    sed 's/^\[hkey_local_machine\\software\\wow6432node\\classes\\/[hkey_local_machine\\software\\classes\\wow6432node\\/' |
    sort -u
}
view64() { grep -v '^\[[^]]*wow6432node' || true; }
view32() { grep '^\[[^]]*wow6432node' || true; }
msi_keys=$(registry_of installed)
own_keys=$(registry_of regsvr32)
{
  # The type library's key is one key for both views (Wine shows it in both): without the 32-bit
  # registration it lacks the win32 entries. Besides it, the 32-bit view has the interfaces alone,
  # which the 64-bit RegisterTypeLib also writes there; the rest of the package's 32-bit part must be
  # its 64-bit part for the other DLLs.
  diff64=$(diff <(view64 <<<"$msi_keys" | grep -v '\\0\\win32\]') <(view64 <<<"$own_keys"))
  diff32=$(diff <(view32 <<<"$msi_keys" | grep -F -e '\wow6432node\interface\' -e '\wow6432node\typelib\' |
                  grep -v '\\0\\win32\]') <(view32 <<<"$own_keys"))
  normal() { sed 's/\\wow6432node//; s/\\\\x86\(\\\\\|"\)/\\\\x64\1/g; s/\\win32\]/\\win64]/' | sort -u; }
  diffarch=$(diff <(view32 <<<"$msi_keys" | normal) <(view64 <<<"$msi_keys" | normal))
  check "the package's 32-bit part is its 64-bit part for the 32-bit DLLs (x86\\ for x64\\, win32 for win64, the 32-bit view)" \
    test -z "$diffarch" -a -n "$(view32 <<<"$msi_keys")"
  list differs "$diffarch"
}
check "64-bit view: the package writes exactly what regsvr32 does ($(view64 <<<"$own_keys" | wc -l) keys and values)" \
  test -z "$diff64" -a -n "$(view64 <<<"$own_keys")"
list differs "$diff64"
check "32-bit view: the same ($(view32 <<<"$own_keys" | wc -l) keys and values)" test -z "$diff32"
list differs "$diff32"
for arch in "${registered[@]}"; do
  for dll in TallowbyPage Tallowby; do
    if [ $arch = x64 ]; then wine64 regsvr32 /s /u /n /i:machine "C:\\Program Files\\Quenmark Save Attachments\\x64\\$dll.dll"
    else /usr/lib/wine/wine "C:\\windows\\syswow64\\regsvr32.exe" /s /u /n /i:machine "C:\\Program Files\\Quenmark Save Attachments\\x86\\$dll.dll"; fi
  done
done
rm -rf "$instdir"
nothing_of_ours unregistered 'VB and VBA Program Settings\\Quenmark Save Attachments'

finish "$summary"
