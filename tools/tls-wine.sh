#!/usr/bin/env bash
# The Windows TLS tests under Wine against a real Dovecot with TLS on loopback:
#   tls-wine.sh TLS_WINE_TESTS_EXE [TARNWICK_CHECK_EXE]
# Wine (WINEPREFIX and the rest) comes from the caller's environment; WINE names the
# loader (default: wine).
set -euo pipefail
exe=$1
wine=${WINE:-wine}
dir=$(mktemp -d /tmp/tarnwick-tls-wine.XXXXXX)
here=$(cd "$(dirname "$0")" && pwd)
trap '"$here/dovecot.sh" stop "$dir" >/dev/null 2>&1; rm -rf "$dir"' EXIT

port=$("$here/dovecot.sh" start "$dir")
"$here/dovecot.sh" seed "$dir" 2 300 200000 >/dev/null
fingerprint() { openssl x509 -noout -fingerprint -sha256 -in "$dir/certs/$1.pem" | sed 's/.*=//'; }

export TARNWICK_TLS_PORT=$(cat "$dir/pop3s.port") TARNWICK_PLAIN_PORT=$port
# Wine shows the Unix root as drive Z:.
export TARNWICK_TLS_CERTS="Z:${dir//\//\\}\\certs"
export TARNWICK_FP_GOOD=$(fingerprint good) TARNWICK_FP_OTHER=$(fingerprint other)
export TARNWICK_FP_EXPIRED=$(fingerprint expired) TARNWICK_FP_SELF=$(fingerprint self)
"$wine" "$exe"
