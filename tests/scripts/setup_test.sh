#!/usr/bin/env bash
# The set-up's decisions, with stand-ins for apt-get, dpkg, dpkg-query and id on the PATH (no
# network, no root): a mirror whose update fails once or always, a 32-bit set that cannot be
# resolved, a needed package that cannot be installed, a machine that has everything.
# Usage: setup_test.sh <scripts/setup.sh>
set -u
setup="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

check() {  # check <what> <expected> <actual>
  if [ "$2" != "$3" ]; then
    echo "FAIL $case: $1:"; echo "  expected: $2"; echo "  got:      $3"; failures=$((failures + 1))
  fi
}

bin="$tmp/bin"
mkdir -p "$bin"
# State of the stand-ins, per case in $state: absent (packages not installed), broken (packages apt
# cannot resolve), update-fails (how many updates fail before one works), arches, calls (the log).
cat >"$bin/dpkg-query" <<'EOF'
#!/bin/bash
p="${*: -1}"
grep -qxF "$p" "$state/absent" && exit 1
printf 'install ok installed'
EOF
cat >"$bin/dpkg" <<'EOF'
#!/bin/bash
case "$1" in
  --print-foreign-architectures) cat "$state/arches" ;;
  --add-architecture) echo "$2" >>"$state/arches"; echo "dpkg --add-architecture $2" >>"$state/calls" ;;
esac
EOF
cat >"$bin/apt-get" <<'EOF'
#!/bin/bash
case "$1" in
  update)
    echo "apt-get update" >>"$state/calls"
    n=$(cat "$state/update-fails")
    if [ "$n" -gt 0 ]; then
      echo $((n - 1)) >"$state/update-fails"
      echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
      exit 100
    fi ;;
  install)
    shift; pkgs=()
    for a in "$@"; do [[ "$a" == -* ]] || pkgs+=("$a"); done
    echo "apt-get install ${pkgs[*]}" >>"$state/calls"
    for p in "${pkgs[@]}"; do
      if grep -qxF "$p" "$state/broken"; then
        echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100
      fi
    done
    for p in "${pkgs[@]}"; do sed -i "/^$p\$/d" "$state/absent"; done ;;
esac
EOF
printf '#!/bin/sh\necho "$uid"\n' >"$bin/id"
chmod +x "$bin"/*

# run <uid> <update failures> <absent...> [-- <broken...>]: runs the set-up; sets out, rc, calls.
run() {
  export state="$tmp/$case" uid="$1"
  rm -rf "$state"; mkdir -p "$state"
  echo "$2" >"$state/update-fails"; shift 2
  : >"$state/absent"; : >"$state/broken"; : >"$state/calls"; : >"$state/arches"
  local into=absent
  for p in "$@"; do
    if [ "$p" = -- ]; then into=broken; else echo "$p" >>"$state/$into"; fi
  done
  out=$(PATH="$bin:$PATH" TALLOWBY_APT_TRIES=3 TALLOWBY_APT_PAUSE=0 bash "$setup" 2>&1)
  rc=$?
  calls=$(paste -sd ';' "$state/calls")
  left=$(paste -sd ' ' "$state/absent")
}

line32="setup: the 32-bit Wine package could not be installed (wine32:i386: Unable to correct problems, you have held broken packages.); win32 will be built, not run"

case=everything
run 0 0
check "exit" 0 "$rc"; check "output" "" "$out"; check "calls" "" "$calls"

case=update-fails-once
run 0 1 nsis wine32:i386
check "exit" 0 "$rc"
check "calls" "dpkg --add-architecture i386;apt-get update;apt-get update;apt-get install nsis;apt-get install wine32:i386" "$calls"
check "left" "" "$left"
check "output" "setup: installing nsis wine32:i386" "$out"

case=update-keeps-failing
run 0 99 mingw-w64-tools xvfb
check "exit" 0 "$rc"
check "calls" "apt-get update;apt-get update;apt-get update;apt-get install mingw-w64-tools xvfb" "$calls"
check "left" "" "$left"
check "says so" 1 "$(grep -c '^setup: apt-get update failed 3 times; going on with the package lists there are:' <<<"$out")"
check "shows apt's reason" 1 "$(grep -c 'Mirror sync in progress' <<<"$out")"

case=32-bit-set-fails
run 0 99 g++-mingw-w64-i686 wine wine32:i386 -- wine32:i386
check "exit" 0 "$rc"
check "native set apart from the 32-bit set" \
  "dpkg --add-architecture i386;apt-get update;apt-get update;apt-get update;apt-get install g++-mingw-w64-i686 wine;apt-get install wine32:i386" "$calls"
check "left" "wine32:i386" "$left"
check "one line" "$line32" "$(grep 'win32' <<<"$out")"

case=only-32-bit-missing
run 0 99 wine32:i386 -- wine32:i386
check "exit" 0 "$rc"
check "one update: nothing the build needs waits" "dpkg --add-architecture i386;apt-get update;apt-get install wine32:i386" "$calls"
check "one line" "$line32" "$(grep 'win32' <<<"$out")"

case=needed-package-fails
run 0 0 libwine-dev wine32:i386 -- libwine-dev
check "exit" 1 "$rc"
check "apt's reason" 1 "$(grep -c '^E: Unable to correct problems' <<<"$out")"
check "names the packages" 1 "$(grep -c "^setup: cannot install the packages the build needs (libwine-dev):" <<<"$out")"
check "no 32-bit attempt after it" "dpkg --add-architecture i386;apt-get update;apt-get install libwine-dev" "$calls"

case=not-root
run 1000 0 cmake wine32:i386
check "exit" 1 "$rc"; check "calls" "" "$calls"
check "says what is missing" 1 "$(grep -c 'missing packages: cmake wine32:i386; run this script as root' <<<"$out")"

case=not-root-only-32-bit
run 1000 0 wine32:i386
check "exit" 0 "$rc"; check "calls" "" "$calls"
check "one line" "setup: the 32-bit Wine package could not be installed (wine32:i386 is missing and this is not root); win32 will be built, not run" "$out"

[ $failures -eq 0 ] && echo "setup: all cases passed"
exit $((failures > 0))
