// Shortcut files through CLSID_ShellLink. Every call brackets its own COM use,
// so no interface pointer outlives a call or crosses a thread. A walk that
// reads many files keeps an apartment open around them and reads through a
// LinkTargetReader, whose class object lives no longer than the walk.
#include "shortcut_files.h"
#include "path_helpers.h"
#include "shell_folders.h"
#include <shlobj.h>
#include <objidl.h>

static bool ToWide(const char* text, WCHAR* wide)
{
    return MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH) != 0;
}

// Loads one shortcut file into a fresh shell link object and reads from it
// what the outputs given ask for.
static HRESULT LoadAndRead(IShellLinkA* link, HWND owner, const char* linkPath, char* target, char* arguments,
                           char* workingFolder)
{
    IPersistFile* file = nullptr;
    HRESULT status = link->QueryInterface(IID_IPersistFile, (void**)&file);
    if (FAILED(status)) return status;
    WCHAR widePath[MAX_PATH];
    status = ToWide(linkPath, widePath) ? file->Load(widePath, STGM_READ) : E_INVALIDARG;
    if (SUCCEEDED(status)) {
        // No user interface, and a 1 ms time-out in the high word.
        status = link->Resolve(owner, MAKELONG(SLR_NO_UI | SLR_ANY_MATCH, 1));
        if (SUCCEEDED(status)) {
            // No find-data record: filling one makes the shell ask the file
            // system about the target, which nobody here looks at.
            if (target) status = link->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY);
            if (arguments) status = link->GetArguments(arguments, MAX_PATH);
            if (workingFolder) status = link->GetWorkingDirectory(workingFolder, MAX_PATH);
        }
    }
    file->Release();
    return status;
}

HRESULT ReadLinkTarget(HWND owner, const char* linkPath, char* target, char* arguments, char* workingFolder)
{
    if (!linkPath || !*linkPath) return 0;
    if (target) target[0] = '\0';
    if (arguments) arguments[0] = '\0';
    if (workingFolder) workingFolder[0] = '\0';

    HRESULT comStatus = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    HRESULT status = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link);
    if (SUCCEEDED(status)) {
        status = LoadAndRead(link, owner, linkPath, target, arguments, workingFolder);
        link->Release();
    }
    if (SUCCEEDED(comStatus)) CoUninitialize();
    return status;
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
// shortcut's own ("x.lnk" becomes "x.ln~"), for folders too deep for the
// names of GetTempFileNameA.
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

static BOOL ReplaceRetrying(const char* from, const char* to)
{
    for (int retry = 0;; ++retry) {
        if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return TRUE;
        if (retry >= ConflictRetries || !ReplaceIsWorthAWait(GetLastError(), to)) return FALSE;
        Sleep(ConflictPause);
    }
}

// Removes a temporary file the save left; the caller reads the error of the
// failure before it (a refused folder, say), not that of this clean-up.
static void DeleteTemporary(const char* temporary)
{
    DWORD error = GetLastError();
    DeleteFileA(temporary);
    SetLastError(error);
}

// Saves the shortcut beside its final name and moves it into place only after
// the save succeeded, so a failed save never costs the user the old shortcut.
static BOOL SaveThenReplace(const char* target, const char* linkPath, const char* description, WorkingFolderMode mode)
{
    char folder[MAX_PATH];
    lstrcpynA(folder, linkPath, sizeof folder);
    char* backslash = FindLastChar(folder, '\\');
    if (backslash) *backslash = '\0';

    char temporary[MAX_PATH];
    bool roomForTempName = backslash && lstrlenA(folder) + 14 < MAX_PATH;
    if (roomForTempName ? !GetTempFileNameA(folder, "lnk", 0, temporary) : !CreateSiblingFile(linkPath, temporary)) {
        // No file can be made beside it: save straight over the old file.
        return SUCCEEDED(WriteLinkRetrying(target, linkPath, description, mode));
    }
    if (FAILED(WriteLinkRetrying(target, temporary, description, mode))) {
        DeleteTemporary(temporary);
        return FALSE;
    }
    if (ReplaceRetrying(temporary, linkPath)) return TRUE;
    DeleteTemporary(temporary);
    return FALSE;
}

BOOL CreateLinkIn(const char* target, const char* valueName, const char* subPathOrFolder, const char* linkName,
                  const char* description, WorkingFolderMode mode)
{
    char linkPath[MAX_PATH];
    if (!BuildLinkPath(linkPath, valueName, subPathOrFolder, linkName)) return FALSE;
    if (IsExistingFolder(linkPath)) return FALSE; // a folder of that name is never touched
    // A read-only shortcut is the user's to protect: it is never replaced.
    DWORD attributes = GetFileAttributesA(linkPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return FALSE;
    return SaveThenReplace(target, linkPath, description, mode);
}

// Any target that fits the 260-byte ANSI buffer has fewer wide characters than
// this, so a wide text that fills it was cut and is never taken.
const int WideTargetChars = 1024;

static BOOL ToExactAnsi(const WCHAR* wide, char* target)
{
    if (lstrlenW(wide) >= WideTargetChars - 1) return FALSE;
    BOOL usedDefault = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, target, MAX_PATH, nullptr, &usedDefault);
    return length > 0 && !usedDefault;
}

// A file named as a shortcut: one that does not read is worth a word.
static bool HasShortcutName(const char* linkPath)
{
    const char* dot = FindLastChar(linkPath, '.');
    return dot && lstrcmpiA(dot, ".lnk") == 0;
}

LinkReadResult ReadExactLinkTarget(HWND owner, const char* linkPath, char* target)
{
    target[0] = '\0';
    if (!linkPath || !*linkPath) return LinkNotShortcut;
    BOOL exact = FALSE;
    HRESULT comStatus = CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
            WCHAR widePath[MAX_PATH];
            WCHAR wideTarget[WideTargetChars];
            wideTarget[0] = 0;
            if (ToWide(linkPath, widePath) && SUCCEEDED(file->Load(widePath, STGM_READ)) &&
                SUCCEEDED(link->Resolve(owner, MAKELONG(SLR_NO_UI | SLR_ANY_MATCH, 1))) &&
                link->GetPath(wideTarget, WideTargetChars, nullptr, SLGP_UNCPRIORITY) == S_OK)
                exact = ToExactAnsi(wideTarget, target);
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(comStatus)) CoUninitialize();
    if (exact) return LinkTargetRead;
    target[0] = '\0';
    return HasShortcutName(linkPath) ? LinkUnreadable : LinkNotShortcut;
}

LinkTargetReader::LinkTargetReader() : factory_(nullptr), thread_(GetCurrentThreadId())
{
    if (FAILED(CoGetClassObject(CLSID_ShellLink, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, (void**)&factory_)))
        factory_ = nullptr;
}

LinkTargetReader::~LinkTargetReader()
{
    if (factory_) factory_->Release();
}

LinkReadResult LinkTargetReader::Read(HWND owner, const char* linkPath, char* target)
{
    if (!linkPath || !*linkPath) return LinkNotShortcut;
    target[0] = '\0';
    // Without a class object of this thread's apartment, each read makes its own.
    if (!factory_ || GetCurrentThreadId() != thread_) {
        ReadLinkTarget(owner, linkPath, target, nullptr, nullptr);
    } else {
        IShellLinkA* link = nullptr;
        if (SUCCEEDED(factory_->CreateInstance(nullptr, IID_IShellLinkA, (void**)&link))) {
            LoadAndRead(link, owner, linkPath, target, nullptr, nullptr);
            link->Release();
        }
    }
    if (target[0]) return LinkTargetRead;
    return HasShortcutName(linkPath) ? LinkUnreadable : LinkNotShortcut;
}

LinkReadResult LinkTargetReader::ReadExact(HWND owner, const char* linkPath, char* target)
{
    return ReadExactLinkTarget(owner, linkPath, target);
}
