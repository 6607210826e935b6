// What the picker tests add to the end-to-end harness: the helper program
// they point at, real injected mouse and key input, the shell's folder verbs
// pointed at a recording stand-in, and the wait for picking mode.
#pragma once
#include "app_harness.h"
#include <string>
#include <vector>

namespace pickertest {

// The copy of the helper program that one test runs, with its top-level
// window and the dialog it owns (button 1001, edit box 1002). A locked run
// is created with a security descriptor that lets no one open the process.
class TargetProgram {
public:
    TargetProgram() = default;
    ~TargetProgram();
    bool Start(const std::string& program, bool locked = false);
    void Stop();
    DWORD ProcessId() const { return process_.dwProcessId; }

    HWND Main = nullptr;
    HWND Dialog = nullptr;
    HWND Button() const { return GetDlgItem(Dialog, 1001); }
    HWND Edit() const { return GetDlgItem(Dialog, 1002); }

private:
    PROCESS_INFORMATION process_ = {};
};

// Copies the built helper program to `path`.
bool CopyTargetProgram(const std::string& path);
std::string FileNameOf(const std::string& path);
bool SameText(const std::string& a, const std::string& b); // without regard to case

// The centre of a window's client area, in screen coordinates.
POINT CentreOf(HWND window);

// Real input. The pointer moves and the modifier keys go through the X
// server (x_input.pl), so that Wine, which makes its own state agree with the
// X server's whenever the pointer passes into another window, keeps them;
// the buttons are injected through Windows (SendInput), which the X server's
// state does not need to know.
enum class MouseButton { Left, Right };
// Moves the pointer and waits until Wine reports it there.
bool MoveTo(POINT point);
void Press(MouseButton button);
void Release(MouseButton button);
// Moves, presses, and releases 100 ms later.
bool ClickAt(POINT point, MouseButton button);

struct Key {
    const char* Keysym; // for the X server, in hex
    BYTE VirtualKey;     // as Windows names it
};
const Key Ctrl = {"ffe3", VK_CONTROL}; // Control_L
const Key Shift = {"ffe1", VK_SHIFT};  // Shift_L

// A key held down from construction until Release or the end of the scope.
class HeldKey {
public:
    explicit HeldKey(Key key);
    ~HeldKey();
    void Release();

private:
    Key key_;
    bool released_ = false;
};

// The picker window of a run, once it covers the screen and has finished
// entering picking mode; null after the limit.
HWND WaitForPickingMode(const apptest::Quillet& program, DWORD limitMs = apptest::StartLimitMs);
RECT WindowRect(HWND window);
bool CoversScreen(HWND window);

// The shell's "open" and "explore" verbs of folders pointed at the
// recording stand-in for as long as the object lives; each start of it adds
// "<verb>|<folder>|<show command>" to the record file.
class FolderVerbRecorder {
public:
    explicit FolderVerbRecorder(const std::string& recordFile);
    ~FolderVerbRecorder();
    std::vector<std::string> Records() const;
    // Waits until at least `count` records are there.
    std::vector<std::string> WaitForRecords(size_t count, DWORD limitMs = apptest::StartLimitMs) const;

private:
    struct SavedKey {
        std::string Key;
        bool Existed;
        std::string Command;
    };
    std::string recordFile_;
    std::vector<SavedKey> saved_;
};

// A build output given as "Z:/unix/path", as a Windows path.
std::string BuiltProgram(const char* path);

// The description stored in a shortcut file, or "<unread>".
std::string DescriptionOf(const std::string& linkPath);
// The names of the files in a folder.
std::vector<std::string> FilesIn(const std::string& folder);

// The base of the end-to-end picker tests: a tree of places, a copy of the
// helper program named 予定表.exe (whose 表 ends in the byte 0x5C) running
// beside them, the folder verbs recorded, and one run of Quillet.exe.
class PickerTest : public ::testing::Test {
protected:
    PickerTest();
    void SetUp() override;
    void TearDown() override;

    // Starts the program without a target and waits for picking mode.
    bool StartPicking();
    // Whether the helper's windows are the ones found at their centres:
    // no window left over by an earlier run covers them.
    bool HelperInView() const;
    // The program's visible windows and a screenshot, for failure messages.
    std::string Scene(const char* shot) const;
    // Waits for the program to end; true when it ended with exit code 0.
    // Whether a dialog of it showed meanwhile goes to `dialogSeen`.
    bool EndsWithExitZero(bool* dialogSeen = nullptr);
    std::string DesktopLink() const { return Tree.Folder("Desktop") + "\\" + Name + ".lnk"; }

    apptest::PlaceTree Tree;
    FolderVerbRecorder Recorder;
    std::string Apps;
    std::string Target;
    const std::string Name = "予定表";
    TargetProgram Helper;
    apptest::Quillet Program;
    HWND Picker = nullptr;
};

} // namespace pickertest
