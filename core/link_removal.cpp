// Deleting a shortcut found by the search, then pruning its emptied group
// folder. The place's own root folder is never removed.
#include "link_removal.h"
#include "link_search.h"
#include "path_helpers.h"
#include "shell_folders.h"

BOOL RemoveEmptyFolderTree(const char* folder)
{
    bool holdsFile = false;
    char pattern[MAX_PATH];
    if (ComposePath(pattern, sizeof pattern, folder, "\\*.*")) {
        WIN32_FIND_DATAA entry;
        HANDLE find = FindFirstFileA(pattern, &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    holdsFile = true;
                    break;
                }
                if (entry.cFileName[0] == '.') continue;
                char inner[MAX_PATH];
                if (ComposePath(inner, sizeof inner, folder, "\\", entry.cFileName))
                    RemoveEmptyFolderTree(inner);
                else
                    holdsFile = true; // a name too long to handle: leave the folder alone
                break;
            } while (FindNextFileA(find, &entry));
            FindClose(find);
        }
    }
    if (holdsFile) return FALSE;
    return RemoveDirectoryA(folder);
}

BOOL DeleteLinkFrom(HWND owner, const char* target, const char* valueName, const char* subPathOrFolder)
{
    char found[MAX_PATH];
    if (!FindLinkInLocation(owner, found, target, valueName, subPathOrFolder, 0)) return FALSE;
    if (!IsExistingFile(found)) return FALSE;
    BOOL deleted = DeleteFileA(found);
    if (!valueName) return deleted; // the user folder: no folder is ever removed

    char* backslash = FindLastChar(found, '\\');
    if (!backslash) return deleted;
    *backslash = '\0';

    char root[MAX_PATH];
    if (!ReadShellFolder(root, sizeof root, valueName)) return deleted;
    if (lstrcmpA(valueName, "AppData") == 0 && !ComposePath(root, sizeof root, root, QuickLaunchSubPath))
        return deleted;
    if (lstrcmpiA(found, root) != 0) RemoveEmptyFolderTree(found);
    return deleted;
}
