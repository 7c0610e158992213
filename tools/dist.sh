#!/usr/bin/env bash
# Builds the packages users download: for each architecture a setup program (NSIS) and a
# portable zip, named build/dist/tarnwick-<version>-<arch>-{setup.exe,portable.zip}.
# The version comes from src/res/version.h, as the program's own does.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-2}

./tools/install-deps.sh

part() { awk -v name="TARNWICK_VERSION_$1" '$1 == "#define" && $2 == name {print $3}' src/res/version.h; }
version="$(part MAJOR).$(part MINOR).$(part PATCH)"
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "no version in src/res/version.h" >&2; exit 1; }

. tools/wine-env.sh
dist=build/dist
mkdir -p $dist
for arch in ${TARNWICK_DIST_ARCHS:-i686 x86_64}; do
    build=$(wine_build_dir "$root" $arch)
    [ -f "$build/CMakeCache.txt" ] ||
        cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" -j"$jobs" --target tarnwick tarnwick-check

    # The files as they lie in the installed folder and in the zip.
    stage=$dist/stage-$arch/Tarnwick
    rm -rf "$dist/stage-$arch"
    mkdir -p "$stage"
    cp "$build/src/tarnwick.exe" "$build/src/tarnwick-check.exe" "$build/src/GotMail.wav" \
        doc/tarnwick.html doc/licence.txt "$stage/"
    # Only the release's own symbols-free programs go out.
    "$arch-w64-mingw32-strip" "$stage/tarnwick.exe" "$stage/tarnwick-check.exe"

    name=tarnwick-$version-$arch
    makensis -V2 -DVERSION="$version" -DARCH="$arch" -DFILES="$root/$stage" \
        -DOUTFILE="$root/$dist/$name-setup.exe" -DICON="$build/src/res/art/tarnwick.ico" \
        -DWIZARD="$build/src/res/art/wizard.bmp" \
        tools/installer/tarnwick.nsi

    # The zip holds a portable.ini, which makes the unpacked folder keep its settings to itself.
    cp tools/installer/portable.ini "$stage/portable.ini"
    rm -f "$dist/$name-portable.zip"
    (cd "$dist/stage-$arch" && zip -q -X -r "$root/$dist/$name-portable.zip" Tarnwick)
    rm -rf "$dist/stage-$arch"
done
ls -l $dist
