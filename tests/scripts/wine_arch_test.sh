#!/usr/bin/env bash
# The 32-bit Wine probe and what the entry points choose from its answer, with stand-in loaders:
# one that runs, one the kernel cannot execute, one missing, one that fails otherwise.
# Usage: wine_arch_test.sh <scripts/wine-arch.sh>
set -u
lib="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

check() {  # check <what> <expected> <actual>
  if [ "$2" != "$3" ]; then
    echo "FAIL $case: $1: expected '$2', got '$3'"; failures=$((failures + 1))
  fi
}

# A loader that runs: prints its version and counts its starts.
printf '#!/bin/sh\necho x >>"%s/starts"\necho wine-8.0\n' "$tmp" >"$tmp/runs"
# A program in a format the kernel does not execute: the shell reports "Exec format error", 126,
# as for an i386 program where IA-32 emulation is off.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000' >"$tmp/i386"
# A loader that starts and fails for another reason.
printf '#!/bin/sh\necho "wine: cannot find the server" >&2\nexit 1\n' >"$tmp/broken"
chmod +x "$tmp/runs" "$tmp/i386" "$tmp/broken"

# case <name> <loader> <runs> <demo preset> <win32 line>
while read -r case loader runs demo line; do
  (
    unset TALLOWBY_WIN32_RUNS TALLOWBY_WIN32_WHY
    export TALLOWBY_WINE32_LOADER="$tmp/$loader"
    line=${line//TMP/$tmp}
    # shellcheck source=../../scripts/wine-arch.sh
    . "$lib"
    # The demo runs under `set -e`: a loader that cannot start must not end the caller.
    # (A child shell: errexit does not apply inside a `||` list of this one.)
    check "probe under set -e" "$runs" "$(bash -ec ". '$lib'; wine_arch_probe; echo \$TALLOWBY_WIN32_RUNS" 2>&1)"
    wine_arch_probe
    check "probe" "$runs" "$TALLOWBY_WIN32_RUNS"
    check "demo preset" "$demo" "$(wine_arch_demo)"
    check "win32 line" "win32: $line" "$(wine_arch_line win32)"
    check "release-win32 follows win32" "$(wine_arch_runs win32 && echo y)" "$(wine_arch_runs release-win32 && echo y)"
    check "win64 runs" y "$(wine_arch_runs win64 && echo y)"
    check "native runs" y "$(wine_arch_runs native && echo y)"
    exit $failures
  ) || failures=$((failures + $?))
done <<'CASES'
runs     runs    yes win32 built and run under Wine
exec     i386    no  win64 built, not run (this machine runs 64-bit programs only)
missing  absent  no  win64 built, not run (the 32-bit Wine package could not be installed: TMP/absent is missing)
failing  broken  no  win64 built, not run (the 32-bit Wine loader failed (exit 1): wine: cannot find the server)
CASES

# One probe per run: asked again, in a subshell or by a script the first one starts, the answer is
# the one already found.
case=once
(
  unset TALLOWBY_WIN32_RUNS TALLOWBY_WIN32_WHY
  rm -f "$tmp/starts"
  export TALLOWBY_WINE32_LOADER="$tmp/runs"
  . "$lib"
  wine_arch_line win32 >/dev/null
  wine_arch_line win32 >/dev/null
  preset=$(wine_arch_demo)
  child=$(bash -c ". '$lib'; wine_arch_demo")
  check "demo preset" win32 "$preset"
  check "child's preset" win32 "$child"
  check "loader starts" 1 "$(wc -l <"$tmp/starts")"
  exit $failures
) || failures=$((failures + $?))

[ $failures -eq 0 ] && echo "wine-arch: all cases passed"
exit $((failures > 0))
