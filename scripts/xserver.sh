# Sourced: start_xserver picks a free display, starts Xvfb on it and exports
# DISPLAY; stop_xserver ends it. One wineserver belongs to one display.
# start_wine_session (below) does both and starts the wineserver too.
PATHWICK_ROOT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
XVFB_PID=""
start_xserver() {
    local n
    for n in $(seq 91 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on $DISPLAY" >&2
    return 1
}
stop_xserver() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
}

# A private X server and the project's wineserver on it, both ended when the
# calling script exits. Wine's server must run before anything starts a Wine
# process (test discovery included), with its output away from ctest's pipes.
start_wine_session() {
    start_xserver
    trap 'bash "$PATHWICK_ROOT_DIR/scripts/wine-prefix.sh" stop; stop_xserver' EXIT
    bash "$PATHWICK_ROOT_DIR/scripts/wine-prefix.sh" start
}
