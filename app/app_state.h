// The main program's process-wide record and its private window messages.
#pragma once
#include <windows.h>

const UINT WM_APP_START_SCAN = WM_APP + 100;   // 0x8064
const UINT WM_APP_PAINT_MARKS = WM_APP + 110;  // 0x806E
const UINT WM_APP_AFTER_CREATE = WM_APP + 120; // 0x8078

enum PickStates { PickIdle = 0, PickWaiting = 1, PickPressed = 2, PickDone = 3 };

typedef BOOL(WINAPI* SetLayeredWindowAttributesFn)(HWND, COLORREF, BYTE, DWORD);
typedef BOOL(WINAPI* EnumDisplayMonitorsFn)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);

struct LayeredSupportRecord {
    HMODULE User32;
    SetLayeredWindowAttributesFn SetLayeredWindowAttributes;
    EnumDisplayMonitorsFn EnumDisplayMonitors;
};

struct AppStateRecord {
    char TargetPath[MAX_PATH];
    char LinkName[MAX_PATH];
    char UserFolder[MAX_PATH]; // guarded by UserFolderLock while a scan may run
    char ModulePath[MAX_PATH];
    char InstallerFilePath[MAX_PATH];
    char HelpFilePath[MAX_PATH];
    char SettingsFilePath[MAX_PATH];
    int ShowAboutAtStart;
    int DesktopDirect;
    int ScanOnOpen;
    volatile LONG PickState;
    HANDLE volatile ScanThreadHandle;
    volatile LONG CloseAfterScan;
    HINSTANCE Instance;
    LayeredSupportRecord LayeredSupport;
};
extern AppStateRecord AppState;

// UserFolder is the one text the dialog may change while the scan thread
// reads it. The lock is held only while the text is copied or tested, never
// across a control update or a dialog.
void CopyUserFolder(char* output);           // output: 260 bytes
void SetUserFolder(const char* folder);
bool UserFolderExists();

inline bool KeyIsDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }
