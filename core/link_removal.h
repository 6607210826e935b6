// Removing the target's shortcut from one place, and the group folder that
// the removal left empty.
#pragma once
#include <windows.h>

BOOL DeleteLinkFrom(HWND owner, const char* target, const char* valueName, const char* subPathOrFolder);
BOOL RemoveEmptyFolderTree(const char* folder);
