#!/usr/bin/env bash
# Builds Quillet and runs it under Wine.
#   scripts/run.sh [target]
# On a display (DISPLAY set): starts Quillet for the target; without a target
# it starts in picking mode, so you can point at any window of the Wine session.
# Without a display: runs it on a private X server for the target (default:
# Wine's notepad.exe), writes a screenshot of the link dialog after its scan
# to build/screenshots/link-dialog.png and says so.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
bash scripts/setup.sh

BUILD="${PATHWICK_BUILD_DIR:-$ROOT/build}"
cmake -S . -B "$BUILD/x86_64" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" -DPATHWICK_DIST_DIR="$BUILD/dist" >/dev/null
cmake --build "$BUILD/x86_64" --target Quillet -j"$(nproc)"
EXE="$BUILD/dist/Quillet.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    # The user's own display: no virtual desktop, so every Wine window can be picked.
    export PATHWICK_WINEPREFIX="$BUILD/wineprefix-run" PATHWICK_VIRTUAL_DESKTOP=0
    bash scripts/wine-prefix.sh start
    source scripts/wine-env.sh
    if [ $# -gt 0 ]; then exec wine64 "$EXE" "$1"; else exec wine64 "$EXE"; fi
fi

export PATHWICK_WINEPREFIX="$BUILD/wineprefix"
source scripts/xserver.sh
start_wine_session
source scripts/wine-env.sh
target="${1:-C:\\windows\\notepad.exe}"
wine64 "$EXE" "$target" </dev/null >/dev/null 2>&1 &
# Wait for the dialog, then give its scan time to finish.
for _ in $(seq 1 100); do
    xwininfo -root -tree 2>/dev/null | grep -q '" Pathwick Ver 1.50"' && break
    sleep 0.1
done
sleep "${PATHWICK_SCAN_WAIT:-4}"
mkdir -p "$BUILD/screenshots"
import -display "$DISPLAY" -window root -crop 1024x768+0+0 "$BUILD/screenshots/link-dialog.png"
echo "Screenshot of the link dialog for $target: $BUILD/screenshots/link-dialog.png"
