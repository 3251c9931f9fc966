#!/usr/bin/env bash
# screenshot.sh <wine-run> <proppage_show.exe> page|about <out.png>
# Shows the page or the About box under Wine, takes a picture of the whole X screen, and prints the
# rectangles the program measured. Skipped (77) without a display.
set -uo pipefail
wine_run="$1"; program="$2"; mode="$3"; png="$4"
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: skipped"; exit 77; }
mkdir -p "$(dirname "$png")"
stem="${png%.png}"
ready="$stem.ready"; done_file="$stem.done"; rects="$stem.rects.txt"
rm -f "$ready" "$done_file" "$rects" "$png"

"$wine_run" "$program" "$mode" "Z:$ready" "Z:$done_file" "Z:$rects" &
pid=$!
deadline=$((SECONDS + 30))
until [ -e "$ready" ]; do
  if ! kill -0 "$pid" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
    echo "the $mode window did not come up"; wait "$pid"; exit 1
  fi
  sleep 0.05
done
xwd -root -display "$DISPLAY" | /usr/bin/convert xwd:- "png:$png"
status=$?
touch "$done_file"
wait "$pid" || status=1
rm -f "$ready" "$done_file"
cat "$rects"
[ -s "$png" ] || status=1
echo "screenshot: $png"
exit $status
