// The program that the picker tests point at: a top-level window and a
// modeless dialog owned by it, with a button and an edit box, at fixed places
// on the 1024x768 desktop. It writes nothing; a press of its button shows the
// number of presses in the edit box, so a test can see that a click went on
// to it. It ends when its main window is closed.
#include <windows.h>

static int Presses = 0;

static INT_PTR CALLBACK TargetDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == 1001 && HIWORD(wParam) == BN_CLICKED) {
        char text[32];
        wsprintfA(text, "presses=%d", ++Presses);
        SetDlgItemTextA(dialog, 1002, text);
        return TRUE;
    }
    return FALSE;
}

static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "PickTargetMain";
    if (!RegisterClassA(&windowClass)) return 1;
    HWND main = CreateWindowExA(0, "PickTargetMain", "pick target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 60, 320,
                                240, nullptr, nullptr, instance, nullptr);
    if (!main) return 1;
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(100), main, TargetDialogProc, 0);
    if (!dialog) return 1;
    SetWindowPos(dialog, nullptr, 420, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(dialog, SW_SHOWNOACTIVATE);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
