#!/usr/bin/env bash
# A throw-away Dovecot POP3 server on loopback, for the tests and the benchmark.
#
#   dovecot.sh start DIR [PID]      writes DIR/dovecot.conf, starts Dovecot, prints the port;
#                                   with PID, Dovecot is also stopped once that process is gone
#                                   (a test run that crashes leaves no server behind)
#                                   The plain port offers STLS; implicit TLS listens on the
#                                   port in DIR/pop3s.port, with the test certificates of
#                                   DIR/certs (make-test-certs.sh): good.pem on 127.0.0.1,
#                                   other.pem on 127.0.0.2, expired.pem on .3, self.pem on .4,
#                                   future.pem on .5.
#   dovecot.sh seed DIR N [SIZE...] re-creates the mailbox of user "test" with N messages;
#                                   message i gets exactly SIZE[i] octets when given
#   dovecot.sh stop DIR             stops the Dovecot started on DIR
#
# The one user is "test" with the password "secret". Must run as root: Dovecot drops to
# its own users and to uid 5000 for the mailbox. Every step has a time limit.
#
# With DOVECOT_PREFORK=1 in the environment, start keeps its processes started ahead, as a
# busy server does, so that a benchmark times the clients rather than process start-up.
set -euo pipefail

readonly MAIL_UID=5000
readonly START_TIMEOUT=15
readonly STOP_TIMEOUT=10

die() {
    echo "dovecot.sh: $*" >&2
    exit 1
}

usage() {
    echo "usage: dovecot.sh start DIR [PID] | seed DIR N [SIZE...] | stop DIR" >&2
    exit 2
}

need_dir() {
    [ -n "${1:-}" ] || usage
    [ -d "$1" ] || die "no folder $1"
    # Dovecot checks its paths as its own users, so they must be absolute.
    DIR=$(cd "$1" && pwd)
    CONF="$DIR/dovecot.conf"
    RUN="$DIR/run"
}

free_port() {
    python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()'
}

master_pid() {
    local pid
    [ -f "$RUN/master.pid" ] || return 1
    pid=$(cat "$RUN/master.pid" 2>/dev/null) || return 1
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 1
    echo "$pid"
}

# Waits until the port answers with a POP3 greeting; fails after the given seconds.
wait_greeting() {
    python3 - "$1" "$2" <<'EOF'
import socket, sys, time
port, deadline = int(sys.argv[1]), time.monotonic() + float(sys.argv[2])
while time.monotonic() < deadline:
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
            s.settimeout(2)
            if s.recv(512).startswith(b"+OK"):
                sys.exit(0)
    except OSError:
        pass
    time.sleep(0.1)
sys.exit(1)
EOF
}

write_conf() {
    local port=$1 tls_port=$2 certs="$DIR/certs"
    cat >"$CONF" <<EOF
protocols = pop3
listen = 127.0.0.1
base_dir = $RUN
state_dir = $DIR/state
log_path = $DIR/dovecot.log
ssl = yes
ssl_cert = <$certs/good.pem
ssl_key = <$certs/good.key
ssl_min_protocol = TLSv1.2
# Each kind of bad certificate on an address of its own.
local 127.0.0.2 {
  ssl_cert = <$certs/other.pem
  ssl_key = <$certs/other.key
}
local 127.0.0.3 {
  ssl_cert = <$certs/expired.pem
  ssl_key = <$certs/expired.key
}
local 127.0.0.4 {
  ssl_cert = <$certs/self.pem
  ssl_key = <$certs/self.key
}
local 127.0.0.5 {
  ssl_cert = <$certs/future.pem
  ssl_key = <$certs/future.key
}
disable_plaintext_auth = no
# Every login method the client has: USER and PASS, SASL PLAIN, CRAM-MD5 and APOP (whose
# timestamp then comes with the greeting).
auth_mechanisms = plain login cram-md5 apop
# A second session is refused with [IN-USE] while one holds the mailbox, as many providers do.
pop3_lock_session = yes
# A wrong password is answered at once instead of after a growing penalty.
auth_failure_delay = 0
first_valid_uid = $MAIL_UID
default_internal_user = dovecot
default_login_user = dovenull
mail_location = maildir:$DIR/mail/%u/Maildir
pop3_uidl_format = %08Xu%08Xv
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $DIR/users
}
userdb {
  driver = static
  args = uid=$MAIL_UID gid=$MAIL_UID home=$DIR/mail/%u
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $port
  }
  inet_listener pop3s {
    address = 127.0.0.1 127.0.0.2 127.0.0.3 127.0.0.4 127.0.0.5
    port = $tls_port
    ssl = yes
  }
}
service imap-login {
  inet_listener imap {
    port = 0
  }
  inet_listener imaps {
    port = 0
  }
}
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
EOF
    if [ "${DOVECOT_PREFORK:-0}" = 1 ]; then
        cat >>"$CONF" <<EOF
service pop3-login {
  service_count = 0
  process_min_avail = 1
}
service pop3 {
  service_count = 0
  process_min_avail = 2
}
service auth {
  process_min_avail = 1
}
EOF
    fi
}

# Stops the server once the owner process has ended, unless it was stopped before.
watch_owner() {
    local owner=$1 pid
    pid=$(master_pid) || return 0
    (
        while kill -0 "$owner" 2>/dev/null && kill -0 "$pid" 2>/dev/null; do
            sleep 1
        done
        if kill -0 "$pid" 2>/dev/null; then
            cmd_stop "$DIR"
        fi
    ) </dev/null >/dev/null 2>&1 &
}

cmd_start() {
    [ -n "${1:-}" ] || usage
    mkdir -p "$1"
    need_dir "$1"
    local owner=${2:-}
    [ -z "$owner" ] || [[ "$owner" =~ ^[0-9]+$ ]] || usage
    [ "$(id -u)" -eq 0 ] || die "must run as root (Dovecot switches users)"
    command -v dovecot >/dev/null || die "dovecot is not installed (apt-get install dovecot-pop3d)"
    if master_pid >/dev/null; then
        die "a Dovecot is already running on $DIR"
    fi
    # The mail processes run as uid $MAIL_UID and must reach DIR/mail.
    chmod 755 "$DIR"
    mkdir -p "$DIR/state" "$DIR/mail"
    echo "test:{PLAIN}secret" >"$DIR/users"
    chmod 644 "$DIR/users"
    chown "$MAIL_UID:$MAIL_UID" "$DIR/mail"
    "$(dirname "$0")/make-test-certs.sh" "$DIR/certs" || die "cannot make the test certificates"

    # The port is free when asked for but could be taken before Dovecot binds it: retry.
    local attempt port tls_port
    for attempt in 1 2 3; do
        port=$(free_port) || die "cannot find a free loopback port"
        tls_port=$(free_port) || die "cannot find a free loopback port"
        [ "$tls_port" != "$port" ] || continue
        write_conf "$port" "$tls_port"
        echo "$tls_port" >"$DIR/pop3s.port"
        : >"$DIR/dovecot.log"
        # The daemon must not hold on to our output, or a caller reading it never sees its end.
        if ! timeout "$START_TIMEOUT" dovecot -c "$CONF" </dev/null >/dev/null 2>"$DIR/start.err"; then
            cat "$DIR/start.err" >&2 || true
            echo "dovecot.sh: dovecot did not start (attempt $attempt):" >&2
            tail -n 5 "$DIR/dovecot.log" >&2 || true
            continue
        fi
        if wait_greeting "$port" "$START_TIMEOUT"; then
            [ -z "$owner" ] || watch_owner "$owner"
            echo "$port"
            return 0
        fi
        echo "dovecot.sh: no POP3 greeting on port $port within ${START_TIMEOUT}s (attempt $attempt):" >&2
        tail -n 5 "$DIR/dovecot.log" >&2 || true
        cmd_stop "$DIR" || true
    done
    die "could not start Dovecot on $DIR"
}

cmd_stop() {
    need_dir "${1:-}"
    local pid
    pid=$(master_pid) || return 0
    timeout "$STOP_TIMEOUT" doveadm -c "$CONF" stop >/dev/null 2>&1 || kill -TERM "$pid" 2>/dev/null || true
    local waited=0
    while kill -0 "$pid" 2>/dev/null; do
        if [ "$waited" -ge $((STOP_TIMEOUT * 10)) ]; then
            kill -KILL "$pid" 2>/dev/null || true
            die "Dovecot (pid $pid) did not stop within ${STOP_TIMEOUT}s; killed"
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
}

cmd_seed() {
    need_dir "${1:-}"
    local count=${2:-}
    [[ "$count" =~ ^[0-9]+$ ]] || usage
    shift 2
    local maildir="$DIR/mail/test/Maildir"
    rm -rf "$DIR/mail/test"
    mkdir -p "$maildir/new" "$maildir/cur" "$maildir/tmp"
    timeout 120 python3 - "$maildir/new" "$count" "$@" <<'EOF'
import os, sys

# CR LF line ends, so the octets on disk are the octets POP3 reports.
folder, count, sizes = sys.argv[1], int(sys.argv[2]), [int(s) for s in sys.argv[3:]]

def message(n, size):
    head = ("From: Sender %d <sender%d@example.com>\r\n"
            "To: Test User <test@example.com>\r\n"
            "Subject: Message %d\r\n"
            "Date: Mon, 01 Jan 2024 10:%02d:%02d +0000\r\n"
            "Message-ID: <%d@tarnwick.test>\r\n"
            "\r\n" % (n, n, n, n // 60 % 60, n % 60, n))
    body = "".join("Body line %d of message %d\r\n" % (k, n) for k in range(1, 4))
    text = head + body
    if size is None:
        return text
    if size < len(text):
        sys.exit("dovecot.sh: message %d needs at least %d octets" % (n, len(text)))
    filler = size - len(text)
    while filler > 0:
        # Lines of at most 76 characters plus CR LF; the last one takes the rest.
        line = min(filler, 78)
        if line < 2:
            text = text[:-2] + "x" * line + "\r\n"
            break
        text += "x" * (line - 2) + "\r\n"
        filler -= line
    return text

for n in range(1, count + 1):
    size = sizes[n - 1] if n - 1 < len(sizes) else None
    # Dovecot numbers new messages in the order of the time stamps in their names.
    name = "%d.M%dP%d.tarnwick" % (1700000000 + n, n, os.getpid())
    with open(os.path.join(folder, name), "w", newline="") as f:
        f.write(message(n, size))
EOF
    chown -R "$MAIL_UID:$MAIL_UID" "$DIR/mail/test"
}

case "${1:-}" in
start) shift; cmd_start "$@" ;;
seed) shift; cmd_seed "$@" ;;
stop) shift; cmd_stop "$@" ;;
*) usage ;;
esac
