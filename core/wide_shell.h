// The shell's wide calls, looked up when called: the shell of plain Windows 95
// has no SHGetPathFromIDListW, and the programs must start there. Only the NT
// family needs them; where one is missing it fails.
#pragma once
#include <windows.h>
#include <shlobj.h>

// `path` holds MAX_PATH characters.
BOOL WidePathFromItemList(LPCITEMIDLIST items, WCHAR* path);
UINT WideDroppedFile(HDROP drop, UINT index, WCHAR* name, UINT chars);
