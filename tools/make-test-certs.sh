#!/usr/bin/env bash
# Generates the certificates of the TLS tests into DIR (quick when they exist):
#   ca.pem            a test certificate authority, trusted only where a test says so
#   good.pem/.key     signed by it, for 127.0.0.1 and localhost
#   other.pem/.key    signed by it, for mail.example.test only (wrong host name)
#   expired.pem/.key  signed by it, for 127.0.0.3, valid only in 2020
#   self.pem/.key     self-signed, for 127.0.0.4
#   future.pem/.key   signed by it, for 127.0.0.5, valid only from 2040
set -euo pipefail
[ -n "${1:-}" ] || { echo "usage: make-test-certs.sh DIR" >&2; exit 2; }
mkdir -p "$1" && cd "$1"
[ -f future.pem ] && exit 0
run() { "$@" >>log 2>&1 || { cat log >&2; exit 1; }; }
key() { run openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1.key"; }

key ca
run openssl req -x509 -new -key ca.key -days 3650 -subj "/CN=Tarnwick Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" -out ca.pem
# The ca command, unlike x509 -req, can date a certificate in the past.
mkdir -p db && : >db/index && echo 1000 >db/serial
printf '[ca]\ndefault_ca=t\n[t]\ndatabase=db/index\nserial=db/serial\nnew_certs_dir=db\n%s\n' \
    'certificate=ca.pem
private_key=ca.key
default_md=sha256
policy=p
[p]
commonName=supplied' >db/ca.cnf

issue() { # name subjectAltName [start end]
    key "$1"
    run openssl req -new -key "$1.key" -subj "/CN=$1" -out "$1.csr"
    printf 'basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' "$2" >"$1.ext"
    run openssl ca -batch -notext -config db/ca.cnf -in "$1.csr" -out "$1.pem" -extfile "$1.ext" \
        -startdate "${3:-20240101000000Z}" -enddate "${4:-20440101000000Z}"
}
issue good "IP:127.0.0.1,DNS:localhost"
issue other "DNS:mail.example.test"
issue expired "IP:127.0.0.3" 20200101000000Z 20201231000000Z
issue future "IP:127.0.0.5" 20400101000000Z 20441231000000Z
key self
run openssl req -x509 -new -key self.key -days 3650 -subj "/CN=127.0.0.4" \
    -addext "subjectAltName=IP:127.0.0.4" -out self.pem.tmp
mv self.pem.tmp self.pem
