// Since Windows Vista an administrator's programs start with a limited token,
// and the all-users Desktop, Startup, Start Menu and Programs take new files
// only from an elevated program. When such a place refuses, the program offers
// to open itself again as administrator on the same target.
//
// The hand-over keeps the single-instance guard alive throughout, so a third
// start in between always finds a run and ends. The guard is a named mutex
// that counts as taken while any handle to it is open. The old run takes
// ownership of it and opens a named event before it starts the new run with
// a private marker in front of the target. The marked run opens the guard
// although it exists, sets the event, and then waits to own the guard. The
// old run closes its dialog as usual (its settings are written), waits for
// the event, and only then lets go: the guard never vanishes, and the new run
// reads the settings only after the old run has written them. The marker
// must travel on the command line: an elevated run inherits no handles from
// the run that asked for it.
#include "elevation.h"
#include "app_state.h"
#include "path_helpers.h"
#include <shellapi.h>

const char InstanceMutexName[] = "Mutex_Pathwick";
// '|' cannot stand in any path, so no target begins with the marker.
static const char HandOverMarker[] = "|HandOver|";
static const char HandOverEventName[] = "Pathwick_HandOver";
// Long enough for a slow elevated start, short enough that a run whose
// partner died does not linger unseen for long.
const DWORD HandOverLimitMs = 30000;

static const char OfferText[] = "%s のショートカットを作成・削除するには管理者の権限が必要です。\n\n"
                                "Pathwick を管理者として開き直しますか？";

struct HandOverRecord {
    HANDLE Guard;    // owned by this thread until the new run holds its own handle
    HANDLE HandOver; // set by the new run
    HANDLE Process;  // the new run, when the shell gives it; its end stops the wait too
};
static HandOverRecord Pending;

bool IsAllUsersPlace(const char* valueName)
{
    static const char* const names[] = {"Common Desktop", "Common Startup", "Common Start Menu", "Common Programs"};
    if (!valueName) return false;
    for (const char* name : names)
        if (lstrcmpA(valueName, name) == 0) return true;
    return false;
}

bool HasLimitedAdminToken()
{
    typedef BOOL(WINAPI * OpenProcessTokenFn)(HANDLE, DWORD, HANDLE*);
    typedef BOOL(WINAPI * GetTokenInformationFn)(HANDLE, TOKEN_INFORMATION_CLASS, void*, DWORD, DWORD*);
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (!advapi) return false;
    OpenProcessTokenFn openToken = (OpenProcessTokenFn)(void*)GetProcAddress(advapi, "OpenProcessToken");
    GetTokenInformationFn readToken = (GetTokenInformationFn)(void*)GetProcAddress(advapi, "GetTokenInformation");
    HANDLE token = nullptr;
    if (!openToken || !readToken || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    // Before Vista the system does not know this information class.
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    bool limited = readToken(token, TokenElevationType, &type, sizeof type, &size) && size == sizeof type &&
                   type == TokenElevationTypeLimited;
    CloseHandle(token);
    return limited;
}

static void ClosePending()
{
    if (Pending.Guard) CloseHandle(Pending.Guard);
    if (Pending.HandOver) CloseHandle(Pending.HandOver);
    if (Pending.Process) CloseHandle(Pending.Process);
    Pending = {nullptr, nullptr, nullptr};
}

// Owns the guard and opens the event before the new run can look for them.
// An event left set by an earlier hand-over must not count for this one.
static bool PrepareHandOver()
{
    Pending.Guard = CreateMutexA(nullptr, FALSE, InstanceMutexName);
    Pending.HandOver = CreateEventA(nullptr, TRUE, FALSE, HandOverEventName);
    if (Pending.Guard && Pending.HandOver && ResetEvent(Pending.HandOver) &&
        WaitForSingleObject(Pending.Guard, 0) == WAIT_OBJECT_0)
        return true;
    ClosePending();
    return false;
}

static bool StartAsAdmin(HWND owner, const char* target)
{
    char parameters[MAX_PATH + 32];
    if (lstrlenA(target) >= MAX_PATH) return false;
    wsprintfA(parameters, "%s \"%s\"", HandOverMarker, target);
    SHELLEXECUTEINFOA request = {};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_NOCLOSEPROCESS;
    request.hwnd = owner;
    request.lpVerb = "runas";
    request.lpFile = AppState.ModulePath;
    request.lpParameters = parameters;
    request.nShow = SW_SHOWNORMAL;
    // The shell may hand the verb to a COM object: it wants an apartment.
    HRESULT comStatus = CoInitialize(nullptr);
    BOOL started = ShellExecuteExA(&request);
    if (SUCCEEDED(comStatus)) CoUninitialize();
    if (started) Pending.Process = request.hProcess;
    return started != FALSE;
}

bool OfferRestartAsAdmin(HWND owner, const char* placeName, const char* target)
{
    char question[sizeof OfferText + 100];
    char place[100];
    lstrcpynA(place, placeName, sizeof place);
    wsprintfA(question, OfferText, place);
    if (MessageBoxA(owner, question, "Pathwick", MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES) return false;
    if (!PrepareHandOver()) return false;
    // Declined at the consent prompt (ERROR_CANCELLED) or failed: this run
    // goes on as if No had been answered.
    if (StartAsAdmin(owner, target)) return true;
    ReleaseMutex(Pending.Guard);
    ClosePending();
    return false;
}

bool TakeHandOverMarker(const char* argumentText, const char** target)
{
    *target = argumentText;
    if (!argumentText || !HasPrefix(argumentText, HandOverMarker)) return false;
    const char* rest = argumentText + lstrlenA(HandOverMarker);
    while (*rest == ' ') ++rest;
    *target = rest;
    return true;
}

HANDLE JoinInstanceMutex()
{
    HANDLE guard = CreateMutexA(nullptr, FALSE, InstanceMutexName);
    if (!guard) return nullptr;
    HANDLE handOver = OpenEventA(EVENT_MODIFY_STATE, FALSE, HandOverEventName);
    if (handOver) {
        SetEvent(handOver);
        CloseHandle(handOver);
    }
    DWORD waited = WaitForSingleObject(guard, HandOverLimitMs);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(guard);
    return guard;
}

void FinishHandOver()
{
    if (!Pending.Guard) return;
    HANDLE waits[2] = {Pending.HandOver, Pending.Process};
    WaitForMultipleObjects(Pending.Process ? 2 : 1, waits, FALSE, HandOverLimitMs);
    ReleaseMutex(Pending.Guard);
    ClosePending();
}
