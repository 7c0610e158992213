#!/usr/bin/env bash
# Generates the certificates the TLS tests use, into DIR (made if missing):
#   ca.pem            a test certificate authority (trusted only where a test says so)
#   good.pem/.key     signed by it, for 127.0.0.1 and localhost
#   other.pem/.key    signed by it, for mail.example.test only (wrong host name)
#   expired.pem/.key  signed by it, for 127.0.0.3, valid only in 2020
#   self.pem/.key     self-signed, for 127.0.0.4
# Quiet unless it fails; quick when DIR already holds them.
set -euo pipefail
[ -n "${1:-}" ] || { echo "usage: make-test-certs.sh DIR" >&2; exit 2; }
mkdir -p "$1"
cd "$1"
[ -f self.pem ] && exit 0

log=$(mktemp)
trap 'rm -f "$log"' EXIT
run() { "$@" >>"$log" 2>&1 || { cat "$log" >&2; exit 1; }; }

key() { run openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1"; }

# Extensions of a server certificate for the given subjectAltName.
server_ext() {
    printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' "$1"
}

key ca.key
run openssl req -x509 -new -key ca.key -sha256 -days 3650 -subj "/CN=Tarnwick Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -out ca.pem

issue() { # name subject-cn subjectAltName
    key "$2.key"
    run openssl req -new -key "$2.key" -subj "/CN=$3" -out "$2.csr"
    server_ext "$4" >"$2.ext"
    if [ "$1" = expired ]; then
        # x509 -req cannot date a certificate in the past; the ca command can.
        mkdir -p ca-db
        : >ca-db/index.txt
        printf '1000\n' >ca-db/serial
        cat >ca-db/ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = ca-db/index.txt
serial = ca-db/serial
new_certs_dir = ca-db
certificate = ca.pem
private_key = ca.key
default_md = sha256
policy = any
copy_extensions = none
[any]
commonName = supplied
CNF
        run openssl ca -batch -notext -config ca-db/ca.cnf -in "$2.csr" -out "$2.pem" \
            -startdate 20200101000000Z -enddate 20201231000000Z -extfile "$2.ext"
    else
        run openssl x509 -req -in "$2.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -sha256 \
            -days 3650 -extfile "$2.ext" -out "$2.pem"
    fi
    rm -f "$2.csr" "$2.ext"
}

issue signed good 127.0.0.1 "IP:127.0.0.1,DNS:localhost"
issue signed other mail.example.test "DNS:mail.example.test"
issue expired expired 127.0.0.3 "IP:127.0.0.3"

key self.key
run openssl req -x509 -new -key self.key -sha256 -days 3650 -subj "/CN=127.0.0.4" \
    -addext "subjectAltName=IP:127.0.0.4" -addext "extendedKeyUsage=serverAuth" -out self.pem.tmp
mv self.pem.tmp self.pem
