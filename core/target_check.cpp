// The rules of what is broken. The sweep deletes only what these call broken,
// so every doubt answers "cannot be checked". The facts are gathered first and
// judged by one function that touches nothing.
#include "target_check.h"
#include "path_helpers.h"

// Attributes of files a cloud client keeps online only (the older one marks
// files kept by hierarchical storage too).
const DWORD RecallOnDataAccess = 0x400000, RecallOnOpen = 0x40000;

bool IsOnlineOnly(DWORD attributes)
{
    return (attributes & (RecallOnDataAccess | RecallOnOpen | FILE_ATTRIBUTE_OFFLINE)) != 0;
}

// Tags Microsoft gives carry the top bit; a link's also the name-surrogate
// bit.
const DWORD MicrosoftTagBit = 0x80000000;
const DWORD NameSurrogateTagBit = 0x20000000;

bool IsLinkEntry(const WIN32_FIND_DATAA& entry)
{
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    DWORD tag = entry.dwReserved0; // the reparse tag, for a reparse point
    return !(tag & MicrosoftTagBit) || (tag & NameSurrogateTagBit);
}

HANDLE FindFirstEntry(const char* pattern, WIN32_FIND_DATAA* entry)
{
    entry->dwReserved0 = 0;
    return FindFirstFileA(pattern, entry);
}

BOOL FindNextEntry(HANDLE find, WIN32_FIND_DATAA* entry)
{
    entry->dwReserved0 = 0;
    return FindNextFileA(find, entry);
}

// What the entries on a path's way are, looked at one folder at a time.
enum WayState {
    WayClear,   // every entry there and none a link
    WayLink,    // an entry on the way is a link
    WayMissing, // the entry ending at `*missingEnd` is not there; those before it are no links
    WayUnknown, // an entry could not be looked at
};

// `onlineOnly`, where given, tells whether an entry looked at is online only.
static WayState LookAlongWay(char* path, int from, int* missingEnd, bool* onlineOnly = nullptr)
{
    for (int i = 0;; ++i) {
        char ch = path[i];
        if ((ch == '\\' || ch == '\0') && i > from) {
            path[i] = '\0';
            WIN32_FIND_DATAA entry;
            HANDLE find = FindFirstEntry(path, &entry);
            DWORD error = GetLastError();
            path[i] = ch;
            if (find == INVALID_HANDLE_VALUE) {
                *missingEnd = i;
                return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? WayMissing : WayUnknown;
            }
            FindClose(find);
            if (IsLinkEntry(entry)) return WayLink;
            if (onlineOnly && IsOnlineOnly(entry.dwFileAttributes)) *onlineOnly = true;
        }
        if (ch == '\0') return WayClear;
        if (IsLeadByte((unsigned char)ch) && path[i + 1]) ++i;
    }
}

bool HasLinkOnWay(const char* path, int from)
{
    char way[MAX_PATH];
    if (lstrlenA(path) >= MAX_PATH) return true; // cannot be looked at
    lstrcpynA(way, path, MAX_PATH);
    int missingEnd = 0;
    WayState state = LookAlongWay(way, from, &missingEnd);
    return state == WayLink || state == WayUnknown;
}

// Whether nothing at all has the name: not even a link into nothing, which
// Wine leaves out of every listing and answers as "not found". A name inside a
// name that is truly missing answers "path not found"; inside such a link,
// Wine answers "file not found".
static bool IsSurelyAbsent(const char* path)
{
    char inner[MAX_PATH];
    if (!ComposePath(inner, sizeof inner, path, "\\x")) return false;
    return GetFileAttributesA(inner) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_PATH_NOT_FOUND;
}

// The target answered "not found": certain only when the first missing entry
// on its way lies behind no link and is missing itself.
static PathAnswer CheckMissingTarget(const char* target, bool* onlineOnly)
{
    char way[MAX_PATH];
    lstrcpynA(way, target, MAX_PATH);
    int missingEnd = 0;
    if (LookAlongWay(way, 3, &missingEnd, onlineOnly) != WayMissing) return PathUnknown;
    way[missingEnd] = '\0';
    return IsSurelyAbsent(way) ? PathGone : PathUnknown;
}

// Turns off the critical-error box while it lives, for this thread only where
// the system has SetThreadErrorMode (Windows 7 and later), else for the
// process as before.
class NoCriticalErrorBox {
public:
    NoCriticalErrorBox()
    {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        setThreadMode_ = kernel ? (SetThreadModeFn)(void*)GetProcAddress(kernel, "SetThreadErrorMode") : nullptr;
        if (setThreadMode_ && setThreadMode_(SEM_FAILCRITICALERRORS, &old_)) {
            setThreadMode_(old_ | SEM_FAILCRITICALERRORS, nullptr);
            return;
        }
        setThreadMode_ = nullptr;
        old_ = SetErrorMode(SEM_FAILCRITICALERRORS);
        SetErrorMode(old_ | SEM_FAILCRITICALERRORS);
    }
    ~NoCriticalErrorBox()
    {
        if (setThreadMode_)
            setThreadMode_(old_, nullptr);
        else
            SetErrorMode(old_);
    }
    NoCriticalErrorBox(const NoCriticalErrorBox&) = delete;
    NoCriticalErrorBox& operator=(const NoCriticalErrorBox&) = delete;

private:
    typedef BOOL(WINAPI* SetThreadModeFn)(DWORD, LPDWORD);
    SetThreadModeFn setThreadMode_;
    DWORD old_;
};

// A 32-bit program on 64-bit Windows sees System32 through a redirection to
// SysWOW64, where 64-bit-only tools are not: it is off for this thread while
// this lives. The functions are missing before Windows XP x64 and 2003 SP1.
// Without IsWow64Process the system is older than any 64-bit Windows; a run
// that cannot turn the redirection off cannot tell what is there.
class SixtyFourBitFileSystem {
public:
    SixtyFourBitFileSystem() : revert_(nullptr), old_(nullptr), run_(NotWow64)
    {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        IsWow64Fn isWow64 = kernel ? (IsWow64Fn)(void*)GetProcAddress(kernel, "IsWow64Process") : nullptr;
        if (!isWow64) return;
        BOOL wow64 = FALSE;
        run_ = isWow64(GetCurrentProcess(), &wow64) ? (wow64 ? Wow64 : NotWow64) : Wow64Unknown;
        if (run_ != Wow64) return;
        DisableFn disable = (DisableFn)(void*)GetProcAddress(kernel, "Wow64DisableWow64FsRedirection");
        RevertFn revert = (RevertFn)(void*)GetProcAddress(kernel, "Wow64RevertWow64FsRedirection");
        if (disable && revert && disable(&old_))
            revert_ = revert;
        else
            run_ = Wow64Unknown;
    }
    Wow64Run Run() const { return run_; }
    ~SixtyFourBitFileSystem()
    {
        if (revert_) revert_(old_);
    }
    SixtyFourBitFileSystem(const SixtyFourBitFileSystem&) = delete;
    SixtyFourBitFileSystem& operator=(const SixtyFourBitFileSystem&) = delete;

private:
    typedef BOOL(WINAPI* IsWow64Fn)(HANDLE, PBOOL);
    typedef BOOL(WINAPI* DisableFn)(PVOID*);
    typedef BOOL(WINAPI* RevertFn)(PVOID);
    RevertFn revert_;
    PVOID old_;
    Wow64Run run_;
};

TargetState JudgeTarget(const TargetFacts& facts)
{
    if (!facts.FullLocalPath || facts.DriveType != DRIVE_FIXED || !facts.DriveReady) return TargetUncheckable;
    if (facts.Path == PathThere) return TargetPresent;
    if (facts.Path != PathGone || facts.OnlineOnlyOnWay) return TargetUncheckable;
    // Another disk at the same letter: an external disk may report itself fixed.
    if (facts.HasStoredSerial && facts.CurrentSerial != facts.StoredSerial) return TargetUncheckable;
    if (facts.HasInstallerId || facts.Wow64 == Wow64Unknown) return TargetUncheckable;
    if (facts.Wow64 == Wow64) {
        if (facts.Counterpart == CounterpartThere) return TargetPresent;
        if (facts.Counterpart == CounterpartUnknown) return TargetUncheckable;
    }
    if (facts.Resolve == ResolveNotLoaded) return TargetUncheckable;
    return facts.Resolve == ResolveFoundThere ? TargetPresent : TargetBroken;
}

// Asks the drive of a path from a drive's root for its type and, where fixed,
// its readiness and serial, into `drives`.
static void AskDrive(const char* path, DriveAnswers* drives)
{
    int letter = (path[0] | 0x20) - 'a';
    NoCriticalErrorBox quiet;
    char root[4] = {path[0], ':', '\\', '\0'};
    drives->Asked[letter] = true;
    drives->Type[letter] = GetDriveTypeA(root);
    drives->Ready[letter] = drives->Type[letter] == DRIVE_FIXED &&
                            GetVolumeInformationA(root, nullptr, 0, &drives->Serial[letter], nullptr, nullptr, nullptr,
                                                  0);
}

bool IsReadyFixedDrive(const char* path, DriveAnswers* drives)
{
    if (!StartsAtDriveRoot(path)) return false;
    DriveAnswers own;
    if (!drives) {
        ZeroMemory(&own, sizeof own);
        drives = &own;
    }
    int letter = (path[0] | 0x20) - 'a';
    if (!drives->Asked[letter]) AskDrive(path, drives);
    return drives->Type[letter] == DRIVE_FIXED && drives->Ready[letter];
}

static PathAnswer AskPath(const char* target, bool* onlineOnly)
{
    if (GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES) return PathThere;
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return PathUnknown;
    // A folder link into a volume that is not there answers "not found" too.
    return CheckMissingTarget(target, onlineOnly);
}

// Copies `text` with each "%From%" of the table turned into "%To%"; true when
// one was.
static bool SwapVariables(const char* text, char* output, int size)
{
    static const char* const swaps[][2] = {{"%ProgramFiles%", "%ProgramW6432%"},
                                           {"%CommonProgramFiles%", "%CommonProgramW6432%"}};
    bool swapped = false;
    int length = 0;
    for (const char* at = text; *at;) {
        const char* with = nullptr;
        int skip = IsLeadByte((unsigned char)*at) && at[1] ? 2 : 1, rest = lstrlenA(at);
        for (const auto& swap : swaps) {
            int fromLength = lstrlenA(swap[0]);
            if (rest >= fromLength && CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, at, fromLength, swap[0],
                                                     fromLength) == CSTR_EQUAL)
                with = swap[1], skip = fromLength;
        }
        int add = with ? lstrlenA(with) : skip;
        if (length + add >= size) return false;
        CopyMemory(output + length, with ? with : at, add);
        length += add;
        swapped = swapped || with;
        at += skip;
    }
    output[length] = '\0';
    return swapped;
}

// The environment text expanded with the 64-bit folders' variables: false
// when it names none; `counterpart` empty when the run cannot tell.
static bool ExpandFor64Bits(const char* environment, char* counterpart)
{
    char swapped[MAX_PATH];
    counterpart[0] = '\0';
    if (!SwapVariables(environment, swapped, sizeof swapped)) return false;
    DWORD length = ExpandEnvironmentStringsA(swapped, counterpart, MAX_PATH);
    // A variable the system lacks stays unexpanded.
    if (!length || length > MAX_PATH || FindFirstChar(counterpart, '%')) counterpart[0] = '\0';
    return true;
}

// A folder named with environment variables, in full; false when the run
// lacks a variable or the folder does not fit.
static bool ExpandFolder(const char* named, char* folder)
{
    char expanded[MAX_PATH];
    DWORD length = ExpandEnvironmentStringsA(named, expanded, MAX_PATH);
    return length && length <= MAX_PATH && !FindFirstChar(expanded, '%') && FullFolderPath(folder, expanded);
}

// `counterpart` is `target` with folder `from` swapped for folder `to`: false
// when the target is not inside `from`; empty when the run cannot tell.
static bool SwapFolder(const char* target, const char* from, const char* to, char* counterpart)
{
    char fromFolder[MAX_PATH], toFolder[MAX_PATH], full[MAX_PATH];
    counterpart[0] = '\0';
    if (!FullFolderPath(full, target)) return false;
    if (!ExpandFolder(from, fromFolder)) return true; // whether it is inside cannot be told
    if (!IsBelowFolder(full, fromFolder)) return false;
    if (ExpandFolder(to, toFolder)) ComposePath(counterpart, MAX_PATH, toFolder, full + lstrlenA(fromFolder));
    return true;
}

// What a 64-bit program's shortcut points at where a 32-bit run sees the
// 32-bit folders: C:\Program Files for C:\Program Files (x86), System32 for
// SysWOW64.
static CounterpartAnswer CheckCounterpart(const char* target, const StoredTarget* stored)
{
    // A 32-bit run is told System32 too; SysWOW64 lies beside it.
    char counterpart[MAX_PATH], windows[MAX_PATH], wow64[MAX_PATH], system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, MAX_PATH);
    bool known = length && length < MAX_PATH && ParentFolderOf(windows, system) &&
                 ComposePath(wow64, MAX_PATH, windows, "\\SysWOW64");
    bool fromEnvironment = stored && stored->Source == TargetFromEnvironment;
    bool found = (fromEnvironment && ExpandFor64Bits(stored->Environment, counterpart)) ||
                 SwapFolder(target, "%ProgramFiles(x86)%", "%ProgramW6432%", counterpart) ||
                 (known && SwapFolder(target, wow64, system, counterpart));
    if (!known) return CounterpartUnknown;
    if (!found) return NoCounterpart;
    if (!counterpart[0]) return CounterpartUnknown;
    if (GetFileAttributesA(counterpart) != INVALID_FILE_ATTRIBUTES) return CounterpartThere;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? CounterpartGone : CounterpartUnknown;
}

// The drive's answers as facts.
static void TakeDriveFacts(const DriveAnswers& drives, int letter, TargetFacts* facts)
{
    facts->DriveType = drives.Type[letter];
    facts->DriveReady = drives.Type[letter] == DRIVE_FIXED && drives.Ready[letter];
    facts->CurrentSerial = facts->DriveReady ? drives.Serial[letter] : 0;
}

void GatherTargetFacts(const char* target, const StoredTarget* stored, DriveAnswers* drives, TargetFacts* facts)
{
    ZeroMemory(facts, sizeof *facts);
    facts->HasStoredSerial = stored && stored->HasVolumeSerial;
    facts->StoredSerial = stored ? stored->VolumeSerial : 0;
    facts->HasInstallerId = stored && stored->HasInstallerId;
    facts->Path = PathUnknown;
    // Network paths and paths from the current drive's root are never probed:
    // a server that does not answer would hold the sweep for a long time.
    facts->FullLocalPath = StartsAtDriveRoot(target) && !HasWildcard(target) && lstrlenA(target) < MAX_PATH;
    if (!facts->FullLocalPath) return;
    DriveAnswers own;
    bool kept = drives != nullptr; // a walk's answers, perhaps asked long ago
    if (!drives) {
        ZeroMemory(&own, sizeof own);
        drives = &own;
    }
    int letter = (target[0] | 0x20) - 'a';
    IsReadyFixedDrive(target, drives);
    TakeDriveFacts(*drives, letter, facts);
    if (!facts->DriveReady) return;
    NoCriticalErrorBox quiet;
    SixtyFourBitFileSystem wholeSystem;
    facts->Path = AskPath(target, &facts->OnlineOnlyOnWay);
    if (facts->Path != PathGone) return;
    // Gone: the answers the walk kept may be those of a disk no longer there.
    if (kept) {
        AskDrive(target, drives);
        TakeDriveFacts(*drives, letter, facts);
    }
    facts->Wow64 = wholeSystem.Run();
    if (facts->Wow64 == Wow64) facts->Counterpart = CheckCounterpart(target, stored);
}

TargetState CheckTargetPath(const char* target)
{
    TargetFacts facts;
    GatherTargetFacts(target, nullptr, nullptr, &facts);
    return JudgeTarget(facts);
}

bool IsPathThere(const char* path)
{
    NoCriticalErrorBox quiet;
    SixtyFourBitFileSystem wholeSystem;
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}
