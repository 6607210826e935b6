// The About box. Its two labels behave like links: underlined, in the link
// colour, with the pointing hand over them; a single click hands the link to
// the shell and closes the box.
#include "about_box.h"
#include "app_state.h"
#include "foreground.h"
#include "resource.h"
#include "screen_scale.h"

const COLORREF LinkColour = RGB(0x40, 0x70, 0xE0);

static HFONT LinkFont;
static HCURSOR HandCursor; // while the box is open
static WNDPROC MailLabelProc;
static WNDPROC WebLabelProc;

static LRESULT CALLBACK LinkLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = GetDlgCtrlID(label) == IDC_ABOUT_MAIL ? MailLabelProc : WebLabelProc;
    if (message == WM_SETCURSOR) {
        SetCursor(HandCursor);
        return TRUE;
    }
    return CallWindowProcA(previous, label, message, wParam, lParam);
}

static void InitAboutBox(HWND dialog)
{
    HFONT dialogFont = (HFONT)SendMessageA(dialog, WM_GETFONT, 0, 0);
    LOGFONTA description = {};
    GetObjectA(dialogFont, sizeof description, &description);
    description.lfUnderline = 1;
    LinkFont = CreateFontIndirectA(&description);
    SendDlgItemMessageA(dialog, IDC_ABOUT_MAIL, WM_SETFONT, (WPARAM)LinkFont, FALSE);
    SendDlgItemMessageA(dialog, IDC_ABOUT_URL, WM_SETFONT, (WPARAM)LinkFont, FALSE);

    HandCursor = LoadScaledCursor(AppState.Instance, IDC_PICKER_CURSOR);
    MailLabelProc = (WNDPROC)SetWindowLongPtrA(GetDlgItem(dialog, IDC_ABOUT_MAIL), GWLP_WNDPROC,
                                               (LONG_PTR)LinkLabelProc);
    WebLabelProc = (WNDPROC)SetWindowLongPtrA(GetDlgItem(dialog, IDC_ABOUT_URL), GWLP_WNDPROC,
                                              (LONG_PTR)LinkLabelProc);
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, "Version 1.50");
    BringToForeground(dialog);
}

static void OpenLink(HWND dialog, int labelId)
{
    static const char MailPrefix[] = "mailto:";
    char command[128] = "";
    int prefixLength = 0;
    if (labelId == IDC_ABOUT_MAIL) {
        lstrcpyA(command, MailPrefix);
        prefixLength = sizeof MailPrefix - 1;
    }
    GetDlgItemTextA(dialog, labelId, command + prefixLength, 100);
    ShellExecuteA(dialog, nullptr, command, nullptr, nullptr, SW_SHOWNORMAL);
}

static void CloseAboutBox(HWND dialog)
{
    SetWindowLongPtrA(GetDlgItem(dialog, IDC_ABOUT_URL), GWLP_WNDPROC, (LONG_PTR)WebLabelProc);
    SetWindowLongPtrA(GetDlgItem(dialog, IDC_ABOUT_MAIL), GWLP_WNDPROC, (LONG_PTR)MailLabelProc);
    DeleteObject(LinkFont);
    LinkFont = nullptr;
    if (HandCursor) DestroyCursor(HandCursor);
    HandCursor = nullptr;
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitAboutBox(dialog);
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        int id = GetDlgCtrlID((HWND)lParam);
        if (id != IDC_ABOUT_MAIL && id != IDC_ABOUT_URL) return FALSE;
        SetTextColor((HDC)wParam, LinkColour);
        SetBkMode((HDC)wParam, TRANSPARENT);
        return (INT_PTR)GetSysColorBrush(COLOR_BTNFACE);
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ABOUT_MAIL:
        case IDC_ABOUT_URL:
            if (HIWORD(wParam) != STN_CLICKED) return FALSE;
            OpenLink(dialog, LOWORD(wParam));
            CloseAboutBox(dialog);
            return TRUE;
        case IDOK:
        case IDCANCEL:
            CloseAboutBox(dialog);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR ShowAboutBox(HWND owner)
{
    return DialogBoxParamA(AppState.Instance, "ABOUTDLG", owner, AboutBoxProc, 0);
}
