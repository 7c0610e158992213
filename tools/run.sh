#!/usr/bin/env bash
# Runs one check with the stored profile. When nothing is configured yet, it starts a demo
# POP3 server on loopback with a small bundled mailbox and checks that instead.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/run --target tarnwick-check -j"$(nproc)" >/dev/null
check=build/run/src/tarnwick-check

profile=${TARNWICK_PROFILE:-${XDG_CONFIG_HOME:-$HOME/.config}/tarnwick/tarnwick.ini}
if [ -f "$profile" ] && grep -qi '^Mail server=.' "$profile"; then
    exec "$check" --profile "$profile" "$@"
fi

echo "No mailbox configured yet: checking the demo mailbox (user test) on a local Dovecot."
demo=$(mktemp -d /tmp/tarnwick-demo.XXXXXX)
trap './tools/dovecot.sh stop "$demo" >/dev/null 2>&1; rm -rf "$demo"' EXIT
port=$(./tools/dovecot.sh start "$demo")
./tools/dovecot.sh seed "$demo" 0 >/dev/null
install -o 5000 -g 5000 -m 0600 demo/*.eml "$demo/mail/test/Maildir/new/"
printf 'secret\n' | "$check" --profile "$demo/tarnwick.ini" --setup --server "127.0.0.1:$port" \
    --user test --password-stdin >/dev/null
set +e
"$check" --profile "$demo/tarnwick.ini" "$@"
status=$?
set -e
exit $status
