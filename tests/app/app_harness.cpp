// The harness behind the end-to-end tests: scratch folders, the shell-folder
// redirection, the program's process and the reading and pressing of its
// controls from this separate process.
#include "app_harness.h"
#include "shortcut_files.h"
#include <stdarg.h>
#include <ctype.h>
#include <stdio.h>
#include <tlhelp32.h>

namespace apptest {

// The ten places by value name, in checkbox order 401..410.
static const char* const PlaceValueNames[10] = {
    "Desktop", "Startup",        "Start Menu",     "Programs",          "AppData",
    "SendTo",  "Common Desktop", "Common Startup", "Common Start Menu", "Common Programs"};

// Where each place lies in a test's tree, as the real folders nest.
static const char* const PlaceFolders[10] = {"user\\Desktop",      "user\\Start Menu\\Programs\\Startup",
                                             "user\\Start Menu",   "user\\Start Menu\\Programs",
                                             "user\\AppData",      "user\\SendTo",
                                             "common\\Desktop",    "common\\Start Menu\\Programs\\Startup",
                                             "common\\Start Menu", "common\\Start Menu\\Programs"};

std::string Format(const char* format, ...)
{
    char text[2048];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    for (unsigned char byte : bytes) out += Format("%02X ", byte);
    return out;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > limitMs) return false;
        Sleep(25);
    }
}

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(const std::string& path)
{
    // Every level from the drive down, stepping over two-byte characters so
    // that a trail byte equal to '\\' is never taken for a separator.
    for (size_t i = 0; i < path.size();) {
        unsigned char byte = (unsigned char)path[i];
        if (IsDBCSLeadByte(byte) && i + 1 < path.size()) {
            i += 2;
            continue;
        }
        if (byte == '\\' && i > 2) CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
        ++i;
    }
    CreateDirectoryA(path.c_str(), nullptr);
    return FolderExists(path);
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string inner = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(inner);
            } else {
                SetFileAttributesA(inner.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(inner.c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

// The folder part of a path, found without taking a trail byte for '\\'.
static std::string ParentOf(const std::string& path)
{
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte((unsigned char)path[i]) && i + 1 < path.size())
            ++i;
        else if (path[i] == '\\')
            last = i;
    }
    return last == std::string::npos ? "" : path.substr(0, last);
}

bool MakeShortcut(const std::string& linkPath, const std::string& target)
{
    MakeFolders(ParentOf(linkPath));
    return SUCCEEDED(WriteLink(target.c_str(), linkPath.c_str(), "", WithWorkingFolder)) && FileExists(linkPath);
}

std::string ShortcutTarget(const std::string& linkPath)
{
    char target[MAX_PATH] = "";
    ReadLinkTarget(nullptr, linkPath.c_str(), target, nullptr, nullptr);
    return target;
}

ScratchFolder::ScratchFolder(const char* tag)
{
    static int serial = 0;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    path_ = Format("%spathwick-app-%lu-%d-%s", temp, GetCurrentProcessId(), ++serial, tag);
    RemoveTree(path_);
    MakeFolders(path_);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

static const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
static const char UserShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

static HKEY HiveOf(const std::string& valueName)
{
    return valueName.compare(0, 6, "Common") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

void ShellFolderRedirect::Point(const std::string& valueName, const std::string& folder)
{
    HKEY hive = HiveOf(valueName);
    // "User Shell Folders" is what the special-folder lookup reads (and it
    // rewrites "Shell Folders" from it), so both must agree.
    const char* keys[2] = {ShellFoldersKey, UserShellFoldersKey};
    DWORD types[2] = {REG_SZ, REG_EXPAND_SZ};
    for (int i = 0; i < 2; ++i) {
        HKEY key;
        if (RegCreateKeyExA(hive, keys[i], 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            continue;
        bool known = false;
        for (const Saved& s : saved_)
            if (s.Hive == hive && s.Key == keys[i] && s.Name == valueName) known = true;
        if (!known) {
            Saved s = {hive, keys[i], valueName, false, 0, ""};
            char data[2048];
            DWORD size = sizeof data;
            if (RegQueryValueExA(key, valueName.c_str(), nullptr, &s.Type, (BYTE*)data, &size) == ERROR_SUCCESS) {
                s.Existed = true;
                s.Data.assign(data, size);
            }
            saved_.push_back(s);
        }
        RegSetValueExA(key, valueName.c_str(), 0, types[i], (const BYTE*)folder.c_str(), (DWORD)folder.size() + 1);
        RegCloseKey(key);
    }
}

void ShellFolderRedirect::Restore()
{
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        HKEY key;
        if (RegOpenKeyExA(it->Hive, it->Key.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) continue;
        if (it->Existed)
            RegSetValueExA(key, it->Name.c_str(), 0, it->Type, (const BYTE*)it->Data.data(), (DWORD)it->Data.size());
        else
            RegDeleteValueA(key, it->Name.c_str());
        RegCloseKey(key);
    }
    saved_.clear();
}

ShellFolderRedirect::~ShellFolderRedirect()
{
    Restore();
}

static std::string WindowsPathOf(const char* unixPath)
{
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

PlaceTree::PlaceTree(const char* tag) : Root(tag)
{
    Bin = Root / "bin";
    MakeFolders(Bin);
    std::string built = WindowsPathOf(QUILLET_EXE);
    CopyFileA(built.c_str(), Program().c_str(), FALSE);
    std::string help = built.substr(0, built.rfind('\\')) + "\\Dovemere.html";
    CopyFileA(help.c_str(), (Bin + "\\Dovemere.html").c_str(), FALSE);
    for (int i = 0; i < 10; ++i) {
        std::string folder = Root / (std::string("places\\") + PlaceFolders[i]);
        MakeFolders(folder);
        Redirect.Point(PlaceValueNames[i], folder);
    }
}

std::string PlaceTree::Folder(const std::string& valueName) const
{
    for (int i = 0; i < 10; ++i)
        if (valueName == PlaceValueNames[i]) return Root / (std::string("places\\") + PlaceFolders[i]);
    return "";
}

std::string PlaceTree::QuickLaunch() const
{
    return Folder("AppData") + "\\Microsoft\\Internet Explorer\\Quick Launch";
}

Quillet::~Quillet()
{
    Kill();
}

bool Quillet::Start(const std::string& program, const std::string& argumentText)
{
    Kill();
    std::string commandLine = "\"" + program + "\"";
    if (!argumentText.empty()) commandLine += " " + argumentText;
    std::string folder = program.substr(0, program.rfind('\\'));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process_))
        return false;
    processId_ = process_.dwProcessId;
    return true;
}

bool Quillet::WaitForExit(DWORD limitMs, DWORD* exitCode)
{
    if (!process_.hProcess) return false;
    if (WaitForSingleObject(process_.hProcess, limitMs) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(process_.hProcess, exitCode);
    return true;
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
        WaitForSingleObject(process_.hProcess, 10000);
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

static std::vector<HWND> TopLevelWindowsOf(DWORD processId)
{
    WindowSearch search = {processId, {}};
    EnumWindows(CollectWindow, (LPARAM)&search);
    return search.Found;
}

bool IsDialogWindow(HWND window)
{
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    return lstrcmpA(className, "#32770") == 0;
}

HWND Quillet::WaitForDialog(const std::string& caption, DWORD limitMs) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindowsOf(processId_))
                if (IsDialogWindow(window) && IsWindowVisible(window) && TextOf(window) == caption) {
                    found = window;
                    return true;
                }
            return false;
        },
        limitMs);
    return found;
}

HWND Quillet::WaitForLinkDialog(DWORD limitMs) const
{
    return WaitForDialog(" Pathwick Ver 1.50", limitMs);
}

std::vector<HWND> Quillet::VisibleWindows() const
{
    std::vector<HWND> visible;
    for (HWND window : TopLevelWindowsOf(processId_))
        if (IsWindowVisible(window)) visible.push_back(window);
    return visible;
}

bool Quillet::ScanThreadAlive() const
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    bool alive = false;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId_) continue;
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

std::string TextOf(HWND window)
{
    char text[2048] = "";
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 10000, &result))
        return "<no answer>";
    return text;
}

std::string ItemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? TextOf(item) : "<no control>";
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

void PostClick(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

bool Sync(HWND window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 30000, &result) != 0;
}

bool WaitGone(HWND window, DWORD limitMs)
{
    return WaitUntil([&] { return !IsWindow(window); }, limitMs);
}

bool WaitForScanEnd(const Quillet& program, HWND dialog, const std::string& expected, std::string* seen, DWORD limitMs)
{
    // A scan that has ended with another text gets a few seconds' grace
    // (the next scan may be about to start), not the whole limit.
    const DWORD graceMs = 5000;
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
    ended = ended && last == expected;
    if (seen) *seen = last;
    return ended;
}

bool Screenshot(const char* fileName)
{
    std::string unixFolder = ARTEFACTS_DIR;
    MakeFolders(WindowsPathOf(ARTEFACTS_DIR));
    std::string windowsFile = WindowsPathOf(ARTEFACTS_DIR) + "\\" + fileName;
    DeleteFileA(windowsFile.c_str());
    // Wine starts a Unix program given by its Unix path; it inherits DISPLAY.
    std::string commandLine =
        "/usr/bin/import -window root -crop 1024x768+0+0 +repage \"" + unixFolder + "/" + fileName + "\"";
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return WaitUntil([&] { return FileExists(windowsFile); }, 5000);
}

static COLORREF ScreenPixel(int x, int y)
{
    HDC screen = GetDC(nullptr);
    COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return colour;
}

bool ControlShowsColour(HWND control, COLORREF colour)
{
    RECT area;
    if (!GetWindowRect(control, &area)) return false;
    int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    bool found = false;
    const DWORD* pixels = (const DWORD*)bits;
    DWORD wanted = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    for (int i = 0; bits && i < width * height && !found; ++i) found = (pixels[i] & 0xFFFFFF) == wanted;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return found;
}

COLORREF MarkColour(HWND dialog, int box)
{
    RECT check;
    GetWindowRect(GetDlgItem(dialog, box), &check);
    int height = check.bottom - check.top;
    int side = (height / 3) * 2 - 2;
    int x = check.left - 4 - side + side / 2;
    int y = check.top + (height - side) / 2 + side / 2;
    return ScreenPixel(x, y);
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

MarkList TenDoneMarks()
{
    MarkList marks;
    for (int box = 401; box <= 410; ++box) marks.push_back({box, MarkDoneColour});
    return marks;
}

void FillWithGroups(const std::string& folder, int groups, int filesEach)
{
    for (int g = 0; g < groups; ++g) {
        std::string group = folder + Format("\\group%04d", g);
        CreateDirectoryA(group.c_str(), nullptr);
        for (int f = 0; f < filesEach; ++f) WriteBytes(group + Format("\\readme%d.txt", f), "not a shortcut");
    }
}

// A short folder-name tag made of the running test's name.
static const char* CurrentTestTag()
{
    static std::string tag;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    tag = info ? info->name() : "test";
    for (char& c : tag)
        if (!isalnum((unsigned char)c)) c = '-';
    if (tag.size() > 24) tag.resize(24);
    return tag.c_str();
}

QuilletTest::QuilletTest() : Tree(CurrentTestTag())
{
    std::string apps = Tree.Root / "apps";
    MakeFolders(apps);
    Target = apps + "\\表計算.exe";
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    CopyFileA((std::string(windows) + "\\notepad.exe").c_str(), Target.c_str(), FALSE);
}

void QuilletTest::TearDown()
{
    Program.Kill();
}

HWND QuilletTest::Open(const std::string& argumentText)
{
    Dialog = nullptr;
    if (!Program.Start(Tree.Program(), argumentText)) {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
        return nullptr;
    }
    Dialog = Program.WaitForLinkDialog();
    EXPECT_NE(Dialog, nullptr) << "the link dialog did not appear";
    return Dialog;
}

std::string QuilletTest::TickPlacesText(const std::string& name)
{
    return Format("%s へのショートカットを作成したい項目にチェックしてください", name.c_str());
}

void QuilletTest::ExpectScanEnd(const std::string& expected)
{
    std::string seen;
    EXPECT_TRUE(WaitForScanEnd(Program, Dialog, expected, &seen))
        << "status line: " << Hex(seen) << "\nexpected:    " << Hex(expected);
}

void QuilletTest::CloseAndExpectExitZero()
{
    PostClick(Dialog, IDOK);
    DWORD exitCode = 99;
    EXPECT_TRUE(Program.WaitForExit(StartLimitMs, &exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
}

std::string QuilletTest::LinkIn(const std::string& valueName, const std::string& group, const std::string& name) const
{
    std::string folder = valueName == "AppData" ? Tree.QuickLaunch() : Tree.Folder(valueName);
    if (!group.empty()) folder += "\\" + group;
    return folder + "\\" + name + ".lnk";
}

} // namespace apptest
