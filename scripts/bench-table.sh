#!/usr/bin/env bash
# The benchmarks' table (markdown) from the figures scripts/bench.sh gathered in <folder>:
#   refresh.tsv       SuggestionBench's lines (bench/SuggestionBench.cpp)
#   host-timings.tsv  connect|select <item windows> <ms>, or mainsel <items selected> <ms>, one
#                     line per timed event
#   sizes.tsv         <arch> <release|preset> <Tallowby.dll bytes> <TallowbyPage.dll bytes>
#   saveall.tsv       SaveAllBench's lines (bench/SaveAllBench.cpp), where it was run: saveall, and
#                     saveall-again for the run again beside the first run's files
# Usage: scripts/bench-table.sh <folder> <preset> <delay ms> <runs> <slow runs> <host runs> <selects> <host version>
set -euo pipefail
[ $# -eq 8 ] || { echo "usage: bash scripts/bench-table.sh <folder> <preset> <delay> <runs> <slow runs> <host runs> <selects> <version>" >&2; exit 2; }
dir=$1 preset=$2 delay=$3 runs=$4 slow_runs=$5 host_runs=$6 selects=$7 version=$8
for f in refresh.tsv host-timings.tsv sizes.tsv; do
  [ -f "$dir/$f" ] || { echo "bench-table: $dir/$f is missing" >&2; exit 1; }
done

awk -F '\t' -v preset="$preset" -v delay="$delay" -v runs="$runs" -v slow="$slow_runs" -v hruns="$host_runs" \
    -v selects="$selects" -v version="$version" '
function ratio(p, l) { return l > 0 ? sprintf("%.1f×", p / l) : "—" }
function spread(m, lo, hi, fmt) { return sprintf(fmt " (" fmt "–" fmt ")", m, lo, hi) }
# median, min and max of the values in v[1..n]
function summary(v, n,    i, j, t, m) {
  for (i = 2; i <= n; i++) { t = v[i]; for (j = i - 1; j >= 1 && v[j] > t; j--) v[j + 1] = v[j]; v[j + 1] = t }
  m = n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  return spread(m, v[1], v[n], "%.3f")
}
FILENAME ~ /refresh.tsv$/ && $1 == "refresh" {
  k = $2 SUBSEP $3
  calls[k] = $4; lcalls[k] = $5; local[k] = spread($6, $7, $8, "%.3f"); localm[k] = $6
  slowt[k] = spread($9, $10, $11, "%.1f"); slowm[k] = $9
  if (!($2 in seen)) { seen[$2] = 1; order[++ncases] = $2 }
  next
}
FILENAME ~ /host-timings.tsv$/ { k = $1 SUBSEP $2; n[k]++; t[k, n[k]] = $3; next }
FILENAME ~ /sizes.tsv$/ { sizes[++nsizes] = $0; next }
FILENAME ~ /saveall.tsv$/ && ($1 == "saveall" || $1 == "saveall-again") { saveall[++nsaveall] = $0; next }
END {
  name["empty"] = "empty folder"; name["collisions100"] = "100 numbered collisions"
  name["worst"] = "worst case (mail item, all 404 names taken)"; name["unrelated10000"] = "10,000 unrelated files"
  print "| figure | case | probing | listing | probing ÷ listing |"
  print "|---|---|---:|---:|---:|"
  for (i = 1; i <= ncases; i++) { c = order[i]
    printf "| %s | %s | %d | %d | %s |\n", i == 1 ? "file-system calls per refresh, folder on a share" : "", name[c], calls[c, "probing"], calls[c, "listing"], ratio(calls[c, "probing"], calls[c, "listing"]) }
  for (i = 1; i <= ncases; i++) { c = order[i]
    printf "| %s | %s | %d | %d | %s |\n", i == 1 ? "file-system calls per refresh, local disk (tests until a name is taken, then one query)" : "", name[c], lcalls[c, "probing"], lcalls[c, "listing"], ratio(lcalls[c, "probing"], lcalls[c, "listing"]) }
  for (i = 1; i <= ncases; i++) { c = order[i]
    printf "| %s | %s | %s | %s | %s |\n", i == 1 ? "refresh time, local folder under Wine (" preset "), ms: median (min–max) of " runs : "", name[c], local[c, "probing"], local[c, "listing"], ratio(localm[c, "probing"], localm[c, "listing"]) }
  for (i = 1; i <= ncases; i++) { c = order[i]
    printf "| %s | %s | %s | %s | %s |\n", i == 1 ? "refresh time, slow folder on a share (" delay " ms per file-system call), ms: median (min–max) of " slow : "", name[c], slowt[c, "probing"], slowt[c, "listing"], ratio(slowm[c, "probing"], slowm[c, "listing"]) }
  split("connect select", kinds, " ")
  label["connect"] = "OnConnection to return, host " version " (" preset "), ms: median (min–max) of " hruns " starts"
  label["select"] = "button refresh on SelectionChange, ms: median (min–max) of " hruns * selects
  for (j = 1; j <= 2; j++) for (w = 1; w <= 10; w += 9) { k = kinds[j] SUBSEP w
    if (!n[k]) continue
    delete v; for (i = 1; i <= n[k]; i++) v[i] = t[k, i]
    printf "| %s | %d item window%s | — | %s | — |\n", w == 1 ? label[kinds[j]] : "", w, w == 1 ? "" : "s", summary(v, n[k]) }
  for (w = 1; w <= 1000; w += 999) { k = "mainsel" SUBSEP w
    if (!n[k]) continue
    delete v; for (i = 1; i <= n[k]; i++) v[i] = t[k, i]
    printf "| %s | %s selected | — | %s | — |\n", w == 1 ? "main window: selection change with the ribbon asking again, ms: median (min–max) of " n[k] : "", w == 1 ? "1 item" : "1,000 items", summary(v, n[k]) }
  for (i = 1; i <= nsizes; i++) { split(sizes[i], s, "\t")
    kind = s[2] == "release" ? "release build" : "the " s[1] " preset'"'"'s build"
    printf "| %s | %s, %s | — | %d + %d bytes | — |\n", i == 1 ? "DLL sizes: Tallowby.dll + TallowbyPage.dll" : "", s[1], kind, s[3], s[4] }
  for (i = 1; i <= nsaveall; i++) { split(saveall[i], s, "\t")
    if (s[1] == "saveall-again") {
      printf "| %s | %d attachments of 1 KB again, beside the first run'"'"'s files: %d directory quer%s, %d content comparisons, total %.1f ms, host SaveAsFile %.1f ms | — | %s | — |\n", i == 1 ? "Save All Attachments, the add-in'"'"'s own ms per attachment (total minus the host'"'"'s SaveAsFile): median (min–max) of " runs : "", s[2], s[3], s[3] == 1 ? "y" : "ies", s[4], s[5], s[6], spread(s[7], s[8], s[9], "%.3f")
      continue
    }
    printf "| %s | %d attachments of 1 KB: %d directory quer%s, total %.1f ms, host SaveAsFile %.1f ms | — | %s | — |\n", i == 1 ? "Save All Attachments, the add-in'"'"'s own ms per attachment (total minus the host'"'"'s SaveAsFile): median (min–max) of " runs : "", s[2], s[3], s[3] == 1 ? "y" : "ies", s[4], s[5], spread(s[6], s[7], s[8], "%.3f") }
}' "$dir/refresh.tsv" "$dir/host-timings.tsv" "$dir/sizes.tsv" $( [ -f "$dir/saveall.tsv" ] && echo "$dir/saveall.tsv" )
