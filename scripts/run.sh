#!/usr/bin/env bash
# Builds Quillet and runs it under Wine.
#   scripts/run.sh [target]
# On a display (DISPLAY set): starts Quillet for the target; without a target
# it starts in picking mode, so you can point at any window of the Wine session.
# Without a display: runs it on a private X server for the target (default:
# Wine's notepad.exe), waits for the link dialog and the end of its scan,
# writes a screenshot of it to build/screenshots/link-dialog.png and checks
# that the picture is not blank.
# The program runs from a folder of its own (build/run: a copy of Quillet.exe
# and Dovemere.html): beside the installer it would take the installer's
# hand-over path, and the deliverables in build/dist are never touched.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
bash scripts/setup.sh

BUILD="${PATHWICK_BUILD_DIR:-$ROOT/build}"
cmake -S . -B "$BUILD/x86_64" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" -DPATHWICK_DIST_DIR="$BUILD/dist" \
    -DBUILD_TESTING=ON >/dev/null
cmake --build "$BUILD/x86_64" --target Quillet quillet_probe -j"$(nproc)" >/dev/null

# Wine starts in a fresh shell: this one may have started before setup.sh made
# the Japanese locale, and would not see it (a locale warning at the first run).
WINE=(bash "$ROOT/scripts/wine-run.sh")

RUN="$BUILD/run"
rm -rf "$RUN"
mkdir -p "$RUN"
cp "$BUILD/dist/Quillet.exe" "$BUILD/dist/Dovemere.html" "$RUN/"
EXE="$RUN/Quillet.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    # The user's own display: no virtual desktop, so every Wine window can be picked.
    export PATHWICK_WINEPREFIX="$BUILD/wineprefix-run" PATHWICK_VIRTUAL_DESKTOP=0
    bash scripts/wine-prefix.sh start
    cd "$RUN"
    if [ $# -gt 0 ]; then exec "${WINE[@]}" "$EXE" "$1"; else exec "${WINE[@]}" "$EXE"; fi
fi

# A prefix of its own, so that a test run beside it is not disturbed.
export PATHWICK_WINEPREFIX="$BUILD/wineprefix-shot"
source scripts/xserver.sh
start_wine_session
PROBE="$BUILD/x86_64/tests/support/quillet_probe.exe"
target="${1:-C:\\windows\\notepad.exe}"
(cd "$RUN" && exec "${WINE[@]}" "$EXE" "$target" </dev/null >/dev/null 2>&1) &

# Wine is asked when the dialog shows and its scan has ended: under the
# virtual desktop its windows are no X windows.
if ! "${WINE[@]}" "$PROBE" wait-scan </dev/null; then
    echo "run.sh: the link dialog for $target did not finish its scan" >&2
    exit 1
fi
SHOT="$BUILD/screenshots/link-dialog.png"
mkdir -p "$(dirname "$SHOT")"
rm -f "$SHOT"
import -display "$DISPLAY" -window root -crop 1024x768+0+0 +repage "$SHOT"
"${WINE[@]}" "$PROBE" close </dev/null || true

# A blank picture has one colour, so no spread in its brightness.
spread="$(identify -format '%[fx:standard_deviation]' "$SHOT" 2>/dev/null || echo 0)"
if ! awk -v s="$spread" 'BEGIN { exit !(s > 0.01) }'; then
    echo "run.sh: the screenshot $SHOT is blank (standard deviation $spread)" >&2
    exit 1
fi
echo "Screenshot of the link dialog for $target: $SHOT"
