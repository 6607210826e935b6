#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, once.
# Run again, it installs nothing and finishes in a moment.
set -euo pipefail

# The win32 thread-model compilers: the posix ones link a threads library that
# needs Windows Vista (GetTickCount64) into every program.
PACKAGES=(cmake make g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
          wine64 xvfb xauth x11-utils imagemagick zip
          fonts-ipafont-gothic fonts-ipafont fonts-wine locales googletest)

# Wine's 32-bit loader runs the i686 build in the same 64-bit prefix (WoW64).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO dpkg --add-architecture i386
fi
PACKAGES+=(wine32:i386)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Without the generated glibc locale Wine loses the high bits of every
# Japanese file name and argument that crosses the Unix boundary.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO sed -i 's/^# *ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
fi

# A build folder made with the posix thread-model compilers keeps them in its
# cache: it is made afresh.
BUILD="${PATHWICK_BUILD_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
for arch in x86_64 i686; do
    if grep -qs -- '-posix' "$BUILD/$arch/CMakeCache.txt"; then rm -rf "${BUILD:?}/$arch"; fi
done
