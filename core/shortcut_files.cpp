// Shortcut files through CLSID_ShellLink. Every call brackets its own COM use,
// so no interface pointer outlives a call or crosses a thread. A walk that
// reads many files keeps an apartment open around them and reads through a
// LinkTargetReader, whose class object (and the object of its last read)
// lives no longer than the walk. A file is read whole into memory, checked
// there, and the shell link object loaded from those same bytes: the shell
// reads past its buffers where a damaged file's sizes lie.
#include "shortcut_files.h"
#include "path_helpers.h"
#include "shell_folders.h"
#include "link_format.h"
#include "link_target.h"
#include "wide_shell.h"
#include <shlobj.h>
#include <objidl.h>

static BOOL ToExactAnsi(const WCHAR* wide, char* target)
{
    if (lstrlenW(wide) >= WideTargetChars - 1) return FALSE;
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, target, MAX_PATH, nullptr, &usedDefault);
    // Before Windows 2000 the flag is unknown; there only the default
    // character tells.
    if (!length && GetLastError() == ERROR_INVALID_FLAGS)
        length = WideCharToMultiByte(CP_ACP, 0, wide, -1, target, MAX_PATH, nullptr, &usedDefault);
    return length > 0 && !usedDefault;
}

static bool ToWide(const char* text, WCHAR* wide)
{
    return MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH) != 0;
}

BOOL HasShortcutName(const char* path)
{
    const char* dot = FindLastChar(path, '.');
    return dot && lstrcmpiA(dot, ".lnk") == 0;
}

// What a file that gives no target is: a shortcut by its name or header that
// cannot be read, or no shortcut at all.
static LinkReadResult NothingReadFrom(const char* linkPath, bool hasHeader)
{
    return hasHeader || HasShortcutName(linkPath) ? LinkUnreadable : LinkNotShortcut;
}

// The relative target text the check found, as wide text; false when it does
// not fit (the shell would make a path too long for any buffer of it).
static bool TakeRelativeText(const BYTE* data, const LinkLayout& layout, WCHAR* relative)
{
    const BYTE* text = data + layout.RelativeOffset;
    int chars = (int)layout.RelativeChars;
    relative[0] = 0;
    if (chars >= WideTargetChars) return false;
    if (layout.Unicode) {
        for (int i = 0; i < chars; ++i) relative[i] = (WCHAR)(text[2 * i] | text[2 * i + 1] << 8);
    } else if (chars) {
        chars = MultiByteToWideChar(CP_ACP, 0, (const char*)text, chars, relative, WideTargetChars - 1);
        if (!chars) return false;
    }
    relative[chars] = 0;
    return true;
}

static bool ReadExactly(HANDLE file, BYTE* data, DWORD size)
{
    DWORD got = 0;
    return ReadFile(file, data, size, &got, nullptr) && got == size;
}

// Windows 95, 98 and Me keep every name in the code page: their ANSI read is
// exact, and their wide calls do nothing.
static bool HasAnsiShellOnly()
{
    return (GetVersion() & 0x80000000) != 0;
}

// The target of an environment-variable block, expanded as Windows expands
// it, and its text as it stands; false when either does not fit. The check
// found both the ANSI and the wide text ended inside the block.
static bool TakeEnvironmentTarget(const BYTE* text, WCHAR* target, char* environment)
{
    WCHAR wide[MAX_PATH];
    for (int i = 0; i < MAX_PATH; ++i) wide[i] = (WCHAR)(text[MAX_PATH + 2 * i] | text[MAX_PATH + 2 * i + 1] << 8);
    if ((!wide[0] || HasAnsiShellOnly()) && !MultiByteToWideChar(CP_ACP, 0, (const char*)text, -1, wide, MAX_PATH))
        return false;
    BOOL inexact = FALSE;
    if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, environment, MAX_PATH, nullptr, &inexact) || inexact)
        environment[0] = '\0';
    DWORD length = HasAnsiShellOnly() ? 0 : ExpandEnvironmentStringsW(wide, target, WideTargetChars);
    if (!length && environment[0]) { // the ANSI call on Windows 95, 98 and Me
        char expanded[MAX_PATH];
        length = ExpandEnvironmentStringsA(environment, expanded, MAX_PATH);
        if (!length || length > MAX_PATH || !MultiByteToWideChar(CP_ACP, 0, expanded, -1, target, WideTargetChars))
            length = 0;
    }
    if (length && length <= (DWORD)WideTargetChars) return true;
    target[0] = 0;
    return false;
}

// The target Windows' shell takes from the checked bytes, in its order: the
// environment-variable block where the file prefers it or nothing else names
// a target; the item ID list; the link info's local path where there is no
// list, or the list is one Wine's shell misreads; the relative path only where
// nothing else names the target. Left empty where the shell link object
// reads it as Windows does (a list of other items, a network target).
static bool TakeStoredFacts(const BYTE* data, const LinkLayout& layout, LoadedLink* loaded)
{
    StoredTarget& stored = loaded->Stored;
    WCHAR* own = loaded->OwnTarget;
    stored.HasVolumeSerial = layout.HasVolumeSerial;
    stored.VolumeSerial = layout.VolumeSerial;
    stored.HasInstallerId = layout.HasInstallerId;
    stored.Source = TargetFromPath;
    if (layout.EnvironmentOffset) {
        stored.Source = TargetFromEnvironment;
        return TakeEnvironmentTarget(data + layout.EnvironmentOffset, own, stored.Environment);
    }
    const BYTE* items = data + layout.IdListOffset;
    if (layout.IdListSize && PathFromItems(items, layout.IdListSize, own, WideTargetChars)) return true;
    bool shellReadsItems = layout.IdListSize && !HasItemsWineMisreads(items, layout.IdListSize);
    if (shellReadsItems) return true;
    if (layout.LinkInfoSize) {
        PathFromLinkInfo(data + layout.LinkInfoOffset, layout.LinkInfoSize, own, WideTargetChars);
        return true;
    }
    if (!layout.RelativeOffset) return true;
    stored.Source = TargetFromRelativePath;
    return TakeRelativeText(data, layout, own);
}

// Reads the whole file into movable memory and checks it there. LinkTargetRead
// means `memory` holds a sound shortcut (the caller frees it, or hands it to
// a stream); `loaded` then holds what its bytes say of its target.
static LinkReadResult ReadCheckedFile(const char* linkPath, HGLOBAL* memory, LoadedLink* loaded)
{
    // Of a larger file only the header is read first: the walk meets every
    // file of a place, and most large ones are no shortcuts.
    const DWORD SmallFile = 64 * 1024;
    *memory = nullptr;
    loaded->OwnTarget[0] = 0;
    ZeroMemory(&loaded->Stored, sizeof loaded->Stored);
    HANDLE file = CreateFileA(linkPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return NothingReadFrom(linkPath, false);
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    bool tooBig = high || size > MaxLinkFileSize;
    DWORD first = size > SmallFile ? LinkHeaderSize : size;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, tooBig ? LinkHeaderSize : size ? size : 1);
    BYTE* data = block ? (BYTE*)GlobalLock(block) : nullptr;
    bool read = data && ReadExactly(file, data, first);
    bool hasHeader = read && HasLinkHeader(data, first);
    bool sound = hasHeader && !tooBig && (first == size || ReadExactly(file, data + first, size - first));
    CloseHandle(file);
    LinkLayout layout = {};
    sound = sound && IsSoundShellLink(data, size, &layout) && TakeStoredFacts(data, layout, loaded);
    if (data) GlobalUnlock(block);
    if (!sound) {
        if (block) GlobalFree(block);
        return NothingReadFrom(linkPath, hasHeader);
    }
    *memory = block;
    return LinkTargetRead;
}

// Loads the shell link object from the checked bytes, through a stream over
// the same memory, which the stream frees.
static bool LoadFromMemory(IShellLinkA* link, HGLOBAL memory)
{
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return false;
    }
    IPersistStream* persist = nullptr;
    HRESULT status = link->QueryInterface(IID_IPersistStream, (void**)&persist);
    if (SUCCEEDED(status)) {
        status = persist->Load(stream);
        persist->Release();
    }
    stream->Release();
    return SUCCEEDED(status);
}

// Takes `path` as the full target when a file or folder is there.
static bool TakeIfThere(const WCHAR* path, WCHAR* target)
{
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return false;
    DWORD length = GetFullPathNameW(path, WideTargetChars, target, nullptr);
    if (!length || length >= (DWORD)WideTargetChars) lstrcpynW(target, path, WideTargetChars);
    return true;
}

// What the shell's load of the file makes of a target given only relative to
// the shortcut: the file beside the shortcut, else in its working folder,
// else the relative text as it stands. `target` holds the relative text.
static void CompleteRelativeTarget(IShellLinkA* link, const char* linkPath, WCHAR* target)
{
    if (HasAnsiShellOnly()) return; // the wide file calls below are stubs there
    WCHAR relative[WideTargetChars], widePath[MAX_PATH], candidate[2 * MAX_PATH];
    lstrcpynW(relative, target, WideTargetChars);
    int relativeLength = lstrlenW(relative);
    WCHAR* name = nullptr;
    if (ToWide(linkPath, widePath) && GetFullPathNameW(widePath, 2 * MAX_PATH, candidate, &name) && name &&
        (name - candidate) + relativeLength < 2 * MAX_PATH) {
        lstrcpyW(name, relative);
        if (TakeIfThere(candidate, target)) return;
    }
    IShellLinkW* wide = nullptr;
    if (FAILED(link->QueryInterface(IID_IShellLinkW, (void**)&wide))) return;
    candidate[0] = 0;
    bool composed = SUCCEEDED(wide->GetWorkingDirectory(candidate, MAX_PATH)) && candidate[0];
    wide->Release();
    int length = composed ? lstrlenW(candidate) : 0;
    if (!composed || length + 1 + relativeLength >= 2 * MAX_PATH) return;
    if (candidate[length - 1] != L'\\') lstrcatW(candidate, L"\\");
    lstrcatW(candidate, relative);
    TakeIfThere(candidate, target);
}

void LoadedLink::Release()
{
    if (Link) Link->Release();
    if (Bytes) GlobalFree(Bytes);
    Link = nullptr;
    Bytes = nullptr;
    Path[0] = '\0';
}

// Gives the bytes kept to a fresh shell link object (from `factory` where
// given); false when it cannot be made or does not load them.
static bool LoadObject(IClassFactory* factory, LoadedLink* loaded)
{
    if (loaded->Link) return true;
    HGLOBAL memory = loaded->Bytes;
    loaded->Bytes = nullptr;
    if (!memory) return false;
    IShellLinkA* link = nullptr;
    HRESULT status = factory ? factory->CreateInstance(nullptr, IID_IShellLinkA, (void**)&link)
                             : CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                                (void**)&link);
    if (FAILED(status)) {
        GlobalFree(memory);
        return false;
    }
    if (!LoadFromMemory(link, memory)) {
        link->Release();
        return false;
    }
    loaded->Link = link;
    return true;
}

// Reads the file and checks it. LinkTargetRead means `loaded` holds the
// target, and the shell link object loaded from the bytes where the target
// needs it; where the bytes name the target themselves, the object is made
// only when asked for (LoadObject): a walk reads many files and resolves few.
static LinkReadResult LoadLink(IClassFactory* factory, const char* linkPath, LoadedLink* loaded)
{
    loaded->Release();
    LinkReadResult result = ReadCheckedFile(linkPath, &loaded->Bytes, loaded);
    if (result != LinkTargetRead) return result;
    bool relative = loaded->Stored.Source == TargetFromRelativePath;
    if ((relative || !loaded->OwnTarget[0]) && !LoadObject(factory, loaded)) {
        loaded->Release();
        return LinkUnreadable;
    }
    if (relative) CompleteRelativeTarget(loaded->Link, linkPath, loaded->OwnTarget);
    lstrcpynA(loaded->Path, linkPath, MAX_PATH);
    return LinkTargetRead;
}

// A text read back from the shell, in a buffer larger than any path, is taken
// only whole: one of 260 bytes or more would be cut into another path.
static LinkReadResult TakeWholeText(char* text, int size, char* output)
{
    text[size - 1] = '\0';
    int length = lstrlenA(text);
    if (!length || length >= MAX_PATH) return LinkUnreadable;
    lstrcpynA(output, text, MAX_PATH);
    return LinkTargetRead;
}

static bool PathFromItemList(IShellLinkA* link, WCHAR* wide)
{
    LPITEMIDLIST items = nullptr;
    if (link->GetIDList(&items) != S_OK || !items) return false;
    bool found = WidePathFromItemList(items, wide) && wide[0];
    CoTaskMemFree(items);
    return found;
}

// The wide target as the shell link object gives it: the item ID list holds
// the real name where the stored path may hold a look-alike, so it comes
// first. On Windows 95, 98 and Me, the ANSI path.
static void ShellTarget(IShellLinkA* shellLink, WCHAR* wide)
{
    wide[0] = 0;
    if (HasAnsiShellOnly()) {
        char text[MAX_PATH] = "";
        if (shellLink->GetPath(text, MAX_PATH, nullptr, SLGP_UNCPRIORITY) != S_OK ||
            !MultiByteToWideChar(CP_ACP, 0, text, -1, wide, WideTargetChars))
            wide[0] = 0;
        return;
    }
    if (PathFromItemList(shellLink, wide)) return;
    IShellLinkW* link = nullptr;
    if (FAILED(shellLink->QueryInterface(IID_IShellLinkW, (void**)&link))) return;
    if (link->GetPath(wide, WideTargetChars, nullptr, SLGP_UNCPRIORITY) != S_OK) wide[0] = 0;
    link->Release();
    wide[WideTargetChars - 1] = 0;
}

static void WideTarget(const LoadedLink& loaded, WCHAR* wide)
{
    if (loaded.OwnTarget[0])
        CopyMemory(wide, loaded.OwnTarget, sizeof loaded.OwnTarget); // lstrcpynW is a stub on Windows 95
    else
        ShellTarget(loaded.Link, wide);
}

// The cheap read: the ANSI target, a look-alike standing in for any character
// the code page lacks; the same target as the exact read. No find-data
// record: filling one makes the shell ask the file system about the target,
// which nobody here looks at.
static LinkReadResult CheapTarget(const LoadedLink& loaded, char* target)
{
    WCHAR wide[WideTargetChars];
    char text[WideTargetChars] = "";
    WideTarget(loaded, wide);
    if (wide[0] && !WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr)) text[0] = '\0';
    return TakeWholeText(text, sizeof text, target);
}

static LinkReadResult ExactAnsi(const WCHAR* wide, char* target)
{
    if (!wide[0]) return LinkUnreadable;
    if (ToExactAnsi(wide, target)) return LinkTargetRead;
    target[0] = '\0';
    return LinkTargetNotHeld;
}

static LinkReadResult ExactTarget(const LoadedLink& loaded, char* target)
{
    if (HasAnsiShellOnly()) return CheapTarget(loaded, target);
    WCHAR wide[WideTargetChars];
    WideTarget(loaded, wide);
    return ExactAnsi(wide, target);
}

static bool IsWideThere(const WCHAR* path)
{
    char ansi[MAX_PATH];
    if (!HasAnsiShellOnly()) return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
    return WideCharToMultiByte(CP_ACP, 0, path, -1, ansi, MAX_PATH, nullptr, nullptr) && IsPathThere(ansi);
}

// lstrcmpiW is a stub on Windows 95, 98 and Me: there the code page's names
// are compared.
static bool IsSameWidePath(const WCHAR* one, const WCHAR* other)
{
    char first[MAX_PATH], second[MAX_PATH];
    if (!HasAnsiShellOnly()) return lstrcmpiW(one, other) == 0;
    return WideCharToMultiByte(CP_ACP, 0, one, -1, first, MAX_PATH, nullptr, nullptr) &&
           WideCharToMultiByte(CP_ACP, 0, other, -1, second, MAX_PATH, nullptr, nullptr) &&
           lstrcmpiA(first, second) == 0;
}

// Resolve's time-out when it shows no window, in the high word of its flags.
const WORD ResolveBudget = 1000; // ms

// Asks Resolve where the target of a loaded shortcut is now, without a window
// and without writing to the file; `found` gets the exact path it names
// where that is another one. The object is changed by it.
static ResolveAnswer ResolveLoaded(HWND owner, IClassFactory* factory, LoadedLink& loaded, char* found)
{
    WCHAR stored[WideTargetChars], now[WideTargetChars];
    found[0] = '\0';
    if (!LoadObject(factory, &loaded)) return ResolveNotLoaded;
    WideTarget(loaded, stored);
    if (FAILED(loaded.Link->Resolve(owner, MAKELONG(SLR_NO_UI | SLR_NOUPDATE | SLR_ANY_MATCH, ResolveBudget))))
        return ResolveFoundNothing;
    ShellTarget(loaded.Link, now);
    if (!now[0] || IsSameWidePath(now, stored)) return ResolveSamePath;
    if (!IsWideThere(now)) return ResolveFoundGone;
    if (ExactAnsi(now, found) != LinkTargetRead) found[0] = '\0';
    return ResolveFoundThere;
}

HRESULT WriteLink(const char* target, const char* linkPath, const char* description, WorkingFolderMode mode)
{
    char folder[MAX_PATH];
    if (mode == WithWorkingFolder) SplitFolderAndName(target, folder, nullptr);

    HRESULT comStatus = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    HRESULT status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link);
    if (SUCCEEDED(status)) {
        link->SetPath(target);
        link->SetDescription(description ? description : "");
        if (mode == WithWorkingFolder) link->SetWorkingDirectory(folder);
        IPersistFile* file = nullptr;
        status = link->QueryInterface(IID_IPersistFile, (void**)&file);
        if (SUCCEEDED(status)) {
            WCHAR widePath[MAX_PATH];
            status = ToWide(linkPath, widePath) ? file->Save(widePath, TRUE) : E_INVALIDARG;
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(comStatus)) CoUninitialize();
    return status;
}

// A new empty file beside the shortcut whose name is as long as the
// shortcut's own ("x.lnk" becomes "x.ln~"), for paths too long for the
// saving name.
static bool CreateSiblingFile(const char* linkPath, char* temporary)
{
    lstrcpynA(temporary, linkPath, MAX_PATH);
    int last = -1; // index of the last character, which must be a one-byte one
    for (int i = 0; temporary[i]; i += IsLeadByte((unsigned char)temporary[i]) && temporary[i + 1] ? 2 : 1) last = i;
    if (last < 0 || IsLeadByte((unsigned char)temporary[last])) return false;
    for (const char* mark = "~0123456789"; *mark; ++mark) {
        temporary[last] = *mark;
        HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
    }
    return false;
}

// The shell, an indexer or a virus scanner may open a file the moment it
// appears and hold it for a moment; a failure of that kind passes, so it is
// worth a few short retries before the user is told it did not work. A file
// the user may not write never becomes writable by waiting, so a plain
// refusal is not retried: in a place a limited user may not write, every
// click would freeze the window for half a second.
const int ConflictRetries = 10;
const DWORD ConflictPause = 50; // ms
const ULONG StatusDeletePending = 0xC0000056;

// A file whose deletion is still pending answers "access denied" too; only
// the system's own status for the last failure tells the two apart. Under
// Wine that status says "access denied" for both, so nothing is retried there.
static bool LastFailureWasDeletePending()
{
    typedef ULONG(WINAPI * LastNtStatusFn)(void);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    LastNtStatusFn lastStatus = ntdll ? (LastNtStatusFn)(void*)GetProcAddress(ntdll, "RtlGetLastNtStatus") : nullptr;
    return lastStatus && lastStatus() == StatusDeletePending;
}

BOOL IsPassingConflict(DWORD error)
{
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return TRUE;
    return error == ERROR_ACCESS_DENIED && LastFailureWasDeletePending();
}

BOOL DeleteFileWaitingOutConflicts(const char* path)
{
    BOOL deleted = DeleteFileA(path);
    for (int retry = 0; !deleted && retry < ConflictRetries && IsPassingConflict(GetLastError()); ++retry) {
        Sleep(ConflictPause);
        deleted = DeleteFileA(path);
    }
    return deleted;
}

static HRESULT WriteLinkRetrying(const char* target, const char* linkPath, const char* description,
                                 WorkingFolderMode mode)
{
    HRESULT status = WriteLink(target, linkPath, description, mode);
    for (int retry = 0; FAILED(status) && retry < ConflictRetries; ++retry) {
        if (HRESULT_FACILITY(status) != FACILITY_WIN32 || !IsPassingConflict(HRESULT_CODE(status))) break;
        Sleep(ConflictPause);
        status = WriteLink(target, linkPath, description, mode);
    }
    // The shell link object may clean up after a failed save, and that
    // overwrites the system's error: the caller reads the refusal from here.
    if (HRESULT_FACILITY(status) == FACILITY_WIN32) SetLastError(HRESULT_CODE(status));
    return status;
}

// A rename over a file that another process holds open is refused as
// "access denied" too, on Windows as under Wine. Whether the old file could
// be opened for deletion tells that apart from a file the user may not
// remove: only a file that is merely held is waited for.
static bool ReplaceIsWorthAWait(DWORD error, const char* to)
{
    if (IsPassingConflict(error)) return true;
    if (error != ERROR_ACCESS_DENIED) return false;
    HANDLE probe = CreateFileA(to, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return IsPassingConflict(GetLastError()) != FALSE;
    CloseHandle(probe); // deletable, so held by someone who shares it
    return true;
}

// Removes a temporary file the save left; the caller reads the error of the
// failure before it (a refused folder, say), not that of this clean-up.
static void DeleteTemporary(const char* temporary)
{
    DWORD error = GetLastError();
    DeleteFileA(temporary);
    SetLastError(error);
}

static bool EndsWith(const char* name, const char* suffix)
{
    int length = lstrlenA(name), suffixLength = lstrlenA(suffix);
    return length > suffixLength && lstrcmpiA(name + length - suffixLength, suffix) == 0;
}

BOOL IsSetAsideName(const char* name)
{
    return EndsWith(name, SetAsideSuffix) || EndsWith(name, SavingSuffix);
}

// "x.lnk" saved as "x.lnk.pathwick-new"; false when that does not fit.
static bool SavingNameOf(const char* linkPath, char* saving)
{
    return ComposePath(saving, MAX_PATH, linkPath, SavingSuffix) != FALSE;
}

// A new empty file beside the shortcut, under the saving name where the path
// leaves room for it. A name the walk passes over and the next create mends:
// a process that ends between the save and the move leaves nothing that
// reads as a shortcut of the place.
static bool CreateFileBeside(const char* linkPath, char* temporary)
{
    if (SavingNameOf(linkPath, temporary)) {
        HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
    }
    return CreateSiblingFile(linkPath, temporary);
}

// "x.lnk" set aside as "x.lnk.pathwick-old"; false when that does not fit.
static bool SetAsideNameOf(const char* linkPath, char* aside)
{
    return ComposePath(aside, MAX_PATH, linkPath, SetAsideSuffix) != FALSE;
}

// A create cut short (the process ended between its steps) may leave the new
// shortcut under its saving name, which goes, and the old one set aside by
// the moves, which goes back where the new one never arrived and is removed
// where the new one did.
static void MendSetAside(const char* linkPath)
{
    char aside[MAX_PATH];
    if (SavingNameOf(linkPath, aside)) DeleteFileA(aside);
    if (!SetAsideNameOf(linkPath, aside) || GetFileAttributesA(aside) == INVALID_FILE_ATTRIBUTES) return;
    if (GetFileAttributesA(linkPath) == INVALID_FILE_ATTRIBUTES)
        MoveFileA(aside, linkPath);
    else
        DeleteFileA(aside);
}

// Windows 95, 98 and Me have MoveFileExA only as a stub that fails. There the
// old shortcut moves aside under its fixed name, the new one moves in, and
// the old one is deleted; it moves back if the new one cannot take its place.
// Should even that fail, it stays set aside and nothing more is tried until
// the next create mends it: the place never gets the new shortcut while the
// old one lies beside it.
static BOOL ReplaceByMoves(const char* from, const char* to)
{
    char aside[MAX_PATH];
    if (!SetAsideNameOf(to, aside)) return FALSE;
    if (GetFileAttributesA(aside) != INVALID_FILE_ATTRIBUTES) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (GetFileAttributesA(to) == INVALID_FILE_ATTRIBUTES) return MoveFileA(from, to);
    if (!MoveFileA(to, aside)) return FALSE;
    if (MoveFileA(from, to)) {
        DeleteFileA(aside);
        return TRUE;
    }
    DWORD error = GetLastError();
    MoveFileA(aside, to);
    SetLastError(error);
    return FALSE;
}

BOOL MoveSavedIntoPlace(const char* saved, const char* linkPath, BOOL byMoves)
{
    for (int retry = 0;; ++retry) {
        if (byMoves ? ReplaceByMoves(saved, linkPath) : MoveFileExA(saved, linkPath, MOVEFILE_REPLACE_EXISTING))
            return TRUE;
        if (retry >= ConflictRetries || !ReplaceIsWorthAWait(GetLastError(), linkPath)) return FALSE;
        Sleep(ConflictPause);
    }
}

// Saves the shortcut beside its final name and moves it into place only after
// the save succeeded, so a failed save never costs the user the old shortcut.
static BOOL SaveThenReplace(const char* target, const char* linkPath, const char* description, WorkingFolderMode mode)
{
    char temporary[MAX_PATH];
    if (!CreateFileBeside(linkPath, temporary)) {
        // No file can be made beside it: save straight over the old file.
        return SUCCEEDED(WriteLinkRetrying(target, linkPath, description, mode));
    }
    if (FAILED(WriteLinkRetrying(target, temporary, description, mode))) {
        DeleteTemporary(temporary);
        return FALSE;
    }
    if (MoveSavedIntoPlace(temporary, linkPath, HasAnsiShellOnly())) return TRUE;
    DeleteTemporary(temporary);
    return FALSE;
}

BOOL CreateLinkIn(const char* target, const char* valueName, const char* subPathOrFolder, const char* linkName,
                  const char* description, WorkingFolderMode mode)
{
    char linkPath[MAX_PATH];
    if (!BuildLinkPath(linkPath, valueName, subPathOrFolder, linkName)) return FALSE;
    MendSetAside(linkPath);
    if (IsExistingFolder(linkPath)) return FALSE; // a folder of that name is never touched
    // A read-only shortcut is the user's to protect: it is never replaced.
    DWORD attributes = GetFileAttributesA(linkPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return FALSE;
    return SaveThenReplace(target, linkPath, description, mode);
}

LinkReadResult ReadShortcutGivenAsTarget(HWND owner, const char* linkPath, char* target)
{
    target[0] = '\0';
    if (!linkPath || !*linkPath) return LinkNotShortcut;
    HRESULT comStatus = CoInitialize(nullptr);
    LoadedLink loaded;
    LinkReadResult result = LoadLink(nullptr, linkPath, &loaded);
    if (result == LinkTargetRead) result = ExactTarget(loaded, target);
    // Resolve is asked only where the sweep would ask it: about a target the
    // rules call broken.
    if (result == LinkTargetRead) {
        TargetFacts facts;
        GatherTargetFacts(target, &loaded.Stored, nullptr, &facts);
        char found[MAX_PATH];
        if (JudgeTarget(facts) == TargetBroken && ResolveLoaded(owner, nullptr, loaded, found) == ResolveFoundThere &&
            found[0])
            lstrcpynA(target, found, MAX_PATH);
    }
    loaded.Release();
    if (SUCCEEDED(comStatus)) CoUninitialize();
    return result;
}

LinkTargetReader::LinkTargetReader() : factory_(nullptr)
{
    // Without the class object each file's object is made the long way.
    if (FAILED(CoGetClassObject(CLSID_ShellLink, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, (void**)&factory_)))
        factory_ = nullptr;
}

LinkTargetReader::~LinkTargetReader()
{
    last_.Release();
    if (factory_) factory_->Release();
}

bool LinkTargetReader::IsLast(const char* linkPath) const
{
    return last_.Path[0] && lstrcmpA(last_.Path, linkPath) == 0;
}

LinkReadResult LinkTargetReader::Read(const char* linkPath, char* target)
{
    if (!linkPath || !*linkPath) return LinkNotShortcut;
    target[0] = '\0';
    LinkReadResult result = LoadLink(factory_, linkPath, &last_);
    if (result == LinkTargetRead) result = CheapTarget(last_, target);
    return result;
}

LinkReadResult LinkTargetReader::ReadExact(const char* linkPath, char* target)
{
    target[0] = '\0';
    if (!linkPath || !*linkPath) return LinkNotShortcut;
    if (!IsLast(linkPath)) {
        LinkReadResult result = LoadLink(factory_, linkPath, &last_);
        if (result != LinkTargetRead) return result;
    }
    return ExactTarget(last_, target);
}

const StoredTarget* LinkTargetReader::Stored(const char* linkPath) const
{
    return IsLast(linkPath) ? &last_.Stored : nullptr;
}

ResolveAnswer LinkTargetReader::Resolve(HWND owner, const char* linkPath)
{
    if (!IsLast(linkPath) && LoadLink(factory_, linkPath, &last_) != LinkTargetRead) return ResolveNotLoaded;
    char found[MAX_PATH];
    ResolveAnswer answer = ResolveLoaded(owner, factory_, last_, found);
    last_.Release();
    return answer;
}
