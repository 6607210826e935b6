// The rules of what is broken. The sweep deletes only what these call broken,
// so every doubt answers "cannot be checked".
#include "target_check.h"
#include "path_helpers.h"

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

static WayState LookAlongWay(char* path, int from, int* missingEnd)
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
static TargetState CheckMissingTarget(const char* target)
{
    char way[MAX_PATH];
    lstrcpynA(way, target, MAX_PATH);
    int missingEnd = 0;
    if (LookAlongWay(way, 3, &missingEnd) != WayMissing) return TargetUncheckable;
    way[missingEnd] = '\0';
    return IsSurelyAbsent(way) ? TargetBroken : TargetUncheckable;
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
class SixtyFourBitFileSystem {
public:
    SixtyFourBitFileSystem() : revert_(nullptr), old_(nullptr)
    {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        if (!kernel) return;
        IsWow64Fn isWow64 = (IsWow64Fn)(void*)GetProcAddress(kernel, "IsWow64Process");
        DisableFn disable = (DisableFn)(void*)GetProcAddress(kernel, "Wow64DisableWow64FsRedirection");
        RevertFn revert = (RevertFn)(void*)GetProcAddress(kernel, "Wow64RevertWow64FsRedirection");
        BOOL wow64 = FALSE;
        if (isWow64 && disable && revert && isWow64(GetCurrentProcess(), &wow64) && wow64 && disable(&old_))
            revert_ = revert;
    }
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
};

static bool IsReadyFixedDrive(const char* path)
{
    char root[4] = {path[0], ':', '\\', '\0'};
    return GetDriveTypeA(root) == DRIVE_FIXED && IsExistingFolder(root);
}

TargetState CheckTargetPath(const char* target)
{
    // Network paths and paths from the current drive's root are never probed:
    // a server that does not answer would hold the sweep for a long time.
    if (!StartsAtDriveRoot(target) || HasWildcard(target) || lstrlenA(target) >= MAX_PATH) return TargetUncheckable;
    NoCriticalErrorBox quiet;
    SixtyFourBitFileSystem wholeSystem;
    if (!IsReadyFixedDrive(target)) return TargetUncheckable;
    if (GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES) return TargetPresent;
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return TargetUncheckable;
    // A folder link into a volume that is not there answers "not found" too.
    return CheckMissingTarget(target);
}
