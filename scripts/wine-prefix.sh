#!/usr/bin/env bash
# Creates the project's Wine prefix once, and starts or stops its wineserver.
#   wine-prefix.sh init    create the prefix (once) and apply its settings
#   wine-prefix.sh start   start a persistent wineserver and warm it up
#   wine-prefix.sh stop    stop the wineserver and wait for it
# Long-lived Wine processes must be started here, with every stdio stream sent
# to /dev/null: one started by a test inherits ctest's pipe and hangs ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

quiet() { "$@" </dev/null >/dev/null 2>&1; }

apply_settings() {
    local reg="$WINEPREFIX/pathwick-settings.reg"
    # A virtual desktop gives dialogs a frame under a bare X server (not wanted
    # on a real display); it fills the X screen, so that the link dialog fits
    # at 150 %. The template font is substituted by an installed Japanese font.
    local lines=('Windows Registry Editor Version 5.00' '')
    if [ "${PATHWICK_VIRTUAL_DESKTOP:-1}" = 1 ]; then
        lines+=('[HKEY_CURRENT_USER\Software\Wine\Explorer]' '"Desktop"="Default"' ''
                '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="1024x768"' '')
    fi
    lines+=('[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' '"ＭＳ Ｐゴシック"="IPAPGothic"'
            '"ＭＳ ゴシック"="IPAGothic"' '"MS UI Gothic"="IPAPGothic"' ''
            '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]'
            '"ＭＳ Ｐゴシック"="IPAPGothic"' '"ＭＳ ゴシック"="IPAGothic"' '"MS UI Gothic"="IPAPGothic"' '')
    printf '%s\r\n' "${lines[@]}" | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } > "$reg"
    quiet wine64 reg import "$(winepath -w "$reg" 2>/dev/null || echo "$reg")" || quiet wine64 reg import "$reg"
}

# A prefix made while Wine's 32-bit loader could not run (not installed yet,
# or no way to execute 32-bit code) lacks its 32-bit half (syswow64), and Wine
# does not add it later by itself: such a prefix is made again once it can.
ready() {
    [ -f "$WINEPREFIX/.pathwick-ready-wow64" ] || return 1
    [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1
}

init() {
    ready && return 0
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    quiet wineserver -p
    quiet wine64 wineboot -i
    # A fresh prefix links Desktop, Documents, ... to the Unix home folder:
    # make them real folders inside the prefix.
    for d in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$d" ]; then rm "$d"; mkdir "$d"; fi
    done
    apply_settings
    # Title bars draw their buttons with Wine's Marlett; this Wine does not
    # look in Debian's fonts-wine folder by itself.
    cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    # Every shortcut save would start the menu builder and wait for it.
    local mb="$WINEPREFIX/drive_c/windows/system32/winemenubuilder.exe"
    [ -f "$mb" ] && mv "$mb" "$mb.off"
    quiet wineserver -k || true
    quiet wineserver -w || true
    touch "$WINEPREFIX/.pathwick-ready-wow64"
}

start() {
    init
    quiet wineserver -p
    # Every session starts at 100 %, whatever scale a test run that was cut
    # short left behind.
    quiet wine64 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f || true
    # Wine's desktop watches the Desktop folders it finds at its start and
    # holds each new shortcut there open for a moment: let it watch the
    # prefix's own, never a test's (a test cut short leaves its places behind).
    local folders='Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
    quiet wine64 reg add "HKCU\\$folders" /v Desktop /t REG_EXPAND_SZ /d '%USERPROFILE%\Desktop' /f || true
    quiet wine64 reg add "HKLM\\$folders" /v 'Common Desktop' /t REG_EXPAND_SZ /d '%PUBLIC%\Desktop' /f || true
    quiet wine64 rundll32.exe user32.dll,GetDesktopWindow || true
}

stop() {
    quiet wineserver -k || true
    quiet wineserver -w || true
}

"${1:-start}"
