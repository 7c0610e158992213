#!/usr/bin/env bash
# Builds both toolchains and runs every test: the portable core natively under the
# sanitizers, against a real Dovecot, and cross-built under Wine (headless, then Xvfb for
# the notification area and the screenshots). Ends with one summary line.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

./tools/install-deps.sh || { echo "installing the build dependencies failed" >&2; exit 1; }

summary="$root/build/test-summary.txt"
mkdir -p build
: >"$summary"
failed_steps=()

# Counts what GoogleTest printed: "[  PASSED  ] N tests." and "[  FAILED  ] N tests,".
record() { # step-name log-file
    local passed failed
    passed=$(grep -aE '^\[  PASSED  \] [0-9]+ test' "$2" | awk '{s+=$4} END {print s+0}')
    failed=$(grep -aE '^\[  FAILED  \] [0-9]+ test' "$2" | awk '{s+=$4} END {print s+0}')
    echo "$1 $passed $failed" >>"$summary"
}

# A hung step (a Wine program waiting on a window nobody answers) must not eat the whole run.
step_limit=${STEP_TIMEOUT:-1800}

step() { # name command...
    local name=$1 rc=0
    shift
    local log="$root/build/logs/$name.log"
    mkdir -p "$root/build/logs"
    echo "== $name"
    timeout -k 10 "$step_limit" "$@" >"$log" 2>&1 || rc=$?
    if [ $rc -eq 0 ]; then
        grep -aE '^\[  (PASSED|FAILED)  \]|tests passed|tests failed|^fuzz_' "$log" | sed 's/^/   /'
    else
        failed_steps+=("$name")
        tail -n 60 "$log"
        [ $rc -eq 124 ] && echo "   ($name ran past its limit of $step_limit s)"
        echo "   ($name failed; full log in build/logs/$name.log)"
    fi
    record "$name" "$log"
}

# A program the build should have made: without it, its step fails rather than vanishes.
built() { # step-name file
    [ -f "$2" ] && return 0
    failed_steps+=("$1")
    echo "== $1: $2 was not built"
    return 1
}

# ---- native ------------------------------------------------------------------------------
native=build/native
step native-build bash -c "cmake -S . -B $native -DTARNWICK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null && cmake --build $native -j$jobs"
if [ -x $native/tests/core_tests ]; then
    step native-core env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $native/tests/core_tests
    step native-dovecot env ASAN_OPTIONS=detect_leaks=1 $native/tests/dovecot_tests
fi
# The same core tests again under ThreadSanitizer: any report fails the step.
tsan=build/tsan
step tsan-build bash -c "cmake -S . -B $tsan -DTARNWICK_TSAN=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null && cmake --build $tsan -j$jobs --target core_tests"
if [ -x $tsan/tests/core_tests ]; then
    step tsan-core env TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" $tsan/tests/core_tests
fi
# Each fuzzing harness: its committed inputs, then a fixed number from a fixed seed, so that
# the same tree gives the same answer on every run.
step fuzz ./tools/fuzz.sh --fixed

# ---- cross -------------------------------------------------------------------------------
. tools/wine-env.sh
# Both Windows builds are release artefacts, so both are built wherever they can be run.
for arch in i686 x86_64; do
    dir=$(wine_build_dir "$root" $arch)
    step cross-build-$arch bash -c "cmake -S . -B $dir -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build $dir -j$jobs"
done

archs=$(wine_archs) || { failed_steps+=(wine-arch); archs=""; }
if wine_can_run_i686; then
    i686_note="this machine runs 32-bit programs"
else
    i686_note="this machine cannot run 32-bit programs"
fi
echo "== Windows tests under Wine on: $archs ($i686_note)"

stop_wine() {
    wineserver -k 2>/dev/null
    timeout 60 /usr/lib/wine/wineserver -w 2>/dev/null
}
wine_display() { # null | x11
    # The desktop process keeps the driver it started with, so the new setting takes
    # effect only after a restart of everything Wine runs.
    stop_wine
    if [ "$1" = null ]; then
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
    else
        wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    fi
    stop_wine
    wineserver -p 2>/dev/null || true
}

wine_dpi() { # dots per inch of the display Wine pretends to have
    stop_wine
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    stop_wine
    wineserver -p 2>/dev/null || true
}

for arch in $archs; do
    cross=$(wine_build_dir "$root" $arch)
    built wine-core-$arch $cross/tests/core_tests.exe || continue
    wine_use "$root" $arch
    wine_display null
    step wine-core-$arch "$WINE" $cross/tests/core_tests.exe
    built wine-ui-$arch $cross/tests/ui_tests.exe && step wine-ui-$arch "$WINE" $cross/tests/ui_tests.exe
    if built wine-check-cli-$arch $cross/src/tarnwick-check.exe; then
        step wine-check-cli-$arch ./tools/check-cli-wine.sh $cross/src/tarnwick-check.exe
        step wine-tls-$arch ./tools/tls-wine.sh $cross/src/tarnwick-check.exe
    fi

    # The notification area only exists with a display.
    xvfb_start || failed_steps+=(xvfb-$arch)
    wine_display x11
    built wine-tray-$arch $cross/tests/tray_tests.exe && step wine-tray-$arch "$WINE" $cross/tests/tray_tests.exe
    if built wine-program-$arch $cross/tests/program_tests.exe; then
        # A Dovecot whose implicit TLS listener serves a self-signed certificate on 127.0.0.4,
        # for the main window's question whether to trust it, and mail to find once trusted.
        dovecot_dir=$(mktemp -d /tmp/tarnwick-dovecot.XXXXXX)
        { ./tools/dovecot.sh start "$dovecot_dir" $$ >/dev/null &&
            ./tools/dovecot.sh seed "$dovecot_dir" 3 >/dev/null; } || failed_steps+=(dovecot-$arch)
        # The main window's test photographs the open summary popup as a bitmap.
        shots="$root/build/screenshots/$arch"
        mkdir -p "$shots"
        step wine-program-$arch env \
            TARNWICK_DOVECOT_SELF_SIGNED="127.0.0.4:$(cat "$dovecot_dir/pop3s.port" 2>/dev/null)" \
            TARNWICK_SHOTS="$(winepath -w "$shots" 2>/dev/null)" \
            "$WINE" $cross/tests/program_tests.exe
        for bitmap in "$shots"/*.bmp; do
            [ -f "$bitmap" ] && convert "$bitmap" "${bitmap%.bmp}.png" && rm -f "$bitmap"
        done
        ./tools/dovecot.sh stop "$dovecot_dir" >/dev/null 2>&1
        rm -rf "$dovecot_dir"
    fi
    built wine-packages-$arch $cross/tests/instance_probe.exe && step wine-packages-$arch ./tools/package-wine.sh $arch $cross/tests/instance_probe.exe
    if built screenshots-$arch $cross/tests/ui_shots.exe; then
        step screenshots-$arch ./tools/screenshots.sh $cross/tests/ui_shots.exe build/screenshots/$arch
        # The same sights on a 192 DPI display.
        wine_dpi 192
        step screenshots-192dpi-$arch ./tools/screenshots.sh $cross/tests/ui_shots.exe \
            build/screenshots/$arch-192dpi build/screenshots/$arch
        wine_dpi 96
    fi
    stop_wine
    kill $xvfb 2>/dev/null
    wait $xvfb 2>/dev/null
    unset DISPLAY
done

# ---- summary -----------------------------------------------------------------------------
echo
awk '{printf "   %-24s %5d passed %3d failed\n", $1, $2, $3}' "$summary"
total_passed=$(awk '{s+=$2} END {print s+0}' "$summary")
total_failed=$(awk '{s+=$3} END {print s+0}' "$summary")
if [ ${#failed_steps[@]} -gt 0 ]; then
    echo "failed steps: ${failed_steps[*]}"
    total_failed=$((total_failed > 0 ? total_failed : ${#failed_steps[@]}))
fi
echo "Windows tests ran on: $archs ($i686_note)"
echo "tests: $total_passed passed, $total_failed failed"
[ ${#failed_steps[@]} -eq 0 ] && [ "$total_failed" -eq 0 ]
