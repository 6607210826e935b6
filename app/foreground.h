// Bringing one of the program's own windows to the foreground.
#pragma once
#include <windows.h>

BOOL BringToForeground(HWND window);
BOOL AttachAndSetForeground(HWND window);
BOOL HasForegroundLock();
// The platform family and version, for the choices that depend on them.
BOOL ReadWindowsVersion(OSVERSIONINFOA* version);
