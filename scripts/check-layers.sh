#!/usr/bin/env bash
# The layers' dependencies, read from the sources: base/ takes nothing of the project; the COM
# toolkit (com/) only itself and base/, and links no library of the product; the options page
# (proppage/) nothing of the add-in but the type library header that declares the bridge; the
# portable code (addin/core, proppage/core) nothing of the Windows layer; the in-memory host
# (standin/model) only the host's interfaces (addin/core/host/), base/ and itself; no portable folder
# (base/ and those three) a Windows header. And every include of a file of the project names it
# from the root; a bare name is a header the build generates (a type library's).
# Usage: check-layers.sh [root]   Prints each offending line; exits 1 when there is one.
set -u
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root" || exit 2
failed=0

# offend <what> <lines>: reports the lines, if any.
offend() {
  [ -n "$2" ] || return 0
  printf '%s:\n%s\n' "$1" "$2"
  failed=1
}

quoted_includes() { grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$@" 2>/dev/null; }

offend "base/ includes a header of the project" \
  "$(quoted_includes base | grep -vE '"base/')"
offend "com/ includes what is not of com/ or base/" \
  "$(quoted_includes com | grep -vE '"(com|base)/')"
offend "com/ links a library of the product" \
  "$(grep -nE 'tallowby_' com/CMakeLists.txt | grep -vE 'add_library\(tallowby_com|target_[a-z_]+\(tallowby_com' ;
     grep -nE 'target_link_libraries\(tallowby_com' com/CMakeLists.txt | grep -oE 'tallowby_[a-z_]+' | grep -vxE 'tallowby_(com|base|warnings)')"
offend "proppage/ includes the add-in's own headers" \
  "$(quoted_includes proppage | grep -E '"(core|addin|win)/')"
offend "proppage/ links the add-in's libraries" \
  "$(grep -nE 'tallowby_(core|addin_win|winsvc|filedialog)\b' proppage/*/CMakeLists.txt)"
offend "portable code includes the Windows layer" \
  "$(quoted_includes addin/core proppage/core | grep -E '"(com|addin/win|proppage/win|win)/')"
# The in-memory host plays the host's object model: it takes the core's view of the host and base/,
# never the add-in's behaviour or any Windows code.
offend "standin/model includes what is not the host's interfaces, base/ or its own" \
  "$(quoted_includes standin/model | grep -vE '"(addin/core/host/|base/|standin/model/)|"[A-Za-z]+\.(h|inc)"')"
# The portable folders build natively, where no Windows header exists; said here by name, before a
# compiler meets it. Windows' header names are case-insensitive.
windows_headers='windows|winbase|windef|winerror|winnt|winreg|winuser|wingdi|winver|objbase|ole2|oleauto|olectl'
windows_headers+='|oaidl|ocidl|unknwn|wtypes|objidl|commctrl|commdlg|shellapi|shlobj|shlwapi|shobjidl|tchar'
for portable in base addin/core proppage/core standin/model; do
  offend "$portable includes a Windows header" \
    "$(grep -rniE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($windows_headers)\.h>" "$portable" 2>/dev/null)"
done
not_from_root() {
  local file line path
  while IFS=: read -r file line path; do
    path="${path#*\"}" path="${path%%\"*}"
    case "$file:$path" in
      *.rc:* | addin/win/resource.h:../core/*) continue ;;  # windres resolves from the .rc's folder
    esac
    if [[ "$path" == */* ]]; then
      [ -f "$path" ] || echo "$file:$line: $path"
    elif [ -n "$(find . -path ./build -prune -o -name "$path" -type f -print -quit)" ]; then
      echo "$file:$line: $path"
    fi
  done < <(quoted_includes addin base bench com fuzz proppage standin tests)
}
offend "an include that does not name the project's file from the root" "$(not_from_root)"
exit $failed
