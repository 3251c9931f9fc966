#!/usr/bin/env bash
# host-screenshot.sh <wine-run> <StandinHost.exe> <Tallowby.dll> <TallowbyPage.dll> <out.png> [--as-stored]
# Registers both DLLs, opens the host's Options dialog with the page, clicks its check box, takes a
# picture of the X screen while the host holds it open, and unregisters. With --as-stored the page
# is left as it opens, showing the stored preference (none is stored: the default). Skipped (77)
# without a display.
set -uo pipefail
wine_run="$1"; host="$2"; addin="$3"; page="$4"; png="$5"
click='page click "Replace saved attachments with links"'
[ "${6:-}" = --as-stored ] && click=""
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: skipped"; exit 77; }
mkdir -p "$(dirname "$png")"
stem="${png%.png}"
ready="$stem.ready"; done_file="$stem.done"; script="$stem.script"; transcript="$stem.transcript.txt"
rm -f "$ready" "$done_file" "$png"
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
settings='HKCU\Software\VB and VBA Program Settings\Quenmark Save Attachments'
"$wine_run" reg delete "$settings" /f >/dev/null 2>&1
for dll in "$addin" "$page"; do "$wine_run" regsvr32 /s "$(winpath "$dll")" || exit 1; done
cat > "$script" <<SCRIPT
start
options
$click
page hold "$(winpath "$ready")" "$(winpath "$done_file")"
page cancel
SCRIPT
"$wine_run" "$host" --deadline 40 --transcript "$(winpath "$transcript")" "$(winpath "$script")" &
pid=$!
deadline=$((SECONDS + 40))
status=0
until [ -e "$ready" ]; do
  if ! kill -0 "$pid" 2>/dev/null || [ $SECONDS -ge $deadline ]; then echo "the Options dialog did not come up"; status=1; break; fi
  sleep 0.05
done
if [ $status -eq 0 ]; then
  xwd -root -display "$DISPLAY" | /usr/bin/convert xwd:- "png:$png" || status=1
fi
touch "$done_file"
wait "$pid" || status=1
for dll in "$addin" "$page"; do "$wine_run" regsvr32 /s /u "$(winpath "$dll")"; done
# The host stored the preference at shut-down: leave the prefix's settings as other tests expect them.
"$wine_run" reg delete "$settings" /f >/dev/null 2>&1
cat "$transcript"
rm -f "$ready" "$done_file"
[ -s "$png" ] || status=1
echo "screenshot: $png"
exit $status
