# Sourced by the test and demo entry points: starts and stops Xvfb and a fast Wine session for one
# build folder. Everything started is stopped by its pid, the Wine server by its prefix (wineserver -k
# signals the prefix's lock owner and waits for it).
# Functions: xvfb_start, xvfb_stop, wine_session_start <build-dir>, wine_session_stop, winpath <path>,
# dlls_register <build-dir>, dlls_unregister <build-dir>, wine_session_stop_on_exit.

_started_pids=()

_wait_until() {  # _wait_until <seconds> <command...>: polls a condition with a deadline
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.05
  done
}

xvfb_start() {
  [ -n "${XVFB_PID:-}" ] && return 0
  # Xvfb picks a free display itself (-displayfd: it takes the display's lock, then says which). A
  # number checked free here and then passed to Xvfb was taken by two sessions started together: the
  # second Xvfb exited, its session ran on the other's display, and when that one stopped, every
  # program of the second holding a window or a connection there ended with exit 1 and lost its
  # buffered output.
  local numfile
  numfile=$(mktemp) || return 1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  # The number is written once the server listens.
  _wait_until 10 sh -c "grep -q '^[0-9]' '$numfile' || ! kill -0 $XVFB_PID" || true
  local n
  n=$(head -n 1 "$numfile")
  rm -f "$numfile"
  if [ -z "$n" ] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
    echo "wine-session: Xvfb did not start" >&2
    wait "$XVFB_PID" 2>/dev/null; unset XVFB_PID
    return 1
  fi
  export DISPLAY=":$n"
  if ! _wait_until 10 xdpyinfo -display "$DISPLAY"; then
    echo "wine-session: Xvfb on $DISPLAY does not answer" >&2
    return 1
  fi
}

xvfb_stop() {
  [ -n "${XVFB_PID:-}" ] || return 0
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  unset XVFB_PID DISPLAY
}

# The server binary (TALLOWBY_WINESERVER names another, for the scripts' own tests).
_wineserver() {
  if [ -n "${TALLOWBY_WINESERVER:-}" ]; then echo "$TALLOWBY_WINESERVER"
  elif [ -x /usr/lib/wine/wineserver64 ]; then echo /usr/lib/wine/wineserver64
  else echo /usr/lib/wine/wineserver32
  fi
}

# wine_session_start <build-dir>: the build's wine-run script knows its prefix and architecture.
wine_session_start() {
  local build="$1"
  WINE_RUN="$build/wine-run"
  [ -x "$WINE_RUN" ] || { echo "wine-session: $WINE_RUN missing (configure first)" >&2; return 1; }
  eval "$(sed -n 's/^export \(WINEPREFIX\|WINEARCH\|WINEDLLOVERRIDES\)=/export \1=/p' "$WINE_RUN")"
  # Wine's error reports on, its other channels off (cmake/wine-run.in); a caller's own choice stays.
  export WINEDEBUG="${WINEDEBUG:--all,err+all}"
  local server
  server=$(_wineserver)
  mkdir -p "$WINEPREFIX"

  # A persistent server first: without it every Wine program pays for server and desktop start-up.
  # Started in the background, the first program below could come before it and start a server of
  # its own, one that exits 3 s after its last program; this one then lost the lock and exited.
  # Without the background it returns once it holds the prefix's lock and listens (exit 0), or
  # exits 2 when a server already runs for the prefix: another session of this build folder, whose
  # stop would end this one's programs (or one a killed run left).
  local rc=0
  "$server" -p >/dev/null 2>&1 || rc=$?
  if [ $rc -eq 2 ]; then
    echo "wine-session: a Wine server already runs for $WINEPREFIX (another session of this build" \
      "folder, or one left by a killed run); end it with: WINEPREFIX='$WINEPREFIX' $server -k" >&2
    return 1
  elif [ $rc -ne 0 ]; then
    echo "wine-session: $server did not start (exit $rc)" >&2
    return 1
  fi
  WINESERVER_STARTED=1

  [ -f "$WINEPREFIX/system.reg" ] || "$WINE_RUN" wineboot -i >/dev/null 2>&1
  # The prefix's own Windows version: a version matrix cut short (tests/win/versions) may have left
  # another one set. Usually there is none to delete, which reg reports as a failure: callers run
  # with errexit.
  "$WINE_RUN" reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1 || true
  # Without a window manager each top-level window close waits 2 s unless Wine manages none.
  "$WINE_RUN" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # Wine has no "Microsoft Sans Serif", the font of our dialogs; without a replacement it falls back
  # to a much wider face and clips the texts. Tahoma (Wine's own, which this Wine does not load from
  # its data folder) keeps Windows' proportions.
  cp -n /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  "$WINE_RUN" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft Sans Serif' /t REG_SZ /d Tahoma /f \
    >/dev/null 2>&1

  # One long-lived Wine process keeps the session warm for the whole run.
  setsid "$WINE_RUN" cmd /c "ping -n 86400 127.0.0.1 >nul" </dev/null >/dev/null 2>&1 &
  WINE_KEEPALIVE_PID=$!
  _started_pids+=("$WINE_KEEPALIVE_PID")

  # Start the desktop process once, detached, so tests do not each start explorer.exe.
  "$WINE_RUN" rundll32.exe user32.dll,MessageBeep </dev/null >/dev/null 2>&1 || true
}

wine_session_stop() {
  [ -n "${WINESERVER_STARTED:-}" ] || return 0
  # Ends every Wine process of this prefix (keep-alive, desktop) and then the server itself, and
  # returns once the server has exited.
  "$(_wineserver)" -k >/dev/null 2>&1 || true
  local pid
  for pid in "${_started_pids[@]}"; do
    if ! _wait_until 10 sh -c "! kill -0 $pid"; then
      kill -9 "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
  done
  _started_pids=()
  unset WINESERVER_STARTED WINE_KEEPALIVE_PID
}

winpath() {  # winpath <path>: the Windows form of a Unix path (relative: to the current folder)
  local p=$1
  [ "${p#/}" != "$p" ] || p="$PWD/$p"
  p="Z:$p"
  printf '%s' "${p//\//\\}"
}

# The two DLLs of a build, registered in its prefix for the host program (and unregistered after).
_tallowby_dlls=(addin/win/Tallowby.dll proppage/win/TallowbyPage.dll)
dlls_register() {  # dlls_register <build-dir>
  local dll
  _registered_build="$1"  # a partial registration is undone too
  for dll in "${_tallowby_dlls[@]}"; do
    "$1/wine-run" regsvr32 /s "$(winpath "$1/$dll")" 2>/dev/null ||
      { echo "regsvr32 could not register $dll" >&2; return 1; }
  done
}
dlls_unregister() {  # dlls_unregister <build-dir>
  local dll
  for dll in "${_tallowby_dlls[@]}"; do
    "$1/wine-run" regsvr32 /s /u "$(winpath "$1/$dll")" >/dev/null 2>&1 || true
  done
}

# wine_session_stop_on_exit: however the script ends, what dlls_register registered is unregistered
# and the Wine session and Xvfb stop; an interrupt ends it with 130.
wine_session_stop_on_exit() {
  trap _wine_session_exit EXIT
  trap 'exit 130' INT TERM
}
_wine_session_exit() {
  [ -z "${_registered_build:-}" ] || dlls_unregister "$_registered_build"
  wine_session_stop
  xvfb_stop
}
