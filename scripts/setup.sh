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

# Wine's 32-bit loader is a 32-bit Linux program. Some kernels (the CI
# machines' among them) execute no 32-bit x86 code ("Exec format error");
# there QEMU's user-mode emulator runs it, registered for 32-bit x86 programs.
# Bookworm's QEMU 7.2 scans its guest memory map page by page for every
# mapping and takes 45 s to start one Wine process; 8.1 and later take a
# fraction of a second, so it comes from bookworm-backports.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    if ! qemu-i386 --version 2>/dev/null | grep -qE 'version ([89]|[1-9][0-9])\.'; then
        list=/etc/apt/sources.list.d/pathwick-backports.list
        if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
            echo "deb http://deb.debian.org/debian bookworm-backports main" | $SUDO tee "$list" >/dev/null
        fi
        # Without it the i686 tests are reported as not run: never a failed setup.
        export DEBIAN_FRONTEND=noninteractive
        $SUDO apt-get update -q || true
        $SUDO apt-get install -y -q --no-install-recommends -t bookworm-backports qemu-user || true
    fi
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
    # An entry made for an older emulator keeps that emulator open: made afresh.
    [ -e "$binfmt/qemu-i386" ] && { echo -1 | $SUDO tee "$binfmt/qemu-i386" >/dev/null || true; }
    if [ -x /usr/bin/qemu-i386 ] && [ -e "$binfmt/register" ]; then
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
            | $SUDO tee "$binfmt/register" >/dev/null || true
    fi
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo "setup: 32-bit x86 programs run under $(qemu-i386 --version | head -1) on this machine"
    fi
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
