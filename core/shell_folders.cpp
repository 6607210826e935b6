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

namespace {

const int NestedCsidls[4] = {CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTUP};
const char* const NestedValues[4] = {"Programs", "Startup", "Common Programs", "Common Startup"};
const char UserShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The registry's texts the shell's look-up starts from, each hive's key
// opened once: a search of a small place costs little more than this.
struct NestedSources {
    char Text[4][MAX_PATH];
};

void ReadNestedSources(NestedSources* sources)
{
    ZeroMemory(sources, sizeof *sources);
    const HKEY hives[2] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    for (HKEY hive : hives) {
        HKEY key;
        if (RegOpenKeyExA(hive, UserShellFoldersKey, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
        for (int i = 0; i < 4; ++i) {
            if (HiveOf(NestedValues[i]) != hive) continue;
            DWORD length = MAX_PATH - 1;
            if (RegQueryValueExA(key, NestedValues[i], nullptr, nullptr, (BYTE*)sources->Text[i], &length) !=
                ERROR_SUCCESS)
                sources->Text[i][0] = '\0';
            sources->Text[i][MAX_PATH - 1] = '\0';
        }
        RegCloseKey(key);
    }
}

bool AreSameSources(const NestedSources& one, const NestedSources& other)
{
    for (int i = 0; i < 4; ++i)
        if (lstrcmpA(one.Text[i], other.Text[i]) != 0) return false;
    return true;
}

// Shared by every thread that walks; a short spin guards the copy in and out.
struct NestedPlaceCache {
    volatile LONG Busy;
    bool Known;
    NestedSources Sources;
    char Places[4][MAX_PATH];
};
NestedPlaceCache NestedCache;

void LockNestedCache()
{
    while (InterlockedExchange(&NestedCache.Busy, 1)) Sleep(0);
}

void UnlockNestedCache()
{
    InterlockedExchange(&NestedCache.Busy, 0);
}

} // namespace

void GetNestedPlaces(HWND owner, char places[4][MAX_PATH])
{
    NestedSources sources;
    ReadNestedSources(&sources);
    LockNestedCache();
    bool known = NestedCache.Known && AreSameSources(sources, NestedCache.Sources);
    if (known) CopyMemory(places, NestedCache.Places, sizeof NestedCache.Places);
    UnlockNestedCache();
    if (known) return;
    for (int i = 0; i < 4; ++i) {
        places[i][0] = '\0';
        // Where the shell knows no such folder (the all-users ones on Windows
        // 95, 98 and Me), the place's own value stands for it, as for the place.
        if (!GetSpecialFolderPath(owner, places[i], NestedCsidls[i]) &&
            !ReadShellFolder(places[i], MAX_PATH, NestedValues[i]))
            places[i][0] = '\0';
    }
    LockNestedCache();
    NestedCache.Sources = sources;
    CopyMemory(NestedCache.Places, places, sizeof NestedCache.Places);
    NestedCache.Known = true;
    UnlockNestedCache();
}

void ForgetNestedPlaces()
{
    LockNestedCache();
    NestedCache.Known = false;
    UnlockNestedCache();
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
