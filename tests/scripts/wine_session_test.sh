#!/usr/bin/env bash
# The Wine session's own logic: sessions started together each get a display of their own (real
# Xvfb); the runner tells when a program ended because its display or its server went away, and
# only then; a session refuses a prefix whose server another session already runs (stand-in
# loader and servers).
# Usage: wine_session_test.sh <scripts/wine-session.sh> <cmake/wine-run.in>
set -u
lib="$1" template="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

check() {  # check <what> <expected> <actual>
  if [ "$2" != "$3" ]; then
    echo "FAIL $1: expected '$2', got '$3'"; failures=$((failures + 1))
  fi
}

# ---- displays: four sessions started at once, each with its own live Xvfb
for k in 1 2 3 4; do
  (
    # shellcheck source=../../scripts/wine-session.sh
    . "$lib"
    if xvfb_start; then
      sleep 1  # all four up at once
      # A display is served by one X server only: four distinct displays, each session's own Xvfb
      # alive, mean each session has its own.
      echo "$DISPLAY $(kill -0 "$XVFB_PID" 2>/dev/null && echo own || echo lost)" >"$tmp/display$k"
      xvfb_stop
    else
      echo "none" >"$tmp/display$k"
    fi
  ) &
done
wait
displays=$(cat "$tmp"/display? | sort)
check "every session's display is served by its own Xvfb" "own own own own" \
  "$(echo "$displays" | awk '{print $2}' | tr '\n' ' ' | sed 's/ $//')"
check "four distinct displays" 4 "$(echo "$displays" | awk '{print $1}' | sort -u | wc -l)"

# ---- the runner: a stand-in loader exits with the code it is given, a stand-in server answers
# "-k0" (is a server running for the prefix?) from a file
printf '#!/bin/sh\nprintf "%%s|" "$@" >"%s/args"\nexit "$(cat "%s/code")"\n' "$tmp" "$tmp" >"$tmp/loader"
printf '#!/bin/sh\n[ "$1" = -k0 ] || exit 9\nexit "$(cat "%s/server-answer")"\n' "$tmp" >"$tmp/server"
chmod +x "$tmp/loader" "$tmp/server"
mkdir -p "$tmp/build"
sed -e "s|@TALLOWBY_WINEPREFIX@|$tmp/prefix|" -e "s|@TALLOWBY_WINEARCH@|win64|" \
    -e "s|@TALLOWBY_WINE_LOADER@|$tmp/loader|" -e "s|@TALLOWBY_WINESERVER@|$tmp/server|" \
    "$template" >"$tmp/build/wine-run"
chmod +x "$tmp/build/wine-run"

. "$lib"
xvfb_start || { echo "FAIL Xvfb did not start"; exit 1; }
live="$DISPLAY"
dead=":4711"  # a display no server answers
xdpyinfo -display "$dead" >/dev/null 2>&1 && { echo "FAIL $dead answers: pick another"; exit 1; }

# case <name> <exit code> <display: live|dead|none> <server: 0 running|1 gone> <expected message kinds>
while read -r case code display server expected; do
  echo "$code" >"$tmp/code"; echo "$server" >"$tmp/server-answer"
  case $display in
    live) disp="$live" ;; dead) disp="$dead" ;; none) disp="" ;;
  esac
  rc=0
  DISPLAY="$disp" "$tmp/build/wine-run" "prog.exe" "two words" --flag 2>"$tmp/err" || rc=$?
  check "$case: exit code" "$code" "$rc"
  check "$case: arguments" "prog.exe|two words|--flag|" "$(cat "$tmp/args")"
  kinds=$( { grep -q "X display $disp no longer answers" "$tmp/err" && echo display
             grep -q "no Wine server runs for $tmp/prefix" "$tmp/err" && echo server; } | tr '\n' ' ' | sed 's/ $//')
  check "$case: messages" "${expected//-/}" "$kinds"
  check "$case: nothing else on stderr" "$(echo "$kinds" | wc -w)" "$(grep -c . "$tmp/err")"
done <<'EOF'
passes           0 live 0 -
passes-on-ruins  0 dead 1 -
fails            1 live 0 -
fails-no-display 1 none 0 -
display-gone     1 dead 0 display
server-gone      1 live 1 server
both-gone        3 dead 1 display server
EOF
xvfb_stop

# ---- a prefix whose server another session runs is refused, and nothing is stopped for it
for answer in 2 1; do
  printf '#!/bin/sh\n[ "$1" = -p ] && exit %s\necho "$@" >>"%s/stops"\n' "$answer" "$tmp" >"$tmp/server"
  rm -f "$tmp/stops"
  out=$(
    export TALLOWBY_WINESERVER="$tmp/server"
    . "$lib"
    rc=0; wine_session_start "$tmp/build" 2>&1 || rc=$?
    wine_session_stop
    echo "rc=$rc started=${WINESERVER_STARTED:-no}"
  )
  check "server answers $answer: refused" "rc=1 started=no" "$(echo "$out" | tail -n 1)"
  if [ "$answer" = 2 ]; then
    check "server answers 2: says why" 1 "$(echo "$out" | grep -c "a Wine server already runs for $tmp/prefix")"
  else
    check "server answers 1: says so" 1 "$(echo "$out" | grep -c "did not start (exit 1)")"
  fi
  check "server answers $answer: the other session's server is left alone" "" "$(cat "$tmp/stops" 2>/dev/null)"
done

if [ $failures -eq 0 ]; then echo "wine session: all cases passed"; else echo "$failures failures"; exit 1; fi
