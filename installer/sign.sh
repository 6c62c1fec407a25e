#!/usr/bin/env bash
# Signs one file that ships in the Tolmera packages (a program, a library or a package itself),
# or copies it unchanged when no signing identity is configured.
#   sign.sh IN OUT            OUT = IN with an Authenticode signature (SHA-256), or a plain copy
#   sign.sh --identity FILE   writes which identity signs into FILE, touching it only when that
#                             changes, so that the build re-signs after a change of certificate
# The identity comes from the environment:
#   TOLMERA_SIGN_CERT          certificate file, PEM or DER (a PEM file may carry the chain)
#   TOLMERA_SIGN_KEY           its private key, PEM or DER
#   TOLMERA_SIGN_KEY_PASSWORD  the key's password, when it has one (optional)
set -euo pipefail

cert=${TOLMERA_SIGN_CERT:-}
key=${TOLMERA_SIGN_KEY:-}

fail() {
    echo "sign.sh: $*" >&2
    exit 1
}

# Half an identity is a mistake, not a request for unsigned packages.
if [ -n "$cert" ] && [ -z "$key" ]; then
    fail "TOLMERA_SIGN_CERT is set but TOLMERA_SIGN_KEY is not: set both, or neither to build unsigned"
fi
if [ -z "$cert" ] && [ -n "$key" ]; then
    fail "TOLMERA_SIGN_KEY is set but TOLMERA_SIGN_CERT is not: set both, or neither to build unsigned"
fi
if [ -n "$cert" ]; then
    [ -r "$cert" ] || fail "certificate $cert (TOLMERA_SIGN_CERT) cannot be read"
    [ -r "$key" ] || fail "private key $key (TOLMERA_SIGN_KEY) cannot be read"
fi

if [ "${1:-}" = "--identity" ]; then
    [ $# -eq 2 ] || fail "usage: sign.sh --identity FILE"
    if [ -n "$cert" ]; then
        identity="signed: $(realpath "$cert") $(sha256sum <"$cert" | cut -d' ' -f1) $(realpath "$key") $(sha256sum <"$key" | cut -d' ' -f1)"
    else
        identity="unsigned"
    fi
    if [ ! -f "$2" ] || [ "$(cat "$2")" != "$identity" ]; then
        mkdir -p "$(dirname "$2")"
        printf '%s\n' "$identity" >"$2"
    fi
    exit 0
fi

[ $# -eq 2 ] || fail "usage: sign.sh IN OUT | sign.sh --identity FILE"
in=$1
out=$2
[ -f "$in" ] || fail "$in does not exist"
mkdir -p "$(dirname "$out")"
# Work on a temporary file so that a failed signing never leaves an OUT behind.
partial="$out.partial"
rm -f "$out" "$partial"
trap 'rm -f "$partial"' EXIT

if [ -z "$cert" ]; then
    cp "$in" "$partial"
    mv "$partial" "$out"
    exit 0
fi

# osslsigncode would sign with a key that does not belong to the certificate; Windows would
# then reject the file, so refuse here.
cert_public=$(openssl x509 -in "$cert" -noout -pubkey 2>/dev/null) \
    || fail "$cert is not a PEM or DER certificate"
# The password goes through a pipe, never on a command line that ps would show.
key_public=$(printf '%s\n' "${TOLMERA_SIGN_KEY_PASSWORD:-}" | openssl pkey -in "$key" -passin stdin -pubout 2>/dev/null) \
    || fail "cannot read the private key $key (wrong TOLMERA_SIGN_KEY_PASSWORD?)"
[ "$cert_public" = "$key_public" ] || fail "the private key $key does not belong to the certificate $cert"

signing=(osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "Tolmera" -in "$in" -out "$partial")
if [ -n "${TOLMERA_SIGN_KEY_PASSWORD:-}" ]; then
    printf '%s' "$TOLMERA_SIGN_KEY_PASSWORD" | "${signing[@]}" -readpass - >/dev/null \
        || fail "osslsigncode could not sign $in"
else
    "${signing[@]}" >/dev/null || fail "osslsigncode could not sign $in"
fi
mv "$partial" "$out"
