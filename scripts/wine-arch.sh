# Sourced by the entry points: which Windows architectures can run under Wine on this machine.
# Some kernels run 64-bit programs only (IA-32 emulation off): the 32-bit Wine loader, and so every
# win32 prefix and i686 program, fails there with "Exec format error". Cross-compiling for i686 still
# works, so win32 is then built but not run. The answer comes from running the 32-bit loader once,
# never from the kernel's version or the packages installed.
# Functions: wine_arch_probe, wine_arch_runs <preset>, wine_arch_line <preset>, wine_arch_demo.
# TALLOWBY_WINE32_LOADER names another loader to probe (the probe's own tests use stand-ins).

# wine_arch_probe: sets and exports TALLOWBY_WIN32_RUNS (yes|no) and TALLOWBY_WIN32_WHY, once: a
# script started by another that probed already takes its answer.
wine_arch_probe() {
  [ -n "${TALLOWBY_WIN32_RUNS:-}" ] && return 0
  local loader="${TALLOWBY_WINE32_LOADER:-/usr/lib/wine/wine}" out rc
  if [ ! -e "$loader" ]; then
    TALLOWBY_WIN32_RUNS=no
    # scripts/setup.sh installs the 32-bit set wherever the package mirror can serve it.
    TALLOWBY_WIN32_WHY="the 32-bit Wine package could not be installed: $loader is missing"
  else
    # Safe under `set -e`: the failure is the answer, not an error of the caller.
    rc=0
    out=$("$loader" --version 2>&1 </dev/null) || rc=$?
    if [ $rc -eq 0 ]; then
      TALLOWBY_WIN32_RUNS=yes
      TALLOWBY_WIN32_WHY="this machine runs 32-bit programs"
    elif [ $rc -eq 126 ] || [[ "$out" == *"Exec format error"* ]]; then
      TALLOWBY_WIN32_RUNS=no
      TALLOWBY_WIN32_WHY="this machine runs 64-bit programs only"
    else
      TALLOWBY_WIN32_RUNS=no
      TALLOWBY_WIN32_WHY="the 32-bit Wine loader failed (exit $rc): $(printf '%s' "$out" | head -n 1)"
    fi
  fi
  export TALLOWBY_WIN32_RUNS TALLOWBY_WIN32_WHY
}

# wine_arch_runs <preset>: true when the preset's Windows programs can run here (native: always).
wine_arch_runs() {
  case "$1" in
    win32|*-win32) wine_arch_probe; [ "$TALLOWBY_WIN32_RUNS" = yes ] ;;
    *) return 0 ;;
  esac
}

# wine_arch_line <preset>: the one line that says what becomes of a Windows preset here.
wine_arch_line() {
  wine_arch_probe
  if wine_arch_runs "$1"; then
    echo "$1: built and run under Wine"
  else
    echo "$1: built, not run ($TALLOWBY_WIN32_WHY)"
  fi
}

# wine_arch_demo: the preset the demo uses: win32, the host's own bitness since its first version,
# where it runs; win64 otherwise.
wine_arch_demo() {
  if wine_arch_runs win32; then echo win32; else echo win64; fi
}
