// A stand-in that tests start, or have started, in place of a program: the
// main program, or the shell's handlers for a help page or a folder. It
// appends one line, "<own path>|<show command>|<command line>", to the file
// named by PATHWICK_TEST_RECORD and ends without a window.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char recordFile[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("PATHWICK_TEST_RECORD", recordFile, sizeof recordFile);
    if (length == 0 || length >= sizeof recordFile) return 0;

    char ownPath[MAX_PATH];
    ownPath[0] = '\0';
    GetModuleFileNameA(nullptr, ownPath, sizeof ownPath);
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int showCommand = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    char line[2 * MAX_PATH + 2048];
    wsprintfA(line, "%s|%d|", ownPath, showCommand);
    lstrcpynA(line + lstrlenA(line), GetCommandLineA(), 2000);
    lstrcatA(line, "\r\n");

    // Several recorders may run at once. Wine appends at the size it read
    // when the handle was opened, so two appends at once overwrite each
    // other: one at a time.
    HANDLE turn = CreateMutexA(nullptr, FALSE, "PathwickTestRecord");
    if (turn) WaitForSingleObject(turn, 30000);
    for (int attempt = 0; attempt < 50; ++attempt) {
        HANDLE file = CreateFileA(recordFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, line, lstrlenA(line), &written, nullptr);
            CloseHandle(file);
            break;
        }
        Sleep(20);
    }
    if (turn) ReleaseMutex(turn);
    return 0;
}
