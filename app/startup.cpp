// The life of the Quillet process from its entry point to its exit code.
// Every failure at start is silent and every exit code is 0.
#include "startup.h"
#include "app_state.h"
#include "dll_search.h"
#include "elevation.h"
#include "picker_window.h"
#include "path_helpers.h"
#include "unheld_names.h"
#include <commctrl.h>

HANDLE AcquireInstanceMutex(const char* name)
{
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return nullptr;
    }
    return mutex;
}

static void ComposeBesideProgram(char* output, const char* folder, const char* fileName)
{
    if (!ComposePath(output, MAX_PATH, folder, fileName)) output[0] = '\0';
}

void DeriveFilePaths(const char* modulePath)
{
    char folder[MAX_PATH];
    lstrcpynA(folder, modulePath, sizeof folder);
    folder[LastCharIndex(folder, '\\')] = '\0';
    ComposeBesideProgram(AppState.InstallerFilePath, folder, "\\Stowfold.exe");
    ComposeBesideProgram(AppState.HelpFilePath, folder, "\\Dovemere.html");
    ComposeBesideProgram(AppState.SettingsFilePath, folder, "\\Quillet.ini");
}

BOOL DeleteLeftoverInstaller(const char* filePath)
{
    if (!IsExistingFile(filePath)) return FALSE;
    // The installer that started us may still be running: give it time to end.
    for (int attempt = 0; attempt < 15; ++attempt) {
        Sleep(100);
        DeleteFileA(filePath);
        if (!IsExistingFile(filePath)) return TRUE;
    }
    return FALSE;
}

ATOM RegisterPickerClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = PickerWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "Quillet");
    windowClass.hIconSm = LoadIconA(instance, "Quillet");
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)GetStockObject(NULL_BRUSH);
    windowClass.lpszClassName = "Quillet";
    return RegisterClassExA(&windowClass);
}

BOOL LoadLayeredSupport()
{
    LayeredSupportRecord& support = AppState.LayeredSupport;
    support.User32 = LoadLibraryA("user32.dll");
    if (!support.User32) return FALSE;
    support.SetLayeredWindowAttributes =
        (SetLayeredWindowAttributesFn)(void*)GetProcAddress(support.User32, "SetLayeredWindowAttributes");
    if (!support.SetLayeredWindowAttributes) {
        FreeLibrary(support.User32);
        support.User32 = nullptr;
        return FALSE;
    }
    support.EnumDisplayMonitors = (EnumDisplayMonitorsFn)(void*)GetProcAddress(support.User32, "EnumDisplayMonitors");
    if (!support.EnumDisplayMonitors) {
        FreeLibrary(support.User32);
        support.User32 = nullptr;
        support.SetLayeredWindowAttributes = nullptr;
        return FALSE;
    }
    return TRUE;
}

BOOL UnloadLayeredSupport()
{
    LayeredSupportRecord& support = AppState.LayeredSupport;
    if (!support.User32 || !FreeLibrary(support.User32)) return FALSE;
    support = {nullptr, nullptr, nullptr};
    return TRUE;
}

BOOL CreatePickerWindow(HINSTANCE instance, int showCommand)
{
    AppState.Instance = instance;
    bool layered = AppState.LayeredSupport.SetLayeredWindowAttributes != nullptr;
    DWORD exStyle = layered ? (WS_EX_LAYERED | WS_EX_TOOLWINDOW) : (WS_EX_TOOLWINDOW | WS_EX_TRANSPARENT);
    HWND window = CreateWindowExA(exStyle, "Quillet", "Pathwick", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                                  nullptr);
    if (!window) return FALSE;
    // Alpha 1 of 255: all but invisible, and still receives the mouse.
    if (layered) AppState.LayeredSupport.SetLayeredWindowAttributes(window, 0, 1, LWA_ALPHA);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    return TRUE;
}

static void ReadStartKeys()
{
    bool shift = KeyIsDown(VK_SHIFT);
    bool control = KeyIsDown(VK_CONTROL);
    if (shift && control) {
        lstrcpynA(AppState.TargetPath, AppState.ModulePath, MAX_PATH);
        AppState.ShowAboutAtStart = 1;
    } else if (control) {
        AppState.DesktopDirect = 1;
    } else if (shift) {
        AppState.ScanOnOpen = 0;
    }
}

static int RunMessageLoop()
{
    MSG message;
    BOOL status;
    while ((status = GetMessageA(&message, nullptr, 0, 0)) != 0 && status != -1) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return status == -1 ? 0 : (int)message.wParam;
}

// Closes the guard, which a run of another account may have gone on without.
static int EndRun(HANDLE mutex)
{
    if (mutex) CloseHandle(mutex);
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR argumentText, int showCommand)
{
    // First of all: a DLL planted beside the program must never load, least
    // of all in a run the user has just given an administrator's rights.
    LoadDllsFromSystemFolderOnly();
    // A run started by the offer to open again as administrator shares the
    // guard with the run that started it, instead of ending at the sight of
    // it; with no hand-over pending it is an ordinary start.
    char handedTarget[MAX_PATH];
    bool handOver = TakeHandOverMarker(argumentText, handedTarget);
    const char* target = handOver ? handedTarget : argumentText;
    HANDLE mutex = nullptr;
    if (!handOver || !JoinInstanceMutex(&mutex)) {
        mutex = AcquireInstanceMutex(InstanceMutexName);
        if (!mutex) return 0;
    }

    GetModuleFileNameA(instance, AppState.ModulePath, MAX_PATH);
    DeriveFilePaths(AppState.ModulePath);
    if (DeleteLeftoverInstaller(AppState.InstallerFilePath)) return EndRun(mutex);

    if (target && *target) {
        lstrcpynA(AppState.TargetPath, target, MAX_PATH);
        StripEnclosingQuotes(AppState.TargetPath);
    }
    ReadStartKeys();
    // A target whose name the code page cannot hold arrived here as another
    // path: say so and end, rather than show or link that path.
    if (!AppState.ShowAboutAtStart && !ArgumentTextFitsCodePage()) {
        TellNameNotHeld(nullptr);
        return EndRun(mutex);
    }

    // Windows XP loads the current controls that the manifest asks for only
    // when the program calls into them once.
    InitCommonControls();
    if (!RegisterPickerClass(instance)) return EndRun(mutex);
    LoadLayeredSupport();
    if (!CreatePickerWindow(instance, showCommand)) {
        UnloadLayeredSupport();
        return EndRun(mutex);
    }
    int exitCode = RunMessageLoop();
    UnloadLayeredSupport();
    FinishHandOver();
    EndRun(mutex);
    return exitCode;
}
