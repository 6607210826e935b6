// Resolving places to folders and composing shortcut paths inside them.
#include "shell_folders.h"
#include "path_helpers.h"
#include <shlobj.h>

const LocationRow LocationTable[11] = {
    {"Desktop", "デスクトップ"},
    {"Startup", "スタートアップ"},
    {"Start Menu", "スタートメニュー"},
    {"Programs", "プログラム"},
    {"AppData", "QUICK Launch"},
    {"SendTo", "SendTo"},
    {"Common Desktop", "デスクトップ (All User)"},
    {"Common Startup", "スタートアップ (All User)"},
    {"Common Start Menu", "スタートメニュー (All User)"},
    {"Common Programs", "プログラム (All User)"},
    {nullptr, nullptr},
};

const char QuickLaunchSubPath[] = "\\Microsoft\\Internet Explorer\\Quick Launch";

static const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

static HKEY HiveOf(const char* valueName)
{
    char head[7];
    lstrcpynA(head, valueName, sizeof head);
    return lstrcmpiA(head, "Common") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

BOOL ReadShellFolder(char* output, DWORD size, const char* valueName)
{
    if (!output || size == 0 || !valueName) return FALSE;
    HKEY key;
    if (RegOpenKeyExA(HiveOf(valueName), ShellFoldersKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
    DWORD length = size;
    LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr, (BYTE*)output, &length);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        output[0] = '\0';
        return FALSE;
    }
    // The registry does not promise a terminator when the value fills the
    // buffer: add one, or refuse a value that leaves no room for it.
    if (length == 0 || output[length - 1] != '\0') {
        if (length >= size) {
            output[0] = '\0';
            return FALSE;
        }
        output[length] = '\0';
    }
    return TRUE;
}

BOOL GetSpecialFolderPath(HWND owner, char* output, int csidl)
{
    LPITEMIDLIST items = nullptr;
    if (SHGetSpecialFolderLocation(owner, csidl, &items) != S_OK || !items) return FALSE;
    SHGetPathFromIDListA(items, output);
    CoTaskMemFree(items);
    return TRUE;
}

BOOL LocationDisplayName(char* output, int maxLength, const char* valueName)
{
    if (!valueName) return FALSE;
    for (const LocationRow* row = LocationTable; row->ValueName; ++row) {
        if (lstrcmpA(valueName, row->ValueName) == 0) {
            lstrcpynA(output, row->DisplayName, maxLength);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CreateFolderChain(const char* path)
{
    if (!path || lstrlenA(path) >= PathBufferSize) return FALSE;
    char work[PathBufferSize];
    lstrcpynA(work, path, sizeof work);
    int fullLength = lstrlenA(work);

    // Back up to the deepest folder that exists...
    while (!IsExistingFolder(work)) {
        char* backslash = FindLastChar(work, '\\');
        if (!backslash) break;
        *backslash = '\0';
    }
    // ...then create one level at a time, restoring each separator that was cut.
    DWORD error = ERROR_PATH_NOT_FOUND;
    if (IsExistingFolder(work)) {
        for (int length = lstrlenA(work); length < fullLength; length = lstrlenA(work)) {
            work[length] = '\\';
            if (!CreateDirectoryA(work, nullptr) && (error = GetLastError()) != ERROR_ALREADY_EXISTS) break;
        }
    }
    if (IsExistingFolder(path)) return TRUE;
    SetLastError(error); // a refusal stays one for the caller
    return FALSE;
}

static BOOL EnsureFolder(const char* folder)
{
    if (IsExistingFolder(folder)) return TRUE;
    return CreateDirectoryA(folder, nullptr) || CreateFolderChain(folder);
}

// A group such as ".." or a name such as "..\\x" would lead out of the place:
// the group folder must lie within the place's folder, and the shortcut
// directly in that group folder.
static bool StaysInFolder(const char* linkPath, const char* valueName, const char* folder)
{
    const char* colon = FindFirstChar(linkPath, ':');
    if (colon == linkPath + 1) colon = FindFirstChar(colon + 1, ':'); // the drive's own
    if (colon) return false; // a name with a colon would be a stream of some other file
    char shellFolder[PathBufferSize], parent[PathBufferSize];
    if (valueName && (!ReadShellFolder(shellFolder, sizeof shellFolder, valueName) ||
                      !IsWithinFolder(folder, shellFolder)))
        return false;
    char fullLink[PathBufferSize], fullFolder[PathBufferSize];
    if (!FullFolderPath(fullLink, linkPath) || !FullFolderPath(fullFolder, folder)) return false;
    SplitFolderAndName(fullLink, parent, nullptr); // a drive's root keeps its backslash, as the full form does
    return lstrcmpiA(parent, fullFolder) == 0;
}

BOOL BuildLinkPath(char* output, const char* valueName, const char* subPathOrFolder, const char* linkName)
{
    char folder[PathBufferSize];
    if (valueName) {
        if (!ReadShellFolder(folder, sizeof folder, valueName)) return FALSE;
        if (subPathOrFolder && !ComposePath(folder, sizeof folder, folder, subPathOrFolder)) return FALSE;
    } else {
        if (!IsFullFolderPath(subPathOrFolder) || !ComposePath(folder, sizeof folder, subPathOrFolder, nullptr))
            return FALSE;
    }
    // Refuse a path that would not fit before any folder is created for it.
    char composed[PathBufferSize];
    if (!ComposePath(composed, sizeof composed, folder, "\\", linkName, ".lnk")) return FALSE;
    if (!StaysInFolder(composed, valueName, folder)) return FALSE;
    bool mustExist = !valueName || (subPathOrFolder && *subPathOrFolder);
    if (mustExist && !EnsureFolder(folder)) return FALSE;
    lstrcpynA(output, composed, PathBufferSize);
    return TRUE;
}
