#!/usr/bin/env bash
# The Windows TLS tests under Wine against a real Dovecot with TLS on loopback:
#   tls-wine.sh TLS_WINE_TESTS_EXE [TARNWICK_CHECK_EXE]
# First the stream tests, then tarnwick-check: implicit TLS refused for its unknown issuer
# with the fingerprint, accepted once that fingerprint is trusted, and STLS.
# Wine (WINEPREFIX and the rest) comes from the caller's environment; WINE names the
# loader (default: wine).
set -euo pipefail
tests=$1
check=${2:-}
wine=${WINE:-wine}
dir=$(mktemp -d /tmp/tarnwick-tls-wine.XXXXXX)
here=$(cd "$(dirname "$0")" && pwd)
trap '"$here/dovecot.sh" stop "$dir" >/dev/null 2>&1; rm -rf "$dir"' EXIT

port=$("$here/dovecot.sh" start "$dir")
"$here/dovecot.sh" seed "$dir" 2 300 200000 >/dev/null
fingerprint() { openssl x509 -noout -fingerprint -sha256 -in "$dir/certs/$1.pem" | sed 's/.*=//'; }
# Wine shows the Unix root as drive Z:.
windows_path() { echo "Z:${1//\//\\}"; }

tls_port=$(cat "$dir/pop3s.port")
export TARNWICK_TLS_PORT=$tls_port TARNWICK_PLAIN_PORT=$port
export TARNWICK_FP_GOOD=$(fingerprint good) TARNWICK_FP_OTHER=$(fingerprint other)
export TARNWICK_FP_EXPIRED=$(fingerprint expired) TARNWICK_FP_SELF=$(fingerprint self)
status=0
"$wine" "$tests" || status=$?
[ -n "$check" ] || exit $status

profile=$(windows_path "$dir/tarnwick.ini")
run() { "$wine" "$check" --profile "$profile" "$@" 2>"$dir/err" | tr -d '\r'; }
passed=0
failed=0
expect() { # description condition
    if eval "$2"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}
printf 'secret\n' | run --setup --server "127.0.0.1:$tls_port" --security tls --user test \
    --password-stdin >/dev/null
set +e
out=$(run --json)
code=$?
set -e
err=$(tr -d '\r' <"$dir/err")
echo "$err"
expect "an unknown issuer fails the check" '[ $code -eq 2 ]'
expect "the reason and the fingerprint are named" \
    'grep -qF "not trusted (unknown issuer). SHA-256 fingerprint: $TARNWICK_FP_GOOD" <<<"$err"'
run --trust-certificate "$TARNWICK_FP_GOOD" >/dev/null
set +e
out=$(run --json)
code=$?
set -e
echo "$out"
expect "the trusted certificate is accepted" '[ $code -eq 0 ]'
expect "the check says it was secure" 'grep -qF "\"count\":2,\"secure\":true" <<<"$out"'
printf 'secret\n' | run --setup --server "127.0.0.1:$port" --security starttls --user test \
    --password-stdin >/dev/null
set +e
out=$(run --json)
code=$?
set -e
echo "$out"
expect "STLS on the plain port" '[ $code -eq 0 ] && grep -qF "\"secure\":true" <<<"$out"'

# In GoogleTest's words, so that the summary counts these too.
echo "[  PASSED  ] $passed tests."
[ $failed -eq 0 ] || echo "[  FAILED  ] $failed tests, listed above"
[ $failed -eq 0 ] && [ $status -eq 0 ]
