#!/usr/bin/env bash
# Builds and runs core_bench and app_bench under Wine (code page 932) on a private X server:
#   PATHWICK_BUILD_DIR=/path/to/build bash tests/bench/run_bench.sh
# The build folder defaults to build/ in the work tree, as for scripts/test.sh.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$ROOT"
bash scripts/setup.sh
BUILD="${PATHWICK_BUILD_DIR:-$ROOT/build}"
export PATHWICK_WINEPREFIX="$BUILD/wineprefix"
source scripts/xserver.sh
start_wine_session
cmake -S . -B "$BUILD/x86_64" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" -DPATHWICK_DIST_DIR="$BUILD/dist" \
    -DBUILD_TESTING=ON >/dev/null
cmake --build "$BUILD/x86_64" -j"$(nproc)" --target core_bench
bash scripts/wine-run.sh "$BUILD/x86_64/tests/bench/core_bench.exe" </dev/null
cmake --build "$BUILD/x86_64" -j"$(nproc)" --target app_bench Quillet
bash scripts/wine-run.sh "$BUILD/x86_64/tests/bench/app_bench.exe" "Z:${BUILD//\//\\}\\dist\\Quillet.exe" </dev/null
