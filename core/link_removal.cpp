// Deleting a shortcut found by the search, then pruning its emptied group
// folder. The place's own root folder is never removed, and a folder link is
// never entered or removed: what lies behind it is not the place's.
#include "link_removal.h"
#include "link_search.h"
#include "path_helpers.h"
#include "shell_folders.h"
#include "shortcut_files.h"
#include "target_check.h"

BOOL RemoveEmptyFolderTree(const char* folder)
{
    if (HasLinkOnWay(folder, lstrlenA(folder) - 1)) return FALSE;
    bool holdsFile = false;
    char pattern[MAX_PATH];
    if (ComposePath(pattern, sizeof pattern, folder, "\\*.*")) {
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstEntry(pattern, &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    holdsFile = true;
                    break;
                }
                if (entry.cFileName[0] == '.') continue;
                if (IsLinkEntry(entry)) {
                    holdsFile = true; // a link is left, and so is the folder that holds it
                    break;
                }
                char inner[MAX_PATH];
                if (ComposePath(inner, sizeof inner, folder, "\\", entry.cFileName))
                    RemoveEmptyFolderTree(inner);
                else
                    holdsFile = true; // a name too long to handle: leave the folder alone
                break;
            } while (FindNextEntry(find, &entry));
            FindClose(find);
        }
    }
    if (holdsFile) return FALSE;
    return RemoveDirectoryA(folder);
}

// The folder a place's shortcuts may be removed from and pruned below: the
// shell folder (with Quick Launch's own sub-path for "AppData").
static bool ReadPlaceRoot(char* root, const char* valueName)
{
    if (!ReadShellFolder(root, MAX_PATH, valueName)) return false;
    return lstrcmpA(valueName, "AppData") != 0 || ComposePath(root, MAX_PATH, root, QuickLaunchSubPath);
}

// A group text such as "..", "." or "\\" names the place itself or a folder
// above it: nothing is looked for there, so nothing at or above the place's
// folder is ever deleted.
static bool SubPathStaysInPlace(const char* valueName, const char* subPath)
{
    char shellFolder[MAX_PATH], searched[MAX_PATH];
    if (!ReadShellFolder(shellFolder, sizeof shellFolder, valueName)) return false;
    if (!ComposePath(searched, sizeof searched, shellFolder, subPath ? subPath : "")) return false;
    return IsWithinFolder(searched, shellFolder) != FALSE;
}

// A folder that is some place's own folder, or holds one (Startup lies
// inside Programs), is never pruned as an emptied group.
static bool HoldsAPlace(const char* folder)
{
    for (const LocationRow* row = LocationTable; row->ValueName; ++row) {
        char root[MAX_PATH];
        if (ReadPlaceRoot(root, row->ValueName) && IsWithinFolder(root, folder)) return true;
    }
    return false;
}

BOOL DeleteLinkFrom(HWND owner, const char* target, const char* valueName, const char* subPathOrFolder)
{
    if (valueName && !SubPathStaysInPlace(valueName, subPathOrFolder)) return FALSE;
    char found[MAX_PATH];
    // The caller reads the last error to tell a refusal from a shortcut not found.
    if (!FindLinkInLocation(owner, found, target, valueName, subPathOrFolder, 0) || !IsExistingFile(found)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    // The shell may hold a shortcut it has just seen appear for a moment.
    BOOL deleted = DeleteFileWaitingOutConflicts(found);
    if (!deleted) return FALSE; // with the error of the refusal: no group was emptied
    if (!valueName) return deleted; // the user folder: no folder is ever removed

    char* backslash = FindLastChar(found, '\\');
    if (!backslash) return deleted;
    *backslash = '\0';

    // Only a group folder strictly inside the place is pruned, never the
    // place's own folder or one above it, however the group was written.
    char root[MAX_PATH];
    if (ReadPlaceRoot(root, valueName) && IsBelowFolder(found, root) && !HoldsAPlace(found) &&
        !HasLinkOnWay(found, lstrlenA(root)))
        RemoveEmptyFolderTree(found);
    return deleted;
}
