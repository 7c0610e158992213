#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine; quick when all is present.
set -euo pipefail

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

packages=(cmake make g++ googletest
          g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
          wine wine64 xvfb x11-apps xdotool imagemagick dovecot-pop3d nginx-light python3
          libssl-dev openssl nlohmann-json3-dev
          clang libclang-rt-14-dev nsis zip unzip fonts-wine fonts-wqy-microhei fonts-dejavu-core)
# 32-bit Wine installs on every machine of ours but runs only on some; the tests find out
# which by running it, so a failure to install it is not a failure here.
optional=(wine32:i386)
for p in "${packages[@]}"; do have "$p" || need+=("$p"); done
want=()
for p in "${optional[@]}"; do have "$p" || want+=("$p"); done
[ ${#need[@]} -eq 0 ] && [ ${#want[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
install() { $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
if ! install "${need[@]}" "${want[@]}"; then
    [ ${#want[@]} -gt 0 ] && echo "note: ${want[*]} could not be installed; Windows tests run 64-bit only" >&2
    [ ${#need[@]} -eq 0 ] || install "${need[@]}"
fi
