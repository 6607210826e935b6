// Names the ANSI code page cannot hold: the check and the message.
#include "unheld_names.h"

static const char NameNotHeldText[] =
    "ファイル名またはフォルダ名に、このプログラムでは扱えない文字（シフトJIS にない文字）が含まれています。\n\n"
    "この名前は使用できません。";

bool WideNameFitsCodePage(const WCHAR* name)
{
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr, &usedDefault);
    // Before Windows 2000 the flag is unknown; there only the default
    // character tells.
    if (!size && GetLastError() == ERROR_INVALID_FLAGS)
        size = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, &usedDefault);
    return size > 0 && !usedDefault;
}

// The wide command line after the program's own name and the blanks that
// follow it, as the runtime cuts the ANSI one for WinMain.
static const WCHAR* WideArgumentText()
{
    const WCHAR* text = GetCommandLineW();
    if (!text) return L"";
    if (*text == L'"') {
        ++text;
        while (*text && *text != L'"') ++text;
        if (*text == L'"') ++text;
    } else {
        while (*text && *text != L' ' && *text != L'\t') ++text;
    }
    while (*text == L' ' || *text == L'\t') ++text;
    return text;
}

bool ArgumentTextFitsCodePage()
{
    return WideNameFitsCodePage(WideArgumentText());
}

void TellNameNotHeld(HWND owner)
{
    MessageBoxA(owner, NameNotHeldText, "Pathwick", MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}
