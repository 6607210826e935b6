#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's prefix and code page 932.
# Used as the cross-compiling emulator by CTest.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exec /usr/lib/wine/wine64 "$@"
