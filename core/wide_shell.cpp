#include "wide_shell.h"

static FARPROC ShellFunction(const char* name)
{
    HMODULE shell = GetModuleHandleA("shell32.dll");
    return shell ? GetProcAddress(shell, name) : nullptr;
}

BOOL WidePathFromItemList(LPCITEMIDLIST items, WCHAR* path)
{
    typedef BOOL(WINAPI * PathFn)(LPCITEMIDLIST, LPWSTR);
    PathFn pathOf = (PathFn)(void*)ShellFunction("SHGetPathFromIDListW");
    return pathOf && pathOf(items, path);
}

UINT WideDroppedFile(HDROP drop, UINT index, WCHAR* name, UINT chars)
{
    typedef UINT(WINAPI * DropFn)(HDROP, UINT, LPWSTR, UINT);
    DropFn query = (DropFn)(void*)ShellFunction("DragQueryFileW");
    return query ? query(drop, index, name, chars) : 0;
}
