// The 9x answer layer of the i686 test copies of Quillet and Stowfold. Wine
// implements every function under every answer; where it answers as Windows
// 95, 98 or Me (GetVersion's high bit), this layer gives the program's own
// calls what those systems give: it patches the program's import table before
// its code runs, and its GetProcAddress answers the same for functions looked
// up at run time. Under any other answer it does nothing.
//
// Failing stubs and functions not exported come from scripts/first_windows.txt
// (ninex_rows.h, made at build time). The parameter rules below are those of
// Windows 98 (the 95-only rules are left out), each with its source: the MSDN
// Library of 1998 (library.thedatadungeon.com/msdn-1998-06/WinBase/devdoc/live/
// pdwbase/) and of April 2000 (.../msdn-2000-04/). No rule was seen on a real
// Windows 98: every one rests on reading.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include "path_helpers.h"

namespace {

// A 9x stub: the same arguments, popped as the real function pops them,
// ERROR_CALL_NOT_IMPLEMENTED and a zero result.
template <typename F> struct Fails;
template <typename R, typename... A> struct Fails<R(WINAPI*)(A...)> {
    static R WINAPI Call(A...)
    {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return R();
    }
};

decltype(&::GetProcAddress) RealGetProcAddress;
decltype(&::CreateThread) RealCreateThread;
decltype(&::CreateFileA) RealCreateFileA;
decltype(&::ReadFile) RealReadFile;
decltype(&::CreateEventA) RealCreateEventA;
decltype(&::CreateMutexA) RealCreateMutexA;
decltype(&::OpenEventA) RealOpenEventA;
decltype(&::GetOpenFileNameA) RealGetOpenFileNameA;
decltype(&::SHGetSpecialFolderLocation) RealSHGetSpecialFolderLocation;

template <typename R> R Refuse(DWORD error, R result)
{
    SetLastError(error);
    return result;
}

// CreateThread, lpThreadId: "Windows 95 and Windows 98: This parameter may
// not be NULL." (prothred_4084). The error code is not documented.
HANDLE WINAPI NinexCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                LPVOID parameter, DWORD flags, LPDWORD threadId)
{
    if (!threadId) return Refuse<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    return RealCreateThread(security, stack, start, parameter, flags, threadId);
}

// CreateFile (filesio_7wmd): FILE_SHARE_DELETE is "Windows NT only"; the
// ERROR_INVALID_PARAMETER is not documented. Folder handles: "Windows NT: You
// can obtain a handle to a directory ... FILE_FLAG_BACKUP_SEMANTICS"
// (filesio_3b03), none on 9x.
HANDLE WINAPI NinexCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile)
{
    if (share & FILE_SHARE_DELETE) return Refuse(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (IsExistingFolder(name)) return Refuse(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    return RealCreateFileA(name, access, share, security, disposition, flags, templateFile);
}

// ReadFile, lpNumberOfBytesRead: "Windows 95 and Windows 98: This parameter
// cannot be NULL." (filesio_39id)
BOOL WINAPI NinexReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped)
{
    if (!read) return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    return RealReadFile(file, buffer, size, read, overlapped);
}

// Object names (CreateEvent, synchro_8ub8; CreateMutex, OpenEvent): the name
// "can contain any character except the backslash"; the kernel-object
// namespaces ("Global\", "Local\") came with Terminal Services.
bool HasBackslash(LPCSTR name) { return name && FindFirstChar(name, '\\'); }

HANDLE WINAPI NinexCreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manual, BOOL initial, LPCSTR name)
{
    if (HasBackslash(name)) return Refuse<HANDLE>(ERROR_INVALID_NAME, nullptr);
    return RealCreateEventA(security, manual, initial, name);
}

HANDLE WINAPI NinexCreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL owned, LPCSTR name)
{
    if (HasBackslash(name)) return Refuse<HANDLE>(ERROR_INVALID_NAME, nullptr);
    return RealCreateMutexA(security, owned, name);
}

HANDLE WINAPI NinexOpenEventA(DWORD access, BOOL inherit, LPCSTR name)
{
    if (HasBackslash(name)) return Refuse<HANDLE>(ERROR_INVALID_NAME, nullptr);
    return RealOpenEventA(access, inherit, name);
}

// OPENFILENAME (msdn-2000-04, comdlg): the systems before 2000 know only the
// layout of OPENFILENAME_SIZE_VERSION_400 and fail any other size.
BOOL WINAPI NinexGetOpenFileNameA(LPOPENFILENAMEA request)
{
    if (request->lStructSize != OPENFILENAME_SIZE_VERSION_400A) return Refuse(ERROR_INVALID_PARAMETER, FALSE);
    return RealGetOpenFileNameA(request);
}

// The all-users folders are "valid only for Windows NT systems" (CSIDL list,
// shell 4.72), and the local and common application-data folders came with
// shell 5.0 (Windows 2000, Me): Windows 98 has no item list for them.
HRESULT WINAPI NinexSHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* items)
{
    switch (csidl & 0xFF) {
    case CSIDL_COMMON_STARTMENU: case CSIDL_COMMON_PROGRAMS: case CSIDL_COMMON_STARTUP:
    case CSIDL_COMMON_DESKTOPDIRECTORY: case CSIDL_LOCAL_APPDATA: case CSIDL_COMMON_APPDATA:
        *items = nullptr;
        return E_INVALIDARG;
    }
    return RealSHGetSpecialFolderLocation(owner, csidl, items);
}

FARPROC WINAPI NinexGetProcAddress(HMODULE module, LPCSTR name);

struct Row {
    const char* Dll;
    const char* Name;
    void* Answer; // null: not exported on 9x
    void** Real;  // where the real function is kept, for a rule
};

#define NINEX_STUB(dll, name) {dll, #name, (void*)&Fails<decltype(&::name)>::Call, nullptr},
#define NINEX_ABSENT(dll, name) {dll, #name, nullptr, nullptr},
#define NINEX_RULE(dll, name) {dll, #name, (void*)&Ninex##name, (void**)&Real##name},
const Row Rows[] = {
#include "ninex_rows.h"
    NINEX_RULE("kernel32.dll", GetProcAddress)
    NINEX_RULE("kernel32.dll", CreateThread)
    NINEX_RULE("kernel32.dll", CreateFileA)
    NINEX_RULE("kernel32.dll", ReadFile)
    NINEX_RULE("kernel32.dll", CreateEventA)
    NINEX_RULE("kernel32.dll", CreateMutexA)
    NINEX_RULE("kernel32.dll", OpenEventA)
    NINEX_RULE("comdlg32.dll", GetOpenFileNameA)
    NINEX_RULE("shell32.dll", SHGetSpecialFolderLocation)
};

const Row* RowOf(const char* dll, const char* name)
{
    for (const Row& row : Rows)
        if (lstrcmpiA(row.Dll, dll) == 0 && lstrcmpA(row.Name, name) == 0) return &row;
    return nullptr;
}

FARPROC WINAPI NinexGetProcAddress(HMODULE module, LPCSTR name)
{
    char path[MAX_PATH];
    const Row* row = nullptr;
    if (HIWORD(name) && GetModuleFileNameA(module, path, sizeof path)) {
        const char* slash = FindLastChar(path, '\\');
        row = RowOf(slash ? slash + 1 : path, name);
    }
    if (!row) return RealGetProcAddress(module, name);
    if (!row->Answer) return Refuse<FARPROC>(ERROR_PROC_NOT_FOUND, nullptr);
    if (row->Real && !*row->Real) *row->Real = (void*)RealGetProcAddress(module, name);
    return (FARPROC)row->Answer;
}

// Puts the rows' answers into the program's own import table.
int Install()
{
    if (!(GetVersion() & 0x80000000)) return 0;
    BYTE* base = (BYTE*)GetModuleHandleA(nullptr);
    IMAGE_NT_HEADERS* headers = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int patched = 0;
    for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + imports.VirtualAddress); d->Name; ++d) {
        IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name = (const char*)((IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData))->Name;
            const Row* row = RowOf((const char*)(base + d->Name), name);
            if (!row || !row->Answer) continue;
            if (row->Real) *row->Real = (void*)slots->u1.Function;
            DWORD protection;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
            slots->u1.Function = (ULONG_PTR)row->Answer;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            ++patched;
        }
    }
    return patched;
}

[[maybe_unused]] const int Patched = Install();

} // namespace
