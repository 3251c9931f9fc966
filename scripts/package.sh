#!/usr/bin/env bash
# Builds the release DLLs of both architectures and the installer into dist/.
# Usage: bash scripts/package.sh [--x64-only <installer.exe>]
#   Sets the machine up (scripts/setup.sh), configures and builds the presets release-win32 and
#   release-win64 (the two DLLs, size-optimised; the build prints their sizes and fails past the
#   budget) and makes dist/TallowbySetup-<version>.exe with NSIS: a 32-bit program that installs
#   both architectures' DLLs for the current user.
#   --x64-only: instead, the same installer script built as a 64-bit program carrying the x86_64
#   DLLs alone, into the file given (the installer's test where no 32-bit program runs).
# TALLOWBY_BUILD_ROOT chooses the folder of the build trees (default: build), as for the tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

x64_only=""
case "${1:-}" in
  "") ;;
  --x64-only) [ $# -eq 2 ] || { echo "usage: bash scripts/package.sh [--x64-only <installer.exe>]" >&2; exit 2; }
              x64_only="$2" ;;
  *) echo "usage: bash scripts/package.sh [--x64-only <installer.exe>]" >&2; exit 2 ;;
esac

bash scripts/setup.sh
broot="${TALLOWBY_BUILD_ROOT:-build}"
version=$(sed -n 's/^project(Tallowby VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }

presets=(release-win32 release-win64)
[ -n "$x64_only" ] && presets=(release-win64)
for preset in "${presets[@]}"; do
  bdir="$broot/$preset"
  mkdir -p "$bdir"
  echo "=== $preset: the DLLs"
  if [ ! -f "$bdir/CMakeCache.txt" ]; then
    cmake --preset "$preset" -B "$bdir" >"$bdir/configure.log" 2>&1 || { cat "$bdir/configure.log" >&2; exit 1; }
  fi
  cmake --build "$bdir" -j 2 --target Tallowby TallowbyPage release_check >"$bdir/package-build.log" 2>&1 ||
    { tail -n 40 "$bdir/package-build.log" >&2; exit 1; }
  # The release check's lines: each DLL's size and the sum against the budget.
  sed -n 's/^\(Tallowby.*\.dll: .*\|together: .*\)$/  \1/p' "$bdir/package-build.log"
done

nsis() {
  makensis -V2 -DVERSION="$version" "$@" installer/Tallowby.nsi >"$broot/makensis.log" 2>&1 ||
    { cat "$broot/makensis.log" >&2; exit 1; }
}
babs="$(cd "$broot" && pwd)"
x86="$babs/release-win32/addin/win"
x64="$babs/release-win64/addin/win"
page86="$babs/release-win32/proppage/win"
page64="$babs/release-win64/proppage/win"
# makensis takes one folder per architecture: gather each architecture's two DLLs.
stage="$babs/installer-stage"
rm -rf "$stage"
mkdir -p "$stage/x64"
cp "$x64/Tallowby.dll" "$page64/TallowbyPage.dll" "$stage/x64/"
if [ -n "$x64_only" ]; then
  nsis -DX64_ONLY -DX64_DIR="$stage/x64" -DOUTFILE="$x64_only"
  echo "installer (64-bit, x86_64 DLLs only): $x64_only ($(stat -c %s "$x64_only") bytes)"
  exit 0
fi
mkdir -p "$stage/x86" dist
cp "$x86/Tallowby.dll" "$page86/TallowbyPage.dll" "$stage/x86/"
out="dist/TallowbySetup-$version.exe"
nsis -DX86_DIR="$stage/x86" -DX64_DIR="$stage/x64" -DOUTFILE="$root/$out"
echo "installer: $out ($(stat -c %s "$out") bytes)"
