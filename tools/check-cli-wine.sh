#!/usr/bin/env bash
# The Windows build of tarnwick-check, run under Wine, against a real Dovecot on loopback:
# set-up through standard input, then a check that must list the seeded messages.
set -euo pipefail
exe=$1
dir=$(mktemp -d /tmp/tarnwick-wine-check.XXXXXX)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
wine_commands
. "$here/expect.sh"
trap '"$here/dovecot.sh" stop "$dir" >/dev/null 2>&1; rm -rf "$dir"' EXIT

port=$("$here/dovecot.sh" start "$dir")
"$here/dovecot.sh" seed "$dir" 3 >/dev/null
profile=$(winepath -w "$dir/tarnwick.ini")

printf 'secret\n' | wine "$exe" --profile "$profile" --setup --server "127.0.0.1:$port" \
    --user test --password-stdin
set +e
out=$(wine "$exe" --profile "$profile" | tr -d '\r')
status=$?
set -e
echo "$out"
expect "exit status 0 when mail waits" '[ $status -eq 0 ]'
expect "three messages listed" '[ $(grep -c "Message [0-9]" <<<"$out") -eq 3 ]'
expect "the count is printed" 'grep -q "3" <<<"$out"'

# Mail in other languages, redirected: UTF-8 whatever the code page.
"$here/dovecot.sh" seed "$dir" 0 >/dev/null
install -o 5000 -g 5000 -m 0600 "$here/../demo/5.eml" "$here/../demo/6.eml" "$here/../demo/7.eml" \
    "$dir/mail/test/Maildir/new/"
json=$(wine "$exe" --profile "$profile" --json)
text=$(wine "$exe" --profile "$profile")
for seen in "Jürgen Müller" "Ärger mit der Bahn – Grüße aus Köln" "Иван Петров" "Отчёт за ноябрь" \
    "山田太郎" "会議のお知らせ"; do
    expect "--json holds $seen" 'grep -qF "\"$seen" <<<"$json"'
    expect "the text holds $seen" 'grep -qF "$seen" <<<"$text"'
done
expect "the Japanese summary as written" 'grep -qF "明日の会議は午後三時から" <<<"$json"'

printf 'wrong\n' | wine "$exe" --profile "$profile" --setup --server "127.0.0.1:$port" \
    --user test --password-stdin
set +e
err=$(wine "$exe" --profile "$profile" 2>&1 >/dev/null | tr -d '\r')
status=$?
set -e
expect "exit status 2 on a wrong password" '[ $status -eq 2 ]'
expect "the failure text on standard error" 'grep -q "Bad Password Name" <<<"$err"'

expect_report
