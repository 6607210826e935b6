// Bringing one of the program's own windows to the foreground, and the few
// facts about the platform and its windows the other units decide by.
#pragma once
#include <windows.h>

BOOL BringToForeground(HWND window);
BOOL AttachAndSetForeground(HWND window);
BOOL HasForegroundLock();
// The platform family and version, for the choices that depend on them.
BOOL ReadWindowsVersion(OSVERSIONINFOA* version);
BOOL IsWin9xFamily();
// The top-level window a window belongs to (itself when it has no parent).
HWND RootWindowOf(HWND window);
