// The picker window decides what a run does. With a target it opens the link
// dialog at once; without one it covers the screen, all but transparent, with
// the pointing hand, and the click that follows names the target: its button
// and keys choose between the link dialog, a Desktop shortcut made at once,
// and the program's folder opened in the shell. Then the window closes, which
// ends the program.
#include "picker_window.h"
#include "about_box.h"
#include "app_state.h"
#include "foreground.h"
#include "link_dialog.h"
#include "link_search.h"
#include "owning_program.h"
#include "path_helpers.h"
#include "resource.h"
#include "screen_scale.h"
#include "settings.h"
#include "shortcut_files.h"
#include "unheld_names.h"
#include <shellapi.h>

static HCURSOR PickerCursor; // while picking

static void Close(HWND window)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
}

static int Tell(HWND owner, const char* text, UINT flags)
{
    return MessageBoxA(owner, text, "Pathwick", flags | MB_SETFOREGROUND);
}

BOOL ChooseExecutable(HWND owner, char* path)
{
    path[0] = '\0';
    return AskForExistingFile(owner, path, "EXE Files (*.exe)\0*.exe\0All Files (*.*)\0*.*\0",
                              " アプリケーションの選択  （ファイル選択後“開く”をクリック）");
}

void EnterPickingMode(HWND window)
{
    MoveWindow(window, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
    BringToForeground(window);
    SetCapture(window);
    PickerCursor = LoadScaledCursor(AppState.Instance, IDC_PICKER_CURSOR);
    SetCursor(PickerCursor);
    // The cursor may not take at once while the window comes forward.
    DWORD start = GetTickCount();
    while (GetCursor() != PickerCursor) {
        if (GetTickCount() - start > 3000) break;
        Sleep(100);
        SetCursor(PickerCursor);
    }
}

// The pointing hand is destroyed only once it is no longer the cursor.
static void ReleasePickerCursor()
{
    if (!PickerCursor) return;
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    DestroyCursor(PickerCursor);
    PickerCursor = nullptr;
}

static void OnAfterCreate(HWND window)
{
    if (AppState.ShowAboutAtStart) ShowAboutBox(window);
    if (AppState.TargetPath[0]) {
        // Nothing is made for a look-alike of a name the code page lacks.
        if (TakeShortcutTarget(window, AppState.TargetPath) != LinkTargetNotHeld) ShowLinkDialog(window);
        Close(window);
        return;
    }
    EnterPickingMode(window);
    AppState.PickState = PickWaiting;
}

static void MakeDesktopShortcut(HWND window)
{
    SetLinkNameFromTarget();
    char found[MAX_PATH];
    if (FindLinkInLocation(window, found, AppState.TargetPath, "Desktop", nullptr, 0)) {
        char text[MAX_PATH + 128];
        wsprintfA(text, "すでにデスクトップには %s へのショートカットがあります。", AppState.LinkName);
        Tell(window, text, MB_OK | MB_ICONQUESTION);
        return;
    }
    CreateLinkIn(AppState.TargetPath, "Desktop", nullptr, AppState.LinkName, "");
}

static void OpenProgramFolder(HWND window)
{
    if (!IsExistingFile(AppState.TargetPath)) return;
    char folder[MAX_PATH];
    if (ParentFolderOf(folder, AppState.TargetPath))
        ShellExecuteA(window, KeyIsDown(VK_CONTROL) ? "explore" : "open", folder, nullptr, nullptr, SW_SHOWNORMAL);
    else
        Tell(window, "フォルダ名が取得できませんでした", MB_OK | MB_ICONINFORMATION);
}

// Asks for the program file when the owner of the window was not found.
static bool AskForExecutable(HWND window, HWND root)
{
    char text[256];
    wsprintfA(text,
              "Window Handle %08Xh の Window を作成する\nアプリケーションを検出できませんでした。\n\n"
              "アプリケーションファイルを選択しますか？",
              (unsigned)(UINT_PTR)root);
    if (Tell(window, text, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    MoveWindow(window, 100, 100, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
    BOOL chosen = ChooseExecutable(window, AppState.TargetPath);
    MoveWindow(window, 0, 0, 0, 0, TRUE);
    return chosen != FALSE;
}

static void Pick(HWND window, bool leftButton)
{
    ReleasePickerCursor();
    ReleaseCapture();
    AppState.PickState = PickDone;
    MoveWindow(window, 0, 0, 0, 0, TRUE);
    POINT point;
    GetCursorPos(&point);
    // The click goes on to the window under the pointer, as if we were not there.
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    HWND root = RootWindowOf(WindowFromPoint(point));

    OwnerSearchResult owner = FindOwningProgram(root, AppState.TargetPath, MAX_PATH);
    if (owner == OwnerNameNotHeld) TellNameNotHeld(window);
    if (owner == OwnerNameNotHeld || (owner == OwnerNotFound && !AskForExecutable(window, root))) {
        Close(window);
        return;
    }
    if (!AppState.TargetPath[0])
        ShowAboutBox(window);
    else if (AppState.DesktopDirect)
        MakeDesktopShortcut(window);
    else if (leftButton)
        ShowLinkDialog(window);
    else
        OpenProgramFolder(window);
    Close(window);
}

static void OnButtonDown(HWND window, bool leftButton)
{
    switch (AppState.PickState) {
    case PickWaiting:
        AppState.PickState = PickPressed;
        if (!leftButton) break;
        if (KeyIsDown(VK_CONTROL))
            AppState.DesktopDirect = 1;
        else if (KeyIsDown(VK_SHIFT))
            AppState.ScanOnOpen = 0;
        break;
    case PickIdle:
        Close(window);
        break;
    default:
        break;
    }
}

static void OnButtonUp(HWND window, bool leftButton)
{
    switch (AppState.PickState) {
    case PickPressed:
        Pick(window, leftButton);
        break;
    case PickIdle:
        Close(window);
        break;
    default:
        break;
    }
}

LRESULT CALLBACK PickerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        ReadSettings();
        PostMessageA(window, WM_APP_AFTER_CREATE, 0, 0);
        return 0;
    case WM_DESTROY:
        ReleasePickerCursor();
        WriteSettings();
        PostQuitMessage(0);
        return 0;
    case WM_ENDSESSION:
        if (!wParam) break;
        DestroyWindow(window);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
        OnButtonDown(window, true);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
        OnButtonDown(window, false);
        return 0;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
        OnButtonUp(window, true);
        return 0;
    case WM_RBUTTONUP:
    case WM_NCRBUTTONUP:
        OnButtonUp(window, false);
        return 0;
    default:
        if (message == WM_APP_AFTER_CREATE) {
            OnAfterCreate(window);
            return 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
