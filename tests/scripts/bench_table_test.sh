#!/usr/bin/env bash
# scripts/bench-table.sh on figures written here: every case side by side with its ratio, medians
# with min and max (also of an even count), rows without a probing figure, and a missing file refused.
# Usage: bench_table_test.sh <bench-table.sh>
set -uo pipefail
table=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail=0
expect() {  # expect <description> <line that must be in the output>
  if ! grep -qxF -- "$2" "$dir/out"; then echo "FAILED: $1: no line: $2"; fail=1; fi
}

printf 'refresh\tempty\tprobing\t2\t2\t0.050\t0.040\t0.090\t40.1\t40.0\t40.3\n' >"$dir/refresh.tsv"
printf 'refresh\tempty\tlisting\t1\t2\t0.040\t0.030\t0.060\t20.1\t20.0\t20.2\n' >>"$dir/refresh.tsv"
printf 'refresh\tworst\tprobing\t404\t404\t5\t4\t6\t8000\t7990\t8100\n' >>"$dir/refresh.tsv"
printf 'refresh\tworst\tlisting\t1\t2\t0.2\t0.1\t0.3\t20.0\t20.0\t20.3\n' >>"$dir/refresh.tsv"
printf 'connect\t1\t1.5\nconnect\t1\t1.2\nconnect\t1\t2.0\nconnect\t10\t4.0\nconnect\t10\t3.0\nselect\t1\t0.3\nselect\t1\t0.1\n' \
  >"$dir/host-timings.tsv"
printf 'win32\trelease\t300000\t100000\nwin64\tpreset\t1234567\t345678\n' >"$dir/sizes.tsv"
printf 'saveall\t1000\t1\t1448.3\t270.2\t1.199\t1.178\t1.231\nsaveall-again\t1000\t1\t1000\t900.5\t250.1\t0.650\t0.600\t0.700\n' \
  >"$dir/saveall.tsv"
bash "$table" "$dir" win64 20 21 3 7 10 14.0 >"$dir/out" || { echo "FAILED: exit code $?"; fail=1; }
expect "calls" "| file-system calls per refresh, folder on a share | empty folder | 2 | 1 | 2.0× |"
expect "local calls" "|  | worst case (mail item, all 404 names taken) | 404 | 2 | 202.0× |"
expect "worst calls" "|  | worst case (mail item, all 404 names taken) | 404 | 1 | 404.0× |"
expect "local empty" "| file-system calls per refresh, local disk (tests until a name is taken, then one query) | empty folder | 2 | 2 | 1.0× |"
expect "local times" "| refresh time, local folder under Wine (win64), ms: median (min–max) of 21 | empty folder | 0.050 (0.040–0.090) | 0.040 (0.030–0.060) | 1.2× |"
expect "slow times" "|  | worst case (mail item, all 404 names taken) | 8000.0 (7990.0–8100.0) | 20.0 (20.0–20.3) | 400.0× |"
expect "odd median" "| OnConnection to return, host 14.0 (win64), ms: median (min–max) of 7 starts | 1 item window | — | 1.500 (1.200–2.000) | — |"
expect "even median" "|  | 10 item windows | — | 3.500 (3.000–4.000) | — |"
expect "selection" "| button refresh on SelectionChange, ms: median (min–max) of 70 | 1 item window | — | 0.200 (0.100–0.300) | — |"
expect "release sizes" "| DLL sizes: Tallowby.dll + TallowbyPage.dll | win32, release build | — | 300000 + 100000 bytes | — |"
expect "preset sizes" "|  | win64, the win64 preset's build | — | 1234567 + 345678 bytes | — |"
expect "save all" "| Save All Attachments, the add-in's own ms per attachment (total minus the host's SaveAsFile): median (min–max) of 21 | 1000 attachments of 1 KB: 1 directory query, total 1448.3 ms, host SaveAsFile 270.2 ms | — | 1.199 (1.178–1.231) | — |"
expect "save all again" "|  | 1000 attachments of 1 KB again, beside the first run's files: 1 directory query, 1000 content comparisons, total 900.5 ms, host SaveAsFile 250.1 ms | — | 0.650 (0.600–0.700) | — |"

rm "$dir/sizes.tsv"
if bash "$table" "$dir" win64 20 21 3 7 10 14.0 >/dev/null 2>&1; then echo "FAILED: a missing file is accepted"; fail=1; fi
[ $fail -eq 0 ] && echo "bench table: all cases pass"
exit $fail
