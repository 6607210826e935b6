# Sourced by the project's scripts: the environment every Wine run here uses.
# The prefix belongs to the build folder, never to the user's ~/.wine.
PATHWICK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${PATHWICK_WINEPREFIX:-$PATHWICK_ROOT/build/wineprefix}"
export PATH="/usr/lib/wine:$PATH"
export WINEARCH=win64
export WINEDEBUG=-all
export LC_ALL=ja_JP.UTF-8
export LANG=ja_JP.UTF-8
# No Gecko/Mono installers, no menu builder, and a crash ends the program at once
# instead of hanging in a crash dialog.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
