// Searching one place for a shortcut to a target, and the broken-shortcut
// sweep that the same walk performs when DeadLinkMode is set.
#pragma once
#include <windows.h>

// Process-wide; each field is one 32-bit word, written and read whole, shared
// between the user-interface thread and the scan thread without a lock. What
// one walk needs for itself lives in a record of that walk.
struct SweepStateRecord {
    volatile LONG DeadLinkMode;
    volatile LONG BrokenCount;
    volatile LONG DeletedCount; // deletions that succeeded
    // Shortcuts, files and folders the sweep passed over without being able
    // to check them: targets it cannot look at, shortcuts that do not read,
    // read-only broken shortcuts, folder links, folders it cannot list,
    // entries whose path does not fit.
    volatile LONG SkippedCount;
    volatile LONG DeleteAll;
    volatile LONG KeepAll;
    volatile LONG StopRequested;
};
extern SweepStateRecord SweepState;

// WARN_DIALOG answers beyond the standard IDYES, IDNO and IDCANCEL.
const int IDC_WARN_KEEP_ALL = 8;
const int IDC_WARN_DELETE_ALL = 9;
const int IDC_WARN_PATH = 1000;

// 1 when a shortcut to `target` lies in the place (in its sub-folders too when
// `statusControl` names a control of `owner`); its path goes to `foundLinkPath`.
int FindLinkInLocation(HWND owner, char* foundLinkPath, const char* target, const char* shellFolderValue,
                       const char* suffixOrFolder, int statusControl);
int SearchFolderForLink(HWND owner, char* foundLinkPath, const char* folder, const char* target, int statusControl);
int ConfirmDeadLink(HWND owner, const char* linkPath);
