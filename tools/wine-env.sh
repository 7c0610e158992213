# Sourced by the scripts that start Windows programs. Picks the Wine of one architecture
# (i686 or x86_64) with a prefix of its own, and tells which architectures this machine
# can run. The `wine` wrapper is not used: it prefers the 32-bit loader even where the
# kernel cannot execute it.

# True when this machine executes 32-bit programs; found out by running one.
wine_can_run_i686() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The architectures whose Windows programs to run, best first. TARNWICK_WINE_ARCH forces
# one ("i686" or "x86_64"); otherwise x86_64 always and i686 where the machine runs it.
wine_archs() {
    case "${TARNWICK_WINE_ARCH:-}" in
    x86_64) echo x86_64 ;;
    i686)
        if ! wine_can_run_i686; then
            echo "TARNWICK_WINE_ARCH=i686, but this machine cannot run 32-bit programs" >&2
            return 1
        fi
        echo i686
        ;;
    "" | auto)
        if wine_can_run_i686; then echo "i686 x86_64"; else echo "x86_64"; fi
        ;;
    *)
        echo "TARNWICK_WINE_ARCH must be i686, x86_64 or auto, not '$TARNWICK_WINE_ARCH'" >&2
        return 1
        ;;
    esac
}

# The build folder of an architecture's Windows build.
wine_build_dir() { # root arch
    if [ "$2" = i686 ]; then echo "$1/build/win32"; else echo "$1/build/win64"; fi
}

# `wine`, `winepath` and `wineserver` for the Wine that WINE names (set by wine_use, and
# inherited by the scripts it starts).
wine_commands() {
    : "${WINE:=/usr/lib/wine/wine64}"
    wine() { "$WINE" "$@"; }
    winepath() { "$WINE" winepath "$@"; }
    wineserver() { /usr/lib/wine/wineserver "$@"; }
}

# Exports WINE, WINEARCH, WINEPREFIX (under root/build, or the given folder) and the quiet
# settings, and makes the prefix on first use. Runs `wine` through the chosen loader for the
# rest of the script.
wine_use() { # root arch [prefix]
    local root=$1 arch=$2
    if [ "$arch" = i686 ]; then
        export WINE=/usr/lib/wine/wine WINEARCH=win32
    else
        export WINE=/usr/lib/wine/wine64 WINEARCH=win64
    fi
    export WINELOADER=$WINE
    export WINEPREFIX="${3:-$root/build/wineprefix-$arch}" WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv,wineoss.drv=d"
    wine_commands
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "== creating the $arch Wine prefix"
        "$WINE" wineboot -i >/dev/null 2>&1
        wine_fonts
        wineserver -w
    elif [ ! -e "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
        wine_fonts # a prefix made before the fonts were set up
    fi
}

# Fonts for mail in every language and for the caption buttons. This Wine does not look in
# its own font folder, so marlett (the close box would be a letter "r") goes into the
# prefix; DejaVu Sans, which the dialog fonts fall back to and which has Cyrillic and Greek,
# gets a CJK font linked behind it.
wine_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" link
    mkdir -p "$fonts"
    [ -f /usr/share/wine/fonts/marlett.ttf ] && ln -sf /usr/share/wine/fonts/marlett.ttf "$fonts/"
    link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    "$WINE" reg add "$link" /v "DejaVu Sans" /t REG_MULTI_SZ \
        /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f >/dev/null 2>&1
}

# Starts an Xvfb on the first free display from :90, exports DISPLAY and sets `xvfb` to its
# process id; returns once the display answers, or fails after 5 s.
xvfb_start() {
    local display=:90 n
    for n in $(seq 90 120); do
        [ -e /tmp/.X$n-lock ] || { display=:$n; break; }
    done
    Xvfb $display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=$display
    for _ in $(seq 50); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
