// The programs under test: where the build put them, their processes, their
// windows and controls as seen and pressed from this separate process, Unix
// helpers started through Wine, and the screen.
#include "test_support.h"
#include <tlhelp32.h>
#include <cstdio>
#include <cstring>

namespace testsupport {

// The build passes Unix paths; Wine's drive Z: is the Unix root.
static std::string BuiltProgram(const char* unixPath)
{
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string QuilletProgram() { return BuiltProgram(QUILLET_EXE); }
std::string StowfoldProgram() { return BuiltProgram(STOWFOLD_EXE); }
std::string RecorderProgram() { return BuiltProgram(RECORDER_EXE); }
std::string PickTargetProgram() { return BuiltProgram(PICK_TARGET_EXE); }

bool AnswerBeforeVista()
{
    char answer[8] = "";
    if (GetEnvironmentVariableA("PATHWICK_WINDOWS_ANSWER", answer, sizeof answer) >= sizeof answer) return false;
    return strstr(" win95 win98 winme nt40 win2k winxp ", (std::string(" ") + answer + " ").c_str()) != nullptr;
}

// ---- Unix programs ---------------------------------------------------------

bool StartUnixProgram(const std::string& unixProgram, const std::string& arguments)
{
    std::string commandLine = unixProgram + " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    // Wine 8 starts a Unix program without a process object: it reports
    // success, leaves hProcess zero and hThread holding whatever an earlier
    // start left there. Closing that stale value closed a live handle of the
    // test (the program's own process, so its end could not be awaited).
    PROCESS_INFORMATION ignored = {};
    return CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &ignored) != FALSE;
}

bool CreateProcessPastLostStart(const std::function<BOOL()>& create)
{
    if (create()) return true;
    if (GetLastError() != ERROR_INTERNAL_ERROR) return false;
    // Wine says this when the new process's Unix side ended before the server
    // counted it as started: before the program's image, or any DLL of it, ran
    // a single instruction. Seen once in some thousand starts on a loaded
    // machine. Nothing of the program has happened, so this is its first run.
    fprintf(stderr, "note: Wine lost a new process before it ran (ERROR_INTERNAL_ERROR); starting it again\n");
    return create() != FALSE;
}

std::string UnixPathOf(const std::string& windowsPath)
{
    typedef char*(CDECL * UnixNameFn)(const WCHAR*);
    auto unixName = (UnixNameFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    char* name = unixName ? unixName(Widen(windowsPath).c_str()) : nullptr;
    std::string result = name ? name : "";
    if (name) HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool RunShell(const std::string& command, const std::string& doneFile)
{
    DeleteFileA(doneFile.c_str());
    return StartUnixProgram("/bin/sh", "-c \"" + command + " && touch '" + UnixPathOf(doneFile) + "'\"") &&
           WaitUntil([&] { return FileExists(doneFile); }, StartLimitMs);
}

// ---- processes -------------------------------------------------------------

bool InstanceRunning()
{
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "Mutex_Pathwick");
    if (!mutex) return false;
    CloseHandle(mutex);
    return true;
}

bool Quillet::Start(const std::string& program, const std::string& argumentText, bool alone)
{
    Kill();
    if (alone && !WaitUntil([] { return !InstanceRunning(); }, StartLimitMs, "an earlier instance to end"))
        return false;
    std::string commandLine = "\"" + program + "\"";
    if (!argumentText.empty()) commandLine += " " + argumentText;
    return StartWide(Widen(commandLine), Widen(ParentOf(program)));
}

bool Quillet::StartWide(const std::wstring& commandLine, const std::wstring& folder,
                        SECURITY_ATTRIBUTES* processSecurity, bool limited)
{
    Kill();
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    // A null token is this process's own.
    HANDLE own = nullptr;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD size = 0;
    if (limited && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) {
        GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size);
        CloseHandle(own);
    }
    if (!CreateProcessPastLostStart([&] {
            return CreateProcessAsUserW(linked.LinkedToken, nullptr, &line[0], processSecurity, nullptr, FALSE, 0,
                                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process_);
        }))
        return false;
    processId_ = process_.dwProcessId;
    return true;
}

bool Quillet::Attach(DWORD processId)
{
    processId_ = processId;
    return (process_.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId)) != nullptr;
}

bool Quillet::EndsWithExitZero(DWORD limitMs)
{
    DWORD code = 1;
    return WaitForExit(limitMs, &code) && code == 0;
}

bool Quillet::WaitForExit(DWORD limitMs, DWORD* exitCode)
{
    if (!process_.hProcess) return false;
    if (WaitForSingleObject(process_.hProcess, limitMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_.hProcess, exitCode) != FALSE;
}

bool Quillet::Running() const
{
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

void Quillet::Kill()
{
    if (!process_.hProcess) return;
    if (Running()) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, StartLimitMs);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
    processId_ = 0;
}

struct WindowSearch {
    DWORD ProcessId;
    std::vector<HWND> Found;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter)
{
    WindowSearch* search = (WindowSearch*)parameter;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->ProcessId) search->Found.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId)
{
    WindowSearch search = {processId, {}};
    EnumWindows(CollectWindow, (LPARAM)&search);
    return search.Found;
}

HWND WaitForWindow(DWORD processId, const std::function<bool(HWND)>& match, DWORD limitMs)
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindowsOf(processId))
                if (IsWindowVisible(window) && match(window)) found = window;
            return found != nullptr;
        },
        limitMs);
    return found;
}

HWND Quillet::WaitForDialog(const std::string& caption, DWORD limitMs) const
{
    return WaitForWindow(
        processId_, [&](HWND window) { return IsDialogWindow(window) && TextOf(window) == caption; }, limitMs);
}

std::vector<HWND> Quillet::VisibleWindows() const
{
    std::vector<HWND> visible;
    for (HWND window : TopLevelWindowsOf(processId_))
        if (IsWindowVisible(window)) visible.push_back(window);
    return visible;
}

bool ScanThreadAliveIn(DWORD processId)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    bool alive = false;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        DWORD code = 0;
        if (GetThreadPriority(thread) == THREAD_PRIORITY_ABOVE_NORMAL && GetExitCodeThread(thread, &code) &&
            code == STILL_ACTIVE)
            alive = true;
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return alive;
}

bool WaitForScanEnd(const Quillet& program, HWND dialog, const std::string& expected, std::string* seen, DWORD limitMs)
{
    // A scan that has ended with another text gets some grace (the next scan
    // may be about to start), not the whole limit.
    const DWORD graceMs = 10000;
    std::string last;
    DWORD idleSince = GetTickCount();
    bool ended = WaitUntil(
        [&] {
            last = ItemText(dialog, 200);
            if (program.ScanThreadAlive()) {
                idleSince = GetTickCount();
                return false;
            }
            return last == expected || GetTickCount() - idleSince > graceMs;
        },
        limitMs);
    if (seen) *seen = last;
    return ended && last == expected;
}

// ---- controls --------------------------------------------------------------

std::string ClassOf(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window)
{
    char text[2048] = "";
    DWORD_PTR copied = 0;
    if (!window ||
        !SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 10000, &copied))
        return "<no answer>";
    return std::string(text, std::min<size_t>(copied, sizeof text - 1));
}

bool SetItemText(HWND dialog, int id, const std::string& text)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG, 10000,
                               &result) &&
           result;
}

bool IsTicked(HWND dialog, int id)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 10000, &result);
    return result == BST_CHECKED;
}

bool Click(HWND dialog, int id)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id),
                               SMTO_ABORTIFHUNG, 30000, &result) != 0;
}

bool Sync(HWND window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 30000, &result) != 0;
}

POINT CentreOf(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    POINT centre = {(client.right - client.left) / 2, (client.bottom - client.top) / 2};
    ClientToScreen(window, &centre);
    return centre;
}

bool CoversScreen(HWND window)
{
    RECT rect = WindowRect(window);
    return rect.left == 0 && rect.top == 0 && rect.right == GetSystemMetrics(SM_CXSCREEN) &&
           rect.bottom == GetSystemMetrics(SM_CYSCREEN);
}

// ---- the screen ------------------------------------------------------------

bool Screenshot(const char* fileName)
{
    std::string folder = BuiltProgram(ARTEFACTS_DIR);
    MakeFolders(folder);
    std::string file = Join(folder, fileName);
    DeleteFileA(file.c_str());
    // The script writes under another name and renames, so the file appears
    // whole. Wine gives no process to wait for: the file is what shows the end.
    std::string arguments = std::string(SUPPORT_DIR) + "/screenshot.sh \"" + ARTEFACTS_DIR + "/" + fileName + "\"";
    if (!StartUnixProgram("/bin/sh", arguments)) return false;
    return WaitUntil([&] { return FileExists(file); }, StartLimitMs, "the screenshot file");
}

std::vector<DWORD> Pixels(int width, int height, const std::function<void(HDC, DWORD*)>& paint)
{
    std::vector<DWORD> pixels;
    if (width <= 0 || height <= 0) return pixels;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC memory = CreateCompatibleDC(nullptr);
    DWORD* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, (void**)&bits, nullptr, 0);
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        paint(memory, bits);
        GdiFlush();
        pixels.assign(bits, bits + width * height);
        for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return pixels;
}

std::vector<DWORD> ScreenPixels(const RECT& rect)
{
    return Pixels(rect.right - rect.left, rect.bottom - rect.top, [&](HDC memory, DWORD*) {
        HDC screen = GetDC(nullptr);
        BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

static DWORD PixelOf(COLORREF colour)
{
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

bool ControlShowsColour(HWND control, COLORREF colour)
{
    for (DWORD pixel : ScreenPixels(WindowRect(control)))
        if (pixel == PixelOf(colour)) return true;
    return false;
}

COLORREF MarkColour(HWND dialog, int box)
{
    RECT check = WindowRect(GetDlgItem(dialog, box));
    int height = check.bottom - check.top;
    int side = (height / 3) * 2 - 2;
    int x = check.left - 4 - side + side / 2;
    int y = check.top + (height - side) / 2 + side / 2;
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

std::vector<COLORREF> WaitForMarks(HWND dialog, const MarkList& marks, DWORD limitMs)
{
    std::vector<COLORREF> seen(marks.size());
    WaitUntil(
        [&] {
            bool all = true;
            for (size_t i = 0; i < marks.size(); ++i) {
                seen[i] = MarkColour(dialog, marks[i].first);
                all = all && seen[i] == marks[i].second;
            }
            return all;
        },
        limitMs);
    return seen;
}

void ExpectMarks(HWND dialog, const MarkList& marks)
{
    std::vector<COLORREF> seen = WaitForMarks(dialog, marks);
    for (size_t i = 0; i < marks.size(); ++i) EXPECT_EQ(seen[i], marks[i].second) << "mark of box " << marks[i].first;
}

MarkList TenDoneMarks()
{
    MarkList marks;
    for (int box = 401; box <= 410; ++box) marks.push_back({box, MarkDoneColour});
    return marks;
}

} // namespace testsupport
