// Windows 98, ME and the NT family from 2000 on refuse SetForegroundWindow to
// a process that does not own the foreground; attaching our input to the
// foreground thread for the call lets it through.
#include "foreground.h"

BOOL ReadWindowsVersion(OSVERSIONINFOA* version)
{
    ZeroMemory(version, sizeof *version);
    version->dwOSVersionInfoSize = sizeof *version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(version);
#pragma GCC diagnostic pop
}

BOOL IsWin9xFamily()
{
    OSVERSIONINFOA version;
    return ReadWindowsVersion(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

HWND RootWindowOf(HWND window)
{
    for (HWND parent = GetParent(window); parent; parent = GetParent(window)) window = parent;
    return window;
}

BOOL HasForegroundLock()
{
    OSVERSIONINFOA version;
    if (!ReadWindowsVersion(&version)) return FALSE;
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT:
        return version.dwMajorVersion > 4;
    case VER_PLATFORM_WIN32_WINDOWS:
        return version.dwMajorVersion > 4 || (version.dwMajorVersion == 4 && version.dwMinorVersion != 0);
    default:
        return FALSE;
    }
}

BOOL AttachAndSetForeground(HWND window)
{
    HWND foreground = GetForegroundWindow();
    if (foreground != window) {
        DWORD foregroundThread = GetWindowThreadProcessId(foreground, nullptr);
        DWORD ownThread = GetWindowThreadProcessId(window, nullptr);
        AttachThreadInput(ownThread, foregroundThread, TRUE);
        SetForegroundWindow(window);
        AttachThreadInput(ownThread, foregroundThread, FALSE);
    }
    return GetForegroundWindow() == window;
}

BOOL BringToForeground(HWND window)
{
    if (HasForegroundLock()) return AttachAndSetForeground(window);
    SetForegroundWindow(window);
    return GetForegroundWindow() == window;
}
