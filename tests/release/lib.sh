# Sourced by the release tests that install under Wine (installer_test.sh, msi_test.sh): a fresh
# 64-bit prefix, its registry as text, what is ours in it, the stand-in host's use of the installed
# add-in, signatures, and the checks with their one-line results.
# The caller sets: root (the project), work (its folder), result_file (for the test summary).

failures=0
check() {  # check <description> <command...>
  local what="$1"; shift
  if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; failures=$((failures + 1)); fi
}
# list <label> <lines>: prints each line under the label (what a check found or looked at).
list() { [ -z "$2" ] || printf '%s\n' "$2" | sed "s/^/  $1: /"; }
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

# fresh_prefix: a 64-bit prefix of its own in $work/prefix, with nothing registered but Wine's own.
# No persistent server: "wineserver -w" must be able to wait for the prefix's last program.
server=/usr/lib/wine/wineserver64
fresh_prefix() {
  rm -rf "$work/prefix"
  export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
  trap '"$server" -k >/dev/null 2>&1' EXIT
  wine64 wineboot -i >/dev/null 2>&1
  wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  local_app=$(find "$WINEPREFIX/drive_c/users" -maxdepth 3 -type d -name Local -path '*AppData*' | head -n 1)
  program_files="$WINEPREFIX/drive_c/Program Files"
}
wine64() { /usr/lib/wine/wine64 "$@"; }
# Waits for every program of the prefix (an uninstaller goes on in a copy of itself).
wine_wait() { "$server" -w >/dev/null 2>&1; }

# What is ours: our names and every identifier of our type libraries (from each library block on:
# the host's interfaces declared before it are the host's), and the Windows Installer package's
# upgrade code in the packed form its records use.
guids=$(awk 'FNR == 1 {mine = 0} /version\(/ {mine = 1} mine' "$root/addin/win/Tallowby.idl" "$root/proppage/win/TallowbyPage.idl" |
        grep -oi 'uuid([0-9a-f-]*)' | sed 's/uuid(\(.*\))/\1/' | sort -u)
upgrade_code=$(sed -n 's/.*UpgradeCode="\([0-9A-F-]*\)".*/\1/p' "$root/installer/Tallowby.wxs")
# Windows Installer packs a GUID: each of the first three groups reversed, then each byte's two
# digits swapped in the last two.
packed_guid() {
  local g="${1//-/}" out="" i
  for i in 7 6 5 4 3 2 1 0 11 10 9 8 15 14 13 12; do out+="${g:$i:1}"; done
  for ((i = 16; i < 32; i += 2)); do out+="${g:$((i + 1)):1}${g:$i:1}"; done
  echo "$out"
}
packed_upgrade_code=$(packed_guid "$upgrade_code")

# export_registry <name>: both hives as text, $work/<name>-HKCU.txt and -HKLM.txt, one line per key
# and one per value, each value prefixed by its key. The 32-bit view's keys appear under
# Software\Wow6432Node and Software\Classes\Wow6432Node.
export_registry() {
  local hive
  for hive in HKCU HKLM; do
    rm -f "$work/$hive.reg"
    wine64 reg export "$hive" "$(winpath "$work/$hive.reg")" /y >/dev/null 2>&1
    iconv -f UTF-16LE -t UTF-8 "$work/$hive.reg" 2>/dev/null | tr -d '\r' |
      awk '/^\[/ {key = $0; print; next} NF {print key " " $0}' > "$work/$1-$hive.txt"
  done
}
ours_in() {  # ours_in <file>: the lines naming anything of ours
  { grep -i -e tallowby -e quenmark -e "$packed_upgrade_code" "$1"
    for g in $guids $upgrade_code; do grep -i -F "$g" "$1"; done; } | sort -u
}
files_of_ours() {
  find "$WINEPREFIX/drive_c" \( -iname '*tallowby*' -o -iname '*quenmark*' \) -print
}
# The Windows Installer packages Windows keeps a copy of (C:\windows\Installer) that are ours.
cached_packages() {
  local f
  for f in "$WINEPREFIX"/drive_c/windows/Installer/*.msi; do
    [ -f "$f" ] && msiinfo suminfo "$f" 2>/dev/null | grep -q 'Quenmark' && echo "$f"
  done
}
# nothing_of_ours <name> <allowed pattern>: after a removal, checks the registry (both hives, every
# name and identifier of ours) and the files, and lists what is left; lines matching the extended
# pattern <allowed> are what that mode leaves by design, listed apart.
nothing_of_ours() {
  export_registry "$1"
  local left allowed="$2" kept
  left="$(ours_in "$work/$1-HKCU.txt")
$(ours_in "$work/$1-HKLM.txt")"
  left=$(printf '%s\n' "$left" | sed '/^$/d')
  kept=""
  if [ -n "$allowed" ]; then
    kept=$(printf '%s\n' "$left" | grep -E "$allowed")
    left=$(printf '%s\n' "$left" | grep -vE "$allowed")
  fi
  check "no registry key or value of ours left in HKCU or HKLM, both views (names, $(echo "$guids" | wc -w) identifiers, the package's upgrade code)" \
    test -z "$left"
  list left "$left"
  list "kept by design" "$kept"
  left=$(files_of_ours)
  check "no file or folder of ours left on drive C:" test -z "$left"
  list left "$left"
}

# verify_signatures <what> <files...>: when the files are expected signed ($expect_signed = yes),
# osslsigncode verifies each against the test's certificate authority.
verify_signatures() {
  local what="$1" f bad=""
  shift
  [ "${expect_signed:-}" = yes ] || return 0
  for f in "$@"; do
    osslsigncode verify -CAfile "$ca" -TSA-CAfile "$ca" -in "$f" >"$work/verify.txt" 2>&1 &&
      grep -q '^Signature verification: ok' "$work/verify.txt" || bad+=" $(basename "$f")"
  done
  check "$what signed, and the signatures verify ($#: $(for f in "$@"; do printf '%s ' "$(basename "$f")"; done))" test -z "$bad"
  [ -z "$bad" ] || echo "  not signed or not verified:$bad"
}

# use_installed <what the host must say about the class>: the stand-in host, with nothing else
# registered, loads the add-in and saves an attachment with its button.
use_installed() {
  rm -rf "$work/saved"
  mkdir -p "$work/saved"
  cat > "$work/use.script" <<SCRIPT
open mail "Installed" received from "Ann Example" on 2024-05-17 attach byvalue notes.txt text "saved by the installed add-in"
saveas save "$(winpath "$work/saved/notes.txt")"
click "Save Attachments"
shutdown
SCRIPT
  wine64 "$(winpath "$host")" --deadline 40 --transcript "$(winpath "$work/use.txt")" "$(winpath "$work/use.script")" \
    >/dev/null 2>&1; local rc=$?
  sed 's/^/  | /' "$work/use.txt"
  check "the host ran the script (exit $rc)" test $rc -eq 0
  check "the host found the add-in: $1" grep -qF -- "$1" "$work/use.txt"
  check "the add-in connected" grep -qF 'addin "Tallowby.Connect" OnConnection ok' "$work/use.txt"
  check "its button saved the attachment" grep -qx 'saved by the installed add-in' "$work/saved/notes.txt"
  check "the add-in unloaded at the end" grep -qF 'addin "Tallowby.Connect" DllCanUnloadNow S_OK unloaded=yes' "$work/use.txt"
}

# finish <summary>: the one-line result, for the test summary too.
finish() {
  if [ $failures -eq 0 ]; then
    echo "$1: passed" | tee -a "$result_file"
    exit 0
  fi
  echo "$1: $failures check(s) FAILED" | tee -a "$result_file"
  exit 1
}
