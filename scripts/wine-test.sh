#!/usr/bin/env bash
# Runs Windows tests of one build under Wine, with the Xvfb display and the Wine session that
# scripts/test.sh starts for them, and stops both afterwards.
# Usage: scripts/wine-test.sh [win32|win64|release-win32|release-win64] [ctest arguments...]
#   e.g. scripts/wine-test.sh win64 -R 'HostScenario.*/RibbonClickSavesTheAttachments( |$)'
#   (ctest's names of parameterised tests end in " # GetParam() = ...": anchor a name with "( |$)")
# The preset defaults to win64; its build folder (TALLOWBY_BUILD_ROOT, default build) must be built.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
preset=win64
case "${1:-}" in win32 | win64 | release-win32 | release-win64) preset="$1"; shift ;; esac
bdir="${TALLOWBY_BUILD_ROOT:-build}/$preset"
if [ ! -x "$bdir/wine-run" ]; then
  echo "wine-test: $bdir is not a configured Windows build (cmake --preset $preset && cmake --build $bdir)" >&2
  exit 2
fi
# shellcheck source=wine-session.sh
. scripts/wine-session.sh
trap 'wine_session_stop; xvfb_stop' EXIT
trap 'exit 130' INT TERM
xvfb_start || exit 1
# The release build's installer tests make fresh prefixes of their own, as in scripts/test.sh.
if [[ "$preset" != release-* ]]; then
  wine_session_start "$bdir" || exit 1
fi
# One at a time: the tests share one prefix's registry and one desktop.
ctest --test-dir "$bdir" --output-on-failure -j 1 "$@"
