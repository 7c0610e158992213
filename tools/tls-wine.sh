#!/usr/bin/env bash
# The Windows build of tarnwick-check under Wine against a real Dovecot with TLS on
# loopback: each kind of untrusted certificate refused with its reason and fingerprint, a
# trusted fingerprint accepted, then checks over implicit TLS and STLS.
#   tls-wine.sh TARNWICK_CHECK_EXE
# Wine (WINEPREFIX and the rest) comes from the caller's environment; WINE names the loader.
set -euo pipefail
exe=$1
dir=$(mktemp -d /tmp/tarnwick-tls-wine.XXXXXX)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
wine_commands
. "$here/expect.sh"
trap '"$here/dovecot.sh" stop "$dir" >/dev/null 2>&1; rm -rf "$dir"' EXIT

port=$("$here/dovecot.sh" start "$dir")
tls_port=$(cat "$dir/pop3s.port")
# Enough messages that the pipelined replies span many records.
"$here/dovecot.sh" seed "$dir" 200 >/dev/null
fingerprint() { openssl x509 -noout -fingerprint -sha256 -in "$dir/certs/$1.pem" | sed 's/.*=//'; }
profile="Z:${dir//\//\\}\\tarnwick.ini" # Wine shows the Unix root as drive Z:

setup() { # server security
    printf 'secret\n' | wine "$exe" --profile "$profile" --setup --server "$1" \
        --security "$2" --user test --password-stdin >/dev/null
}
check() { # sets out, err, code
    set +e
    out=$(wine "$exe" --profile "$profile" --json 2>"$dir/err" | tr -d '\r')
    code=${PIPESTATUS[0]}
    set -e
    err=$(tr -d '\r' <"$dir/err")
    echo "$out$err" | cut -c1-160
}

# The test authority is trusted nowhere: 127.0.0.N serves these certificates.
for served in 1:good:"unknown issuer" 3:expired:expired 5:future:"not yet valid" 4:self:self-signed; do
    IFS=: read -r n name reason <<<"$served"
    setup "127.0.0.$n:$tls_port" tls
    check
    expect "$name refused" '[ $code -eq 2 ]'
    expect "$name named with its fingerprint" \
        'grep -qF "not trusted ($reason). SHA-256 fingerprint: $(fingerprint $name)" <<<"$err"'
done
setup "127.0.0.1:$tls_port" tls
wine "$exe" --profile "$profile" --trust-certificate "$(fingerprint good)" >/dev/null
check
expect "the trusted certificate is accepted" '[ $code -eq 0 ]'
expect "over TLS, every message listed" 'grep -qF "\"count\":200,\"secure\":true" <<<"$out"'
setup "127.0.0.1:$port" starttls
check
expect "STLS on the plain port" '[ $code -eq 0 ] && grep -qF "\"secure\":true" <<<"$out"'

expect_report
