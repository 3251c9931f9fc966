#!/usr/bin/env bash
# Signs Windows files in place (Authenticode, SHA-256) with the certificate the environment names:
#   TALLOWBY_SIGN_PFX        the certificate and its private key, a PKCS#12 (.pfx) file
#   TALLOWBY_SIGN_PASSWORD   its password (may be empty)
#   TALLOWBY_SIGN_TIMESTAMP  an RFC 3161 time-stamp server's URL (optional): with it the signature
#                            stays valid after the certificate expires
# Usage: bash scripts/sign.sh <file>...   (DLLs, programs, Windows Installer packages)
# Exits non-zero, leaving the file as it was, when a signature cannot be made. scripts/package.sh
# calls it for each file it ships, and makensis for the uninstaller it writes into the installer.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: bash scripts/sign.sh <file>..." >&2; exit 2; }
pfx="${TALLOWBY_SIGN_PFX:?sign: TALLOWBY_SIGN_PFX names no certificate}"
[ -f "$pfx" ] || { echo "sign: no certificate file $pfx" >&2; exit 1; }

# The password goes through a file of this user's alone, never the command line (the process list);
# osslsigncode reads no empty password from a file.
secret=$(mktemp)
trap 'rm -f "$secret" "${signed:-}"' EXIT
chmod 600 "$secret"
password=(-pass "")
if [ -n "${TALLOWBY_SIGN_PASSWORD:-}" ]; then
  printf '%s' "$TALLOWBY_SIGN_PASSWORD" >"$secret"
  password=(-readpass "$secret")
fi
stamp=()
[ -n "${TALLOWBY_SIGN_TIMESTAMP:-}" ] && stamp=(-ts "$TALLOWBY_SIGN_TIMESTAMP")

for file in "$@"; do
  signed="$file.signing"
  log=$(osslsigncode sign -pkcs12 "$pfx" "${password[@]}" -h sha256 -n "Quenmark Save Attachments" \
          "${stamp[@]}" -in "$file" -out "$signed" 2>&1) ||
    { echo "sign: $file could not be signed:" >&2; printf '%s\n' "$log" | tail -n 5 >&2; exit 1; }
  chmod --reference="$file" "$signed"
  mv "$signed" "$file"
done
