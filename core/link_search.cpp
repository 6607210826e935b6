// The walk over one place: files first, then (with a status control) the
// program groups below, depth first. In dead-link mode every shortcut met is
// also tested for a missing target and offered for deletion in WARN_DIALOG.
//
// Each level keeps its buffers on the stack. Entries whose path would not fit
// in 260 bytes are skipped. A folder that is a link or junction is not a
// program group and is never entered, so the walk stays inside the place; a
// deep folder that is one of its own ancestors (reached through a link the
// file system does not show as one) is not entered again, so every walk ends.
#include "link_search.h"
#include "path_helpers.h"
#include "shell_folders.h"
#include "shortcut_files.h"
#include <shellapi.h>
#include <shlobj.h>

SweepStateRecord SweepState;

// Identity of a folder on its volume, to tell when a walk comes back to an
// ancestor through a folder link.
struct FolderIdentity {
    bool Known;
    DWORD Volume;
    DWORD IndexHigh;
    DWORD IndexLow;
    const FolderIdentity* Parent;
};

// Links and junctions show as reparse points and are never entered, so only
// a link the file system hides (as a share may serve one) can lead back up.
// Program groups seldom nest this deep; only below it is each folder's
// identity read, which costs several plain file reads.
const LONG UnguardedDepth = 4;

// False when the identity cannot be read or is no identity at all: some
// shares give every folder the index 0/0, which must not make a folder look
// like its own ancestor.
static bool ReadFolderIdentity(const char* folder, FolderIdentity* identity)
{
    HANDLE handle = CreateFileA(folder, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(handle, &info) != FALSE;
    CloseHandle(handle);
    if (!ok || (info.nFileIndexHigh == 0 && info.nFileIndexLow == 0)) return false;
    identity->Volume = info.dwVolumeSerialNumber;
    identity->IndexHigh = info.nFileIndexHigh;
    identity->IndexLow = info.nFileIndexLow;
    return true;
}

static bool IsAncestor(const FolderIdentity* identity, const FolderIdentity* chain)
{
    if (!identity->Known) return false;
    for (; chain; chain = chain->Parent)
        if (chain->Known && chain->Volume == identity->Volume && chain->IndexHigh == identity->IndexHigh &&
            chain->IndexLow == identity->IndexLow)
            return true;
    return false;
}

static bool ShiftIsDown()
{
    return (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0;
}

// Whether the walk must stop before the next entry; sets StopRequested for Shift.
static bool MustStop()
{
    if (SweepState.StopRequested) {
        SweepState.StopRequested = 1;
        return true;
    }
    if (ShiftIsDown()) {
        SweepState.StopRequested = 1;
        return true;
    }
    return false;
}

// One more entry the sweep could not check.
static void NotePassedOver()
{
    if (SweepState.DeadLinkMode) InterlockedIncrement(&SweepState.SkippedCount);
}

static bool HasWildcard(const char* text)
{
    // '*' and '?' are never trail bytes of code page 932.
    for (; *text; ++text)
        if (*text == '*' || *text == '?') return true;
    return false;
}

// True only when the file system says plainly that nothing is there.
static bool IsSurelyMissing(const char* path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return false;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

static bool IsOnDriveLetter(const char* path)
{
    char letter = path[0] | 0x20;
    return letter >= 'a' && letter <= 'z' && path[1] == ':' && path[2] == '\\';
}

// A drive that is not there (no root directory: an unmapped letter, or one
// that leads to a missing folder), or whose root cannot be read (a removable,
// CD or network drive without its medium or server).
static bool IsDriveReady(const char* path)
{
    char root[4] = {path[0], ':', '\\', '\0'};
    UINT type = GetDriveTypeA(root);
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) return false;
    return IsExistingFolder(root) != FALSE;
}

// What the sweep can say about one file's target.
enum TargetState {
    TargetNone,        // no shortcut, or no file-system target: nothing to check
    TargetPresent,     // the file or folder is there
    TargetBroken,      // its drive is there and ready, and the file or folder is not
    TargetUncheckable, // a network path, a drive not ready, or a path this program cannot name
};

// A shortcut is broken only when its absence is certain; whatever cannot be
// looked at is never offered for deletion. The exact re-read is made only for
// targets that look missing, which is rare.
static TargetState CheckTarget(HWND owner, const char* linkPath, const char* target)
{
    if (!target[0]) return TargetNone;
    // Network paths and paths from the current drive's root are never probed:
    // a server that does not answer would hold the sweep for a long time.
    if (!IsOnDriveLetter(target)) return TargetUncheckable;
    // A drive without its medium must not bring up the system's "insert a
    // disk" box.
    UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    SetErrorMode(errorMode | SEM_FAILCRITICALERRORS);
    TargetState state = TargetBroken;
    char exact[MAX_PATH];
    if (IsExistingFile(target) || IsExistingFolder(target))
        state = TargetPresent;
    else if (!IsDriveReady(target))
        state = TargetUncheckable;
    else if (ReadExactLinkTarget(owner, linkPath, exact) != LinkTargetRead || HasWildcard(exact) || !IsOnDriveLetter(exact))
        state = TargetUncheckable; // characters the code page lacks, or longer than a path
    else if (!IsSurelyMissing(exact)) // there after all, or an error that says nothing about the file
        state = IsExistingFile(exact) || IsExistingFolder(exact) ? TargetPresent : TargetUncheckable;
    SetErrorMode(errorMode);
    return state;
}

// Moves the shortcut to the Recycle Bin, so that the user can take it back.
// Only a shortcut gone from its folder is counted, so the summary never
// reports a file as deleted that is still there.
static void DeleteBrokenLink(const char* linkPath)
{
    // The shell expands wildcards in the names it is given.
    if (HasWildcard(linkPath)) return;
    char names[MAX_PATH + 1];
    lstrcpynA(names, linkPath, MAX_PATH);
    names[lstrlenA(names) + 1] = '\0'; // the list of names ends with an empty one
    SHFILEOPSTRUCTA operation;
    ZeroMemory(&operation, sizeof operation);
    operation.wFunc = FO_DELETE;
    operation.pFrom = names;
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    SHFileOperationA(&operation);
    if (IsSurelyMissing(linkPath)) InterlockedIncrement(&SweepState.DeletedCount);
}

// Counts a broken shortcut and deletes or keeps it as the user says.
// False when the user cancelled the whole sweep.
static bool HandleBrokenLink(HWND owner, const char* linkPath)
{
    InterlockedIncrement(&SweepState.BrokenCount);
    if (SweepState.DeleteAll) {
        DeleteBrokenLink(linkPath);
        return true;
    }
    if (SweepState.KeepAll) return true;
    switch (ConfirmDeadLink(owner, linkPath)) {
    case IDYES:
        DeleteBrokenLink(linkPath);
        break;
    case IDC_WARN_DELETE_ALL:
        SweepState.DeleteAll = 1;
        DeleteBrokenLink(linkPath);
        break;
    case IDC_WARN_KEEP_ALL:
        SweepState.KeepAll = 1;
        break;
    case IDCANCEL:
        SweepState.StopRequested = 1;
        return false;
    default: // No, or the dialog could not be shown
        break;
    }
    return true;
}

// The sweep's step for one file: a broken shortcut is counted and offered
// for deletion, one that cannot be checked is counted as passed over. A file
// that did not load and cannot even be named here (its name has characters
// the code page lacks) is passed over too. False when the user cancelled.
static bool SweepFile(HWND owner, const char* linkPath, const char* target)
{
    switch (CheckTarget(owner, linkPath, target)) {
    case TargetBroken:
        return HandleBrokenLink(owner, linkPath);
    case TargetUncheckable:
        NotePassedOver();
        break;
    case TargetNone:
        if (!IsExistingFile(linkPath)) NotePassedOver();
        break;
    case TargetPresent:
        break;
    }
    return true;
}

// The four places that lie inside other places. Looked up once per outermost
// search (they cannot change during one) rather than at every group: under a
// large program menu the lookups would cost as much as reading the files.
static char SpecialFolders[4][MAX_PATH];
static bool SpecialFoldersKnown;

static void LookUpSpecialFolders(HWND owner, char special[4][MAX_PATH])
{
    static const int csidls[4] = {CSIDL_PROGRAMS, CSIDL_STARTUP, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTUP};
    for (int i = 0; i < 4; ++i) {
        special[i][0] = '\0';
        GetSpecialFolderPath(owner, special[i], csidls[i]);
    }
}

static bool IsSpecialFolder(const char* path, char special[4][MAX_PATH])
{
    for (int i = 0; i < 4; ++i)
        if (special[i][0] && lstrcmpiA(path, special[i]) == 0) return true;
    return false;
}

// A folder whose listing cannot be opened. A place's own folder that does not
// exist, and a folder with no entries at all, hold nothing to check; any
// other folder (denied, or named with characters the code page lacks) was
// passed over.
static void NoteUnlistedFolder(const char* folder, DWORD error)
{
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return;
    if (SweepState.Depth <= 1 && !IsExistingFolder(folder)) return;
    NotePassedOver();
}

// The reader of the walk under way on this thread; none outside a walk.
static thread_local LinkTargetReader* WalkReader;

static void ReadWalkTarget(HWND owner, const char* linkPath, char* target)
{
    if (WalkReader)
        WalkReader->Read(owner, linkPath, target);
    else
        ReadLinkTarget(owner, linkPath, target, nullptr, nullptr);
}

// The group text in the status control. Each change from the scan thread is a
// send that waits for the dialog's thread, and over many small groups the
// names would pass faster than anyone can read them. A new text is shown at
// once when the one before has stood for StatusInterval; otherwise it is held
// until it has (looked at after every file), until a confirmation is shown,
// or until the walk ends, so the control always ends on the last group.
// One walk at a time, as for SweepState.
const DWORD StatusInterval = 100; // ms
static struct {
    HWND Owner;
    int Control;
    bool Shown; // something was shown in this walk
    bool Held;
    DWORD ShownAt;
    char Text[MAX_PATH + 32];
} GroupStatus;

static void ShowHeldStatus()
{
    if (!GroupStatus.Held) return;
    GroupStatus.Held = false;
    SetDlgItemTextA(GroupStatus.Owner, GroupStatus.Control, GroupStatus.Text);
    GroupStatus.Shown = true;
    GroupStatus.ShownAt = GetTickCount();
}

static void ShowHeldStatusIfDue()
{
    if (GroupStatus.Held && (!GroupStatus.Shown || GetTickCount() - GroupStatus.ShownAt >= StatusInterval))
        ShowHeldStatus();
}

static void ShowGroupStatus(HWND owner, int statusControl, const char* groupName)
{
    GroupStatus.Owner = owner;
    GroupStatus.Control = statusControl;
    wsprintfA(GroupStatus.Text, "%s グループを検索中", groupName);
    GroupStatus.Held = true;
    ShowHeldStatusIfDue();
}

// Pass 1: the folder's own files. Returns true on a match.
static bool SearchFilesIn(HWND owner, char* foundLinkPath, const char* folder, const char* target, int statusControl)
{
    char pattern[MAX_PATH];
    if (!ComposePath(pattern, sizeof pattern, folder, "\\*.*")) {
        NoteUnlistedFolder(folder, ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) {
        NoteUnlistedFolder(folder, GetLastError());
        return false;
    }

    bool found = false;
    do {
        if (MustStop()) break;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        char entryPath[MAX_PATH];
        if (!ComposePath(entryPath, sizeof entryPath, folder, "\\", entry.cFileName)) {
            NotePassedOver();
            continue;
        }
        char linkTarget[MAX_PATH];
        linkTarget[0] = '\0';
        ReadWalkTarget(owner, entryPath, linkTarget);
        ShowHeldStatusIfDue();

        if (SweepState.DeadLinkMode && !SweepFile(owner, entryPath, linkTarget)) break;

        if (target && *target && lstrcmpiA(linkTarget, target) == 0) {
            lstrcpynA(foundLinkPath, entryPath, MAX_PATH);
            if (statusControl && !SweepState.FirstGroupFolder[0])
                lstrcpynA(SweepState.FirstGroupFolder, folder, MAX_PATH);
            found = true;
            if (!SweepState.DeadLinkMode) break;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

static int SearchFolderWithin(HWND owner, char* foundLinkPath, const char* folder, const char* target,
                              int statusControl, const FolderIdentity* ancestors);

// Pass 2: the program groups below the folder. Returns true on a match.
static bool SearchGroupsIn(HWND owner, char* foundLinkPath, const char* folder, const char* target,
                           int statusControl, const FolderIdentity* self)
{
    if (!SpecialFoldersKnown) {
        LookUpSpecialFolders(owner, SpecialFolders);
        SpecialFoldersKnown = true;
    }

    char pattern[MAX_PATH];
    if (!ComposePath(pattern, sizeof pattern, folder, "\\*.*")) return false;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) return false;

    bool found = false;
    do {
        if (MustStop()) break;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName[0] == '.') continue;
        // A link or junction leads out of the place, or back up into it.
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        char groupPath[MAX_PATH];
        if (!ComposePath(groupPath, sizeof groupPath, folder, "\\", entry.cFileName)) {
            NotePassedOver();
            continue;
        }
        if (IsSpecialFolder(groupPath, SpecialFolders)) continue;

        ShowGroupStatus(owner, statusControl, entry.cFileName);

        if (SearchFolderWithin(owner, foundLinkPath, groupPath, target, statusControl, self)) {
            found = true;
            if (!SweepState.DeadLinkMode) break;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

static void ReportGroup(HWND owner, int statusControl)
{
    SetDlgItemTextA(owner, statusControl, "");
    int rootLength = lstrlenA(SweepState.SearchRoot);
    if (lstrlenA(SweepState.FirstGroupFolder) > rootLength)
        SetDlgItemTextA(owner, statusControl, SweepState.FirstGroupFolder + rootLength + 1);
}

static int SearchFolderWithin(HWND owner, char* foundLinkPath, const char* folder, const char* target,
                              int statusControl, const FolderIdentity* ancestors)
{
    if (SweepState.Depth == 0) {
        lstrcpynA(SweepState.SearchRoot, folder, MAX_PATH);
        SweepState.FirstGroupFolder[0] = '\0';
        SpecialFoldersKnown = false;
        GroupStatus.Held = GroupStatus.Shown = false;
    }
    ++SweepState.Depth;
    foundLinkPath[0] = '\0';

    FolderIdentity self = {false, 0, 0, 0, ancestors};
    if (SweepState.Depth > UnguardedDepth) self.Known = ReadFolderIdentity(folder, &self);
    bool found = false;
    if (!IsAncestor(&self, ancestors)) {
        found = SearchFilesIn(owner, foundLinkPath, folder, target, statusControl);
        bool descend = statusControl && (SweepState.DeadLinkMode || (!found && !SweepState.StopRequested));
        if (descend && SearchGroupsIn(owner, foundLinkPath, folder, target, statusControl, &self)) found = true;
    }

    --SweepState.Depth;
    if (SweepState.Depth == 0) ShowHeldStatus();
    if (found && statusControl && SweepState.Depth == 0) ReportGroup(owner, statusControl);
    return found ? 1 : 0;
}

int SearchFolderForLink(HWND owner, char* foundLinkPath, const char* folder, const char* target, int statusControl)
{
    // One apartment and one shell link class object for the whole walk: each
    // file then costs a fresh object, not a look-up of the class.
    HRESULT comStatus = CoInitialize(nullptr);
    int result;
    {
        LinkTargetReader reader;
        LinkTargetReader* outer = WalkReader;
        WalkReader = &reader;
        result = SearchFolderWithin(owner, foundLinkPath, folder, target, statusControl, nullptr);
        WalkReader = outer;
    }
    if (SUCCEEDED(comStatus)) CoUninitialize();
    return result;
}

int FindLinkInLocation(HWND owner, char* foundLinkPath, const char* target, const char* shellFolderValue,
                       const char* suffixOrFolder, int statusControl)
{
    char root[MAX_PATH];
    if (shellFolderValue) {
        if (!ReadShellFolder(root, sizeof root, shellFolderValue)) return 0;
        if (suffixOrFolder && !ComposePath(root, sizeof root, root, suffixOrFolder)) return 0;
    } else {
        if (!suffixOrFolder || !ComposePath(root, sizeof root, suffixOrFolder, nullptr)) return 0;
    }
    char found[MAX_PATH];
    found[0] = '\0';
    int result = SearchFolderForLink(owner, found, root, target, statusControl) ? 1 : 0;
    lstrcpynA(foundLinkPath, found, MAX_PATH);
    return result;
}

static INT_PTR CALLBACK WarnDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_WARN_PATH, (const char*)lParam);
        SetFocus(GetDlgItem(dialog, IDYES));
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
        case IDYES:
        case IDNO:
        case IDC_WARN_KEEP_ALL:
        case IDC_WARN_DELETE_ALL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

int ConfirmDeadLink(HWND owner, const char* linkPath)
{
    if (!linkPath) return 0;
    ShowHeldStatus(); // the group box names the group of the shortcut asked about
    HINSTANCE instance = owner ? (HINSTANCE)GetWindowLongPtrA(owner, GWLP_HINSTANCE) : GetModuleHandleA(nullptr);
    return (int)DialogBoxParamA(instance, "WARN_DIALOG", owner, WarnDialogProc, (LPARAM)linkPath);
}
