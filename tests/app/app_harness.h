// Harness for the end-to-end tests of Quillet.exe: each test gets its own
// copy of the program in a fresh folder, the ten shell-folder places
// pointed at a prepared tree (and put back afterwards), and drives the real
// process's windows from here with window messages, as a user's clicks would.
// Every wait polls with a generous limit, so a failing test ends instead of
// hanging, and a program still running at the end is killed.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

namespace apptest {

const DWORD StartLimitMs = 20000;
const DWORD ScanLimitMs = 60000;

std::string Format(const char* format, ...);
std::string Hex(const std::string& bytes); // for failure messages: the CP932 bytes in hex

bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs);

// Files and folders.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
bool MakeFolders(const std::string& path);
bool WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
void RemoveTree(const std::string& path);
// A shortcut file written through the shell link object; false on failure.
bool MakeShortcut(const std::string& linkPath, const std::string& target);
// The target stored in a shortcut file, or "" when it cannot be read.
std::string ShortcutTarget(const std::string& linkPath);

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* tag);
    ~ScratchFolder();
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }

private:
    std::string path_;
};

// The ten shell-folder places by their value names, pointed at folders of a
// test's tree in both "Shell Folders" and "User Shell Folders" of HKCU and
// HKLM; the old values come back when the object goes.
class ShellFolderRedirect {
public:
    ShellFolderRedirect() = default;
    ~ShellFolderRedirect();
    void Point(const std::string& valueName, const std::string& folder);
    void Restore();

private:
    struct Saved {
        HKEY Hive;
        std::string Key;
        std::string Name;
        bool Existed;
        DWORD Type;
        std::string Data;
    };
    std::vector<Saved> saved_;
};

// The tree of places one test works in: Quillet.exe (and the help page)
// copied into bin\, and a folder for each of the ten places under places\.
struct PlaceTree {
    explicit PlaceTree(const char* tag);
    std::string Folder(const std::string& valueName) const; // "Desktop", "Common Programs", ...
    std::string QuickLaunch() const;
    std::string Program() const { return Bin + "\\Quillet.exe"; }
    std::string Settings() const { return Bin + "\\Quillet.ini"; }

    ScratchFolder Root;
    std::string Bin;
    ShellFolderRedirect Redirect;
};

// One run of the program, killed at the end if it is still there.
class Quillet {
public:
    Quillet() = default;
    ~Quillet();
    bool Start(const std::string& program, const std::string& argumentText);
    bool WaitForExit(DWORD limitMs, DWORD* exitCode);
    bool Running() const;
    void Kill();

    // The link dialog, once it shows its caption; null after the limit.
    HWND WaitForLinkDialog(DWORD limitMs = StartLimitMs) const;
    // A dialog of this process with the exact caption; null after the limit.
    HWND WaitForDialog(const std::string& caption, DWORD limitMs = StartLimitMs) const;
    // Every top-level window of this process that is visible.
    std::vector<HWND> VisibleWindows() const;
    // Whether the scan thread is alive: the one thread of the program that
    // runs one step above normal priority.
    bool ScanThreadAlive() const;

private:
    PROCESS_INFORMATION process_ = {};
    DWORD processId_ = 0;
};

// Reading and driving another process's controls.
std::string TextOf(HWND window);
bool IsDialogWindow(HWND window); // of the dialog class #32770
std::string ItemText(HWND dialog, int id);
bool SetItemText(HWND dialog, int id, const std::string& text);
bool IsTicked(HWND dialog, int id);
// A click handled to its end (the command is sent, so it has run when this
// returns); for commands that do not open a modal window.
bool Click(HWND dialog, int id);
// A click posted, for commands that open a modal window.
void PostClick(HWND dialog, int id);
// Returns once the window's thread has handled everything before this call.
bool Sync(HWND window);
bool WaitGone(HWND window, DWORD limitMs = StartLimitMs);

// Waits until no scan runs and the status line shows `expected`; the text
// last seen goes to `seen`.
bool WaitForScanEnd(const Quillet& program, HWND dialog, const std::string& expected, std::string* seen,
                    DWORD limitMs = ScanLimitMs);

// A PNG of the 1024x768 virtual desktop under the build's artefacts folder.
bool Screenshot(const char* fileName);

// Whether any pixel of the control's screen rectangle has exactly the colour.
bool ControlShowsColour(HWND control, COLORREF colour);

// The link colour of the status line and the About box's link labels.
const COLORREF LinkColour = RGB(0x40, 0x70, 0xE0);

// Progress mark colours, and the colour at the centre of the square beside
// a checkbox, where the mark is painted.
const COLORREF MarkWaitingColour = RGB(0, 0xC0, 0);
const COLORREF MarkSearchingColour = RGB(0, 0xFF, 0xFF);
const COLORREF MarkDoneColour = RGB(0, 0xA0, 0xFF);
COLORREF MarkColour(HWND dialog, int box);
typedef std::vector<std::pair<int, COLORREF>> MarkList; // box, colour
// Waits until every listed box shows its colour (or the limit passes) and
// returns the colours last seen, in the list's order.
std::vector<COLORREF> WaitForMarks(HWND dialog, const MarkList& marks, DWORD limitMs = 5000);
// Boxes 401..410, each with the done colour.
MarkList TenDoneMarks();

// Fills a folder with `groups` sub-folders of `filesEach` plain files, so a
// walk through it takes seconds.
void FillWithGroups(const std::string& folder, int groups, int filesEach);

// The base of most tests: a tree of places, a target program (a copy of
// Notepad named 表計算.exe, whose 表 ends in the byte 0x5C) and one run of
// Quillet.exe on it.
class QuilletTest : public ::testing::Test {
protected:
    QuilletTest();
    void TearDown() override;

    // Starts the program with the argument text and waits for its dialog.
    HWND Open(const std::string& argumentText);
    HWND OpenOnTarget() { return Open("\"" + Target + "\""); }
    // The status text that asks to tick places, for `name`.
    static std::string TickPlacesText(const std::string& name);
    // Waits for the scan to end with the status line showing `expected`.
    void ExpectScanEnd(const std::string& expected);
    // Closes the dialog and expects the process to end with exit code 0.
    void CloseAndExpectExitZero();
    // <place folder>[\group]\<name>.lnk
    std::string LinkIn(const std::string& valueName, const std::string& group = "",
                       const std::string& name = "表計算") const;

    PlaceTree Tree;
    std::string Target;
    const std::string Name = "表計算";
    Quillet Program;
    HWND Dialog = nullptr;
};

} // namespace apptest
