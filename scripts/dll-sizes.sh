#!/usr/bin/env bash
# Prints the two DLLs' sizes per architecture, from the build trees that exist: the development
# build (presets win32/win64: with debug information), the same stripped of it, and the release
# build (release-win32/release-win64) that the installer ships. Builds nothing.
# Usage: bash scripts/dll-sizes.sh   (TALLOWBY_BUILD_ROOT chooses the folder of the build trees)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
broot="${TALLOWBY_BUILD_ROOT:-$root/build}"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

kib() { echo $((($1 + 512) / 1024)); }
row() {  # row <label> <Tallowby.dll bytes> <TallowbyPage.dll bytes>
  printf '  %-34s %9s KiB %9s KiB %9s KiB\n' "$1" "$(kib "$2")" "$(kib "$3")" "$(kib $(($2 + $3)))"
}

for arch in win32:i686 win64:x86_64; do
  preset=${arch%%:*}
  strip="${arch##*:}-w64-mingw32-strip"
  dev="$broot/$preset"
  rel="$broot/release-$preset"
  echo "$preset"
  printf '  %-34s %13s %13s %13s\n' "" Tallowby.dll TallowbyPage.dll together
  found=no
  if [ -f "$dev/addin/win/Tallowby.dll" ] && [ -f "$dev/proppage/win/TallowbyPage.dll" ]; then
    a=$(stat -c %s "$dev/addin/win/Tallowby.dll")
    p=$(stat -c %s "$dev/proppage/win/TallowbyPage.dll")
    row "development build ($preset)" "$a" "$p"
    "$strip" -o "$tmp/a.dll" "$dev/addin/win/Tallowby.dll"
    "$strip" -o "$tmp/p.dll" "$dev/proppage/win/TallowbyPage.dll"
    row "  the same, stripped" "$(stat -c %s "$tmp/a.dll")" "$(stat -c %s "$tmp/p.dll")"
    found=yes
  fi
  if [ -f "$rel/addin/win/Tallowby.dll" ] && [ -f "$rel/proppage/win/TallowbyPage.dll" ]; then
    row "release build (release-$preset)" "$(stat -c %s "$rel/addin/win/Tallowby.dll")" \
      "$(stat -c %s "$rel/proppage/win/TallowbyPage.dll")"
    found=yes
  fi
  [ $found = yes ] || echo "  no build of $preset or release-$preset"
done
