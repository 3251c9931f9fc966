#!/usr/bin/env bash
# Installs, from Debian's packages and only when missing, what the build, the tests and the demo need.
# Idempotent: a machine that has everything is left untouched and the script returns at once.
#
# Two sets, installed apart:
# - the machine's own architecture: everything the build needs (the i686 DLLs are cross-compiled
#   and need no 32-bit package). A package of this set that cannot be installed is a failure: apt's
#   own error is shown and the script exits non-zero.
# - the 32-bit Wine set (wine32:i386), which only runs the win32 tests. A mirror whose i386 index is
#   out of step (mid-sync) cannot resolve it while every native package still installs: then one
#   line says so and the script exits 0; win32 is built, not run (scripts/wine-arch.sh).
# `apt-get update` is tried a few times with a pause (once when only the 32-bit set is missing), and
# then the lists there are are used: a stale or missing index of one architecture is no reason to stop.
# TALLOWBY_APT_TRIES (default 3) and TALLOWBY_APT_PAUSE (seconds, default 10) set the retries; the
# script's own tests set them and put stand-ins for apt-get, dpkg and dpkg-query on the PATH.
set -uo pipefail

native=(
  cmake g++ make ninja-build googletest
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools libwine-dev
  wine wine64 fonts-wine
  xvfb xauth x11-utils x11-apps imagemagick nsis
  osslsigncode openssl wixl msitools python3
)
wine32=(wine32:i386)

tries="${TALLOWBY_APT_TRIES:-3}"
pause="${TALLOWBY_APT_PAUSE:-10}"

# missing <package...>: prints those not fully installed ("install ok installed" is dpkg's word for
# a package that is completely there).
missing() {
  local p
  for p in "$@"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || echo "$p"
  done
}

mapfile -t need_native < <(missing "${native[@]}")
mapfile -t need_32 < <(missing "${wine32[@]}")
[ ${#need_native[@]} -eq 0 ] && [ ${#need_32[@]} -eq 0 ] && exit 0

no_win32() {  # no_win32 <why>: the one line for a 32-bit set that is not there
  echo "setup: the 32-bit Wine package could not be installed ($1); win32 will be built, not run"
}

if [ "$(id -u)" -ne 0 ]; then
  if [ ${#need_native[@]} -gt 0 ]; then
    all=("${need_native[@]}" "${need_32[@]}")
    echo "setup: missing packages: ${all[*]}; run this script as root to install them" >&2
    exit 1
  fi
  no_win32 "${need_32[*]} is missing and this is not root"
  exit 0
fi

all=("${need_native[@]}" "${need_32[@]}")
echo "setup: installing ${all[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ ${#need_32[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386 || echo "setup: dpkg cannot add the i386 architecture" >&2
fi

# Only the 32-bit set missing: one try is enough, since nothing the build needs waits on it.
[ ${#need_native[@]} -eq 0 ] && tries=1

log=$(mktemp)
trap 'rm -f "$log"' EXIT
updated=no
for ((try = 1; try <= tries; try++)); do
  if apt-get update -qq >"$log" 2>&1; then updated=yes; break; fi
  [ "$try" -lt "$tries" ] && sleep "$pause"
done
if [ $updated = no ]; then
  times=$([ "$tries" -eq 1 ] && echo once || echo "$tries times")
  echo "setup: apt-get update failed $times; going on with the package lists there are:"
  grep -E '^(E|W):' "$log" | head -n 3 | sed 's/^/  /'
fi

if [ ${#need_native[@]} -gt 0 ]; then
  if ! apt-get install -y -qq --no-install-recommends "${need_native[@]}" >"$log" 2>&1; then
    echo "setup: cannot install the packages the build needs (${need_native[*]}):" >&2
    grep -vE '^(Selecting|Preparing|Unpacking|Setting up|Processing)' "$log" | tail -n 20 >&2
    exit 1
  fi
fi

if [ ${#need_32[@]} -gt 0 ]; then
  if ! apt-get install -y -qq --no-install-recommends "${need_32[@]}" >"$log" 2>&1; then
    why=$(grep -m 1 -E '^E:' "$log" | sed 's/^E: *//')
    no_win32 "${need_32[*]}: ${why:-apt-get failed}"
  fi
fi
exit 0
