// Asks Wine about a running Quillet.exe for scripts that cannot see its
// windows (under the virtual desktop they are no X windows):
//   quillet_probe wait-scan   waits for the link dialog and the end of its scan
//   quillet_probe close       closes the dialog and waits for the program's end
// Each says what it saw, and ends with 1 when it gave up.
#include "test_support.h"
#include <stdio.h>

using namespace testsupport;

namespace {

HWND FindLinkDialog()
{
    HWND found = nullptr;
    for (HWND window = nullptr; !found && (window = FindWindowExA(nullptr, window, "#32770", nullptr));)
        if (IsWindowVisible(window) && TextOf(window) == " Pathwick Ver 1.50") found = window;
    return found;
}

DWORD ProcessOf(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

// The status line shows neither its empty start nor a text of a search
// under way ("...検索中です", "...確認中です").
bool ShowsResult(const std::string& status)
{
    return !status.empty() && !EndsWith(status, "中です");
}

int WaitForScan()
{
    DWORD start = GetTickCount();
    HWND dialog = nullptr;
    if (!WaitUntil([&] { return (dialog = FindLinkDialog()) != nullptr; }, ScanLimitMs)) {
        printf("no link dialog within %lu ms; Quillet running: %s\n", ScanLimitMs, InstanceRunning() ? "yes" : "no");
        return 1;
    }
    printf("link dialog after %lu ms\n", GetTickCount() - start);
    std::string status;
    bool scanning = false;
    bool ended = WaitUntil(
        [&] {
            status = ItemText(dialog, 200);
            scanning = ScanThreadAliveIn(ProcessOf(dialog));
            return !scanning && ShowsResult(status);
        },
        ScanLimitMs);
    printf("%s after %lu ms; scan thread %s; status line: %s\n", ended ? "scan ended" : "gave up",
           GetTickCount() - start, scanning ? "alive" : "gone", Utf8(status).c_str());
    return ended ? 0 : 1;
}

int Close()
{
    HWND dialog = FindLinkDialog();
    if (!dialog) {
        printf("no link dialog to close\n");
        return 1;
    }
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(dialog));
    DWORD start = GetTickCount();
    PostClick(dialog, IDOK);
    bool ended = process && WaitForSingleObject(process, StartLimitMs) == WAIT_OBJECT_0;
    printf("%s %lu ms after the close\n", ended ? "the program ended" : "the program still runs",
           GetTickCount() - start);
    if (process) CloseHandle(process);
    return ended ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "wait-scan") return WaitForScan();
    if (command == "close") return Close();
    printf("usage: quillet_probe wait-scan | close\n");
    return 2;
}
