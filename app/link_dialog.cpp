// The main working dialog. It never searches itself: it asks the scan thread
// for a scan, and while one runs it refuses every command but stop, close and
// the two user-folder buttons. Creating and deleting run here, one place per
// click, and report in the status line.
#include "link_dialog.h"
#include "about_box.h"
#include "app_state.h"
#include "elevation.h"
#include "foreground.h"
#include "link_removal.h"
#include "link_search.h"
#include "path_helpers.h"
#include "resource.h"
#include "scan_thread.h"
#include "screen_scale.h"
#include "shell_folders.h"
#include "shortcut_files.h"
#include "unheld_names.h"
#include "wide_shell.h"
#include <shlobj.h>
#include <shellapi.h>

const COLORREF StatusColour = RGB(0x40, 0x70, 0xE0);
const char TickPlacesText[] = "%s へのショートカットを作成したい項目にチェックしてください";
// The system refused access; the all-users places need an administrator.
// The status line shows one line only, so these say the reason early.
const char RefusedCreateText[] = "%s 内への作成は拒否されました（アクセス権がありません）";
const char RefusedDeleteText[] = "%s 内からの削除は拒否されました（アクセス権がありません）";
const char RefusedCreateAllUsersText[] = "%s 内への作成は拒否されました（管理者の権限が必要です）";
const char RefusedDeleteAllUsersText[] = "%s 内からの削除は拒否されました（管理者の権限が必要です）";

struct PlaceRow {
    int BoxId;
    const char* ValueName;
    int GroupBox;           // 0: the place has no groups
    const char* Question;   // asked before creating with an empty group
};

static const PlaceRow Places[11] = {
    {IDC_PLACE_DESKTOP, "Desktop", 0, nullptr},
    {IDC_PLACE_STARTUP, "Startup", 0, nullptr},
    {IDC_PLACE_STARTMENU, "Start Menu", IDC_GROUP_STARTMENU,
     "%s をグループ名なしでスタートメニューに登録してよろしいですか？"},
    {IDC_PLACE_PROGRAMS, "Programs", IDC_GROUP_PROGRAMS, "%s をグループ名なしでプログラムに登録してよろしいですか？"},
    {IDC_PLACE_QUICKLAUNCH, "AppData", 0, nullptr},
    {IDC_PLACE_SENDTO, "SendTo", 0, nullptr},
    {IDC_PLACE_C_DESKTOP, "Common Desktop", 0, nullptr},
    {IDC_PLACE_C_STARTUP, "Common Startup", 0, nullptr},
    {IDC_PLACE_C_STARTMENU, "Common Start Menu", IDC_GROUP_C_STARTMENU,
     "%s をグループ名なしでスタートメニュー（ＡｌｌＵｓｅｒ）に登録してよろしいですか？"},
    {IDC_PLACE_C_PROGRAMS, "Common Programs", IDC_GROUP_C_PROGRAMS,
     "%s をグループ名なしでプログラム（ＡｌｌＵｓｅｒ）に登録してよろしいですか？"},
    {IDC_PLACE_USERFOLDER, nullptr, 0, nullptr},
};

static WNDPROC SavedEditProc;
static bool DropRegistered;
// The mode the next requested scan runs in. It becomes DeadLinkMode only when
// that scan starts: a refused request leaves the mode as it was.
static LONG RequestedDeadLinkMode;

static bool ScanRunning()
{
    return AppState.ScanThreadHandle != nullptr;
}

// The one place that decides which commands a running scan refuses.
static bool CommandAllowed(int id)
{
    if (!ScanRunning()) return true;
    switch (id) {
    case IDOK:
    case IDCANCEL:
    case IDC_STOP:
    case IDC_OPEN_USERFOLDER:
    case IDC_BROWSE_USERFOLDER:
        return true;
    default:
        return false;
    }
}

static int Ask(HWND owner, const char* text, UINT flags)
{
    return MessageBoxA(owner, text, "Pathwick", flags | MB_SETFOREGROUND);
}

// Reads a box that holds a path or a name into a 260-byte buffer. A text
// that does not fit is never cut into a different path: the output is then
// empty and the result false.
static bool ReadBox(HWND dialog, int id, char* output)
{
    char text[4 * MAX_PATH];
    GetDlgItemTextA(dialog, id, text, sizeof text);
    bool fits = lstrlenA(text) < MAX_PATH;
    lstrcpynA(output, fits ? text : "", MAX_PATH);
    return fits;
}

// Box 1015 becomes the user folder, unless its text is too long to be one.
static bool ReadUserFolderBox(HWND dialog, char* folder)
{
    if (!ReadBox(dialog, IDC_USERFOLDER, folder)) return false;
    SetUserFolder(folder);
    return true;
}

static void RepaintWhole(HWND dialog)
{
    InvalidateRect(dialog, nullptr, TRUE);
}

void SetLinkNameFromTarget()
{
    if (!MakeLinkName(AppState.LinkName, AppState.TargetPath))
        lstrcpynA(AppState.LinkName, AppState.TargetPath, MAX_PATH);
}

static void ShowTickPlacesText(HWND dialog)
{
    char text[MAX_PATH + 128];
    wsprintfA(text, TickPlacesText, AppState.LinkName);
    SetDlgItemTextA(dialog, IDC_STATUS, text);
}

static void ShowTargetAndName(HWND dialog)
{
    SetLinkNameFromTarget();
    SetDlgItemTextA(dialog, IDC_LINKNAME, AppState.LinkName);
    SetDlgItemTextA(dialog, IDC_TARGET, AppState.TargetPath);
}

void ClearGroupEdits(HWND dialog)
{
    SetDlgItemTextA(dialog, IDC_GROUP_STARTMENU, "");
    SetDlgItemTextA(dialog, IDC_GROUP_PROGRAMS, "");
    SetDlgItemTextA(dialog, IDC_GROUP_C_STARTMENU, "");
    SetDlgItemTextA(dialog, IDC_GROUP_C_PROGRAMS, "");
}

HICON GetFileIcon(const char* path)
{
    SHFILEINFOA info = {};
    if (!SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_ICON)) return nullptr;
    return info.hIcon;
}

// Windows 95, 98 and ME keep every name in the code page, and have no wide
// file dialog.
static BOOL AskForExistingFileAnsi(HWND owner, char* path, const char* filter, const char* title)
{
    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A; // the layout every system since 95 knows
    request.hwndOwner = owner;
    request.lpstrFilter = filter;
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = MAX_PATH;
    request.lpstrTitle = title;
    request.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    return GetOpenFileNameA(&request);
}

// The length of a list of NUL-terminated texts ended by an empty text,
// both final NULs included.
static int TextListLength(const char* list)
{
    int length = 0;
    while (list[length]) length += lstrlenA(list + length) + 1;
    return length + 1;
}

LinkReadResult TakeShortcutTarget(HWND owner, char* path)
{
    const char* dot = FindLastChar(path, '.');
    if (!dot || (lstrcmpiA(dot, ".lnk") != 0 && lstrcmpiA(dot, ".lnk\"") != 0)) return LinkNotShortcut;
    char linkPath[MAX_PATH];
    lstrcpynA(linkPath, path, sizeof linkPath);
    StripEnclosingQuotes(linkPath);
    LinkReadResult result = ReadShortcutGivenAsTarget(owner, linkPath, path);
    if (result == LinkTargetNotHeld) TellNameNotHeld(owner);
    return result;
}

// A chosen or dropped file is taken unless it is a shortcut that gave no target.
static BOOL TakeChosenFile(HWND owner, char* path)
{
    LinkReadResult result = TakeShortcutTarget(owner, path);
    return result == LinkNotShortcut || result == LinkTargetRead;
}

// On the NT family the dialog runs in its wide form so that the chosen name
// can be checked: the ANSI form would hand back a name the code page cannot
// hold with '?' or a look-alike letter in it. A chosen shortcut comes back as
// itself (not every system's dialog follows it), and is read here.
BOOL AskForExistingFile(HWND owner, char* path, const char* filter, const char* title)
{
    if (IsWin9xFamily()) return AskForExistingFileAnsi(owner, path, filter, title);
    WCHAR wideFilter[128], wideTitle[128], wideFile[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, filter, TextListLength(filter), wideFilter, 128) ||
        !MultiByteToWideChar(CP_ACP, 0, title, -1, wideTitle, 128) ||
        !MultiByteToWideChar(CP_ACP, 0, path, -1, wideFile, MAX_PATH))
        return FALSE;
    OPENFILENAMEW request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    request.hwndOwner = owner;
    request.lpstrFilter = wideFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = wideFile;
    request.nMaxFile = MAX_PATH;
    request.lpstrTitle = wideTitle;
    request.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NODEREFERENCELINKS;
    if (!GetOpenFileNameW(&request)) return FALSE;
    bool held = WideNameFitsCodePage(wideFile);
    // A name that fits the code page but not the buffer is refused, never cut.
    if (!held || !WideCharToMultiByte(CP_ACP, 0, wideFile, -1, path, MAX_PATH, nullptr, nullptr)) {
        path[0] = '\0';
        if (!held) TellNameNotHeld(owner);
        return FALSE;
    }
    return TakeChosenFile(owner, path);
}

BOOL ChooseTargetFile(HWND owner, char* path)
{
    return AskForExistingFile(owner, path, "All Files (*.*)\0*.*\0",
                              " ファイルの選択  （ファイル選択後“開く”をクリック）");
}

static int CALLBACK ChooseFolderCallback(HWND browser, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

// The browser's ANSI path of a folder whose name the code page cannot hold
// has '?' or a look-alike letter in it; the wide path tells.
static bool ItemListNameFitsCodePage(LPCITEMIDLIST items)
{
    WCHAR wide[MAX_PATH];
    return !WidePathFromItemList(items, wide) || WideNameFitsCodePage(wide);
}

BOOL ChooseFolder(HWND owner, char* path)
{
    // The browser is a COM client: it needs an apartment on this thread.
    HRESULT comStatus = CoInitialize(nullptr);
    BROWSEINFOA request = {};
    request.hwndOwner = owner;
    request.pszDisplayName = path;
    request.lpszTitle = "登録するフォルダを指定してください";
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    request.lpfn = ChooseFolderCallback;
    request.lParam = (LPARAM)path;
    LPITEMIDLIST items = SHBrowseForFolderA(&request);
    BOOL chosen = FALSE;
    if (items) {
        // An item with no file-system path is no folder to take.
        chosen = SHGetPathFromIDListA(items, path);
        if (chosen && !ItemListNameFitsCodePage(items)) {
            TellNameNotHeld(owner);
            chosen = FALSE;
        }
        CoTaskMemFree(items);
    }
    if (!chosen) path[0] = '\0';
    if (SUCCEEDED(comStatus)) CoUninitialize();
    return chosen;
}

// The group text as the core expects it: a leading backslash, or empty.
// False when the group does not fit beside its backslash.
static bool ReadGroupText(HWND dialog, int groupBox, char* output)
{
    char group[MAX_PATH];
    bool fits = ReadBox(dialog, groupBox, group) && lstrlenA(group) < MAX_PATH - 1;
    output[0] = '\0';
    if (fits && group[0]) ComposePath(output, MAX_PATH, "\\", group);
    return fits;
}

// A group names a real sub-folder only when every part of it does: an empty
// part (only backslashes, or a doubled one) or a part made of dots and blanks
// ("." or "..") would name the place's own folder or one above it.
static bool IsRealGroupName(const char* group)
{
    const char* part = group;
    for (;;) {
        const char* backslash = FindFirstChar(part, '\\');
        const char* slash = FindFirstChar(part, '/');
        const char* end = backslash && (!slash || backslash < slash) ? backslash : slash;
        if (!end) end = part + lstrlenA(part);
        bool onlyDotsAndBlanks = true;
        for (const char* c = part; c < end; ++c)
            if (*c != '.' && *c != ' ') onlyDotsAndBlanks = false;
        if (onlyDotsAndBlanks) return false;
        if (!*end) return true;
        part = end + 1;
    }
}

static void ShowGroupRefused(HWND dialog, const char* valueName, const char* group)
{
    char display[100] = "";
    LocationDisplayName(display, sizeof display, valueName);
    char text[MAX_PATH + 256];
    wsprintfA(text, "%s のグループ名 %s はフォルダ名として使えません", display, group);
    SetDlgItemTextA(dialog, IDC_STATUS, text);
}

// What a status text calls the place: its display name, or the user folder
// itself. False for a value name that names no place.
static bool NamePlace(char* place, const char* valueName, const char* thirdArgument)
{
    if (valueName) return LocationDisplayName(place, MAX_PATH, valueName) != FALSE;
    lstrcpynA(place, thirdArgument ? thirdArgument : "", MAX_PATH);
    return true;
}

static void ComposeToggleMessage(char* text, bool created, bool ok, const char* valueName, const char* thirdArgument,
                                 const char* groupShown, const char* name)
{
    char place[MAX_PATH];
    if (!NamePlace(place, valueName, thirdArgument)) {
        text[0] = '\0';
        return;
    }
    if (valueName && groupShown[0]) {
        const char* format = ok ? (created ? "%s %s グループに %s へのショートカットを作成しました"
                                           : "%s %s グループの %s へのショートカットを削除しました")
                                : (created ? "%s %s グループに %s へのショートカットを作成できませんでした"
                                           : "%s %s グループの %s へのショートカットを削除できませんでした");
        wsprintfA(text, format, place, groupShown + 1, name);
    } else {
        const char* format = ok ? (created ? "%s 内に %s へのショートカットを作成しました"
                                           : "%s 内の %s へのショートカットを削除しました")
                                : (created ? "%s 内に %s へのショートカットを作成できませんでした"
                                           : "%s 内の %s へのショートカットを削除できませんでした");
        wsprintfA(text, format, place, name);
    }
}

// A create or delete the system refused, in the place (or user folder).
static void ComposeRefusedMessage(char* text, bool created, bool allUsers, const char* valueName,
                                  const char* thirdArgument)
{
    char place[MAX_PATH];
    if (!NamePlace(place, valueName, thirdArgument)) {
        text[0] = '\0';
        return;
    }
    const char* format = allUsers ? (created ? RefusedCreateAllUsersText : RefusedDeleteAllUsersText)
                                  : (created ? RefusedCreateText : RefusedDeleteText);
    wsprintfA(text, format, place);
}

void ToggleLocation(HWND dialog, int boxId, const char* valueName, const char* thirdArgument, const char* target,
                    const char* linkName, const char* description)
{
    char name[MAX_PATH];
    if (!MakeLinkName(name, target)) lstrcpynA(name, target, sizeof name);
    char groupShown[MAX_PATH] = "";
    if (!(valueName && lstrcmpA(valueName, "AppData") == 0) && thirdArgument)
        lstrcpynA(groupShown, thirdArgument, sizeof groupShown);

    bool wasTicked = SendDlgItemMessageA(dialog, boxId, BM_GETCHECK, 0, 0) != BST_UNCHECKED;
    BOOL ok;
    SetLastError(ERROR_SUCCESS); // a failure below leaves its own error
    if (wasTicked) {
        SendDlgItemMessageA(dialog, boxId, BM_SETCHECK, BST_UNCHECKED, 0);
        // A stop pressed earlier must not make this search end before it
        // starts; only Shift held now stops it.
        SweepState.StopRequested = 0;
        ok = DeleteLinkFrom(dialog, target, valueName, thirdArgument);
    } else {
        SendDlgItemMessageA(dialog, boxId, BM_SETCHECK, BST_CHECKED, 0);
        ok = CreateLinkIn(target, valueName, thirdArgument, linkName, description);
    }
    // A failure must not look like success: the tick goes back and the
    // status line says what did not happen.
    bool refused = !ok && GetLastError() == ERROR_ACCESS_DENIED;
    if (!ok) SendDlgItemMessageA(dialog, boxId, BM_SETCHECK, wasTicked ? BST_CHECKED : BST_UNCHECKED, 0);

    // A refusal names its reason before any offer, so a No or a declined
    // consent prompt leaves it said.
    bool allUsers = IsAllUsersPlace(valueName);
    char text[1024];
    if (refused)
        ComposeRefusedMessage(text, !wasTicked, allUsers, valueName, thirdArgument);
    else
        ComposeToggleMessage(text, !wasTicked, ok != FALSE, valueName, thirdArgument, groupShown, name);
    if (text[0]) SetDlgItemTextA(dialog, IDC_STATUS, text);

    // Only an administrator's limited run can change the all-users places by
    // elevating; for any other run elevating would not help, or would mean
    // another account with a Desktop and Start Menu of its own.
    char place[MAX_PATH];
    if (refused && allUsers && HasLimitedAdminToken() && NamePlace(place, valueName, thirdArgument) &&
        OfferRestartAsAdmin(dialog, place))
        PostMessageA(dialog, WM_COMMAND, IDOK, 0); // closed as by its button, so the settings are written
}

static void OnPlaceClicked(HWND dialog, const PlaceRow& place)
{
    // Read into locals first: a refused click changes nothing the user had.
    char target[MAX_PATH], linkName[MAX_PATH], description[MAX_PATH];
    bool fits = ReadBox(dialog, IDC_TARGET, target);
    fits = ReadBox(dialog, IDC_LINKNAME, linkName) && fits;
    GetDlgItemTextA(dialog, IDC_DESCRIPTION, description, sizeof description); // free text: a long one is cut

    char thirdArgument[MAX_PATH] = "";
    const char* third = nullptr;
    if (place.GroupBox) {
        fits = ReadGroupText(dialog, place.GroupBox, thirdArgument) && fits;
        third = thirdArgument;
    } else if (place.BoxId == IDC_PLACE_QUICKLAUNCH) {
        third = QuickLaunchSubPath;
    } else if (place.BoxId == IDC_PLACE_USERFOLDER) {
        fits = ReadBox(dialog, IDC_USERFOLDER, thirdArgument) && fits;
        third = thirdArgument;
    }
    if (!fits) {
        Ask(dialog, "フルパスファイル名を指定してください", MB_ICONINFORMATION);
        return;
    }
    lstrcpynA(AppState.TargetPath, target, MAX_PATH);
    lstrcpynA(AppState.LinkName, linkName, MAX_PATH);
    if (place.BoxId == IDC_PLACE_USERFOLDER) SetUserFolder(thirdArgument);
    if (place.GroupBox && thirdArgument[0] && !IsRealGroupName(thirdArgument + 1)) {
        ShowGroupRefused(dialog, place.ValueName, thirdArgument + 1);
        return;
    }

    bool creating = SendDlgItemMessageA(dialog, place.BoxId, BM_GETCHECK, 0, 0) == BST_UNCHECKED;
    if (place.GroupBox && creating && !thirdArgument[0]) {
        char question[MAX_PATH + 128];
        wsprintfA(question, place.Question, AppState.LinkName);
        if (Ask(dialog, question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            SendDlgItemMessageA(dialog, place.BoxId, BM_SETCHECK, BST_UNCHECKED, 0);
            RepaintWhole(dialog);
            return;
        }
    }
    ToggleLocation(dialog, place.BoxId, place.ValueName, third, AppState.TargetPath, AppState.LinkName, description);
    if (place.GroupBox) RepaintWhole(dialog);
}

static void CloseLinkDialog(HWND dialog)
{
    if (RequestCloseAfterScan()) return; // the scan thread closes us when it has ended
    SetWindowLongPtrA(GetDlgItem(dialog, IDC_TARGET), GWLP_WNDPROC, (LONG_PTR)SavedEditProc);
    EndDialog(dialog, 0);
}

static void SearchAgain(HWND dialog)
{
    char text[MAX_PATH];
    ReadBox(dialog, IDC_TARGET, text);
    if (!text[0]) {
        Ask(dialog, "ファイル名またはフォルダ名を指定してください", MB_ICONINFORMATION);
        return;
    }
    lstrcpynA(AppState.TargetPath, text, MAX_PATH);
    SetLinkNameFromTarget();
    SetDlgItemTextA(dialog, IDC_LINKNAME, AppState.LinkName);
    char folder[MAX_PATH];
    ReadUserFolderBox(dialog, folder);
    RequestedDeadLinkMode = 0;
    PostMessageA(dialog, WM_APP_START_SCAN, 0, 0);
}

static void ChooseTarget(HWND dialog, bool folderWanted)
{
    char buffer[MAX_PATH];
    ReadBox(dialog, IDC_TARGET, buffer);
    BOOL chosen;
    if (folderWanted) {
        char* backslash = FindLastChar(buffer, '\\');
        if (backslash) *backslash = '\0';
        chosen = ChooseFolder(dialog, buffer);
    } else {
        chosen = ChooseTargetFile(dialog, buffer);
    }
    if (chosen) {
        lstrcpynA(AppState.TargetPath, buffer, MAX_PATH);
        UncheckAllLocations(dialog);
        ClearGroupEdits(dialog);
    }
    ShowTargetAndName(dialog);
    RepaintWhole(dialog);
}

static void StartDeadLinkCheck(HWND dialog)
{
    AppState.TargetPath[0] = '\0';
    AppState.LinkName[0] = '\0';
    SetDlgItemTextA(dialog, IDC_LINKNAME, "");
    SetDlgItemTextA(dialog, IDC_TARGET, "");
    RequestedDeadLinkMode = 1;
    PostMessageA(dialog, WM_APP_START_SCAN, 0, 0);
    RepaintWhole(dialog);
}

static void OpenApplicationFolder(HWND dialog)
{
    char text[MAX_PATH];
    ReadBox(dialog, IDC_TARGET, text);
    if (IsExistingFile(text)) {
        char folder[MAX_PATH];
        if (ParentFolderOf(folder, text))
            ShellExecuteA(dialog, KeyIsDown(VK_CONTROL) ? "explore" : "open", folder, nullptr, nullptr, SW_SHOWNORMAL);
        else
            Ask(dialog, "フォルダ名が取得できませんでした", MB_ICONINFORMATION);
    } else if (IsExistingFolder(text)) {
        ShellExecuteA(dialog, "open", text, nullptr, nullptr, SW_SHOWNORMAL);
    } else {
        Ask(dialog, "フルパスファイル名を指定してください", MB_ICONINFORMATION);
    }
}

static void OpenHelp(HWND dialog)
{
    if (IsExistingFile(AppState.HelpFilePath))
        ShellExecuteA(dialog, "open", AppState.HelpFilePath, nullptr, nullptr, SW_SHOWNORMAL);
}

static void OpenUserFolder(HWND dialog)
{
    char folder[MAX_PATH];
    // A path from the current folder would open some other folder.
    if (!ReadUserFolderBox(dialog, folder) || !IsFullFolderPath(folder)) return;
    ShellExecuteA(dialog, KeyIsDown(VK_CONTROL) ? "explore" : "open", folder, nullptr, nullptr, SW_SHOWNORMAL);
}

static void BrowseUserFolder(HWND dialog)
{
    // The browser works on a copy: a cancel keeps the folder the user had.
    char folder[MAX_PATH];
    CopyUserFolder(folder);
    if (ChooseFolder(dialog, folder)) SetUserFolder(folder);
    CopyUserFolder(folder);
    SetDlgItemTextA(dialog, IDC_USERFOLDER, folder);
}

static void InitLinkDialog(HWND dialog)
{
    DropRegistered = false;
    AppState.CloseAfterScan = 0;
    SavedEditProc = (WNDPROC)SetWindowLongPtrA(GetDlgItem(dialog, IDC_TARGET), GWLP_WNDPROC, (LONG_PTR)TargetEditProc);

    char caption[64];
    wsprintfA(caption, " Pathwick %s", "Ver 1.50");
    SetWindowTextA(dialog, caption);
    ShowTargetAndName(dialog);
    ShowHandedOverTexts(dialog, AppState.ScanOnOpen != 0);
    LetShellDropsThrough(dialog);
    if (AppState.ScanOnOpen) {
        RequestedDeadLinkMode = 0;
        PostMessageA(dialog, WM_APP_START_SCAN, 0, 0);
    } else {
        ShowTickPlacesText(dialog);
    }
    if (!IsExistingFile(AppState.HelpFilePath)) EnableWindow(GetDlgItem(dialog, IDC_HELP_BUTTON), FALSE);
    if (UserFolderExists()) {
        char folder[MAX_PATH];
        CopyUserFolder(folder);
        SetDlgItemTextA(dialog, IDC_USERFOLDER, folder);
    }
}

static void PaintLinkDialog(HWND dialog)
{
    PAINTSTRUCT paint;
    HDC context = BeginPaint(dialog, &paint);
    RECT client;
    GetClientRect(dialog, &client);
    char path[MAX_PATH];
    ReadBox(dialog, IDC_TARGET, path);
    if (!path[0]) lstrcpynA(path, AppState.ModulePath, sizeof path);
    HICON icon = GetFileIcon(path);
    if (icon) {
        int size = ScaleToScreen(32); // the large icon's size at the screen's scale
        DrawIconEx(context, client.right * 5 / 100, client.bottom * 3 / 100, icon, size, size, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
    }
    if (!ScanRunning()) PostMessageA(dialog, WM_APP_PAINT_MARKS, 0, 0);
    EndPaint(dialog, &paint);
}

// Shift held or a scan running refuses the request and leaves the mode as it
// was; so does a scan that cannot be started.
static void OnStartScanRequest(HWND dialog)
{
    if (KeyIsDown(VK_SHIFT) || ScanRunning()) return;
    LONG before = SweepState.DeadLinkMode;
    SweepState.DeadLinkMode = RequestedDeadLinkMode;
    if (!StartScan(dialog)) SweepState.DeadLinkMode = before;
}

static INT_PTR OnCommand(HWND dialog, int id)
{
    if (!CommandAllowed(id)) return FALSE;
    if (id >= IDC_PLACE_DESKTOP && id <= IDC_PLACE_USERFOLDER) {
        OnPlaceClicked(dialog, Places[id - IDC_PLACE_DESKTOP]);
        return TRUE;
    }
    switch (id) {
    case IDOK:
    case IDCANCEL: CloseLinkDialog(dialog); break;
    case IDC_SEARCH_AGAIN: SearchAgain(dialog); break;
    case IDC_CHOOSE_FILE: ChooseTarget(dialog, false); break;
    case IDC_CHOOSE_FOLDER: ChooseTarget(dialog, true); break;
    case IDC_HELP_BUTTON: OpenHelp(dialog); break;
    case IDC_DEADLINK_CHECK: StartDeadLinkCheck(dialog); break;
    case IDC_OPEN_APP_FOLDER: OpenApplicationFolder(dialog); break;
    case IDC_ABOUT_BUTTON: ShowAboutBox(dialog); break;
    case IDC_STOP: SweepState.StopRequested = 1; break;
    case IDC_OPEN_USERFOLDER: OpenUserFolder(dialog); break;
    case IDC_BROWSE_USERFOLDER: BrowseUserFolder(dialog); break;
    default: return FALSE;
    }
    return TRUE;
}

INT_PTR CALLBACK LinkDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitLinkDialog(dialog);
        return TRUE;
    case WM_PAINT:
        PaintLinkDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID((HWND)lParam) != IDC_STATUS) return FALSE;
        SetTextColor((HDC)wParam, StatusColour);
        SetBkMode((HDC)wParam, TRANSPARENT);
        return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
    default:
        if (message == WM_APP_START_SCAN) {
            OnStartScanRequest(dialog);
            return TRUE;
        }
        if (message == WM_APP_PAINT_MARKS) {
            PaintProgressMarks(dialog, ScanStageAllDone);
            return TRUE;
        }
        return FALSE;
    }
}

static void TakeDroppedTarget(HWND edit, HDROP drop)
{
    // A name too long for a path buffer is ignored, never cut short.
    if (DragQueryFileA(drop, 0, nullptr, 0) >= MAX_PATH) return;
    WCHAR wide[MAX_PATH];
    if (WideDroppedFile(drop, 0, wide, MAX_PATH) && !WideNameFitsCodePage(wide)) {
        TellNameNotHeld(GetParent(edit));
        return;
    }
    char path[MAX_PATH] = "";
    DragQueryFileA(drop, 0, path, sizeof path);
    if (!TakeChosenFile(GetParent(edit), path)) return;
    if (!IsExistingFile(path) && !IsExistingFolder(path)) return;

    HWND dialog = GetParent(edit);
    lstrcpynA(AppState.TargetPath, path, MAX_PATH);
    UncheckAllLocations(dialog);
    ClearGroupEdits(dialog);
    ShowTargetAndName(dialog);
    ShowTickPlacesText(dialog);
    RepaintWhole(dialog);
}

LRESULT CALLBACK TargetEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!DropRegistered) {
        DropRegistered = true;
        DragAcceptFiles(edit, TRUE);
    }
    if (message == WM_DROPFILES) {
        if (!ScanRunning()) TakeDroppedTarget(edit, (HDROP)wParam);
        DragFinish((HDROP)wParam);
    }
    return CallWindowProcA(SavedEditProc, edit, message, wParam, lParam);
}

INT_PTR ShowLinkDialog(HWND owner)
{
    return DialogBoxParamA(AppState.Instance, "LINK_DIALOG", owner, LinkDialogProc, 0);
}
