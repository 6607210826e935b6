// The scan thread visits the eleven places in a fixed order, ticks those that
// hold a shortcut to the target and leaves the group found in the group box.
// It touches the dialog only through messages, which the user-interface
// thread processes; that thread never waits for this one.
#include "scan_thread.h"
#include "app_state.h"
#include "elevation.h"
#include "link_search.h"
#include "path_helpers.h"
#include "resource.h"
#include "screen_scale.h"
#include "shell_folders.h"

struct SearchStep {
    int BoxId;
    const char* ValueName;
    const char* FourthArgument;
    int ProgressBox;
    const char* SearchingText;
};

// Stages 1 to 10; stage 11 is the user folder, searched only when it exists.
static const SearchStep SearchOrder[10] = {
    {IDC_PLACE_DESKTOP, "Desktop", nullptr, 0, nullptr},
    {IDC_PLACE_STARTUP, "Startup", nullptr, 0, nullptr},
    {IDC_PLACE_QUICKLAUNCH, "AppData", QuickLaunchSubPath, 0, nullptr},
    {IDC_PLACE_SENDTO, "SendTo", nullptr, 0, nullptr},
    {IDC_PLACE_STARTMENU, "Start Menu", nullptr, IDC_GROUP_STARTMENU, "ｽﾀｰﾄ ﾒﾆｭｰ を検索中"},
    {IDC_PLACE_PROGRAMS, "Programs", nullptr, IDC_GROUP_PROGRAMS, "ﾌﾟﾛｸﾞﾗﾑ を検索中"},
    {IDC_PLACE_C_DESKTOP, "Common Desktop", nullptr, 0, nullptr},
    {IDC_PLACE_C_STARTUP, "Common Startup", nullptr, 0, nullptr},
    {IDC_PLACE_C_STARTMENU, "Common Start Menu", nullptr, IDC_GROUP_C_STARTMENU, "ｽﾀｰﾄ ﾒﾆｭｰ を検索中"},
    {IDC_PLACE_C_PROGRAMS, "Common Programs", nullptr, IDC_GROUP_C_PROGRAMS, "ﾌﾟﾛｸﾞﾗﾑ を検索中"},
};

// The box of each stage 1..11, for the marks.
static const int StageBoxes[11] = {401, 402, 405, 406, 403, 404, 407, 408, 409, 410, 411};

const COLORREF MarkColours[3] = {RGB(0, 0xC0, 0), RGB(0, 0xFF, 0xFF), RGB(0, 0xA0, 0xFF)};

void UncheckAllLocations(HWND dialog)
{
    for (int id = IDC_PLACE_DESKTOP; id <= IDC_PLACE_USERFOLDER; ++id)
        SendDlgItemMessageA(dialog, id, BM_SETCHECK, BST_UNCHECKED, 0);
}

void PaintProgressMark(HWND dialog, int boxId, int state)
{
    RECT dialogRect, boxRect;
    GetWindowRect(dialog, &dialogRect);
    GetWindowRect(GetDlgItem(dialog, boxId), &boxRect);
    // The square follows the checkbox, which grows with the dialog font; the
    // margins, given for 96 DPI, follow the screen's scale.
    int height = boxRect.bottom - boxRect.top;
    int side = (height / 3) * 2 - ScaleToScreen(2);
    RECT square;
    square.left = (boxRect.left - dialogRect.left) - side - ScaleToScreen(4);
    square.right = square.left + side;
    square.top = (boxRect.top - dialogRect.top) + (height - side) / 2;
    square.bottom = square.top + side;

    HBRUSH brush = CreateSolidBrush(MarkColours[state == MarkWaiting || state == MarkSearching ? state : MarkDone]);
    HDC context = GetWindowDC(dialog);
    FillRect(context, &square, brush);
    ReleaseDC(dialog, context);
    DeleteObject(brush);
}

static int MarkStateAt(int stageOfBox, int stage)
{
    if (stage >= ScanStageAllDone) return MarkDone;
    if (stageOfBox < stage) return MarkDone;
    if (stageOfBox == stage) return MarkSearching;
    return MarkWaiting;
}

void PaintProgressMarks(HWND dialog, int stage)
{
    bool userFolderShown = UserFolderExists();
    for (int id = IDC_PLACE_DESKTOP; id <= IDC_PLACE_USERFOLDER; ++id) {
        if (id == IDC_PLACE_USERFOLDER && !userFolderShown) break;
        int stageOfBox = 0;
        for (int k = 0; k < 11; ++k)
            if (StageBoxes[k] == id) stageOfBox = k + 1;
        PaintProgressMark(dialog, id, MarkStateAt(stageOfBox, stage));
    }
}

// Makes the scan thread's last look at CloseAfterScan and the clearing of its
// handle one step, as seen from the dialog's close; held only for a moment.
static CRITICAL_SECTION ScanEndLock;
static bool ScanEndLockReady = [] {
    InitializeCriticalSection(&ScanEndLock);
    return true;
}();

bool RequestCloseAfterScan()
{
    EnterCriticalSection(&ScanEndLock);
    bool running = AppState.ScanThreadHandle != nullptr;
    if (running) {
        SweepState.StopRequested = 1;
        AppState.CloseAfterScan = 1;
    }
    LeaveCriticalSection(&ScanEndLock);
    return running;
}

int StartScan(HWND dialog)
{
    EnterCriticalSection(&ScanEndLock);
    bool running = AppState.ScanThreadHandle != nullptr;
    if (running) SetThreadPriority(AppState.ScanThreadHandle, THREAD_PRIORITY_ABOVE_NORMAL);
    LeaveCriticalSection(&ScanEndLock);
    if (running) return 1;

    // Created suspended, so the handle is stored before the thread can clear it.
    // Windows 95, 98 and Me refuse a null thread-id pointer.
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, ScanThread, dialog, CREATE_SUSPENDED, &threadId);
    if (!thread) return 0;
    AppState.ScanThreadHandle = thread;
    SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
    if (ResumeThread(thread) == (DWORD)-1) {
        // It never ran a step, so it holds nothing: end it, and the dialog
        // stays idle instead of waiting for a scan that never comes.
        TerminateThread(thread, 0);
        AppState.ScanThreadHandle = nullptr;
        CloseHandle(thread);
        return 0;
    }
    return 1;
}

static void ShowStartText(HWND dialog)
{
    char text[MAX_PATH + 64];
    if (AppState.LinkName[0])
        wsprintfA(text, "%s へのショートカット情報を検索中です", AppState.LinkName);
    else
        lstrcpyA(text, "下に示す１１ヶ所にリンク切れがあるかどうか確認中です");
    SetDlgItemTextA(dialog, IDC_STATUS, text);
}

// A finished check that passed shortcuts or folders over says how many,
// rather than calling the places in order. Short enough for the one-line status.
static void ShowSweepWithSkipped(char* text)
{
    int broken = SweepState.BrokenCount, deleted = SweepState.DeletedCount, skipped = SweepState.SkippedCount;
    if (broken == 0)
        wsprintfA(text, "リンク切れはありませんでしたが %d 個は確認できませんでした", skipped);
    else if (deleted != 0)
        wsprintfA(text, "%d 個のリンク切れのうち %d 個を削除し %d 個は確認できませんでした", broken, deleted, skipped);
    else
        wsprintfA(text, "%d 個のショートカットのリンク切れがあり %d 個は確認できませんでした", broken, skipped);
}

static void ShowSummary(HWND dialog)
{
    char text[MAX_PATH + 128];
    if (AppState.LinkName[0] && SweepState.StopRequested)
        wsprintfA(text, "%s へのショートカットを作成したい項目にチェックしてください　（検索処理は中断しました）",
                  AppState.LinkName);
    else if (AppState.LinkName[0])
        wsprintfA(text, "%s へのショートカットを作成したい項目にチェックしてください", AppState.LinkName);
    else if (!SweepState.DeadLinkMode)
        lstrcpyA(text, "上の欄にファイル名またはフォルダ名を指定してください");
    else if (SweepState.StopRequested)
        lstrcpyA(text, "リンク切れチェックを中断しました");
    else if (SweepState.SkippedCount != 0)
        ShowSweepWithSkipped(text);
    else if (SweepState.BrokenCount == 0)
        lstrcpyA(text, "下に示す１１ヶ所のリンク情報は正常でした");
    else if (SweepState.DeletedCount != 0)
        wsprintfA(text, "%d 個のショートカットのリンク切れがあり %d 個のリンクファイルを削除しました",
                  (int)SweepState.BrokenCount, (int)SweepState.DeletedCount);
    else
        wsprintfA(text, "%d 個のショートカットのリンク切れがありました", (int)SweepState.BrokenCount);
    SetDlgItemTextA(dialog, IDC_STATUS, text);
}

static void SearchPlace(HWND dialog, int stage, int boxId, const char* valueName, const char* fourthArgument,
                        int progressBox, const char* searchingText)
{
    PaintProgressMarks(dialog, stage);
    if (progressBox) SetDlgItemTextA(dialog, progressBox, searchingText);
    char found[MAX_PATH];
    if (FindLinkInLocation(dialog, found, AppState.TargetPath, valueName, fourthArgument, progressBox))
        SendDlgItemMessageA(dialog, boxId, BM_SETCHECK, BST_CHECKED, 0);
    else if (progressBox)
        SetDlgItemTextA(dialog, progressBox, "");
}

DWORD WINAPI ScanThread(LPVOID parameter)
{
    HWND dialog = (HWND)parameter;
    // One apartment for the whole scan: every shortcut read inside it is a
    // nested, cheap initialisation.
    HRESULT comStatus = CoInitialize(nullptr);

    SweepState.DeleteAll = 0;
    SweepState.KeepAll = 0;
    SweepState.StopRequested = 0;
    // The places inside places are looked up once per scan: a folder made
    // since the last one counts.
    ForgetNestedPlaces();
    UncheckAllLocations(dialog);
    SetDlgItemTextA(dialog, IDC_GROUP_STARTMENU, "ｽﾀｰﾄ ﾒﾆｭｰ の検索待ち");
    SetDlgItemTextA(dialog, IDC_GROUP_PROGRAMS, "ﾌﾟﾛｸﾞﾗﾑ の検索待ち");
    SetDlgItemTextA(dialog, IDC_GROUP_C_STARTMENU, "ｽﾀｰﾄ ﾒﾆｭｰ(AllUser) の検索待ち");
    SetDlgItemTextA(dialog, IDC_GROUP_C_PROGRAMS, "ﾌﾟﾛｸﾞﾗﾑ(AllUser) の検索待ち");
    ShowStartText(dialog);
    SweepState.BrokenCount = 0;
    SweepState.DeletedCount = 0;
    SweepState.SkippedCount = 0;
    PaintProgressMarks(dialog, 0);

    for (int k = 0; k < 10; ++k) {
        const SearchStep& step = SearchOrder[k];
        SearchPlace(dialog, k + 1, step.BoxId, step.ValueName, step.FourthArgument, step.ProgressBox,
                    step.SearchingText);
    }
    if (UserFolderExists()) {
        // A private copy: the dialog may rewrite the user folder meanwhile.
        char userFolder[MAX_PATH];
        CopyUserFolder(userFolder);
        SearchPlace(dialog, 11, IDC_PLACE_USERFOLDER, nullptr, userFolder, IDC_GROUP_C_PROGRAMS,
                    "指定フォルダを検索中");
    }
    PaintProgressMarks(dialog, ScanStageAllDone);
    ShowHandedOverGroups(dialog);
    ShowSummary(dialog);

    if (SUCCEEDED(comStatus)) CoUninitialize();

    // Wind-down: the handle is cleared before a pending close is posted, so
    // the dialog sees itself idle when the close arrives. A close asked for
    // at this very moment either sees the scan running and is posted below,
    // or sees it ended and closes at once: it is never lost. The mode and
    // counts are reset before the handle is cleared, so a check the dialog
    // starts the moment it sees itself idle keeps its own mode and counts.
    EnterCriticalSection(&ScanEndLock);
    HANDLE ownHandle = AppState.ScanThreadHandle;
    LONG closeRequested = AppState.CloseAfterScan;
    SweepState.DeadLinkMode = 0;
    SweepState.BrokenCount = 0;
    SweepState.DeletedCount = 0;
    SweepState.SkippedCount = 0;
    AppState.ScanThreadHandle = nullptr;
    LeaveCriticalSection(&ScanEndLock);
    CloseHandle(ownHandle);
    if (closeRequested) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    return 0;
}
