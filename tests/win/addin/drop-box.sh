#!/usr/bin/env bash
# A drop box on the Wine prefix's drive C: a folder that takes new files but lets none be renamed
# or removed (the append-only attribute, which stops root too), with one file of the user's in it.
# Where this machine allows no chattr (no privilege, another file system), it says so and the tests
# that need it are skipped: the marker file beside it tells them it is there.
# Usage: drop-box.sh make|remove <folder>
set -u
what="${1:-}" folder="${2:-}"
[ -n "$folder" ] || { echo "usage: drop-box.sh make|remove <folder>" >&2; exit 2; }

remove() {
  chattr -a "$folder" 2>/dev/null
  rm -rf "$folder" "$folder.ready"
}

case "$what" in
  make)
    remove
    mkdir -p "$folder"
    printf 'the user%s report' "'s" >"$folder/report.txt"
    if chattr +a "$folder" 2>/dev/null; then
      : >"$folder.ready"
    else
      echo "drop box: the folder cannot be made append-only here (chattr +a): its tests are skipped"
    fi
    ;;
  remove) remove ;;
  *) echo "usage: drop-box.sh make|remove <folder>" >&2; exit 2 ;;
esac
