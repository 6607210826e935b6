// Both calls came after Windows 95 (SetDllDirectoryA with XP SP1,
// SetDefaultDllDirectories with Windows 8 and an update of Vista and 7), so
// both are looked up at run time.
#include "dll_search.h"
#include <windows.h>

void LoadDllsFromSystemFolderOnly()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    typedef BOOL(WINAPI * SetDllDirectoryAFn)(LPCSTR);
    const DWORD SearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    SetDefaultDllDirectoriesFn systemOnly =
        (SetDefaultDllDirectoriesFn)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (systemOnly && systemOnly(SearchSystem32)) return;
    SetDllDirectoryAFn setDirectory = (SetDllDirectoryAFn)(void*)GetProcAddress(kernel, "SetDllDirectoryA");
    if (setDirectory) setDirectory(""); // removes the current folder from the search
}
