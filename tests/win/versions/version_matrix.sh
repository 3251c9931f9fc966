#!/usr/bin/env bash
# The Windows version matrix of one architecture: Wine reports each Windows version in turn (the
# prefix's HKCU\Software\Wine "Version"), and under each the version test runs (GetVersionExA's
# answer against the version set) and then the main scenarios through the
# stand-in host with the real DLLs: start-up with open windows, click and save with "Replace with
# shortcut", the send warning, unload, and the Options page (Apply, then the next Save As dialog).
# Writes one line per Windows version, "<version><TAB><result>", to the results file (scripts/test.sh
# lays out both architectures' files as the matrix) and fails when any version fails.
# Usage: version_matrix.sh <wine-run> <win32|win64> <results file> <filedialog_tests.exe>
#        <addin_host_tests.exe> <proppage_host_tests.exe>
set -uo pipefail
run="$1"; arch="$2"; results="$3"; filedialog="$4"; addin="$5"; page="$6"
rm -f "$results"

# <row> <Wine's name> <what GetVersionExA reports> <note>; "-" for a version this architecture lacks.
# Windows 10 reports 6.2 to a program that declares no compatibility in a manifest, as the host
# programs here (and the hosts of old add-ins) do.
if [ "$arch" = win32 ]; then
  versions=("2000 win2k 5.0" "XP winxp 5.1" "7 win7 6.1" "10 win10 6.2")
else
  versions=("2000 - - no 64-bit Windows 2000" "XP winxp64 5.2 as XP x64 / Server 2003" "7 win7 6.1" "10 win10 6.2")
fi

key='HKCU\Software\Wine'
previous=$("$run" reg query "$key" /v Version 2>/dev/null | tr -d '\r' | awk '$1 == "Version" {print $3}')
restore() {
  if [ -n "$previous" ]; then
    "$run" reg add "$key" /v Version /t REG_SZ /d "$previous" /f >/dev/null 2>&1
  else
    "$run" reg delete "$key" /v Version /f >/dev/null 2>&1
  fi
}
trap restore EXIT
trap 'exit 130' INT TERM

# step <label> <program> <gtest filter>: runs the cases, prints one line; true when all passed.
step() {
  local label="$1" program="$2" filter="$3" log count
  log=$(mktemp)
  if "$run" "$program" "--gtest_filter=$filter" >"$log" 2>&1 && grep -q '^\[  PASSED  \]' "$log"; then
    count=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log")
    echo "  ok    $label ($count cases)"
    rm -f "$log"
    return 0
  fi
  echo "  FAIL  $label"
  grep -E '^\[  FAILED  \]|Failure|error|expected|not found' "$log" | head -n 40 | sed 's/^/        /'
  rm -f "$log"
  return 1
}

scenarios='*/HostScenario.*/StartupWithOpenWindows:*/HostScenario.*/SaveAttachmentsFilesAndShortcuts'
scenarios+=':*/HostScenario.*/SendWithShortcuts:*/HostScenario.*/UnloadRemovesButtonsAndEmptyBars'
failed=0
for entry in "${versions[@]}"; do
  read -r row wine reports note <<<"$entry"
  if [ "$wine" = - ]; then
    printf '%s\t%s\n' "$row" "$note" >>"$results"
    echo "$arch, Windows $row: $note"
    continue
  fi
  started=$SECONDS
  echo "$arch, Windows $row (Wine \"$wine\", GetVersionExA $reports${note:+, $note}):"
  ok=1
  if ! "$run" reg add "$key" /v Version /t REG_SZ /d "$wine" /f >/dev/null 2>&1; then
    echo "  FAIL  cannot set the Windows version"; ok=0
  else
    export TALLOWBY_EXPECT_WINDOWS="$reports"
    step "version test (GetVersionExA reports $reports)" "$filedialog" 'WindowsVersion.*' || ok=0
    step "start-up, click and save with replace, send warning, unload" "$addin" "$scenarios" || ok=0
    step "Options page, Apply, next Save As dialog" "$page" '*/HostOptions.*/applyreachessaveas' || ok=0
  fi
  if [ $ok = 1 ]; then result="pass"; else result="FAIL"; failed=1; fi
  echo "  $result in $((SECONDS - started)) s"
  printf '%s\t%s%s\n' "$row" "$result" "${note:+ ($note)}" >>"$results"
done
exit $failed
