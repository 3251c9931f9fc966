#!/usr/bin/env bash
# package_test.sh <build-root> <release-win64 build> <i686 budget> <x86_64 budget>
# scripts/package.sh as a release is made, signed with a throwaway certificate: a certificate
# authority, a code-signing certificate (PKCS#12, with a password) and a time-stamp authority served
# on this machine, all made here with openssl. It checks that every file shipped is signed, with
# SHA-256 and a time stamp, and verifies (osslsigncode verify, against the test's authority): both
# DLLs of each architecture as the Windows Installer package carries them, the package, the setup
# program, and the 64-bit form of the setup program; the release check passes on the signed DLLs;
# without a certificate the same build is unsigned and says so in one line.
# Leaves in <release-win64 build>/package/ what the install tests use (installer_test.sh,
# msi_test.sh): signed/ (the setup program, the package and the 64-bit setup program), older/ (the
# package built as an older version, for the upgrade), ca.pem (the authority to verify against).
set -uo pipefail
broot="$1"; bdir="$2"; budget_i686="$3"; budget_x86_64="$4"
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$bdir/package"
result_file="$bdir/installer-test.txt"
. "$root/tests/release/lib.sh"
# The first of the release tests: the summary's lines start here.
rm -f "$result_file"
rm -rf "$work"
mkdir -p "$work/pki" "$bdir/reports"
version=$(sed -n 's/^project(Tallowby VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

echo "--- a throwaway certificate authority, code-signing certificate and time-stamp authority"
pki="$work/pki"
ca="$work/ca.pem"
password="test password $$"
(
  set -e
  cd "$pki"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out "$ca" -days 2 -subj "/CN=Tallowby test authority" \
    -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign,cRLSign
  issue() {  # issue <name> <subject> <extended key usage>
    openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "$2"
    printf 'basicConstraints=CA:false\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$3" >"$1.ext"
    openssl x509 -req -in "$1.csr" -CA "$ca" -CAkey ca.key -CAcreateserial -days 2 -out "$1.pem" -extfile "$1.ext"
  }
  issue signer "/CN=Quenmark test signer" codeSigning
  issue tsa "/CN=Tallowby test time stamps" critical,timeStamping
  openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile "$ca" -out signer.pfx -passout "pass:$password"
  echo 01 >tsa.serial
  cat >tsa.cnf <<CNF
[ tsa ]
default_tsa = test_tsa
[ test_tsa ]
serial = $pki/tsa.serial
signer_cert = $pki/tsa.pem
certs = $ca
signer_key = $pki/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
CNF
) >"$pki/openssl.log" 2>&1
check "openssl made the certificates" test -s "$pki/signer.pfx" -a -s "$pki/tsa.pem"
[ -s "$pki/signer.pfx" ] || { cat "$pki/openssl.log"; finish "package: signed with a test certificate"; }

# The time-stamp authority: RFC 3161 queries over HTTP, answered by openssl ts.
cat >"$pki/tsa.py" <<'PY'
import http.server, subprocess, sys
config, port_file = sys.argv[1], sys.argv[2]
class TimeStamps(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get('Content-Length', 0)))
        reply = subprocess.run(['openssl', 'ts', '-reply', '-config', config, '-queryfile', '/dev/stdin',
                                '-out', '/dev/stdout'], input=query, capture_output=True)
        self.send_response(200 if reply.returncode == 0 and reply.stdout else 500)
        self.send_header('Content-Type', 'application/timestamp-reply')
        self.send_header('Content-Length', str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(('127.0.0.1', 0), TimeStamps)
with open(port_file + '.tmp', 'w') as f:
    f.write(str(server.server_address[1]))
import os; os.rename(port_file + '.tmp', port_file)
server.serve_forever()
PY
python3 "$pki/tsa.py" "$pki/tsa.cnf" "$pki/tsa.port" &
tsa_pid=$!
trap 'kill $tsa_pid 2>/dev/null' EXIT
for _ in $(seq 100); do [ -s "$pki/tsa.port" ] && break; sleep 0.1; done
check "the time-stamp authority listens" test -s "$pki/tsa.port"

export TALLOWBY_SIGN_PFX="$pki/signer.pfx" TALLOWBY_SIGN_PASSWORD="$password"
export TALLOWBY_SIGN_TIMESTAMP="http://127.0.0.1:$(cat "$pki/tsa.port" 2>/dev/null)/"
export TALLOWBY_BUILD_ROOT="$broot"
echo "--- bash scripts/package.sh, signed"
bash "$root/scripts/package.sh" --out "$work/signed" >"$work/package.log" 2>&1; rc=$?
sed 's/^/  | /' "$work/package.log"
check "package.sh builds, signed (exit $rc)" test $rc -eq 0
check "it says it signs, with time stamps" grep -q "^signing with signer.pfx, time stamps from http://127.0.0.1:" "$work/package.log"
exe="$work/signed/TallowbySetup-$version.exe"
msi="$work/signed/Tallowby-$version.msi"
check "the setup program and the package are there" test -s "$exe" -a -s "$msi"
bash "$root/scripts/package.sh" --x64-only "$work/signed/TallowbySetup-x64-only.exe" >"$work/package-x64.log" 2>&1
check "the setup program's 64-bit form builds, signed" test $? -eq 0 -a -s "$work/signed/TallowbySetup-x64-only.exe"
TALLOWBY_PACKAGE_VERSION=0.9.0 bash "$root/scripts/package.sh" --out "$work/older" >"$work/package-older.log" 2>&1
check "the package builds as an older version (0.9.0)" test $? -eq 0 -a -s "$work/older/Tallowby-0.9.0.msi"

# The DLLs as the package carries them (what the setup program carries is checked once installed).
rm -rf "$work/extracted"
mkdir -p "$work/extracted"
msiextract -C "$work/extracted" "$msi" >/dev/null 2>&1
dlls=()
for arch in x86 x64; do
  for dll in Tallowby TallowbyPage; do dlls+=("$work/extracted/Quenmark Save Attachments/$arch/$dll.dll"); done
done
check "the package carries both DLLs of each architecture" test -f "${dlls[0]}" -a -f "${dlls[1]}" -a -f "${dlls[2]}" -a -f "${dlls[3]}"
expect_signed=yes
verify_signatures "the package's DLLs" "${dlls[@]}"
verify_signatures "the package, the setup program and its 64-bit form" "$msi" "$exe" "$work/signed/TallowbySetup-x64-only.exe"
# Every signature: SHA-256, this signer, a time stamp that verifies.
details=""
for f in "${dlls[@]}" "$msi" "$exe"; do
  osslsigncode verify -CAfile "$ca" -TSA-CAfile "$ca" -in "$f" >"$work/verify.txt" 2>&1
  grep -q 'Message digest algorithm *: SHA256' "$work/verify.txt" || details+=" $(basename "$f"):digest"
  grep -q 'Subject: /CN=Quenmark test signer' "$work/verify.txt" || details+=" $(basename "$f"):signer"
  grep -q '^Timestamp Server Signature verification: ok' "$work/verify.txt" || details+=" $(basename "$f"):time-stamp"
done
check "each signature is SHA-256, by the test signer, with a verified time stamp" test -z "$details"
list missing "$details"
# A signature that does not verify is told apart: against another authority, verification fails.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/other.key" -out "$pki/other.pem" -days 1 \
  -subj "/CN=Someone else" >/dev/null 2>&1
osslsigncode verify -CAfile "$pki/other.pem" -in "$msi" >/dev/null 2>&1
check "the same signature does not verify against another authority" test $? -ne 0

# The excerpt the test summary shows.
osslsigncode verify -CAfile "$ca" -TSA-CAfile "$ca" -in "${dlls[3]}" >"$work/verify.txt" 2>&1
{
  echo "=== packaging, signed with the test certificate and time-stamped"
  grep -h -e '^setup program' -e '^Windows Installer package' "$work/package.log" "$work/package-x64.log" | sed "s|$work/||"
  echo "=== signing: osslsigncode verify of x64\\TallowbyPage.dll in the package (test certificate)"
  grep -E '^(Message digest algorithm|Signature Index|Timestamp Server Signature verification|Signature verification|Number of verified signatures|Succeeded)|Subject: /CN=Quenmark|Timestamp time' \
    "$work/verify.txt" | sed 's/^[[:space:]]*//' | awk '!seen[$0]++'
} >"$bdir/reports/signing.txt"
cat "$bdir/reports/signing.txt"

echo "--- the release check on the signed DLLs"
for arch in x86 x64; do
  budget=$budget_x86_64
  [ $arch = x86 ] && budget=$budget_i686
  dir="$work/extracted/Quenmark Save Attachments/$arch"
  cmake "-DDLLS=$dir/Tallowby.dll;$dir/TallowbyPage.dll" -DVERSION="$version" -DBUDGET=$budget \
    -P "$root/cmake/CheckRelease.cmake" >"$work/check-$arch.txt" 2>&1; rc=$?
  sed 's/^/  | /' "$work/check-$arch.txt"
  check "the release check passes on the signed $arch DLLs (exit $rc)" test $rc -eq 0
done

echo "--- without a certificate"
unset TALLOWBY_SIGN_PFX TALLOWBY_SIGN_PASSWORD TALLOWBY_SIGN_TIMESTAMP
bash "$root/scripts/package.sh" --x64-only "$work/unsigned.exe" >"$work/package-unsigned.log" 2>&1; rc=$?
check "package.sh builds unsigned (exit $rc)" test $rc -eq 0
check "and says so in one line" \
  test "$(grep -c 'no certificate given (TALLOWBY_SIGN_PFX): the DLLs, the setup program and the package are not signed' "$work/package-unsigned.log")" -eq 1
osslsigncode verify -in "$work/unsigned.exe" >"$work/verify-unsigned.txt" 2>&1; rc=$?
check "osslsigncode finds no signature on it (exit $rc)" grep -q 'No signature found' "$work/verify-unsigned.txt"
osslsigncode verify -in "$broot/package-stage/x64/Tallowby.dll" >/dev/null 2>&1
check "nor on its DLLs" test $? -ne 0

finish "package: setup program, 64-bit setup program and Windows Installer package signed with a test certificate and verified, DLLs inside too; unsigned without one"
