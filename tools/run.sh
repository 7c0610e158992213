#!/usr/bin/env bash
# Starts Tarnwick under Wine. A mailbox configured with `tarnwick-check --setup` (or in an
# earlier run) is checked; otherwise a demo Dovecot on loopback with a few sample messages,
# through a demo profile of its own. Without a display it runs under Xvfb, photographs the
# main window after the first check (build/screenshots/main.png) and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
./tools/install-deps.sh
. tools/wine-env.sh

# The last architecture listed is x86_64, which every machine of ours runs.
arch=$(wine_archs | awk '{print $NF}')
build=$(wine_build_dir "$root" "$arch")
[ -f "$build/CMakeCache.txt" ] ||
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target tarnwick tarnwick-check -j2 >/dev/null
exe="$build/src/tarnwick.exe"

mkdir -p build/run
own=${TARNWICK_PROFILE:-${XDG_CONFIG_HOME:-$HOME/.config}/tarnwick/tarnwick.ini}
if [ -f "$own" ] && grep -qi '^Mail server=.' "$own"; then
    mode=own
    wine_use "$root" "$arch" "$root/build/run/wineprefix-$arch"
else
    mode=demo
    wine_use "$root" "$arch" "$root/build/run/demo-wineprefix-$arch"
fi
appdata=$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
profile="$(winepath -u "$appdata" 2>/dev/null | tr -d '\r')/Tarnwick/tarnwick.ini"
mkdir -p "$(dirname "$profile")"

demo=""
cleanup() {
    [ -n "$demo" ] && { ./tools/dovecot.sh stop "$demo" >/dev/null 2>&1 || true; rm -rf "$demo"; }
    [ -n "${xvfb:-}" ] && { kill "$xvfb" 2>/dev/null || true; }
}
trap cleanup EXIT

if [ $mode = own ]; then
    echo "Checking the mailbox configured in $own."
    cp "$own" "$profile"
else
    echo "No mailbox configured yet: checking the demo mailbox (user test) on a local Dovecot."
    demo=$(mktemp -d /tmp/tarnwick-demo.XXXXXX)
    port=$(./tools/dovecot.sh start "$demo")
    ./tools/dovecot.sh seed "$demo" 0 >/dev/null
    install -o 5000 -g 5000 -m 0600 demo/*.eml "$demo/mail/test/Maildir/new/"
    rm -f "$profile"
    printf 'secret\n' | wine "$build/src/tarnwick-check.exe" --profile "$(winepath -w "$profile")" \
        --setup --server "127.0.0.1:$port" --user test --password-stdin >/dev/null
fi
# The first run of this version is over, and the program checks as soon as it starts.
python3 - "$profile" <<'PY'
import sys
path = sys.argv[1]
data = open(path, 'rb').read().decode('latin-1')
nl = '\r\n' if '\r\n' in data else '\n'
want = {'AutoUpdate': {'CurrentVersion': '106'},
        'Notification': {'FirstTime': '0', 'CheckMailOnStartup': '1'}}
out, section = [], None
def flush(sec):
    for key, value in want.pop(sec, {}).items():
        out.append(f'{key}={value}')
for line in data.splitlines():
    s = line.strip()
    if s.startswith('[') and s.endswith(']'):
        if section in want: flush(section)
        section = s[1:-1]
    elif section in want and s.split('=', 1)[0].strip() in want[section]:
        continue
    out.append(line)
if section in want: flush(section)
for sec in list(want):
    out.append(f'[{sec}]'); flush(sec)
open(path, 'wb').write((nl.join(out) + nl).encode('latin-1'))
PY

if [ -n "${DISPLAY:-}" ]; then
    wine "$exe"
    status=0
else
    xvfb_start
    # Wine's desktop process keeps the display it started with: the set-up above started
    # it without one.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wine "$exe" &
    program=$!
    # The title shows the count once the first check has ended.
    window=""
    for _ in $(seq 600); do
        window=$(xdotool search --name '^Tarnwick - ' 2>/dev/null | head -n 1 || true)
        [ -n "$window" ] && break
        kill -0 $program 2>/dev/null || break
        sleep 0.1
    done
    status=1
    if [ -n "$window" ]; then
        sleep 1 # let the list paint
        mkdir -p build/screenshots
        import -window "$window" build/screenshots/main.png
        echo "$(xdotool getwindowname "$window")"
        echo "Screenshot of the main window: build/screenshots/main.png"
        status=0
    else
        echo "The main window did not show a check result." >&2
    fi
    wineserver -k 2>/dev/null || true
    wait $program 2>/dev/null || true
fi
if [ $mode = own ]; then
    # Settings changed in the program are kept for the next run.
    cp "$profile" "$own"
fi
exit $status
