#!/usr/bin/env bash
# Builds what a Windows user or administrator installs, into dist/:
#   TallowbySetup-<version>.exe  the setup program (NSIS), a 32-bit program: both architectures' DLLs
#                                for the current user or, as administrator, for all users;
#   Tallowby-<version>.msi       the Windows Installer package (msitools' wixl), for administrators:
#                                per machine, both architectures, 64-bit Windows.
# Usage: bash scripts/package.sh [--out <folder>] [--x64-only <installer.exe>]
#   Sets the machine up (scripts/setup.sh), configures and builds the presets release-win32 and
#   release-win64 (the two DLLs, size-optimised; the build prints their sizes and fails past the
#   budget), gathers the DLLs, signs them, then makes and signs the setup program and the package.
#   --out: another folder instead of dist/.
#   --x64-only: instead, the setup program alone, built as a 64-bit program carrying the x86_64 DLLs
#   alone, into the file given (the installer's test where no 32-bit program runs).
# Signing (Authenticode, SHA-256; scripts/sign.sh) when TALLOWBY_SIGN_PFX names a certificate, with
# TALLOWBY_SIGN_PASSWORD and, for a time stamp, TALLOWBY_SIGN_TIMESTAMP: the DLLs before they are
# packed, the uninstaller the setup program writes, the setup program and the package. Without a
# certificate everything is built unsigned and one line says so.
# TALLOWBY_BUILD_ROOT chooses the folder of the build trees (default: build), as for the tests.
# TALLOWBY_PACKAGE_VERSION gives the setup program and the package another version than the
# project's (the package's upgrade test builds an older one so).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

usage() { echo "usage: bash scripts/package.sh [--out <folder>] [--x64-only <installer.exe>]" >&2; exit 2; }
x64_only=""
out="$root/dist"
while [ $# -gt 0 ]; do
  case "$1" in
    --x64-only) [ $# -ge 2 ] || usage; x64_only="$2"; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; mkdir -p "$2"; out="$(cd "$2" && pwd)"; shift 2 ;;
    *) usage ;;
  esac
done

bash scripts/setup.sh
broot="${TALLOWBY_BUILD_ROOT:-build}"
version=$(sed -n 's/^project(Tallowby VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
version="${TALLOWBY_PACKAGE_VERSION:-$version}"

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

signing=""
if [ -n "${TALLOWBY_SIGN_PFX:-}" ]; then
  signing=yes
  echo "signing with $(basename "$TALLOWBY_SIGN_PFX")${TALLOWBY_SIGN_TIMESTAMP:+, time stamps from $TALLOWBY_SIGN_TIMESTAMP}"
else
  echo "package: no certificate given (TALLOWBY_SIGN_PFX): the DLLs, the setup program and the package are not signed"
fi
sign() { [ -z "$signing" ] || bash "$root/scripts/sign.sh" "$@"; }

babs="$(cd "$broot" && pwd)"
# The DLLs as shipped, per architecture, signed here: the build trees keep the unsigned ones.
stage="$babs/package-stage"
rm -rf "$stage"
mkdir -p "$stage/x64"
cp "$babs/release-win64/addin/win/Tallowby.dll" "$babs/release-win64/proppage/win/TallowbyPage.dll" "$stage/x64/"
if [ -z "$x64_only" ]; then
  mkdir -p "$stage/x86"
  cp "$babs/release-win32/addin/win/Tallowby.dll" "$babs/release-win32/proppage/win/TallowbyPage.dll" "$stage/x86/"
fi
sign "$stage"/*/*.dll

nsis() {
  local args=(-V2 -DVERSION="$version")
  [ -n "$signing" ] && args+=("-DSIGN_UNINSTALLER=bash \"$root/scripts/sign.sh\"")
  makensis "${args[@]}" "$@" installer/Tallowby.nsi >"$stage/makensis.log" 2>&1 ||
    { cat "$stage/makensis.log" >&2; exit 1; }
}
size() { echo "$1 ($(stat -c %s "$1") bytes)"; }
if [ -n "$x64_only" ]; then
  nsis -DX64_ONLY -DX64_DIR="$stage/x64" -DOUTFILE="$x64_only"
  sign "$x64_only"
  echo "setup program (64-bit, x86_64 DLLs only): $(size "$x64_only")"
  exit 0
fi

mkdir -p "$out"
exe="$out/TallowbySetup-$version.exe"
nsis -DX86_DIR="$stage/x86" -DX64_DIR="$stage/x64" -DOUTFILE="$exe"
sign "$exe"

# The package's registry entries, from the type libraries, one include per DLL and architecture.
mkdir -p "$stage/msi"
for arch in x86 x64; do
  id=$(tr a-z A-Z <<<"$arch")
  bash installer/msi-registry.sh addin/win/Tallowby.idl "$arch" "Tallowby$id" >"$stage/msi/Tallowby-$arch.wxi"
  bash installer/msi-registry.sh proppage/win/TallowbyPage.idl "$arch" "Page$id" >"$stage/msi/TallowbyPage-$arch.wxi"
done
# One product code per version, derived from it: a version is one product, and a newer one
# upgrades it (installer/Tallowby.wxs).
hash=$(printf 'Quenmark Save Attachments %s' "$version" | sha1sum)
product=$(printf '%s-%s-5%s-%x%s-%s' "${hash:0:8}" "${hash:8:4}" "${hash:13:3}" $(( (0x${hash:16:1} & 3) | 8 )) \
          "${hash:17:3}" "${hash:20:12}" | tr a-f A-F)
msi="$out/Tallowby-$version.msi"
# wixl finds sources relative to the folder it runs in.
(cd "$stage" && wixl -a x64 -D Version="$version" -D ProductCode="$product" -D X86Dir=x86 -D X64Dir=x64 \
   -I msi -o "$msi" "$root/installer/Tallowby.wxs") >"$stage/wixl.log" 2>&1 ||
  { cat "$stage/wixl.log" >&2; exit 1; }
sign "$msi"
echo "setup program: $(size "$exe")"
echo "Windows Installer package: $(size "$msi")"
