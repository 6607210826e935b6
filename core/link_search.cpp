// The walk over one place: files first, then (with a status control) the
// program groups below, depth first. In dead-link mode every shortcut met is
// also tested for a missing target and offered for deletion in WARN_DIALOG.
//
// Each level keeps its buffers on the stack; what the whole walk shares lives
// in one Walk record passed down. Entries whose path would not fit in 260
// bytes are skipped. A folder that is a link, junction or mount point is not a
// program group and is never entered, so the walk stays inside the place (a
// cloud-file or deduplicated folder is entered); a deep folder that is one of
// its own ancestors (reached through a link the file system does not show as
// one) is not entered again, so every walk ends.
#include "link_search.h"
#include "path_helpers.h"
#include "shell_folders.h"
#include "shortcut_files.h"
#include "target_check.h"
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

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

// Links and junctions are never entered, so only a link the file system hides
// (as a share may serve one) can lead back up.
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

// The group text in the status control. Each change from the scan thread is a
// send that waits for the dialog's thread, and over many small groups the
// names would pass faster than anyone can read them. A new text is shown at
// once when the one before has stood for StatusInterval; otherwise it is held
// until it has (looked at after every file), until a confirmation is shown,
// or until the walk ends, so the control always ends on the last group.
const DWORD StatusInterval = 100; // ms
struct GroupStatus {
    bool Shown; // something was shown in this walk
    bool Held;
    DWORD ShownAt;
    char Text[MAX_PATH + 32];
};

// One outermost search: what its levels share. Made by SearchFolderForLink
// on the stack of the thread that walks.
struct Walk {
    HWND Owner;
    const char* Target; // empty or absent: nothing is looked for
    int StatusControl;
    LinkTargetReader* Reader;
    DriveAnswers Drives; // asked once per letter
    LONG Depth;
    char SearchRoot[MAX_PATH];
    char FirstGroupFolder[MAX_PATH]; // where the target was first found
    // The four places that lie inside other places, fetched once per walk
    // (they cannot change during one) rather than at every group.
    bool SpecialFoldersKnown;
    char SpecialFolders[4][MAX_PATH];
    GroupStatus Status;
};

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

static void ShowHeldStatus(Walk& walk)
{
    if (!walk.Status.Held) return;
    walk.Status.Held = false;
    SetDlgItemTextA(walk.Owner, walk.StatusControl, walk.Status.Text);
    walk.Status.Shown = true;
    walk.Status.ShownAt = GetTickCount();
}

static void ShowHeldStatusIfDue(Walk& walk)
{
    if (walk.Status.Held && (!walk.Status.Shown || GetTickCount() - walk.Status.ShownAt >= StatusInterval))
        ShowHeldStatus(walk);
}

static void ShowGroupStatus(Walk& walk, const char* groupName)
{
    wsprintfA(walk.Status.Text, "%s グループを検索中", groupName);
    walk.Status.Held = true;
    ShowHeldStatusIfDue(walk);
}

// A target that looks missing by the cheap read is checked again by the exact
// one, which is rare: a look-alike of a name the code page lacks may name a
// file that is not there while the real one is. Only a shortcut about to be
// offered as broken is shown to Resolve, which may know where its target went.
static TargetState CheckTarget(Walk& walk, const char* linkPath, const char* target)
{
    TargetFacts facts;
    GatherTargetFacts(target, walk.Reader->Stored(linkPath), &walk.Drives, &facts);
    TargetState state = JudgeTarget(facts);
    if (state != TargetBroken) return state;
    char exact[MAX_PATH];
    if (walk.Reader->ReadExact(linkPath, exact) != LinkTargetRead) return TargetUncheckable;
    if (lstrcmpA(exact, target) != 0) {
        GatherTargetFacts(exact, walk.Reader->Stored(linkPath), &walk.Drives, &facts);
        state = JudgeTarget(facts);
        if (state != TargetBroken) return state;
    }
    facts.Resolve = walk.Reader->Resolve(walk.Owner, linkPath);
    return JudgeTarget(facts);
}

// Before shell32 5.0 (Windows 95, 98 and NT 4 without the desktop update) the
// shell knows no FOF_WANTNUKEWARNING: with FOF_NOCONFIRMATION it would delete
// for good what the Recycle Bin cannot take, without a word.
static bool ShellWarnsBeforeDeletingForGood()
{
    HMODULE shell = GetModuleHandleA("shell32.dll");
    DLLGETVERSIONPROC getVersion = shell ? (DLLGETVERSIONPROC)(void*)GetProcAddress(shell, "DllGetVersion") : nullptr;
    DLLVERSIONINFO version;
    ZeroMemory(&version, sizeof version);
    version.cbSize = sizeof version;
    return getVersion && SUCCEEDED(getVersion(&version)) && version.dwMajorVersion >= 5;
}

// Moves the shortcut to the Recycle Bin, so that the user can take it back.
// Where the bin cannot take it (a USB stick, a network folder, the bin turned
// off) the shell asks before it deletes for good, and a No leaves it; an
// older shell asks before every delete. Only a
// shortcut gone from its folder is counted, so the summary never reports a
// file as deleted that is still there.
static void DeleteBrokenLink(HWND owner, const char* linkPath)
{
    // The shell expands wildcards in the names it is given.
    if (HasWildcard(linkPath)) return;
    char names[MAX_PATH + 1];
    lstrcpynA(names, linkPath, MAX_PATH);
    names[lstrlenA(names) + 1] = '\0'; // the list of names ends with an empty one
    SHFILEOPSTRUCTA operation;
    ZeroMemory(&operation, sizeof operation);
    operation.hwnd = owner;
    operation.wFunc = FO_DELETE;
    operation.pFrom = names;
    operation.fFlags = FOF_ALLOWUNDO | FOF_WANTNUKEWARNING | FOF_SILENT | FOF_NOERRORUI;
    if (ShellWarnsBeforeDeletingForGood()) operation.fFlags |= FOF_NOCONFIRMATION;
    SHFileOperationA(&operation);
    if (GetFileAttributesA(linkPath) == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
        InterlockedIncrement(&SweepState.DeletedCount);
}

// Counts a broken shortcut and deletes or keeps it as the user says.
// False when the user cancelled the whole sweep.
static bool HandleBrokenLink(Walk& walk, const char* linkPath)
{
    InterlockedIncrement(&SweepState.BrokenCount);
    if (SweepState.DeleteAll) {
        DeleteBrokenLink(walk.Owner, linkPath);
        return true;
    }
    if (SweepState.KeepAll) return true;
    ShowHeldStatus(walk); // the group box names the group of the shortcut asked about
    switch (ConfirmDeadLink(walk.Owner, linkPath)) {
    case IDYES:
        DeleteBrokenLink(walk.Owner, linkPath);
        break;
    case IDC_WARN_DELETE_ALL:
        SweepState.DeleteAll = 1;
        DeleteBrokenLink(walk.Owner, linkPath);
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

static bool IsReadOnlyFile(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// The sweep's step for one file read as a shortcut: a broken shortcut is
// counted and offered for deletion, one that cannot be checked (or is
// read-only: the user's to protect) is counted as passed over. A file that
// did not load and cannot even be named here (its name has characters the
// code page lacks) is passed over too. False when the user cancelled.
static bool SweepFile(Walk& walk, const char* linkPath, LinkReadResult read, const char* target)
{
    if (read == LinkNotShortcut) {
        if (!IsExistingFile(linkPath)) NotePassedOver();
        return true;
    }
    if (read != LinkTargetRead) {
        NotePassedOver();
        return true;
    }
    switch (CheckTarget(walk, linkPath, target)) {
    case TargetBroken:
        if (!IsReadOnlyFile(linkPath)) return HandleBrokenLink(walk, linkPath);
        NotePassedOver();
        break;
    case TargetUncheckable:
        NotePassedOver();
        break;
    case TargetPresent:
        break;
    }
    return true;
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
static void NoteUnlistedFolder(const Walk& walk, const char* folder, DWORD error)
{
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return;
    if (walk.Depth <= 1 && !IsExistingFolder(folder)) return;
    NotePassedOver();
}

// A match stands only on the exact read: the cheap one may give a look-alike
// of a name the code page lacks, which names another program.
static bool IsExactMatch(Walk& walk, const char* linkPath)
{
    char exact[MAX_PATH];
    return walk.Reader->ReadExact(linkPath, exact) == LinkTargetRead && lstrcmpiA(exact, walk.Target) == 0;
}

// Pass 1: the folder's own files. Returns true on a match.
static bool SearchFilesIn(Walk& walk, char* foundLinkPath, const char* folder)
{
    char pattern[MAX_PATH];
    if (!ComposePath(pattern, sizeof pattern, folder, "\\*.*")) {
        NoteUnlistedFolder(walk, folder, ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) {
        NoteUnlistedFolder(walk, folder, GetLastError());
        return false;
    }

    bool found = false;
    do {
        if (MustStop()) break;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        // The old shortcut of a replace cut short is not the user's to find.
        if (IsSetAsideName(entry.cFileName)) continue;
        // Opening a file a cloud client keeps online only downloads it; only
        // a shortcut by its name is worth that.
        if (IsOnlineOnly(entry.dwFileAttributes) && !HasShortcutName(entry.cFileName)) continue;
        char entryPath[MAX_PATH];
        if (!ComposePath(entryPath, sizeof entryPath, folder, "\\", entry.cFileName)) {
            NotePassedOver();
            continue;
        }
        char linkTarget[MAX_PATH];
        LinkReadResult read = walk.Reader->Read(entryPath, linkTarget);
        ShowHeldStatusIfDue(walk);

        if (SweepState.DeadLinkMode && !SweepFile(walk, entryPath, read, linkTarget)) break;

        if (read == LinkTargetRead && walk.Target && *walk.Target && lstrcmpiA(linkTarget, walk.Target) == 0 &&
            IsExactMatch(walk, entryPath)) {
            lstrcpynA(foundLinkPath, entryPath, MAX_PATH);
            if (walk.StatusControl && !walk.FirstGroupFolder[0]) lstrcpynA(walk.FirstGroupFolder, folder, MAX_PATH);
            found = true;
            if (!SweepState.DeadLinkMode) break;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

static bool SearchFolderWithin(Walk& walk, char* foundLinkPath, const char* folder, const FolderIdentity* ancestors);

// Pass 2: the program groups below the folder. Returns true on a match.
static bool SearchGroupsIn(Walk& walk, char* foundLinkPath, const char* folder, const FolderIdentity* self)
{
    if (!walk.SpecialFoldersKnown) {
        GetNestedPlaces(walk.Owner, walk.SpecialFolders);
        walk.SpecialFoldersKnown = true;
    }

    char pattern[MAX_PATH];
    if (!ComposePath(pattern, sizeof pattern, folder, "\\*.*")) return false;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstEntry(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE) return false;

    bool found = false;
    do {
        if (MustStop()) break;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName[0] == '.') continue;
        // A link or junction leads out of the place, or back up into it.
        if (IsLinkEntry(entry)) {
            NotePassedOver();
            continue;
        }
        char groupPath[MAX_PATH];
        if (!ComposePath(groupPath, sizeof groupPath, folder, "\\", entry.cFileName)) {
            NotePassedOver();
            continue;
        }
        if (IsSpecialFolder(groupPath, walk.SpecialFolders)) continue;

        ShowGroupStatus(walk, entry.cFileName);

        if (SearchFolderWithin(walk, foundLinkPath, groupPath, self)) {
            found = true;
            if (!SweepState.DeadLinkMode) break;
        }
    } while (FindNextEntry(find, &entry));
    FindClose(find);
    return found;
}

static void ReportGroup(const Walk& walk)
{
    SetDlgItemTextA(walk.Owner, walk.StatusControl, "");
    int rootLength = lstrlenA(walk.SearchRoot);
    if (lstrlenA(walk.FirstGroupFolder) > rootLength)
        SetDlgItemTextA(walk.Owner, walk.StatusControl, walk.FirstGroupFolder + rootLength + 1);
}

static bool SearchFolderWithin(Walk& walk, char* foundLinkPath, const char* folder, const FolderIdentity* ancestors)
{
    ++walk.Depth;
    foundLinkPath[0] = '\0';

    FolderIdentity self = {false, 0, 0, 0, ancestors};
    if (walk.Depth > UnguardedDepth) self.Known = ReadFolderIdentity(folder, &self);
    bool found = false;
    if (!IsAncestor(&self, ancestors)) {
        found = SearchFilesIn(walk, foundLinkPath, folder);
        bool descend = walk.StatusControl && (SweepState.DeadLinkMode || (!found && !SweepState.StopRequested));
        if (descend && SearchGroupsIn(walk, foundLinkPath, folder, &self)) found = true;
    }
    --walk.Depth;
    return found;
}

int SearchFolderForLink(HWND owner, char* foundLinkPath, const char* folder, const char* target, int statusControl)
{
    // One apartment and one shell link class object for the whole walk: each
    // file then costs a fresh object, not a look-up of the class.
    HRESULT comStatus = CoInitialize(nullptr);
    bool found;
    {
        LinkTargetReader reader;
        Walk walk;
        ZeroMemory(&walk, sizeof walk);
        walk.Owner = owner;
        walk.Target = target;
        walk.StatusControl = statusControl;
        walk.Reader = &reader;
        lstrcpynA(walk.SearchRoot, folder, MAX_PATH);
        found = SearchFolderWithin(walk, foundLinkPath, folder, nullptr);
        if (statusControl) ShowHeldStatus(walk);
        if (found && statusControl) ReportGroup(walk);
    }
    if (SUCCEEDED(comStatus)) CoUninitialize();
    return found ? 1 : 0;
}

int FindLinkInLocation(HWND owner, char* foundLinkPath, const char* target, const char* shellFolderValue,
                       const char* suffixOrFolder, int statusControl)
{
    char root[MAX_PATH];
    if (shellFolderValue) {
        if (!ReadShellFolder(root, sizeof root, shellFolderValue)) return 0;
        if (suffixOrFolder && !ComposePath(root, sizeof root, root, suffixOrFolder)) return 0;
    } else {
        // The user folder names one folder only as a full path.
        if (!IsFullFolderPath(suffixOrFolder) || !ComposePath(root, sizeof root, suffixOrFolder, nullptr)) return 0;
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
    HINSTANCE instance = owner ? (HINSTANCE)GetWindowLongPtrA(owner, GWLP_HINSTANCE) : GetModuleHandleA(nullptr);
    return (int)DialogBoxParamA(instance, "WARN_DIALOG", owner, WarnDialogProc, (LPARAM)linkPath);
}
