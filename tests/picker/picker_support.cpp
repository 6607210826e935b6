// The helper program's process and windows, injected input, the recording
// folder verbs and the other small pieces the picker tests share.
#include "picker_support.h"
#include <objbase.h>
#include <shlobj.h>

using namespace apptest;

namespace pickertest {

TargetProgram::~TargetProgram()
{
    Stop();
}

struct TargetWindows {
    DWORD ProcessId;
    HWND Main;
    HWND Dialog;
};

static BOOL CALLBACK FindTargetWindow(HWND window, LPARAM parameter)
{
    TargetWindows* found = (TargetWindows*)parameter;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != found->ProcessId || !IsWindowVisible(window)) return TRUE;
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "PickTargetMain") == 0) found->Main = window;
    if (lstrcmpA(className, "#32770") == 0) found->Dialog = window;
    return TRUE;
}

bool TargetProgram::Start(const std::string& program, bool locked)
{
    Stop();
    // An empty access list: OpenProcess is refused to every other process.
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ACL noAccess;
    InitializeAcl(&noAccess, sizeof noAccess, ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &noAccess, FALSE);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};

    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(program.c_str(), &commandLine[0], locked ? &attributes : nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process_))
        return false;
    TargetWindows found = {process_.dwProcessId, nullptr, nullptr};
    WaitUntil(
        [&] {
            EnumWindows(FindTargetWindow, (LPARAM)&found);
            return found.Main && found.Dialog;
        },
        StartLimitMs);
    Main = found.Main;
    Dialog = found.Dialog;
    return Main && Dialog && Sync(Main);
}

void TargetProgram::Stop()
{
    if (!process_.hProcess) return;
    if (IsWindow(Main)) PostMessageA(Main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    process_ = {};
    Main = Dialog = nullptr;
}

std::string BuiltProgram(const char* path)
{
    std::string windowsPath = path;
    for (char& c : windowsPath)
        if (c == '/') c = '\\';
    return windowsPath;
}

bool CopyTargetProgram(const std::string& path)
{
    return CopyFileA(BuiltProgram(PICK_TARGET_EXE).c_str(), path.c_str(), FALSE) != FALSE;
}

// The position after the last backslash, stepping over two-byte characters.
static size_t NameStart(const std::string& path)
{
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte((unsigned char)path[i]) && i + 1 < path.size())
            ++i;
        else if (path[i] == '\\')
            start = i + 1;
    }
    return start;
}

std::string FileNameOf(const std::string& path)
{
    return path.substr(NameStart(path));
}

bool SameText(const std::string& a, const std::string& b)
{
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

POINT CentreOf(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    POINT centre = {(client.right - client.left) / 2, (client.bottom - client.top) / 2};
    ClientToScreen(window, &centre);
    return centre;
}

// Runs x_input.pl and waits for it to end. Wine starts a Unix program given
// by its Unix path (it inherits DISPLAY) but reports no exit code of it: the
// callers look at the effect instead.
static void RunInputScript(const std::string& arguments)
{
    std::string commandLine = std::string("/usr/bin/perl ") + X_INPUT_SCRIPT + " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;
    WaitForSingleObject(process.hProcess, 15000); // the script ends itself after 10 s
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

static void SendMouse(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

bool MoveTo(POINT point)
{
    RunInputScript(Format("move %ld %ld", point.x, point.y));
    return WaitUntil(
        [&] {
            POINT now = {};
            GetCursorPos(&now);
            return now.x == point.x && now.y == point.y;
        },
        2000);
}

void Press(MouseButton button)
{
    SendMouse(button == MouseButton::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN);
}

void Release(MouseButton button)
{
    SendMouse(button == MouseButton::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP);
}

bool ClickAt(POINT point, MouseButton button)
{
    if (!MoveTo(point)) {
        ADD_FAILURE() << "the pointer did not reach " << point.x << "," << point.y;
        return false;
    }
    Press(button);
    Sleep(100);
    Release(button);
    return true;
}

// Under Wine, GetAsyncKeyState in another process may answer from a copy up
// to 50 ms old (measured: a press 30 ms before the click was missed, 60 ms
// before it was seen), so each change is given time to arrive, as a user's
// hand would give it.
const DWORD KeySettleMs = 150;

static bool KeyDown(BYTE virtualKey)
{
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

HeldKey::HeldKey(Key key) : key_(key)
{
    RunInputScript(std::string("press ") + key_.Keysym);
    if (!WaitUntil([&] { return KeyDown(key_.VirtualKey); }, 2000))
        ADD_FAILURE() << "x_input.pl could not press the key " << key_.Keysym;
    Sleep(KeySettleMs);
}

HeldKey::~HeldKey()
{
    Release();
}

void HeldKey::Release()
{
    if (released_) return;
    // Even after a failed press: the key may have gone down late.
    RunInputScript(std::string("release ") + key_.Keysym);
    released_ = true;
    if (!WaitUntil([&] { return !KeyDown(key_.VirtualKey); }, 2000))
        ADD_FAILURE() << "the key " << key_.Keysym << " stays down";
    Sleep(KeySettleMs);
}

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

bool CoversScreen(HWND window)
{
    RECT rect = WindowRect(window);
    return rect.left == 0 && rect.top == 0 && rect.right == GetSystemMetrics(SM_CXSCREEN) &&
           rect.bottom == GetSystemMetrics(SM_CYSCREEN);
}

HWND WaitForPickingMode(const Quillet& program, DWORD limitMs)
{
    HWND picker = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : program.VisibleWindows()) {
                char className[64] = "";
                GetClassNameA(window, className, sizeof className);
                if (lstrcmpA(className, "Quillet") == 0 && CoversScreen(window)) {
                    picker = window;
                    return true;
                }
            }
            return false;
        },
        limitMs);
    // The window grows first; picking mode is on once its thread takes
    // messages again.
    if (picker && !Sync(picker)) picker = nullptr;
    return picker;
}

static const char* const RecordedVerbs[] = {"open", "explore"};

FolderVerbRecorder::FolderVerbRecorder(const std::string& recordFile) : recordFile_(recordFile)
{
    DeleteFileA(recordFile_.c_str());
    std::string recorder = BuiltProgram(FOLDER_RECORDER_EXE);
    // Wine looks the folder verbs up in the machine's classes.
    for (const char* verb : RecordedVerbs) {
        SavedKey saved = {std::string("Software\\Classes\\Folder\\shell\\") + verb, false, ""};
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (saved.Key + "\\command").c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            char command[1024] = "";
            DWORD size = sizeof command - 1;
            if (RegQueryValueExA(key, nullptr, nullptr, nullptr, (BYTE*)command, &size) == ERROR_SUCCESS) {
                saved.Existed = true;
                saved.Command = command;
            }
            RegCloseKey(key);
        }
        saved_.push_back(saved);
        std::string command = "\"" + recorder + "\" \"" + recordFile_ + "\" " + verb + " \"%1\"";
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (saved.Key + "\\command").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE*)command.c_str(), (DWORD)command.size() + 1);
            RegCloseKey(key);
        }
    }
}

FolderVerbRecorder::~FolderVerbRecorder()
{
    for (const SavedKey& saved : saved_) {
        std::string commandKey = saved.Key + "\\command";
        if (!saved.Existed) {
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, commandKey.c_str());
            continue;
        }
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, commandKey.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) continue;
        RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE*)saved.Command.c_str(), (DWORD)saved.Command.size() + 1);
        RegCloseKey(key);
    }
    DeleteFileA(recordFile_.c_str());
}

std::vector<std::string> FolderVerbRecorder::Records() const
{
    std::vector<std::string> records;
    if (!FileExists(recordFile_)) return records;
    std::string text = ReadBytes(recordFile_);
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        records.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return records;
}

std::vector<std::string> FolderVerbRecorder::WaitForRecords(size_t count, DWORD limitMs) const
{
    std::vector<std::string> records;
    WaitUntil(
        [&] {
            records = Records();
            return records.size() >= count;
        },
        limitMs);
    return records;
}

std::string DescriptionOf(const std::string& linkPath)
{
    std::string description = "<unread>";
    if (FAILED(CoInitialize(nullptr))) return description;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
            WCHAR widePath[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH);
            char text[1024];
            if (SUCCEEDED(file->Load(widePath, STGM_READ)) && SUCCEEDED(link->GetDescription(text, sizeof text)))
                description = text;
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return description;
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

PickerTest::PickerTest() : Tree("pick"), Recorder(Tree.Root / "verbs.txt")
{
    Apps = Tree.Root / "apps";
    MakeFolders(Apps);
    Target = Apps + "\\" + Name + ".exe";
}

void PickerTest::SetUp()
{
    ASSERT_TRUE(CopyTargetProgram(Target)) << Target;
    ASSERT_TRUE(Helper.Start(Target)) << "the helper's windows did not show";
    ASSERT_TRUE(HelperInView());
}

void PickerTest::TearDown()
{
    Program.Kill();
    Helper.Stop();
}

bool PickerTest::StartPicking()
{
    Picker = nullptr;
    if (!Program.Start(Tree.Program(), "")) {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
        return false;
    }
    Picker = WaitForPickingMode(Program);
    EXPECT_NE(Picker, nullptr) << "the picker window did not cover the screen";
    return Picker != nullptr;
}

bool PickerTest::HelperInView() const
{
    for (HWND window : {Helper.Main, Helper.Button(), Helper.Edit()}) {
        HWND there = WindowFromPoint(CentreOf(window));
        if (there == window) continue;
        char className[64] = "";
        GetClassNameA(there, className, sizeof className);
        ADD_FAILURE() << "a window of class " << className << " lies over the helper's";
        return false;
    }
    return true;
}

std::string PickerTest::Scene(const char* shot) const
{
    std::string scene = "windows of the program:";
    for (HWND window : Program.VisibleWindows()) {
        char className[64] = "";
        GetClassNameA(window, className, sizeof className);
        RECT rect = WindowRect(window);
        scene += Format(" [%s \"%s\" %ld,%ld-%ld,%ld]", className, TextOf(window).c_str(), rect.left, rect.top,
                        rect.right, rect.bottom);
    }
    HWND foreground = GetForegroundWindow();
    char className[64] = "";
    GetClassNameA(foreground, className, sizeof className);
    scene += Format("; foreground: %s; screenshot %s", className, Screenshot(shot) ? shot : "failed");
    return scene;
}

bool PickerTest::EndsWithExitZero(bool* dialogSeen)
{
    bool seen = false;
    bool ended = WaitUntil(
        [&] {
            for (HWND window : Program.VisibleWindows())
                if (IsDialogWindow(window)) seen = true;
            return !Program.Running();
        },
        StartLimitMs);
    if (dialogSeen) *dialogSeen = seen;
    DWORD exitCode = 99;
    if (!ended || !Program.WaitForExit(0, &exitCode)) {
        ADD_FAILURE() << "the program did not end; " << Scene("picker-not-ended.png");
        return false;
    }
    EXPECT_EQ(exitCode, 0u);
    return exitCode == 0;
}

} // namespace pickertest
