#!/usr/bin/env bash
# Signs a release the way the maker does, with a throwaway test CA and code-signing certificate
# made here, and checks every signed program: osslsigncode verifies it against the test CA, its
# Authenticode digest is the unsigned program's (the signature added only what Authenticode
# leaves out), and signing again gives the same bytes. Then the signed Sarnok.exe runs the
# one-step scenario under Wine beside the virtual printers.
#   check-signing.sh DIST_DIR [WINDOWS_BUILD_DIR]
# DIST_DIR is what scripts/package wrote; it is copied, never changed. WINDOWS_BUILD_DIR is a
# win32 build with the virtual printers; without it the scenario is not run. The last line is
# "signing check: N passed, M failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "$1" && pwd)
build=${2:+$(cd "$2" && pwd)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
result() {
    if [ "$1" -eq 0 ]; then
        passed=$((passed + 1))
        echo "ok      $2"
    else
        failed=$((failed + 1))
        echo "FAILED  $2"
    fi
}
finish() {
    echo "signing check: $passed passed, $failed failed"
    exit $((failed > 0))
}

# The test CA and a code-signing certificate it issued, in a password-protected PKCS#12 file.
cd "$work"
{
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
        -subj "/CN=Brelwin Test CA" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" &&
        openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
            -subj "/CN=Brelwin Test Signer" &&
        printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
            >signer.ext &&
        openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
            -extfile signer.ext -out signer.pem &&
        echo "test password" >password &&
        openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
            -passout file:password -out signer.p12
} >openssl.log 2>&1
result $? "test CA and code-signing certificate made"
[ -f signer.p12 ] || { cat openssl.log; finish; }

# Two copies of the release, each signed with the same key.
for copy in first second; do
    cp -r "$dist" "$copy"
    rm -rf "$copy/signed"
    "$root/scripts/sign" --pkcs12 signer.p12 --password-file password --dist "$copy" \
        >"sign-$copy.log" 2>&1
    status=$?
    cat "sign-$copy.log"
    result $status "scripts/sign ($copy copy)"
    [ $status -eq 0 ] || finish
done
archive=$(cd first/signed && ls Brelwin-*-win32.zip)
cmp -s "first/signed/$archive" "second/signed/$archive"
result $? "the same key signs to the same bytes ($archive)"
(cd first/signed && sha256sum -c --quiet SHA256SUMS)
result $? "dist/signed/SHA256SUMS matches"

mkdir unsigned signed
/usr/bin/python3 -m zipfile -e "first/$archive" unsigned
/usr/bin/python3 -m zipfile -e "first/signed/$archive" signed
cmp -s <(cd unsigned && find . -type f -not -name '*.exe' -exec sha256sum {} + | sort) \
    <(cd signed && find . -type f -not -name '*.exe' -exec sha256sum {} + | sort)
result $? "members other than the programs are unchanged"

# The Authenticode digest as Windows computes it: the whole file but the header's checksum, the
# certificate table's directory entry and the certificate table itself; an unsigned file is
# padded with zeros to eight bytes, as the signature's table would be placed.
authenticode() {
    /usr/bin/python3 - "$1" <<'PY'
import hashlib, sys
import pefile
data = open(sys.argv[1], "rb").read()
pe = pefile.PE(data=data, fast_load=True)
checksum = pe.OPTIONAL_HEADER.get_field_absolute_offset("CheckSum")
security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
entry = security.get_file_offset()
start, size = security.VirtualAddress, security.Size
end = start if size else len(data)
digest = hashlib.sha256()
digest.update(data[:checksum])
digest.update(data[checksum + 4:entry])
digest.update(data[entry + 8:end])
if not size:
    digest.update(b"\0" * (-len(data) % 8))
else:
    digest.update(data[start + size:])
print(digest.hexdigest())
PY
}

mapfile -t programs < <(cd signed && ls ./*.exe | sed 's|^\./||')
[ ${#programs[@]} -gt 0 ]
result $? "programs in the archive: ${programs[*]}"
for program in "${programs[@]}"; do
    osslsigncode verify -CAfile ca.pem -in "signed/$program" >"verify-$program.log" 2>&1
    status=$?
    grep -q '^Signature verification: ok' "verify-$program.log" || status=1
    echo "---- osslsigncode verify -CAfile ca.pem -in $program"
    cat "verify-$program.log"
    echo "----"
    result $status "$program: osslsigncode verify against the test CA"

    before=$(authenticode "unsigned/$program")
    after=$(authenticode "signed/$program")
    # The digest the signature carries, as osslsigncode reads it.
    carried=$(sed -n 's/^Current message digest *: *\([0-9A-Fa-f]*\).*/\1/p' \
        "verify-$program.log" | head -n 1 | tr 'A-F' 'a-f')
    echo "Authenticode SHA-256 of $program: unsigned $before"
    echo "Authenticode SHA-256 of $program: signed   $after"
    echo "Authenticode SHA-256 of $program: in the signature $carried"
    [ -n "$before" ] && [ "$before" = "$after" ] && [ "$after" = "$carried" ]
    result $? "$program: the signed program's Authenticode digest is the unsigned one's"
done

# The signed program runs: the one-step update under Wine beside the virtual printers.
if [ -z "$build" ]; then
    echo "skipped the one-step scenario: no Windows build given"
elif [ ! -f "$build/sim/bin/sarnok_driver.exe" ]; then
    result 1 "Sarnok.exe (signed) runs the one-step scenario: no virtual printers in $build"
else
    bash "$root/tests/e2e/run-e2e.sh" "$build" "$root/tests/e2e/scenarios/one-step-success" \
        "$work/signed/Sarnok.exe" one-step-success.signed
    result $? "Sarnok.exe (signed) runs the one-step scenario under Wine"
fi
finish
