// Files, registry, windows, recorded starts and shortcuts for the installer tests.
#include "installer_harness.h"
#include "shortcut_files.h"
#include <shlobj.h>
#include <algorithm>
#include <ostream>
#include <set>

namespace installer_harness {

std::string Join(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool CopyInto(const std::string& file, const std::string& folder, const std::string& name)
{
    return CopyFileA(file.c_str(), Join(folder, name).c_str(), FALSE) != FALSE;
}

void WriteText(const std::string& path, const std::string& text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(file);
}

static std::string ReadText(const std::string& path)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) text.append(chunk, got);
    CloseHandle(file);
    return text;
}

std::vector<std::string> EntriesOf(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(Join(folder, "*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do
        if (lstrcmpA(entry.cFileName, ".") && lstrcmpA(entry.cFileName, "..")) names.push_back(entry.cFileName);
    while (FindNextFileA(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

void DeleteTree(const std::string& folder)
{
    for (const std::string& name : EntriesOf(folder)) {
        std::string path = Join(folder, name);
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteTree(path);
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    }
    RemoveDirectoryA(folder.c_str());
}

// The build passes Unix paths behind Wine's drive Z:, with forward slashes.
static std::string FullPath(const char* path)
{
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    return (length && length < sizeof full) ? full : path;
}

std::string StowfoldProgram() { return FullPath(PATHWICK_STOWFOLD_EXE); }
std::string RecorderProgram() { return FullPath(PATHWICK_RECORDER_EXE); }
std::string RealMainProgram() { return FullPath(PATHWICK_QUILLET_EXE); }

// ---- registry ---------------------------------------------------------------

RegistryOverride::RegistryOverride(HKEY root, const std::string& key, const char* valueName, const std::string& data,
                                   const std::string& ownedKey, DWORD type)
    : Root(root), Key(key), ValueName(valueName ? valueName : ""), OwnedKey(ownedKey),
      HasValueName(valueName != nullptr)
{
    HKEY probe;
    OwnedKeyIsNew = !OwnedKey.empty() && RegOpenKeyExA(Root, OwnedKey.c_str(), 0, KEY_READ, &probe) != ERROR_SUCCESS;
    if (!OwnedKeyIsNew && !OwnedKey.empty()) RegCloseKey(probe);

    const char* name = HasValueName ? ValueName.c_str() : nullptr;
    HKEY handle;
    if (RegOpenKeyExA(Root, Key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExA(handle, name, nullptr, &OldType, nullptr, &size) == ERROR_SUCCESS) {
            OldData.resize(size);
            Existed = RegQueryValueExA(handle, name, nullptr, &OldType, (BYTE*)&OldData[0], &size) == ERROR_SUCCESS;
            OldData.resize(size);
        }
        RegCloseKey(handle);
    }
    if (RegCreateKeyExA(Root, Key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(handle, name, 0, type, (const BYTE*)data.c_str(), (DWORD)data.size() + 1);
        RegCloseKey(handle);
    }
}

RegistryOverride::~RegistryOverride()
{
    if (OwnedKeyIsNew) {
        RegDeleteTreeA(Root, OwnedKey.c_str());
        return;
    }
    HKEY handle;
    if (RegOpenKeyExA(Root, Key.c_str(), 0, KEY_WRITE, &handle) != ERROR_SUCCESS) return;
    const char* name = HasValueName ? ValueName.c_str() : nullptr;
    if (Existed)
        RegSetValueExA(handle, name, 0, OldType, (const BYTE*)OldData.data(), (DWORD)OldData.size());
    else
        RegDeleteValueA(handle, name);
    RegCloseKey(handle);
}

std::string ReadShellFolderValue(const char* valueName)
{
    char value[1024] = "";
    DWORD size = sizeof value - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, (BYTE*)value, &size) != ERROR_SUCCESS) value[0] = '\0';
    RegCloseKey(key);
    return value;
}

void SetKeyDown(WORD virtualKey, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// ---- running the installer -------------------------------------------------

// Shown in UTF-8 so that a failure can be read; compared as code page 932 bytes.
void PrintTo(const MessageBoxSeen& box, std::ostream* out)
{
    WCHAR wide[2048];
    char utf8[6144] = "";
    if (MultiByteToWideChar(932, 0, box.Text.c_str(), -1, wide, 2048))
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    *out << "[" << box.Buttons << ", " << box.Icon << (box.HasOwner ? ", owned" : "") << "] \"" << utf8 << "\"";
}

static std::string ClassOf(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Text of another process's window or control; WM_GETTEXT crosses processes.
static std::string TextOf(HWND window)
{
    char text[2048] = "";
    DWORD_PTR copied = 0;
    if (!window || !SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &copied))
        return "";
    return std::string(text, std::min<size_t>(copied, sizeof text - 1));
}

static std::string ButtonsOf(HWND box)
{
    static const struct { int Id; const char* Name; } buttons[] = {
        {IDOK, "OK"}, {IDCANCEL, "Cancel"}, {IDABORT, "Abort"}, {IDRETRY, "Retry"},
        {IDIGNORE, "Ignore"}, {IDYES, "Yes"}, {IDNO, "No"}};
    std::string names;
    for (const auto& button : buttons) {
        HWND control = GetDlgItem(box, button.Id);
        if (control && IsWindowVisible(control)) names += (names.empty() ? "" : " ") + std::string(button.Name);
    }
    return names;
}

// The pixels of a 32-bit picture of the given size, top row first, after
// `paint` has drawn on it.
template <typename Paint> static std::vector<DWORD> Pixels(int width, int height, Paint paint)
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
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return pixels;
}

// What the screen shows in a rectangle, read back from the X server.
static std::vector<DWORD> ScreenPixels(const RECT& rect)
{
    return Pixels(rect.right - rect.left, rect.bottom - rect.top, [&](HDC memory, DWORD*) {
        HDC screen = GetDC(nullptr);
        BitBlt(memory, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

// A system icon drawn the way a static control draws it: at its own size, on
// the background colour.
static std::vector<DWORD> DrawnIcon(LPCSTR name, int width, int height, DWORD background)
{
    return Pixels(width, height, [&](HDC memory, DWORD* bits) {
        std::fill(bits, bits + width * height, background);
        DrawIconEx(memory, 0, 0, LoadIconA(nullptr, name), 0, 0, 0, nullptr, DI_NORMAL);
    });
}

// Which icon the box shows. Icon handles mean nothing in another process, so
// the pixels on the screen are compared with the system icons drawn here;
// the box may still be painting, so a mismatch is looked at again for a while.
static std::string IconOf(HWND box)
{
    HWND control = GetDlgItem(box, 0x440); // the icon's static control
    if (!control || !IsWindowVisible(control)) return "none";
    RECT rect;
    GetWindowRect(control, &rect);
    static const struct { LPCSTR Id; const char* Name; } icons[] = {
        {IDI_QUESTION, "question"}, {IDI_ASTERISK, "information"}, {IDI_EXCLAMATION, "warning"}, {IDI_HAND, "error"}};
    for (int attempt = 0; attempt < 50; ++attempt, Sleep(20)) {
        std::vector<DWORD> shown = ScreenPixels(rect);
        if (shown.empty()) break;
        for (const auto& icon : icons)
            if (shown == DrawnIcon(icon.Id, rect.right - rect.left, rect.bottom - rect.top, shown[0])) return icon.Name;
    }
    return "other";
}

struct WindowScan {
    std::set<DWORD> ProcessIds;
    DWORD InstallerId;
    std::set<HWND>* Known;
    std::vector<HWND> NewBoxes;
    std::vector<std::string> NewOthers;
};

static BOOL CALLBACK ScanWindow(HWND window, LPARAM context)
{
    WindowScan& scan = *(WindowScan*)context;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (!scan.ProcessIds.count(processId) || !IsWindowVisible(window) || scan.Known->count(window)) return TRUE;
    scan.Known->insert(window);
    if (processId == scan.InstallerId && ClassOf(window) == "#32770" && TextOf(window) == "Pathwick")
        scan.NewBoxes.push_back(window);
    else
        scan.NewOthers.push_back(ClassOf(window) + " \"" + TextOf(window) + "\"");
    return TRUE;
}

static std::set<DWORD> ProcessesOf(HANDLE job)
{
    std::set<DWORD> ids;
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST List;
        ULONG_PTR More[63];
    } list = {};
    list.List.NumberOfAssignedProcesses = 64;
    if (QueryInformationJobObject(job, JobObjectBasicProcessIdList, &list, sizeof list, nullptr))
        for (DWORD i = 0; i < list.List.NumberOfProcessIdsInList; ++i) ids.insert((DWORD)list.List.ProcessIdList[i]);
    return ids;
}

static DWORD ActiveProcessesOf(HANDLE job)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting, nullptr))
        return 1;
    return accounting.ActiveProcesses;
}

static std::string ImageOf(DWORD processId)
{
    char image[MAX_PATH] = "?";
    DWORD size = sizeof image;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process) {
        QueryFullProcessImageNameA(process, 0, image, &size);
        CloseHandle(process);
    }
    return image;
}

static int FallbackAnswer(HWND box)
{
    if (GetDlgItem(box, IDNO)) return IDNO;
    if (GetDlgItem(box, IDCANCEL)) return IDCANCEL;
    return IDOK;
}

static void Press(HWND box, int id)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(box, id));
}

InstallerRun RunInstaller(const std::string& program, const std::string& currentFolder, const std::vector<int>& answers)
{
    InstallerRun run;
    // The installer and whatever it starts belong to one job, so the end of
    // the last of them can be awaited and leftovers ended. Their standard
    // streams go nowhere: a process that outlived the test must not hold the
    // test runner's pipe.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE nowhere = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + program + "\"";
    run.Started = CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                                 currentFolder.c_str(), &startup, &process) != FALSE;
    CloseHandle(nowhere);
    if (!run.Started) {
        CloseHandle(job);
        return run;
    }
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);

    std::set<HWND> known;
    size_t answered = 0;
    bool installerEnded = false;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(20)) {
        WindowScan scan;
        scan.ProcessIds = ProcessesOf(job);
        scan.ProcessIds.insert(process.dwProcessId);
        scan.InstallerId = process.dwProcessId;
        scan.Known = &known;
        EnumWindows(ScanWindow, (LPARAM)&scan);
        for (HWND box : scan.NewBoxes) {
            MessageBoxSeen seen;
            seen.Text = TextOf(GetDlgItem(box, 0xFFFF));
            seen.Buttons = ButtonsOf(box);
            seen.Icon = IconOf(box);
            seen.HasOwner = GetWindow(box, GW_OWNER) != nullptr;
            run.Boxes.push_back(seen);
            Press(box, answered < answers.size() ? answers[answered] : FallbackAnswer(box));
            ++answered;
        }
        run.OtherWindows.insert(run.OtherWindows.end(), scan.NewOthers.begin(), scan.NewOthers.end());

        if (!installerEnded && WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
            installerEnded = true;
            GetExitCodeProcess(process.hProcess, &run.ExitCode);
        }
        if (installerEnded && ActiveProcessesOf(job) == 0) {
            run.ProcessesEnded = true;
            break;
        }
    }
    if (!run.ProcessesEnded)
        for (DWORD id : ProcessesOf(job)) run.LeftOver.push_back(ImageOf(id));
    if (!installerEnded) {
        TerminateProcess(process.hProcess, 0xDEAD);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(job); // ends whatever is left
    return run;
}

// ---- what the started programs recorded -----------------------------------

static std::string ReplaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); !from.empty() && at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The arguments of a command line: what follows the program's own name.
static std::string ArgumentsOf(const std::string& commandLine)
{
    size_t end = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        end = commandLine.find('"', 1);
        end = end == std::string::npos ? commandLine.size() : end + 1;
    } else {
        end = std::min(commandLine.find(' '), commandLine.size());
    }
    std::string rest = commandLine.substr(end);
    size_t first = rest.find_first_not_of(' ');
    size_t last = rest.find_last_not_of(' ');
    return first == std::string::npos ? "" : rest.substr(first, last - first + 1);
}

std::vector<std::string> ReadRecords(const std::string& recordFile, const std::string& caseFolder)
{
    std::vector<std::string> records;
    std::string text = ReadText(recordFile);
    std::string recorder = RecorderProgram();
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 2;
        size_t bar1 = line.find('|');
        size_t bar2 = bar1 == std::string::npos ? bar1 : line.find('|', bar1 + 1);
        if (bar2 == std::string::npos) {
            records.push_back("unreadable: " + line);
            continue;
        }
        std::string program = line.substr(0, bar1);
        std::string show = line.substr(bar1 + 1, bar2 - bar1 - 1);
        std::string arguments = ArgumentsOf(line.substr(bar2 + 1));
        std::string label = lstrcmpiA(program.c_str(), recorder.c_str()) == 0 ? "recorder" : program;
        std::string record = label + (arguments.empty() ? "" : " " + arguments) + " (show " + show + ")";
        records.push_back(ReplaceAll(record, caseFolder, "%CASE%"));
    }
    std::sort(records.begin(), records.end());
    return records;
}

// ---- shortcuts ---------------------------------------------------------------

static std::string DescriptionOf(const std::string& linkPath)
{
    char description[INFOTIPSIZE] = "<unread>";
    HRESULT comStatus = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) link->GetDescription(description, sizeof description);
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(comStatus)) CoUninitialize();
    return description;
}

static std::string FormatLink(const std::string& name, const std::string& target, const std::string& workingFolder,
                              const std::string& arguments, const std::string& description)
{
    return name + " -> " + target + " wd=" + workingFolder + " args=" + arguments + " desc=" + description;
}

std::string DescribeLink(const std::string& name, const std::string& target, const std::string& description)
{
    return FormatLink(name, target, "", "", description);
}

std::vector<std::string> DescribeFolder(const std::string& folder, const std::string& caseFolder)
{
    std::vector<std::string> entries;
    for (const std::string& name : EntriesOf(folder)) {
        std::string path = Join(folder, name);
        if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            entries.push_back(name + "\\");
            continue;
        }
        char target[MAX_PATH] = "<unread>", workingFolder[MAX_PATH] = "<unread>", arguments[MAX_PATH] = "<unread>";
        ReadLinkTarget(nullptr, path.c_str(), target, arguments, workingFolder);
        entries.push_back(ReplaceAll(FormatLink(name, target, workingFolder, arguments, DescriptionOf(path)),
                                     caseFolder, "%CASE%"));
    }
    return entries;
}

bool MakeLink(const std::string& linkPath, const std::string& target, const std::string& description)
{
    return SUCCEEDED(WriteLink(target.c_str(), linkPath.c_str(), description.c_str(), WithoutWorkingFolder));
}

std::string LinkTarget(const std::string& linkPath)
{
    char target[MAX_PATH] = "";
    ReadLinkTarget(nullptr, linkPath.c_str(), target, nullptr, nullptr);
    return target;
}

} // namespace installer_harness
