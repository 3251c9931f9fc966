#!/usr/bin/env bash
# The demo: the add-in's main job on bundled sample messages, in the stand-in host under Wine.
# Usage: bash scripts/demo.sh [--interactive]
#   Sets the machine up (scripts/setup.sh), builds the DLLs and the host program of the architecture
#   that runs here (win32, the host's own, unless the machine runs 64-bit programs only: then win64,
#   as a host of version 14, the first 64-bit one), registers the
#   DLLs in the build's private Wine prefix and runs samples/demo.script: the host opens the
#   messages, clicks "Save Attachments" and its robot answers every Save As dialog. Prints the
#   transcript, the files written and the pictures taken; everything stays in build/demo/.
#   --interactive: on the display in DISPLAY, the robot steps aside and you answer the dialogs.
# TALLOWBY_BUILD_ROOT chooses the folder of the build trees (default: build), as for the tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

interactive=no
case "${1:-}" in
  "") ;;
  --interactive) interactive=yes ;;
  *) echo "usage: bash scripts/demo.sh [--interactive]" >&2; exit 2 ;;
esac
if [ $interactive = yes ] && [ -z "${DISPLAY:-}" ]; then
  echo "demo: --interactive needs a display (DISPLAY is not set)" >&2
  exit 2
fi

started=$SECONDS
bash scripts/setup.sh
# shellcheck source=wine-session.sh
. scripts/wine-session.sh
# shellcheck source=wine-arch.sh
. scripts/wine-arch.sh

wine_arch_probe
preset=$(wine_arch_demo)
if [ "$preset" = win32 ]; then
  echo "demo: win32, the host's own architecture ($TALLOWBY_WIN32_WHY)"
else
  echo "demo: win64, since win32 cannot run ($TALLOWBY_WIN32_WHY)"
fi
bdir="${TALLOWBY_BUILD_ROOT:-build}/$preset"
out="build/demo"
mkdir -p "$bdir"
echo "=== building the $preset DLLs and the host program in $bdir"
if ! cmake --preset "$preset" -B "$bdir" >"$bdir/configure.log" 2>&1; then
  cat "$bdir/configure.log" >&2; exit 1
fi
cmake --build "$bdir" -j 2 --target Tallowby TallowbyPage StandinHost >"$bdir/demo-build.log" 2>&1 ||
  { tail -n 40 "$bdir/demo-build.log" >&2; exit 1; }

wine_session_stop_on_exit

[ $interactive = yes ] || xvfb_start
wine_session_start "$bdir"

rm -rf "$out"
mkdir -p "$out/saved" "$out/screenshots"
# The folder the attachments go to already holds a "report.txt".
cp samples/files/existing-report.txt "$out/saved/report.txt"

dlls_register "$bdir" || exit 1

script=samples/demo.script
if [ "$preset" = win64 ]; then
  # The sample plays a 32-bit host (version 11); 64-bit Outlook exists from version 14 on, where the
  # command is clicked on the ribbon (the toolbar sits on the ribbon's "Add-ins" tab), and where
  # links are no longer supported: the host plays its default answer (a copy), the add-in keeps the
  # table and tells the user, who answers OK.
  sed -e 's/^version .*/version 14.0.7015.1000/' -e 's/^click "Save Attachments"/ribbon click "Save Attachments"/' \
    -e '/^saveas save replace on$/a answer OK' samples/demo.script >"$out/demo-win64.script"
  script="$out/demo-win64.script"
  echo "=== the host plays version 14, the first with a 64-bit Outlook"
fi
host_args=(--transcript "$(winpath "$out/transcript.txt")")
if [ $interactive = yes ]; then
  # Without the robot's answers the dialogs wait for a person; no deadline hurries them.
  grep -v '^saveas ' "$script" >"$out/interactive.script"
  script="$out/interactive.script"
  host_args+=(--saveas-by-hand --deadline 3600)
  echo "=== answer the Save As dialogs on $DISPLAY"
else
  host_args+=(--screenshots "$(winpath "$out/screenshots")")
fi
echo "=== running $script in the host program"
status=0
# Wine's own remarks go to a log, not between the demo's lines.
"$bdir/wine-run" "$bdir/standin/win/StandinHost.exe" "${host_args[@]}" "$(winpath "$script")" \
  2>"$out/wine.log" || status=$?

echo
echo "=== transcript (the whole of it: $out/transcript.txt)"
# The actions, the dialogs and their answers, and the items as "show items" lists them; not the
# toolbars, nor the line-by-line changes between actions.
awk '/^> / { shown = ($0 == "> show items") }
     /^(saveas |msgbox |note |send |FAILED|end |error )/ || (/^> / && !/^> note /) { print; next }
     shown && /^(item |attachment )/ { print }' "$out/transcript.txt"
echo
echo "=== files in $out/saved"
# (Wine's drives keep no named streams, so the files carry no mark of origin here, and no file of it.)
for f in "$out/saved"/*; do
  printf '%s (%s bytes): %s\n' "$(basename "$f")" "$(stat -c %s "$f")" "$(head -n 1 "$f" | tr -d '\r')"
done
echo
echo "=== pictures of the dialogs in $out/screenshots"
for f in "$out/screenshots"/*.png; do
  [ -e "$f" ] || continue
  # The screen is black around the dialog: keep the dialog only.
  /usr/bin/convert "$f" -trim +repage "$f"
  echo "$(basename "$f")"
done
echo
echo "demo: host exit code $status, $((SECONDS - started)) s"
exit $status
