#!/usr/bin/env bash
# Builds and runs core_bench and app_bench under Wine (code page 932) on a private X server:
#   PATHWICK_BUILD_DIR=/path/to/build bash tests/bench/run_bench.sh
# The build folder defaults to build/ in the work tree, as for scripts/test.sh.
# The benchmarks and their wineserver run pinned to one CPU (PATHWICK_BENCH_CPU,
# default the last one): these machines change speed every few seconds, and a
# program and its server on different CPUs gave figures that ranged fivefold.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$ROOT"
bash scripts/setup.sh
BUILD="${PATHWICK_BUILD_DIR:-$ROOT/build}"
CPU="${PATHWICK_BENCH_CPU:-$(($(nproc) - 1))}"
# A prefix of its own: the tests can run meanwhile with theirs.
export PATHWICK_WINEPREFIX="$BUILD/wineprefix-bench"

cmake -S . -B "$BUILD/x86_64" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" -DPATHWICK_DIST_DIR="$BUILD/dist" \
    -DBUILD_TESTING=ON >/dev/null
cmake --build "$BUILD/x86_64" -j"$(nproc)" --target core_bench app_bench Quillet

source scripts/xserver.sh
start_xserver
trap 'bash scripts/wine-prefix.sh stop; stop_xserver' EXIT
# A server left running would not be pinned: stop it, then start one that is.
bash scripts/wine-prefix.sh stop
taskset -c "$CPU" bash scripts/wine-prefix.sh start
echo "pinned to CPU $CPU: $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) CPUs, load $(cut -d' ' -f1-3 /proc/loadavg)"

taskset -c "$CPU" bash scripts/wine-run.sh "$BUILD/x86_64/tests/bench/core_bench.exe" </dev/null
taskset -c "$CPU" bash scripts/wine-run.sh "$BUILD/x86_64/tests/bench/app_bench.exe" \
    "Z:${BUILD//\//\\}\\dist\\Quillet.exe" </dev/null
