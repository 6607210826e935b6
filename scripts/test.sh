#!/usr/bin/env bash
# Installs what is missing, builds both architectures with their tests and
# runs them under Wine (code page 932) on a private X server, in one prefix
# of the build's own (a 64-bit one, which runs the 32-bit build too):
#   every test of the x64 build and of the i686 build, with Wine's default
#   answer to "which Windows is this?" (Windows 7), then the end-to-end tests
#   whose code branches on the Windows version again with Wine answering as
#   Windows 10 and XP (both builds) and Windows 98 (the i686 build only).
# Extra arguments go to every ctest run (for example -R Core; a -R of your own
# replaces the selection of the answer runs). PATHWICK_ARCHES and
# PATHWICK_ANSWERS narrow what runs (e.g. PATHWICK_ANSWERS="default win98").
# A failing test is never run again: it fails the run.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"
started=$SECONDS
bash scripts/setup.sh

BUILD="${PATHWICK_BUILD_DIR:-$ROOT/build}"
ARCHES="${PATHWICK_ARCHES:-x86_64 i686}"
ANSWERS="${PATHWICK_ANSWERS:-default win10 winxp win98}"
export PATHWICK_WINEPREFIX="$BUILD/wineprefix"
source scripts/xserver.sh
start_wine_session

# Wine runs the i686 build with its 32-bit loader, a 32-bit Linux program
# (under QEMU's emulator where the kernel runs no 32-bit code: see setup.sh).
# Where it still cannot start, the x64 tests run copies of the programs with
# the 9x answer layer too, so that Wine's win98 answer still takes the 9x
# branches through the layer, in the 64-bit build.
RUNS_32BIT=1
/usr/lib/wine/wine --version >/dev/null 2>&1 || RUNS_32BIT=0
X64_NINEX=OFF; [ "$RUNS_32BIT" = 0 ] && X64_NINEX=ON

summary=()
stage_start=$SECONDS
stage_done() { summary+=("$(printf '%-44s %5ds  %s' "$1" $((SECONDS - stage_start)) "${2:-}")"); stage_start=$SECONDS; }

for arch in x86_64 i686; do
    dist="$BUILD/dist"; ninex=ON
    [ "$arch" = i686 ] && dist="$BUILD/dist-i686" || ninex=$X64_NINEX
    cmake -S . -B "$BUILD/$arch" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch.cmake" \
        -DPATHWICK_DIST_DIR="$dist" -DBUILD_TESTING=ON -DPATHWICK_NINEX_LAYER=$ninex >/dev/null
    cmake --build "$BUILD/$arch" -j"$(nproc)"
    stage_done "build $arch"
done
# The archive a Windows user downloads, from the builds just made.
bash scripts/package.sh > "$BUILD/package.log"
echo "Package for Windows users: $(grep -m1 '\.zip$' "$BUILD/package.log")"
stage_done "package"

# The end-to-end tests whose code branches on the Windows version: start-up,
# the link dialog's create, delete, hand-over offer and sweep, the picker and
# the installer; of the tables whose rows differ in data alone, a few rows.
VERSIONED='^(AppStartup\.|AppPlaces\.|AppScan\.|AppDeadLinks\.|PickerLeftButton\.|PickerDesktopShortcut\.|PickerRightButton\.|InstallerTest\.'
VERSIONED+='|App/AppScanLayout\..*/(AllUsersGroups|GroupNameEndingInTrailByte5C)( |$)|App/AppDeadLinkAnswers\..*/(DeleteAllAtTheFirst|YesThenNo)( |$)'
VERSIONED+='|Installer/InstallerQuestion\..*/(NeitherYes|PathwickLinkElsewhereIsReplaced)( |$)|Installer/InstallerWithoutMainProgram\..*/HelpPagePresent( |$))'

# A name the code page cannot hold is a Windows NT fact: no such file exists
# on Windows 98, whose programs read only the ANSI names.
NT_ONLY='^AppPlaces\.LookAlikeShortcutIsNeverTheTargets$'

# Wine answers GetVersion as the Windows named for each program under test;
# the test programs themselves keep the default. The tests read the answer
# from PATHWICK_WINDOWS_ANSWER.
PROGRAMS=(Quillet.exe Stowfold.exe)
answer_as() {
    local program
    for program in "${PROGRAMS[@]}"; do
        local key="HKCU\\Software\\Wine\\AppDefaults\\$program"
        if [ "$1" = default ]; then
            bash scripts/wine-run.sh reg delete "$key" /v Version /f </dev/null >/dev/null 2>&1 || true
        else
            bash scripts/wine-run.sh reg add "$key" /v Version /d "$1" /f </dev/null >/dev/null 2>&1
        fi
    done
    export PATHWICK_WINDOWS_ANSWER="$1"
}
answer_as default # whatever a run cut short left behind

failed=0
run_tests() { # label, arch, ctest arguments...
    local label="$1" arch="$2" log="$BUILD/ctest-$3.log"
    shift 3
    echo "== $label =="
    ctest --test-dir "$BUILD/$arch" --output-on-failure --timeout 300 "$@" 2>&1 | tee "$log" || failed=1
    stage_done "$label" "$(grep -m1 'tests passed' "$log" || echo 'no tests ran')"
}

for arch in $ARCHES; do
    name=x64; [ "$arch" = i686 ] && name=i686
    if [ "$arch" = i686 ] && [ "$RUNS_32BIT" = 0 ]; then
        echo "== i686 tests NOT RUN: this machine cannot execute 32-bit x86 Linux programs," \
             "so Wine's 32-bit loader (/usr/lib/wine/wine) cannot start; the win98 answer ran on x64 =="
        stage_done "i686 tests" "NOT RUN: no 32-bit x86 execution on this machine"
        continue
    fi
    for answer in $ANSWERS; do
        # There is no 64-bit Windows 98: the x64 build takes that answer only
        # as the stand-in for an i686 build this machine cannot run.
        [ "$answer" = win98 ] && [ "$arch" != i686 ] && [ "$X64_NINEX" = OFF ] && continue
        answer_as "$answer"
        if [ "$answer" = default ]; then
            run_tests "$name tests, Wine's default answer" "$arch" "$name" "$@"
        else
            skip=(); [ "$answer" = win98 ] && skip=(-E "$NT_ONLY")
            label="$name tests, Wine answering as $answer"
            [ "$answer" = win98 ] && [ "$arch" != i686 ] && label="$label (9x layer; no 32-bit code here)"
            run_tests "$label" "$arch" "$name-$answer" -R "$VERSIONED" "${skip[@]}" "$@"
        fi
    done
done
answer_as default

echo "== summary =="
printf '%s\n' "${summary[@]}"
echo "total $((SECONDS - started))s"
exit $failed
