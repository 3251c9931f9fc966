#!/usr/bin/env bash
# Runs every test: set-up, then configure, build and test the native, native-asan, fuzz, win32 and
# win64 presets, and the release presets (the shipped DLLs' checks; in release-win64 the packaging,
# signed with a test certificate, and the setup program's two modes and the Windows Installer
# package installed, used and removed under Wine). The sweeps' tables, the long run's samples and
# the signatures' excerpt (reports/ of a build) are printed after its tests.
# Usage: scripts/test.sh [preset...]
#   (default: native native-asan fuzz win32 win64 release-win32 release-win64)
# The fuzz preset runs each fuzz target for a few seconds (scripts/fuzz.sh runs them longer).
# TALLOWBY_BUILD_ROOT chooses the folder that holds the build trees (default: build).
# Exits non-zero when any step of any preset fails; always stops what it started.
# A Windows preset whose programs cannot run on this machine (win32 where the kernel runs 64-bit
# programs only: scripts/wine-arch.sh) is configured and built, and only its build checks run.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/setup.sh || exit 1
# shellcheck source=wine-session.sh
. scripts/wine-session.sh
# shellcheck source=wine-arch.sh
. scripts/wine-arch.sh

broot="${TALLOWBY_BUILD_ROOT:-build}"
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan fuzz win32 win64 release-win32 release-win64)
# The presets whose programs are Windows programs, run under Wine.
is_windows() { [[ "$1" == win32 || "$1" == win64 || "$1" == release-win32 || "$1" == release-win64 ]]; }

cleanup() { wine_session_stop; xvfb_stop; }
trap cleanup EXIT
trap 'exit 130' INT TERM

status=0
summary=()
for preset in "${presets[@]}"; do
  echo "=== $preset: configure and build"
  bdir="$broot/$preset"
  mkdir -p "$bdir"
  wine_tests=ON
  if is_windows "$preset"; then
    wine_arch_line "$preset"
    wine_arch_runs "$preset" || wine_tests=OFF
  fi
  if ! cmake --preset "$preset" -B "$bdir" -DTALLOWBY_WINE_TESTS=$wine_tests >"$bdir/configure.log" 2>&1; then
    cat "$bdir/configure.log"; status=1; summary+=("$preset: configure failed"); continue
  fi
  if ! cmake --build "$bdir" -j 2; then
    status=1; summary+=("$preset: build failed"); continue
  fi

  echo "=== $preset: test"
  rm -f "$bdir/windows-versions.txt" "$bdir/installer-test.txt"
  if [ $wine_tests = OFF ]; then
    # Only the build checks (exports, imports) are registered in such a build.
    if ctest --test-dir "$bdir" --output-on-failure; then
      summary+=("$(wine_arch_line "$preset"); its build checks passed")
    else
      status=1; summary+=("$preset: build checks FAILED")
    fi
    continue
  fi
  if is_windows "$preset"; then
    xvfb_start || { status=1; summary+=("$preset: Xvfb failed"); continue; }
    # The release build's Wine tests (the installers') make fresh prefixes of their own.
    if [[ "$preset" != release-* ]]; then
      wine_session_start "$bdir" || { status=1; summary+=("$preset: Wine session failed"); continue; }
    fi
  fi
  # Windows tests share one prefix's registry and one desktop: one at a time, so none meets another's
  # registrations or windows.
  jobs=2
  is_windows "$preset" && jobs=1
  rm -rf "$bdir/reports"
  ctest --test-dir "$bdir" --output-on-failure -j "$jobs" 2>&1 | tee "$bdir/ctest.log"
  if [ "${PIPESTATUS[0]}" -eq 0 ]; then
    summary+=("$preset: ran, passed")
  else
    status=1; summary+=("$preset: FAILED")
  fi
  for report in "$bdir"/reports/*.txt; do
    [ -f "$report" ] && cat "$report"
  done
  [ -f "$bdir/installer-test.txt" ] && summary+=("$(cat "$bdir/installer-test.txt")")
  is_windows "$preset" && wine_session_stop
done

# The Windows version matrix: one column per Windows preset, from the results its windows_versions
# test wrote (tests/win/versions/version_matrix.sh).
version_matrix() {
  local preset row cell notes=() shown=()
  for preset in win32 win64; do
    [[ " ${presets[*]} " == *" $preset "* ]] && shown+=("$preset")
  done
  [ ${#shown[@]} -gt 0 ] || return 0
  echo "=== Windows versions: start-up, click and save with replace, send warning, Options page, unload, and"
  echo "    the version test, under Wine reporting each version"
  { printf '%-8s' Windows; printf '  %-32s' "${shown[@]}"; printf '\n'
  for row in 2000 XP 7 10; do
    printf '%-8s' "$row"
    for preset in "${shown[@]}"; do
      if ! wine_arch_runs "$preset"; then
        cell="not run here"
      else
        cell=$(awk -F '\t' -v row="$row" '$1 == row {print $2}' "$broot/$preset/windows-versions.txt" 2>/dev/null)
        cell=${cell:-no result}
      fi
      printf '  %-32s' "$cell"
    done
    printf '\n'
  done; } | sed 's/ *$//'
  for preset in "${shown[@]}"; do
    wine_arch_runs "$preset" || notes+=("$preset not run here: $TALLOWBY_WIN32_WHY")
  done
  [ ${#notes[@]} -eq 0 ] || printf '%s\n' "${notes[@]}"
}

echo "=== summary"
printf '%s\n' "${summary[@]}"
version_matrix
exit $status
