// Stands in for the shell's folder handlers in the picker tests. Registered
// as the command of a folder verb with the line
//   "folder_recorder.exe" "<record file>" <verb> "%1"
// it appends "<verb>|<folder>|<show command>" as one line to the record file
// and ends at once.
#include <windows.h>
#include <shellapi.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 4) return 1;
    char recordFile[MAX_PATH], verb[64], folder[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, arguments[1], -1, recordFile, sizeof recordFile, nullptr, nullptr);
    WideCharToMultiByte(CP_ACP, 0, arguments[2], -1, verb, sizeof verb, nullptr, nullptr);
    WideCharToMultiByte(CP_ACP, 0, arguments[3], -1, folder, sizeof folder, nullptr, nullptr);
    LocalFree(arguments);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int showCommand = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    char line[2 * MAX_PATH + 100];
    wsprintfA(line, "%s|%s|%d\r\n", verb, folder, showCommand);

    HANDLE file = CreateFileA(recordFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    CloseHandle(file);
    return 0;
}
