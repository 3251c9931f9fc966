#!/usr/bin/env bash
# The benchmarks: prints one table (docs/performance.md explains it) and keeps it, with the raw
# figures, in build/bench/.
# Usage: scripts/bench.sh [--quick]
#   --quick  one run of everything and a 1 ms delay: only shows that the benchmarks run.
# Builds what it needs in build/win32 where 32-bit programs run, else build/win64 (as the demo does).
# Release builds' DLLs are measured where build/release-win32 or build/release-win64 hold them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

runs=21 slow_runs=3 delay=20 host_runs=7 selects=10
case "${1:-}" in
  "") ;;
  --quick) runs=1 slow_runs=1 delay=1 host_runs=1 selects=1 ;;
  *) echo "usage: bash scripts/bench.sh [--quick]" >&2; exit 2 ;;
esac

bash scripts/setup.sh
. scripts/wine-session.sh
. scripts/wine-arch.sh
wine_arch_probe
preset=$(wine_arch_demo)
broot="${TALLOWBY_BUILD_ROOT:-build}"
bdir="$broot/$preset"
out="$broot/bench"
mkdir -p "$bdir"
echo "=== building $preset in $bdir"
cmake --preset "$preset" -B "$bdir" >"$bdir/configure.log" 2>&1 || { cat "$bdir/configure.log" >&2; exit 1; }
cmake --build "$bdir" -j 2 --target Tallowby TallowbyPage StandinHost SuggestionBench SaveAllBench >"$bdir/bench-build.log" 2>&1 ||
  { tail -n 40 "$bdir/bench-build.log" >&2; exit 1; }

wine_session_stop_on_exit

xvfb_start || { echo "bench: Xvfb did not start" >&2; exit 1; }
wine_session_start "$bdir" || { echo "bench: the Wine session did not start" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out/work"

echo "=== refreshes of the suggestions: $runs runs on the local disk, $slow_runs with $delay ms per file-system call"
"$bdir/wine-run" "$bdir/bench/SuggestionBench.exe" "$(winpath "$out/work")" $runs $slow_runs $delay \
  >"$out/refresh.tsv" 2>"$out/wine.log"

echo "=== Save All Attachments: 10, 100 and 1,000 attachments of 1 KB, $runs runs each"
"$bdir/wine-run" "$bdir/bench/SaveAllBench.exe" "$(winpath "$out/work")" $runs >"$out/saveall.tsv" 2>>"$out/wine.log"

# The host as the add-in meets it in this architecture: version 11 with toolbars (32-bit), 14 with
# the ribbon (the first 64-bit version).
version=11.0.5510
[ "$preset" = win64 ] && version=14.0.7015.1000
dlls_register "$bdir" || exit 1
: >"$out/host-timings.tsv"
for windows in 1 10; do
  script="$out/windows-$windows.script"
  { echo "version $version"
    for ((i = 1; i <= windows; i++)); do
      echo "open mail \"Message $i\" sent from \"Ann Example\" on 2024-05-17 attach byvalue report$i.doc"
    done
    echo start
    for ((i = 0; i < selects; i++)); do echo select; done
    echo shutdown; } >"$script"
  # The first run creates the toolbars; the timed ones find them again, as at a usual start.
  rm -f "$out/bars.txt"
  for ((run = 0; run <= host_runs; run++)); do
    transcript="$out/windows-$windows-run-$run.txt"
    "$bdir/wine-run" "$bdir/standin/win/StandinHost.exe" --timings --state "$(winpath "$out/bars.txt")" \
      --transcript "$(winpath "$transcript")" "$(winpath "$script")" 2>>"$out/wine.log" ||
      { echo "bench: the host program failed, see $transcript" >&2; exit 1; }
    [ $run -eq 0 ] && continue
    awk -v w="$windows" '
      /^timing OnConnection addin="Tallowby.Connect"/ { sub(/.*ms=/, ""); print "connect\t" w "\t" $0 }
      /^timing SelectionChange/ { sub(/.*ms=/, ""); print "select\t" w "\t" $0 }' "$transcript" >>"$out/host-timings.tsv"
  done
done

: >"$out/sizes.tsv"
for arch in win32 win64; do
  for kind in release debug; do
    dir="$broot/$arch"
    [ $kind = release ] && dir="$broot/release-$arch"
    if [ -f "$dir/addin/win/Tallowby.dll" ] && [ -f "$dir/proppage/win/TallowbyPage.dll" ]; then
      printf '%s\t%s\t%s\t%s\n' "$arch" "$kind" "$(stat -c %s "$dir/addin/win/Tallowby.dll")" \
        "$(stat -c %s "$dir/proppage/win/TallowbyPage.dll")" >>"$out/sizes.tsv"
      break
    fi
  done
done

# A selection in the main window (version 14 on): one item, then 1,000, each a message with a
# file; the event with the ribbon asking the add-in again.
if [ "${version%%.*}" -ge 14 ]; then
  script="$out/main-window.script"
  { echo "version $version"
    all=""
    for ((i = 1; i <= 1000; i++)); do
      echo "list mail \"M$i\" received attach byvalue m$i.txt"
      all+=" \"M$i\""
    done
    echo start
    for ((i = 0; i < selects; i++)); do echo "select \"M1\""; echo "select$all"; done
    echo shutdown; } >"$script"
  for ((run = 0; run <= host_runs; run++)); do
    transcript="$out/main-window-run-$run.txt"
    "$bdir/wine-run" "$bdir/standin/win/StandinHost.exe" --timings --transcript "$(winpath "$transcript")" \
      "$(winpath "$script")" 2>>"$out/wine.log" ||
      { echo "bench: the host program failed, see $transcript" >&2; exit 1; }
    [ $run -eq 0 ] && continue
    awk '/^selection window=explorer:1 items=/ { sub(/.*items=/, ""); n = $1 }
      /^timing SelectionChange/ && n { sub(/.*ms=/, ""); print "mainsel\t" n "\t" $0; n = 0 }' "$transcript" >>"$out/host-timings.tsv"
  done
fi

bash scripts/bench-table.sh "$out" "$preset" "$delay" "$runs" "$slow_runs" "$host_runs" "$selects" "$version" |
  tee "$out/table.md"
