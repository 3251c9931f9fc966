#!/usr/bin/env bash
# The layer check passes on the tree as it is and fails on copies that each break one rule.
# Usage: check_layers_test.sh <scripts/check-layers.sh> <source root>
set -u
check="$1"
src="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

if ! out=$(bash "$check" "$src"); then
  echo "FAIL: the tree breaks a layer rule:"; echo "$out"; failures=$((failures + 1))
fi

# breaks <file> <line to append> <expected message>: a fresh copy of the checked folders with the line
# appended to the file must fail with the message.
breaks() {
  rm -rf "$tmp/tree"
  mkdir -p "$tmp/tree"
  cp -r "$src/base" "$src/com" "$src/proppage" "$tmp/tree/"
  mkdir -p "$tmp/tree/addin" && cp -r "$src/addin/core" "$tmp/tree/addin/"
  mkdir -p "$tmp/tree/standin" && cp -r "$src/standin/model" "$tmp/tree/standin/"
  printf '%s\n' "$2" >>"$tmp/tree/$1"
  if out=$(bash "$check" "$tmp/tree"); then
    echo "FAIL: '$2' in $1 passed the check"; failures=$((failures + 1))
  elif ! grep -qF "$3" <<<"$out"; then
    echo "FAIL: '$2' in $1 reported as: $out"; failures=$((failures + 1))
  fi
}

breaks com/Guard.cpp '#include "core/Platform.h"' "com/ includes what is not of com/ or base/"
breaks com/Guard.cpp '#include "addin/core/Platform.h"' "com/ includes what is not of com/ or base/"
breaks com/CMakeLists.txt 'target_link_libraries(tallowby_com PUBLIC tallowby_core)' "com/ links a library of the product"
breaks base/HostError.h '#include "com/ComPtr.h"' "base/ includes a header of the project"
breaks proppage/win/Ui.cpp '#include "core/Preferences.h"' "proppage/ includes the add-in's own headers"
breaks proppage/win/CMakeLists.txt 'add_dependencies(tallowby_proppage_win tallowby_addin_win)' "proppage/ links the add-in's libraries"
breaks addin/core/Ribbon.cpp '#include "com/Strings.h"' "portable code includes the Windows layer"
breaks standin/model/Host.cpp '#include "core/ActionManager.h"' "standin/model includes what is not the host's interfaces, base/ or its own"
breaks standin/model/Host.cpp '#include "addin/core/ActionManager.h"' "standin/model includes what is not the host's interfaces, base/ or its own"
breaks addin/core/Ribbon.cpp '#include "core/Ribbon.h"' "an include that does not name the project's file from the root"
breaks addin/core/Ribbon.cpp '#include "Ribbon.h"' "an include that does not name the project's file from the root"
breaks standin/model/Host.cpp '#include "com/Variant.h"' "standin/model includes what is not the host's interfaces, base/ or its own"
breaks standin/model/Ledger.cpp '#include <windows.h>' "standin/model includes a Windows header"
breaks standin/model/Ledger.cpp '#include <Windows.h>' "standin/model includes a Windows header"
breaks standin/model/Markup.cpp '#include <oleauto.h>' "standin/model includes a Windows header"
breaks addin/core/Ribbon.cpp '#include <shlwapi.h>' "addin/core includes a Windows header"
breaks proppage/core/Layout.cpp '  #  include <windows.h>' "proppage/core includes a Windows header"
breaks base/Tolerate.h '#include <winerror.h>' "base includes a Windows header"

[ $failures -eq 0 ] && echo "layer check: all cases passed"
exit $((failures > 0))
