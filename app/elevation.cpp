// Since Windows Vista an administrator's programs start with a limited token,
// and the all-users Desktop, Startup, Start Menu and Programs take new files
// only from an elevated program. When such a place refuses, the program offers
// to open itself again as administrator with what the user had in the dialog.
//
// The hand-over keeps the single-instance guard alive throughout, so a third
// start in between always finds a run and ends. The guard is a named mutex
// that counts as taken while any handle to it is open. The old run takes
// ownership of it and opens a named event before it starts the new run with
// a private marker and the dialog's texts. The marked run finds the event
// (none means no hand-over is pending: it is an ordinary start), opens the
// guard although it exists, sets the event, and then waits to own the guard.
// The old run closes its dialog as usual (its settings are written), waits
// for the event, and only then lets go: the guard never vanishes, and the new
// run reads the settings only after the old run has written them. The texts
// must travel on the command line: an elevated run inherits no handles from
// the run that asked for it, and may run under another account.
#include "elevation.h"
#include "app_state.h"
#include "path_helpers.h"
#include "resource.h"
#include <shellapi.h>

const char InstanceMutexName[] = "Mutex_Pathwick";
// '|' cannot stand in any path, so no target begins with the marker.
static const char HandOverMarker[] = "|HandOver|";
static const char HandOverEventName[] = "Pathwick_HandOver";
// Long enough for a slow elevated start, short enough that a run whose
// partner died does not linger unseen for long. Without the new run's
// process there is no end of it to see: a few seconds only.
const DWORD HandOverLimitMs = 30000;
const DWORD HandOverBlindLimitMs = 5000;
// The shell of Windows XP and Vista refuses a longer command line.
const int CommandLineLimit = 2048;

static const char OfferText[] = "%s のショートカットを作成・削除するには管理者の権限が必要です。\n\n"
                                "Pathwick を管理者として開き直しますか？";

// The boxes whose texts travel, in their order on the command line.
static const int HandedBoxes[] = {IDC_TARGET,          IDC_LINKNAME,       IDC_DESCRIPTION,
                                  IDC_GROUP_STARTMENU, IDC_GROUP_PROGRAMS, IDC_GROUP_C_STARTMENU,
                                  IDC_GROUP_C_PROGRAMS, IDC_USERFOLDER};
const int HandedCount = sizeof HandedBoxes / sizeof HandedBoxes[0];
const int FirstGroup = 3;

struct HandOverRecord {
    HANDLE Guard;    // owned by this thread until the new run holds its own handle
    HANDLE HandOver; // set by the new run
    HANDLE Process;  // the new run, when the shell gives it; its end stops the wait too
};
static HandOverRecord Pending;

// What a marked run was handed: all texts, or the target alone when the
// others did not fit on the command line.
static char Handed[HandedCount][MAX_PATH];
static bool TextsHanded;
static bool GroupsToShow;

bool IsAllUsersPlace(const char* valueName)
{
    static const char* const names[] = {"Common Desktop", "Common Startup", "Common Start Menu", "Common Programs"};
    if (!valueName) return false;
    for (const char* name : names)
        if (lstrcmpA(valueName, name) == 0) return true;
    return false;
}

// TokenElevationTypeDefault on any failure.
static TOKEN_ELEVATION_TYPE ElevationType()
{
    typedef BOOL(WINAPI * OpenProcessTokenFn)(HANDLE, DWORD, HANDLE*);
    typedef BOOL(WINAPI * GetTokenInformationFn)(HANDLE, TOKEN_INFORMATION_CLASS, void*, DWORD, DWORD*);
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    if (!advapi) return TokenElevationTypeDefault;
    OpenProcessTokenFn openToken = (OpenProcessTokenFn)(void*)GetProcAddress(advapi, "OpenProcessToken");
    GetTokenInformationFn readToken = (GetTokenInformationFn)(void*)GetProcAddress(advapi, "GetTokenInformation");
    HANDLE token = nullptr;
    if (!openToken || !readToken || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return TokenElevationTypeDefault;
    // Before Vista the system does not know this information class.
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!readToken(token, TokenElevationType, &type, sizeof type, &size) || size != sizeof type)
        type = TokenElevationTypeDefault;
    CloseHandle(token);
    return type;
}

bool HasLimitedAdminToken()
{
    return ElevationType() == TokenElevationTypeLimited;
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

typedef DWORD(WINAPI* WNetGetUniversalNameAFn)(LPCSTR, DWORD, LPVOID, LPDWORD);

// A path on a mapped network letter becomes the share's own path: by
// default an elevated run does not see the letters of the limited session.
// A share path that does not fit leaves the letter, never a cut path.
static void UseShareName(WNetGetUniversalNameAFn lookup, char* path)
{
    if (!lookup || !StartsAtDriveRoot(path)) return;
    union {
        UNIVERSAL_NAME_INFOA Info;
        char Bytes[sizeof(UNIVERSAL_NAME_INFOA) + 2 * MAX_PATH];
    } answer;
    DWORD size = sizeof answer;
    if (lookup(path, UNIVERSAL_NAME_INFO_LEVEL, &answer, &size) == NO_ERROR && answer.Info.lpUniversalName &&
        lstrlenA(answer.Info.lpUniversalName) < MAX_PATH)
        lstrcpynA(path, answer.Info.lpUniversalName, MAX_PATH);
}

// The dialog's texts as the new run is to show them. A text too long for
// its box's use is handed over empty, never cut into another path; the
// description is read as a click reads it.
static void ReadHandedTexts(HWND dialog, char texts[][MAX_PATH], char* program)
{
    for (int i = 0; i < HandedCount; ++i) {
        char text[4 * MAX_PATH];
        GetDlgItemTextA(dialog, HandedBoxes[i], text, HandedBoxes[i] == IDC_DESCRIPTION ? MAX_PATH : sizeof text);
        lstrcpynA(texts[i], lstrlenA(text) < MAX_PATH ? text : "", MAX_PATH);
    }
    lstrcpynA(program, AppState.ModulePath, MAX_PATH);
    // Loaded here only: the offer is made on Vista and later alone.
    HMODULE mpr = LoadLibraryA("mpr.dll");
    WNetGetUniversalNameAFn lookup =
        mpr ? (WNetGetUniversalNameAFn)(void*)GetProcAddress(mpr, "WNetGetUniversalNameA") : nullptr;
    UseShareName(lookup, texts[0]);
    UseShareName(lookup, texts[HandedCount - 1]);
    UseShareName(lookup, program);
    if (mpr) FreeLibrary(mpr);
}

// A byte the command line or the field separator would take for its own.
static bool NeedsEscape(unsigned char byte)
{
    return byte < 0x20 || byte == '%' || byte == '|' || byte == '"';
}

// Appends `text` and its '|' to `output` of `size` bytes, each byte that
// needs it as %XX. A two-byte character travels whole or escaped whole, so
// no separator ever follows a lone lead byte. False when it does not fit.
static bool AppendField(char* output, int size, const char* text)
{
    int length = lstrlenA(output);
    for (const unsigned char* c = (const unsigned char*)text; *c; ++c) {
        if (length + 4 >= size) return false;
        if (IsLeadByte(*c) && c[1] && !NeedsEscape(c[1])) {
            output[length++] = (char)*c++;
            output[length++] = (char)*c;
        } else if (NeedsEscape(*c) || IsLeadByte(*c)) {
            wsprintfA(output + length, "%%%02X", *c);
            length += 3;
        } else {
            output[length++] = (char)*c;
        }
    }
    if (length + 1 >= size) return false;
    output[length++] = '|';
    output[length] = '\0';
    return true;
}

// The marker and `count` texts, within what the shell takes beside `program`.
static bool ComposeParameters(char* output, const char* program, char texts[][MAX_PATH], int count)
{
    int size = CommandLineLimit - lstrlenA(program) - 3; // the quoted program and a blank come first
    lstrcpynA(output, HandOverMarker, CommandLineLimit);
    for (int i = 0; i < count; ++i)
        if (!AppendField(output, size, texts[i])) return false;
    return true;
}

static bool StartAsAdmin(HWND owner)
{
    char texts[HandedCount][MAX_PATH], program[MAX_PATH], parameters[CommandLineLimit];
    ReadHandedTexts(owner, texts, program);
    // All the texts, or at least the target, as before.
    if (!ComposeParameters(parameters, program, texts, HandedCount) &&
        !ComposeParameters(parameters, program, texts, 1))
        return false;
    SHELLEXECUTEINFOA request = {};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_NOCLOSEPROCESS;
    request.hwnd = owner;
    request.lpVerb = "runas";
    request.lpFile = program;
    request.lpParameters = parameters;
    request.nShow = SW_SHOWNORMAL;
    // The shell may hand the verb to a COM object: it wants an apartment.
    HRESULT comStatus = CoInitialize(nullptr);
    BOOL started = ShellExecuteExA(&request);
    if (SUCCEEDED(comStatus)) CoUninitialize();
    if (started) Pending.Process = request.hProcess;
    return started != FALSE;
}

bool OfferRestartAsAdmin(HWND dialog, const char* placeName)
{
    // A click handled while the question is open (the box dispatches the
    // dialog's queued messages) or after a Yes asks nothing more.
    static bool asking;
    if (asking || Pending.Guard) return false;
    char question[sizeof OfferText + 100];
    char place[100];
    lstrcpynA(place, placeName, sizeof place);
    wsprintfA(question, OfferText, place);
    asking = true;
    int answer = MessageBoxA(dialog, question, "Pathwick", MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
    asking = false;
    if (answer != IDYES) return false;
    if (!PrepareHandOver()) return false;
    // Declined at the consent prompt (ERROR_CANCELLED) or failed: this run
    // goes on as if No had been answered.
    if (StartAsAdmin(dialog)) return true;
    ReleaseMutex(Pending.Guard);
    ClosePending();
    return false;
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One text up to its '|' into 260 bytes; false for a text that is not one
// the offer composes.
static bool TakeField(const char** text, char* output)
{
    int length = 0;
    const char* c = *text;
    for (; *c && *c != '|'; ++c) {
        int byte = (unsigned char)*c;
        if (byte == '%') {
            int high = HexDigit(c[1]), low = high < 0 ? -1 : HexDigit(c[2]);
            if (low < 0) return false;
            byte = high * 16 + low;
            c += 2;
        }
        if (byte == 0 || length >= MAX_PATH - 1) return false;
        output[length++] = (char)byte;
    }
    if (*c != '|') return false;
    output[length] = '\0';
    *text = c + 1;
    return true;
}

bool TakeHandOverMarker(const char* argumentText, char* target)
{
    if (!argumentText || !HasPrefix(argumentText, HandOverMarker)) return false;
    const char* rest = argumentText + lstrlenA(HandOverMarker);
    int count = 0;
    while (count < HandedCount && *rest && TakeField(&rest, Handed[count])) ++count;
    if (*rest || (count != 1 && count != HandedCount)) return false;
    TextsHanded = GroupsToShow = count == HandedCount;
    lstrcpynA(target, Handed[0], MAX_PATH);
    return true;
}

bool JoinInstanceMutex(HANDLE* guard)
{
    *guard = nullptr;
    HANDLE handOver = OpenEventA(EVENT_MODIFY_STATE, FALSE, HandOverEventName);
    // The account given at the consent prompt may be another administrator's,
    // whose run may open neither the event nor the guard: it goes on alone.
    if (!handOver && GetLastError() != ERROR_ACCESS_DENIED) return false;
    *guard = CreateMutexA(nullptr, FALSE, InstanceMutexName);
    if (handOver) {
        SetEvent(handOver);
        CloseHandle(handOver);
    }
    if (!*guard) return true;
    DWORD waited = WaitForSingleObject(*guard, HandOverLimitMs);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(*guard);
    return true;
}

void FinishHandOver()
{
    if (!Pending.Guard) return;
    HANDLE waits[2] = {Pending.HandOver, Pending.Process};
    WaitForMultipleObjects(Pending.Process ? 2 : 1, waits, FALSE,
                           Pending.Process ? HandOverLimitMs : HandOverBlindLimitMs);
    ReleaseMutex(Pending.Guard);
    ClosePending();
}

void ShowHandedOverTexts(HWND dialog, bool scanFollows)
{
    if (!TextsHanded) return;
    TextsHanded = false;
    const char* name = Handed[1];
    if (name[0]) {
        lstrcpynA(AppState.LinkName, name, MAX_PATH);
        SetDlgItemTextA(dialog, IDC_LINKNAME, name);
    }
    SetDlgItemTextA(dialog, IDC_DESCRIPTION, Handed[2]);
    // An empty box keeps the folder of the settings, which may be a folder
    // that was missing when the old run opened.
    const char* folder = Handed[HandedCount - 1];
    if (folder[0]) {
        SetUserFolder(folder);
        SetDlgItemTextA(dialog, IDC_USERFOLDER, folder);
    }
    if (!scanFollows) ShowHandedOverGroups(dialog);
}

void ShowHandedOverGroups(HWND dialog)
{
    if (!GroupsToShow) return;
    GroupsToShow = false;
    for (int i = FirstGroup; i < FirstGroup + 4; ++i) SetDlgItemTextA(dialog, HandedBoxes[i], Handed[i]);
}

void LetShellDropsThrough(HWND dialog)
{
    typedef BOOL(WINAPI * FilterForWindowFn)(HWND, UINT, DWORD, void*);
    typedef BOOL(WINAPI * FilterForProcessFn)(UINT, DWORD);
    const DWORD MessageAllowed = 1; // MSGFLT_ALLOW, and MSGFLT_ADD of Vista's process-wide form
    const UINT CopyGlobalData = 0x0049;
    static const UINT messages[] = {WM_DROPFILES, WM_COPYDATA, CopyGlobalData};
    if (ElevationType() != TokenElevationTypeFull) return;
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (!user32) return;
    FilterForWindowFn forWindow =
        (FilterForWindowFn)(void*)GetProcAddress(user32, "ChangeWindowMessageFilterEx"); // Windows 7
    FilterForProcessFn forProcess =
        (FilterForProcessFn)(void*)GetProcAddress(user32, "ChangeWindowMessageFilter"); // Vista
    HWND windows[] = {dialog, GetDlgItem(dialog, IDC_TARGET)}; // the box takes the drop
    for (UINT message : messages) {
        if (forWindow) {
            for (HWND window : windows) forWindow(window, message, MessageAllowed, nullptr);
        } else if (forProcess) {
            forProcess(message, MessageAllowed);
        }
    }
}
