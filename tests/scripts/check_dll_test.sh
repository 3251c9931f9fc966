#!/usr/bin/env bash
# The DLL build check's rules on `objdump -p` dumps written here, against the project's import
# table: where each architecture's target Windows draws the line, functions only one architecture's
# Windows has, imports by ordinal, the PE header's versions, and a table row it cannot read.
# (The Windows presets prove the same check on real DLLs, good and deliberately bad.)
# Usage: check_dll_test.sh <cmake/CheckDll.cmake> <cmake/WindowsImports.txt>
set -u
check="$1"
table="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

# The stand-in objdump prints the file it is given: the "DLL" is the dump itself.
printf '#!/bin/sh\ncat "$2"\n' >"$tmp/objdump"
chmod +x "$tmp/objdump"

# dump <format> <os version> <subsystem version> <dll!function>...
dump() {
  local format="$1" os="$2" sub="$3" dll="" import
  shift 3
  printf '\nx.dll:     file format %s\n\n' "$format"
  printf 'MajorOSystemVersion\t%s\nMinorOSystemVersion\t%s\n' "${os%.*}" "${os#*.}"
  printf 'MajorSubsystemVersion\t%s\nMinorSubsystemVersion\t%s\n\n' "${sub%.*}" "${sub#*.}"
  printf 'The Import Tables (interpreted .idata section contents)\n'
  for import in "$@"; do
    if [ "${import%%!*}" != "$dll" ]; then
      [ -n "$dll" ] && printf '\n'
      dll="${import%%!*}"
      printf '\tDLL Name: %s\n\tvma:  Hint/Ord Member-Name Bound-To\n' "$dll"
    fi
    case "${import#*!}" in
      '#'*) printf '\t80000000000000d7\t    0000000%s  <none>\n' "${import#*!#}" ;;
      *) printf '\t8b70c\t  428  %s\n' "${import#*!}" ;;
    esac
  done
  printf '\n[Ordinal/Name Pointer] Table\n'
  printf '\t[   %d] %s\n' 0 DllCanUnloadNow 1 DllGetClassObject 2 DllRegisterServer 3 DllUnregisterServer
  printf '\n'
}

# case <name> <target> <expected: "ok" or a piece of the one line of refusal> <dump arguments...>
run() {
  local name="$1" target="$2" expected="$3" out rc
  shift 3
  dump "$@" >"$tmp/$name.dll"
  out=$(cmake "-DOBJDUMP=$tmp/objdump" "-DDLL=$tmp/$name.dll" "-DSYSTEM_DLLS=kernel32.dll;msvcrt.dll;shlwapi.dll" \
    "-DIMPORT_TABLE=${TABLE:-$table}" "-DWINDOWS_TARGET=$target" -P "$check" 2>&1)
  rc=$?
  if [ "$expected" = ok ]; then
    [ $rc -eq 0 ] || { echo "FAIL $name: refused: $out"; failures=$((failures + 1)); }
  elif [ $rc -eq 0 ] || [[ "$out" != *"$expected"* ]]; then
    echo "FAIL $name: expected a refusal with '$expected', got (exit $rc): $out"; failures=$((failures + 1))
  fi
}

i686=pei-i386
x64=pei-x86-64
run i686-2000 5.0 ok $i686 5.0 5.0 KERNEL32.dll!CloseHandle KERNEL32.dll!QueryPerformanceCounter msvcrt.dll!_setjmp3
run i686-xp-function 5.0 'imports kernel32.dll!GetModuleHandleExW, which needs Windows 5.1; the target is 5.0' \
  $i686 5.0 5.0 KERNEL32.dll!CloseHandle KERNEL32.dll!GetModuleHandleExW
run i686-crt7 5.0 'imports msvcrt.dll!___lc_codepage_func, which needs Windows 5.1' $i686 5.0 5.0 msvcrt.dll!___lc_codepage_func
run x64-xp-function 5.2 ok $x64 5.2 5.2 KERNEL32.dll!GetModuleHandleExW KERNEL32.dll!RtlVirtualUnwind msvcrt.dll!__iob_func
run x64-vista-function 5.2 'imports kernel32.dll!GetTickCount64, which needs Windows 6.0; the target is 5.2' \
  $x64 5.2 5.2 KERNEL32.dll!GetTickCount64
run i686-x64-only 5.0 'imports kernel32.dll!RtlVirtualUnwind, which only 64-bit Windows has' \
  $i686 5.0 5.0 KERNEL32.dll!RtlVirtualUnwind
run x64-i686-only 5.2 'imports msvcrt.dll!_setjmp3, which only 32-bit Windows has' $x64 5.2 5.2 msvcrt.dll!_setjmp3
run unlisted 5.2 'imports kernel32.dll!Beep, which the import table does not list' $x64 5.2 5.2 KERNEL32.dll!Beep
run ordinal 5.0 'imports shlwapi.dll!#215, which the import table does not list' $i686 5.0 5.0 SHLWAPI.dll!#d7
run old-os-version 5.0 'states os version 4.0 in its header; the target is 5.0' $i686 4.0 5.0 KERNEL32.dll!CloseHandle
run newer-subsystem 5.0 'states subsystem version 5.2 in its header; the target is 5.0' $i686 5.0 5.2 KERNEL32.dll!CloseHandle
run later-target 6.0 ok $x64 6.0 6.0 KERNEL32.dll!GetTickCount64

printf 'KERNEL32.dll  CloseHandle  5.0  both  doc\n' >"$tmp/bad-table.txt"
TABLE="$tmp/bad-table.txt" run bad-table 5.0 'cannot read the row "KERNEL32.dll  CloseHandle  5.0  both  doc"' \
  $i686 5.0 5.0 KERNEL32.dll!CloseHandle

[ $failures -eq 0 ] && echo "all cases passed"
exit $failures
