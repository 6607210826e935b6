// Which program owns a window: walk the processes, collect each one's
// top-level windows, and take the process one of whose windows leads up to
// the clicked root window.
#include "owning_program.h"
#include "foreground.h"
#include "unheld_names.h"
#include "path_helpers.h"
#include <tlhelp32.h>

typedef HANDLE(WINAPI* CreateToolhelp32SnapshotFn)(DWORD, DWORD);
typedef BOOL(WINAPI* Process32Fn)(HANDLE, PROCESSENTRY32*);
typedef BOOL(WINAPI* Module32Fn)(HANDLE, MODULEENTRY32*);
typedef BOOL(WINAPI* EnumProcessesFn)(DWORD*, DWORD, DWORD*);
typedef BOOL(WINAPI* EnumProcessModulesFn)(HANDLE, HMODULE*, DWORD, DWORD*);
typedef DWORD(WINAPI* GetModuleFileNameExAFn)(HANDLE, HMODULE, LPSTR, DWORD);
typedef BOOL(WINAPI* QueryFullProcessImageNameAFn)(HANDLE, DWORD, LPSTR, DWORD*);
typedef BOOL(WINAPI* QueryFullProcessImageNameWFn)(HANDLE, DWORD, LPWSTR, DWORD*);

#ifndef PROCESS_QUERY_LIMITED_INFORMATION
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
#endif

BOOL CALLBACK CollectProcessWindows(HWND window, LPARAM parameter)
{
    ProcessWindowList* list = (ProcessWindowList*)parameter;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != list->ProcessId) return TRUE;
    list->Windows[list->Count++] = window;
    return list->Count < MaxCollectedWindows;
}

// Whether one of the process's top-level windows (the last enumerated first)
// leads up to `root`.
static bool ProcessOwnsRoot(DWORD processId, HWND root)
{
    ProcessWindowList list;
    list.ProcessId = processId;
    list.Count = 0;
    EnumWindows(CollectProcessWindows, (LPARAM)&list);
    for (int i = list.Count - 1; i >= 0; --i)
        if (RootWindowOf(list.Windows[i]) == root) return true;
    return false;
}

struct ToolhelpFunctions {
    CreateToolhelp32SnapshotFn CreateSnapshot;
    Process32Fn ProcessFirst, ProcessNext;
    Module32Fn ModuleFirst;
};

static HMODULE LoadToolhelpFunctions(ToolhelpFunctions* f)
{
    HMODULE module = LoadLibraryA("KERNEL32.DLL");
    if (!module) return nullptr;
    f->CreateSnapshot = (CreateToolhelp32SnapshotFn)(void*)GetProcAddress(module, "CreateToolhelp32Snapshot");
    f->ProcessFirst = (Process32Fn)(void*)GetProcAddress(module, "Process32First");
    f->ProcessNext = (Process32Fn)(void*)GetProcAddress(module, "Process32Next");
    f->ModuleFirst = (Module32Fn)(void*)GetProcAddress(module, "Module32First");
    if (f->CreateSnapshot && f->ProcessFirst && f->ProcessNext && f->ModuleFirst) return module;
    FreeLibrary(module);
    return nullptr;
}

// The program of a process entry as a full path of a file that is there:
// Windows 95/98/Me give it in the entry, the NT family (Wine included) the
// file name alone, and then the process's first module, the executable, has
// it. A bare name is never completed against some folder.
static bool ProgramOfEntry(const ToolhelpFunctions& f, const PROCESSENTRY32& entry, char* path)
{
    lstrcpynA(path, entry.szExeFile, MAX_PATH);
    if (!IsFullFolderPath(path)) {
        path[0] = '\0';
        HANDLE modules = f.CreateSnapshot(TH32CS_SNAPMODULE, entry.th32ProcessID);
        if (modules == INVALID_HANDLE_VALUE) return false;
        MODULEENTRY32 module = {};
        module.dwSize = sizeof module;
        if (f.ModuleFirst(modules, &module)) lstrcpynA(path, module.szExePath, MAX_PATH);
        CloseHandle(modules);
    }
    if (IsFullFolderPath(path) && IsExistingFile(path)) return true;
    path[0] = '\0';
    return false;
}

static HMODULE LoadPsapiFunctions(EnumProcessesFn* enumProcesses, EnumProcessModulesFn* enumModules,
                                  GetModuleFileNameExAFn* moduleFileName)
{
    HMODULE module = LoadLibraryA("PSAPI.DLL");
    if (!module) return nullptr;
    *enumProcesses = (EnumProcessesFn)(void*)GetProcAddress(module, "EnumProcesses");
    *enumModules = (EnumProcessModulesFn)(void*)GetProcAddress(module, "EnumProcessModules");
    *moduleFileName = (GetModuleFileNameExAFn)(void*)GetProcAddress(module, "GetModuleFileNameExA");
    if (*enumProcesses && *enumModules && *moduleFileName) return module;
    FreeLibrary(module);
    return nullptr;
}

BOOL FindOwningProgramByToolhelp(HWND root, char* output, int capacity)
{
    output[0] = '\0';
    ToolhelpFunctions f;
    HMODULE module = LoadToolhelpFunctions(&f);
    if (!module) return FALSE;
    HANDLE snapshot = f.CreateSnapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        FreeLibrary(module);
        return FALSE;
    }
    bool owner = false;
    char path[MAX_PATH] = "";
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = f.ProcessFirst(snapshot, &entry); more && !owner; more = f.ProcessNext(snapshot, &entry)) {
        owner = ProcessOwnsRoot(entry.th32ProcessID, root);
        if (owner && !ProgramOfEntry(f, entry, path)) path[0] = '\0';
    }
    CloseHandle(snapshot);
    FreeLibrary(module);
    if (!path[0]) return FALSE;
    lstrcpynA(output, path, capacity);
    return TRUE;
}

// The process-id list, doubled until the platform reports less than the buffer.
static DWORD* ListProcesses(EnumProcessesFn enumProcesses, DWORD* count)
{
    HANDLE heap = GetProcessHeap();
    for (DWORD size = 1024;; size *= 2) {
        DWORD* ids = (DWORD*)HeapAlloc(heap, 0, size);
        if (!ids) return nullptr;
        DWORD returned = 0;
        if (!enumProcesses(ids, size, &returned)) {
            HeapFree(heap, 0, ids);
            return nullptr;
        }
        if (returned < size) {
            *count = returned / sizeof(DWORD);
            return ids;
        }
        HeapFree(heap, 0, ids);
    }
}

static bool ExecutableOfProcess(DWORD processId, EnumProcessModulesFn enumModules,
                                GetModuleFileNameExAFn moduleFileName, char* name)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return false;
    bool found = false;
    HMODULE executable;
    DWORD needed;
    // A name that fills the buffer may have been cut into some other path:
    // with room to spare, only a name shorter than a path buffer is taken.
    char full[MAX_PATH + 2];
    if (enumModules(process, &executable, sizeof executable, &needed)) {
        DWORD length = moduleFileName(process, executable, full, sizeof full);
        found = length != 0 && length < MAX_PATH;
    }
    lstrcpynA(name, found ? full : "", MAX_PATH);
    CloseHandle(process);
    return found;
}

BOOL FindOwningProgramByPsapi(HWND root, char* output, int capacity)
{
    output[0] = '\0';
    EnumProcessesFn enumProcesses;
    EnumProcessModulesFn enumModules;
    GetModuleFileNameExAFn moduleFileName;
    HMODULE module = LoadPsapiFunctions(&enumProcesses, &enumModules, &moduleFileName);
    if (!module) return FALSE;
    DWORD count = 0;
    DWORD* ids = ListProcesses(enumProcesses, &count);
    if (!ids) {
        FreeLibrary(module);
        return FALSE;
    }
    BOOL found = FALSE;
    for (DWORD i = 0; i < count && !found; ++i) {
        char name[MAX_PATH] = "";
        if (ProcessOwnsRoot(ids[i], root) && ExecutableOfProcess(ids[i], enumModules, moduleFileName, name)) {
            lstrcpynA(output, name, capacity);
            found = TRUE;
        }
    }
    HeapFree(GetProcessHeap(), 0, ids);
    FreeLibrary(module);
    return found;
}

static HMODULE LoadImageNameFunctions(QueryFullProcessImageNameAFn* ansiName, QueryFullProcessImageNameWFn* wideName)
{
    HMODULE module = LoadLibraryA("KERNEL32.DLL");
    if (!module) return nullptr;
    *ansiName = (QueryFullProcessImageNameAFn)(void*)GetProcAddress(module, "QueryFullProcessImageNameA");
    *wideName = (QueryFullProcessImageNameWFn)(void*)GetProcAddress(module, "QueryFullProcessImageNameW");
    if (*ansiName && *wideName) return module;
    FreeLibrary(module);
    return nullptr;
}

// The ANSI path of the process's image, checked against its wide form: a
// name the code page cannot hold comes through the ANSI call with '?' or a
// look-alike letter in its place, and is a path that does not exist.
static OwnerSearchResult ImageNameOfProcess(DWORD processId, QueryFullProcessImageNameAFn ansiName,
                                            QueryFullProcessImageNameWFn wideName, char* name)
{
    name[0] = '\0';
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return OwnerNotFound;
    OwnerSearchResult result = OwnerNotFound;
    WCHAR wide[MAX_PATH];
    DWORD wideLength = MAX_PATH, length = MAX_PATH;
    if (wideName(process, 0, wide, &wideLength)) {
        if (!WideNameFitsCodePage(wide))
            result = OwnerNameNotHeld;
        else if (ansiName(process, 0, name, &length)) // fails rather than cut a longer path
            result = OwnerFound;
    }
    if (result != OwnerFound) name[0] = '\0';
    CloseHandle(process);
    return result;
}

OwnerSearchResult FindOwningProgramByImageName(HWND root, char* output, int capacity)
{
    output[0] = '\0';
    QueryFullProcessImageNameAFn ansiName;
    QueryFullProcessImageNameWFn wideName;
    HMODULE module = LoadImageNameFunctions(&ansiName, &wideName);
    if (!module) return OwnerNotFound;
    // The same rule as the walks: the process must list the root among its
    // first 200 top-level windows (the desktop window, for one, is nobody's).
    DWORD processId = 0;
    GetWindowThreadProcessId(root, &processId);
    OwnerSearchResult result = OwnerNotFound;
    char name[MAX_PATH];
    if (processId && ProcessOwnsRoot(processId, root)) result = ImageNameOfProcess(processId, ansiName, wideName, name);
    if (result == OwnerFound) lstrcpynA(output, name, capacity);
    FreeLibrary(module);
    return result;
}

OwnerSearchResult FindOwningProgram(HWND root, char* output, int capacity)
{
    if (IsWin9xFamily()) return FindOwningProgramByToolhelp(root, output, capacity) ? OwnerFound : OwnerNotFound;
    OwnerSearchResult result = FindOwningProgramByImageName(root, output, capacity);
    if (result != OwnerNotFound) return result;
    return FindOwningProgramByPsapi(root, output, capacity) ? OwnerFound : OwnerNotFound;
}
