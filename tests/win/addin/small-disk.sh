#!/usr/bin/env bash
# The small disk of the scenarios that need real file-system failures: a 64 KiB tmpfs mounted on a
# folder of the Wine prefix's drive C:, and in it a folder that refuses new files while its one file
# may still be written (the immutable attribute, which stops root too). Where this machine allows
# neither mount nor chattr (no privilege, another kernel), it says so and the scenarios that need
# them are skipped: the marker files tell them what there is.
# Usage: small-disk.sh mount|unmount <folder>
set -u
what="${1:-}" folder="${2:-}"
[ -n "$folder" ] || { echo "usage: small-disk.sh mount|unmount <folder>" >&2; exit 2; }

unmount() {
  if mountpoint -q "$folder" 2>/dev/null; then
    chattr -i "$folder/refuses-new" 2>/dev/null
    umount "$folder" || { echo "small disk: cannot unmount $folder" >&2; return 1; }
  fi
  rm -rf "$folder"
}

case "$what" in
  mount)
    unmount || exit 1  # what a run cut short left
    mkdir -p "$folder"
    if ! reason=$(mount -t tmpfs -o size=64k,mode=0777 tallowby-small-disk "$folder" 2>&1); then
      rmdir "$folder"
      echo "small disk: no file system can be mounted here (${reason:-mount failed}): its scenarios are skipped"
      exit 0
    fi
    : >"$folder/mounted"
    mkdir "$folder/refuses-new"
    printf 'the user%s report' "'s" >"$folder/refuses-new/report.txt"
    if chattr +i "$folder/refuses-new" 2>/dev/null; then
      : >"$folder/refusing"
    else
      echo "small disk: the folder cannot be made to refuse new files here (chattr +i): that scenario is skipped"
    fi
    echo "small disk: 64 KiB mounted on $folder"
    ;;
  unmount) unmount ;;
  *) echo "usage: small-disk.sh mount|unmount <folder>" >&2; exit 2 ;;
esac
