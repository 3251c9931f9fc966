#!/usr/bin/env bash
# Runs the fuzz targets of the portable core for longer than the tests do, one after the other.
# Usage: scripts/fuzz.sh [seconds per target] [target...]
#   (default 300 s each; targets: paths name_sanitising suggestions preference_text)
# Builds the fuzz preset in $TALLOWBY_BUILD_ROOT/fuzz (default build/fuzz); new inputs go to its
# corpus/<target>, crashing ones to <target>-crash-* there. Prints, per target, the time, the
# executions and whether a property failed; exits non-zero when one did.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

seconds="${1:-300}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(paths name_sanitising suggestions preference_text)

bash scripts/setup.sh || exit 1
bdir="${TALLOWBY_BUILD_ROOT:-build}/fuzz"
mkdir -p "$bdir"
cmake --preset fuzz -B "$bdir" >"$bdir/configure.log" 2>&1 || { cat "$bdir/configure.log"; exit 1; }
cmake --build "$bdir" -j 2 || exit 1

status=0
summary=()
for target in "${targets[@]}"; do
  log="$bdir/fuzz-$target.log"
  mkdir -p "$bdir/fuzz/corpus/$target"
  echo "=== $target: $seconds s"
  "$bdir/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$bdir/fuzz/$target-" "$bdir/fuzz/corpus/$target" "fuzz/seeds/$target" >"$log" 2>&1
  code=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  if [ $code -eq 0 ]; then
    summary+=("$target: ${runs:-?} runs in ${took:-$seconds} s, no property failed")
  else
    status=1
    summary+=("$target: FAILED after ${runs:-?} runs (exit $code), see $log")
    grep -E 'property does not hold|ERROR: |SUMMARY: ' "$log" | head -5
  fi
done
echo "=== summary"
printf '%s\n' "${summary[@]}"
exit $status
