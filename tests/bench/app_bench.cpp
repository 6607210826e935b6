// Times the main program end to end: from starting Quillet.exe with a target
// to the summary of its scan, over a program menu of 2,000 shortcuts in 100
// groups (plus files that are no shortcuts), with the places redirected into
// a temporary folder. The scan alone is timed from its start text to its
// summary, and compared per file with a plain open-and-read of the same files.
#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "test_support.h"

using namespace testsupport;

int main(int argc, char** argv)
{
    if (argc < 2) {
        printf("usage: app_bench <path of Quillet.exe>\n");
        return 1;
    }
    const int groups = 100, linksPerGroup = 20;
    RedirectedPlaces places;
    TempFolder programFolder;
    std::string exe = programFolder / "Quillet.exe";
    CopyFileA(argv[1], exe.c_str(), FALSE);

    std::string programs = places.Folder("Programs");
    std::vector<std::string> files = BuildMenu(programs, groups, linksPerGroup);
    const char target[] = "C:\\windows\\notepad.exe";
    MakeShortcut(places.Folder("Desktop") + "\\notepad.lnk", target);

    Quillet program;
    double started = Seconds();
    if (!program.Start(exe, target)) {
        printf("cannot start %s\n", exe.c_str());
        return 1;
    }
    const std::string searching = "notepad へのショートカット情報を検索中です";
    const std::string summary = "notepad へのショートカットを作成したい項目にチェックしてください";
    HWND dialog = nullptr;
    double scanStarted = 0, scanEnded = 0;
    while (Seconds() - started < 120 && !scanEnded) {
        for (HWND window : dialog ? std::vector<HWND>{} : TopLevelWindowsOf(program.ProcessId()))
            if (IsDialogWindow(window)) dialog = window;
        if (dialog) {
            std::string status = ItemText(dialog, 200);
            if (!scanStarted && status == searching) scanStarted = Seconds();
            if (status == summary) scanEnded = Seconds();
        }
        Sleep(2); // the clock's resolution
    }
    if (dialog) PostClick(dialog, IDOK);
    DWORD exitCode = 0;
    program.WaitForExit(StartLimitMs, &exitCode);
    if (!scanEnded) {
        printf("the scan did not end within two minutes\n");
        return 1;
    }

    double plain = PlainRead(files) / files.size();
    double scan = scanStarted ? (scanEnded - scanStarted) / files.size() : 0;
    printf("tree: %d groups, %d files\n", groups, (int)files.size());
    printf("process start to end of scan: %.3f s\n", scanEnded - started);
    if (scanStarted) printf("scan alone: %.3f s, %.3f ms a file\n", scanEnded - scanStarted, scan * 1000);
    printf("plain open-and-read: %.4f ms a file\n", plain * 1000);
    if (scanStarted && plain > 0) printf("ratio: %.1f\n", scan / plain);
    return 0;
}
