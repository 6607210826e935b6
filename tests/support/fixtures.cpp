// The end-to-end fixtures: a test's tree of places with its own copy of the
// program, one run of Quillet.exe on a target, and for the picker tests a
// helper program to point at, real input and the recorded folder verbs.
#include "test_support.h"
#include <ctype.h>

namespace testsupport {

PlaceTree::PlaceTree(const char* tag) : Root(tag), Bin(Root / "bin"), Redirect(Root / "places")
{
    MakeFolders(Bin);
    std::string built = QuilletProgram();
    CopyFileA(built.c_str(), Program().c_str(), FALSE);
    CopyFileA(Join(ParentOf(built), "Dovemere.html").c_str(), (Bin + "\\Dovemere.html").c_str(), FALSE);
}

void FillWithGroups(const std::string& folder, int groups, int filesEach)
{
    for (int g = 0; g < groups; ++g) {
        std::string group = folder + Format("\\group%04d", g);
        CreateDirectoryA(group.c_str(), nullptr);
        for (int f = 0; f < filesEach; ++f) WriteBytes(group + Format("\\readme%d.txt", f), "not a shortcut");
    }
}

const char* CurrentTestTag()
{
    static std::string tag;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    tag = info ? info->name() : "test";
    for (char& c : tag)
        if (!isalnum((unsigned char)c)) c = '-';
    if (tag.size() > 24) tag.resize(24);
    return tag.c_str();
}

// ---- QuilletTest -------------------------------------------------------------

QuilletTest::QuilletTest() : Tree(CurrentTestTag())
{
    std::string apps = Tree.Root / "apps";
    MakeFolders(apps);
    Target = apps + "\\表計算.exe";
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    CopyFileA((std::string(windows) + "\\notepad.exe").c_str(), Target.c_str(), FALSE);
}

HWND QuilletTest::Open(const std::string& argumentText)
{
    Dialog = nullptr;
    if (!Program.Start(Tree.Program(), argumentText)) {
        ADD_FAILURE() << "the program did not start: " << GetLastError();
        return nullptr;
    }
    Dialog = Program.WaitForLinkDialog();
    EXPECT_NE(Dialog, nullptr) << "the link dialog did not appear; running: " << Program.Running()
                               << ", visible windows: " << Program.VisibleWindows().size();
    return Dialog;
}

bool QuilletTest::OpenIdle()
{
    if (!OpenOnTarget()) return false;
    ExpectScanEnd(TickPlacesText(Name));
    return !HasFailure();
}

void QuilletTest::AnswerMessage(const std::string& text, int answer)
{
    HWND box = Program.WaitForDialog("Pathwick");
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_EQ(ItemText(box, 0xFFFF), text) << Hex(ItemText(box, 0xFFFF));
    PostMessageA(box, WM_COMMAND, answer, 0);
    ASSERT_TRUE(WaitGone(box));
    if (Dialog) { ASSERT_TRUE(Sync(Dialog) || !IsWindow(Dialog)); } // an answer may close it
}

HWND QuilletTest::WaitForOtherDialog() const
{
    return WaitForWindow(Program.ProcessId(), [&](HWND window) { return window != Dialog && IsDialogWindow(window); });
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
    DWORD start = GetTickCount();
    bool ended = Program.WaitForExit(StartLimitMs, &exitCode);
    EXPECT_TRUE(ended) << "the program did not end within " << GetTickCount() - start
                       << " ms; error: " << GetLastError() << ", dialog still there: " << (IsWindow(Dialog) != 0);
    EXPECT_EQ(exitCode, 0u);
}

std::string QuilletTest::LinkIn(const std::string& valueName, const std::string& group, const std::string& name) const
{
    std::string folder = valueName == "AppData" ? Tree.QuickLaunch() : Tree.Folder(valueName);
    if (!group.empty()) folder += "\\" + group;
    return folder + "\\" + name + ".lnk";
}

// ---- real input --------------------------------------------------------------

// Runs x_input.pl, which says nothing back: the callers wait for its effect.
static void RunInputScript(const std::string& arguments)
{
    StartUnixProgram("/usr/bin/perl", std::string(SUPPORT_DIR) + "/x_input.pl " + arguments);
}

static void SendMouse(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

static bool KeyDown(BYTE virtualKey)
{
    return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

bool MoveTo(POINT point)
{
    RunInputScript(Format("move %ld %ld", point.x, point.y));
    POINT now = {};
    return WaitUntil(
        [&] {
            GetCursorPos(&now);
            return now.x == point.x && now.y == point.y;
        },
        StartLimitMs, "the pointer to arrive", [&] { return Format("%ld,%ld", now.x, now.y); });
}

void PressButton(MouseButton button)
{
    SendMouse(button == MouseButton::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN);
}

void ReleaseButton(MouseButton button)
{
    SendMouse(button == MouseButton::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP);
}

bool ClickAt(POINT point, MouseButton button)
{
    if (!MoveTo(point)) return false;
    PressButton(button);
    // The release follows once the press is in the session's state.
    BYTE key = button == MouseButton::Left ? VK_LBUTTON : VK_RBUTTON;
    bool pressed = WaitUntil([&] { return KeyDown(key); }, StartLimitMs, "the button to be down");
    ReleaseButton(button);
    return pressed;
}

// Under Wine, GetAsyncKeyState in another process answers from a copy kept
// for 50 ms (measured: a press 30 ms before the click was missed, 60 ms
// before it was seen). No state of that process shows when its copy has
// expired, so each change is held for three times that, as a hand would.
const DWORD KeyStateCopyMs = 150;

HeldKey::HeldKey(Key key) : key_(key)
{
    RunInputScript(std::string("press ") + key_.Keysym);
    if (WaitUntil([&] { return KeyDown(key_.VirtualKey); }, StartLimitMs, "the key to go down"))
        Sleep(KeyStateCopyMs);
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
    WaitUntil([&] { return !KeyDown(key_.VirtualKey); }, StartLimitMs, "the key to come up");
}

void SetKeyDown(WORD virtualKey, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

// ---- the picker tests ----------------------------------------------------------

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
    if (!run_.StartWide(L"\"" + Widen(program) + L"\"", L"", locked ? &attributes : nullptr)) return false;
    Main = WaitForWindow(ProcessId(), [](HWND window) { return ClassOf(window) == "PickTargetMain"; });
    Dialog = WaitForWindow(ProcessId(), IsDialogWindow);
    return Main && Dialog && Sync(Main);
}

void TargetProgram::Stop()
{
    // Closed as a user would; ended only when it does not go.
    DWORD exitCode = 0;
    if (IsWindow(Main)) PostMessageA(Main, WM_CLOSE, 0, 0);
    if (run_.Running()) run_.WaitForExit(StartLimitMs, &exitCode);
    run_.Kill();
    Main = Dialog = nullptr;
}

bool CopyTargetProgram(const std::string& path)
{
    return CopyFileA(PickTargetProgram().c_str(), path.c_str(), FALSE) != FALSE;
}

HWND WaitForPickingMode(const Quillet& program, DWORD limitMs)
{
    HWND picker = WaitForWindow(
        program.ProcessId(), [](HWND window) { return ClassOf(window) == "Quillet" && CoversScreen(window); },
        limitMs);
    // The window grows first; picking mode is on once its thread takes
    // messages again.
    if (picker && !Sync(picker)) picker = nullptr;
    return picker;
}

FolderVerbRecorder::FolderVerbRecorder(const std::string& recordFile) : recordFile_(recordFile)
{
    DeleteFileA(recordFile_.c_str());
    // Wine looks the folder verbs up in the machine's classes.
    for (const char* verb : {"open", "explore"}) {
        std::string key = std::string("Software\\Classes\\Folder\\shell\\") + verb + "\\command";
        registry_.Own(HKEY_LOCAL_MACHINE, key);
        registry_.SetText(HKEY_LOCAL_MACHINE, key, nullptr, "\"" + RecorderProgram() + "\" " + verb + " \"%1\"");
    }
    // The program under test inherits it, and the stand-in from it.
    SetEnvironmentVariableA("PATHWICK_TEST_RECORD", recordFile_.c_str());
}

FolderVerbRecorder::~FolderVerbRecorder()
{
    SetEnvironmentVariableA("PATHWICK_TEST_RECORD", nullptr);
    registry_.Restore();
    DeleteFileA(recordFile_.c_str());
}

std::vector<std::string> FolderVerbRecorder::WaitForRecords(size_t count, DWORD limitMs) const
{
    std::vector<std::string> records;
    WaitUntil(
        [&] {
            records = ReadRecords(recordFile_);
            return records.size() >= count;
        },
        limitMs);
    return records;
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
        ADD_FAILURE() << "the program did not start: " << GetLastError();
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
        ADD_FAILURE() << "a window of class " << ClassOf(there) << " lies over the helper's";
        return false;
    }
    return true;
}

std::string PickerTest::Scene(const char* shot) const
{
    std::string scene = "windows of the program:";
    for (HWND window : Program.VisibleWindows()) {
        RECT rect = WindowRect(window);
        scene += Format(" [%s \"%s\" %ld,%ld-%ld,%ld]", ClassOf(window).c_str(), TextOf(window).c_str(), rect.left,
                        rect.top, rect.right, rect.bottom);
    }
    scene += "; foreground: " + ClassOf(GetForegroundWindow());
    return scene + "; screenshot " + (Screenshot(shot) ? shot : "failed");
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

} // namespace testsupport
