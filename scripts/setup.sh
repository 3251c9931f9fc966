#!/usr/bin/env bash
# Installs, from Debian's packages and only when missing, what the build, the tests and the demo need.
# Idempotent: a machine that has everything is left untouched and the script returns at once.
set -euo pipefail

packages=(
  cmake g++ make ninja-build googletest
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools libwine-dev
  wine wine32:i386 wine64 fonts-wine
  xvfb xauth x11-utils x11-apps imagemagick nsis
)

missing=()
for p in "${packages[@]}"; do
  # dpkg-query answers "install ok installed" only for a package that is fully there.
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing packages: ${missing[*]}; run this script as root to install them" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
