#!/usr/bin/env bash
# Takes the user guide's pictures (docs/user-guide-*.png) from the stand-in host under Wine and Xvfb:
# a Save As dialog with the attachment options, the warning when a message with shortcuts is sent,
# the add-in's page in the Options dialog, the summary of Save All Attachments, and that summary for
# several messages saved from the main window.
# Usage: bash scripts/guide-screenshots.sh   (needs a built win64 or win32 tree: bash scripts/test.sh win64)
# TALLOWBY_BUILD_ROOT chooses the folder of the build trees (default: build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
# shellcheck source=wine-session.sh
. scripts/wine-session.sh
# shellcheck source=wine-arch.sh
. scripts/wine-arch.sh
preset=$(wine_arch_demo)
bdir="${TALLOWBY_BUILD_ROOT:-build}/$preset"
[ -d "$bdir" ] || { echo "guide-screenshots: no build in $bdir (bash scripts/test.sh $preset)" >&2; exit 1; }
bdir="$(cd "$bdir" && pwd)"
host="$bdir/standin/win/StandinHost.exe"
addin="$bdir/addin/win/Tallowby.dll"
page="$bdir/proppage/win/TallowbyPage.dll"
for f in "$host" "$addin" "$page"; do [ -f "$f" ] || { echo "guide-screenshots: $f missing (build $preset first)" >&2; exit 1; }; done
out="$root/build/guide"
rm -rf "$out"
mkdir -p "$out/pictures" "$out/folder"
wine_session_stop_on_exit
xvfb_start
wine_session_start "$bdir"

# The folder already holds a report.txt: the drop-down offers the free names beside it.
printf 'last quarter\r\n' >"$out/folder/report.txt"
cat >"$out/guide.script" <<SCRIPT
version 11.0.5510
open mail "Quarterly figures" received from "Ann Example" on 2024-05-17 attach byvalue report.txt text "figures"
saveas folder "$(winpath "$out/folder")"
saveas select "report.txt"
saveas pick 2 replace on
click "Save Attachments"
answer Cancel
send
folder clear "C:\Saved attachments"
file write "C:\Saved attachments\report.txt" "last quarter"
open mail "Figures again" received attach byvalue report.txt text "new figures" attach byvalue report.txt text "more" attach byvalue summary.txt text "in short"
pickfolder "C:\Saved attachments" replace off
answer OK
click "Save All Attachments"
folder remove "C:\Saved attachments"
shutdown
SCRIPT
dlls_register "$bdir"
"$bdir/wine-run" "$host" --screenshots "$(winpath "$out/pictures")" --transcript "$(winpath "$out/transcript.txt")" \
  "$(winpath "$out/guide.script")" 2>/dev/null
# The main window of a version-14 host: two messages selected, saved from their context menu into
# one folder, the summary naming each.
mkdir -p "$out/main-window"
cat >"$out/main-window.script" <<SCRIPT
version 14.0.7015.1000
folder clear "C:\Saved attachments"
list mail "Quarterly figures" received attach byvalue report.txt text "figures" attach byvalue chart.png text "chart"
list mail "Holiday" received attach byvalue report.txt text "holiday" attach byvalue beach.jpg text "sand"
start
select "Quarterly figures" "Holiday"
pickfolder "C:\Saved attachments" replace off
answer OK
menu ContextMenuMultipleItems click "Save All Attachments"
folder remove "C:\Saved attachments"
shutdown
SCRIPT
"$bdir/wine-run" "$host" --screenshots "$(winpath "$out/main-window")" --transcript "$(winpath "$out/main-window.txt")" \
  "$(winpath "$out/main-window.script")" 2>/dev/null
# The options page as it opens with nothing stored (the default: replace), by the page tests' own
# picture script (it registers both DLLs itself).
dlls_unregister "$bdir"
bash tests/win/proppage/host-screenshot.sh "$bdir/wine-run" "$host" "$addin" "$page" \
  "$out/pictures/options.png" --as-stored >/dev/null

# The screen is black around the windows: keep the windows only.
keep() { /usr/bin/convert "$out/pictures/$1" -trim +repage "docs/$2"; echo "docs/$2"; }
last_saveas=$(ls "$out/pictures" | grep '^saveas-1' | sort | tail -n 1)
keep "$last_saveas" user-guide-saveas.png
keep msgbox-1.png user-guide-warning.png
keep msgbox-2.png user-guide-save-all.png
keep options.png user-guide-options.png
/usr/bin/convert "$out/main-window/msgbox-1.png" -trim +repage docs/user-guide-main-window.png
echo docs/user-guide-main-window.png
