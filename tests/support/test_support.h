// The one library behind every test program and benchmark: files, folders
// and shortcuts; the eleven places pointed at a test's own tree through the
// real registry (and put back afterwards); the programs under test started,
// watched and ended; their windows found, read and pressed from here as a
// user's clicks and keys would; waits for observable states, each with a
// generous limit and a message saying what it saw last; and screenshots.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "shortcut_files.h"

namespace testsupport {

// ---- waiting -------------------------------------------------------------

// Generous: CI runs on a loaded two-core machine.
const DWORD StartLimitMs = 30000;
const DWORD ScanLimitMs = 60000;

// Polls `condition` until it holds or `limitMs` passes. When it gives up and
// `what` is given, the test fails, naming what it waited for and what
// `lastSeen` then reports.
bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs, const char* what = nullptr,
               const std::function<std::string()>& lastSeen = nullptr);

std::string Format(const char* format, ...);
std::string Hex(const std::string& bytes); // the code page 932 bytes of a failure message
std::string Utf8(const std::string& text);  // code page 932 text for a terminal
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);
// Names a parameterised case after its Label.
struct CaseLabel {
    template <class Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return info.param.Label;
    }
};
inline bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// ---- paths, files and folders --------------------------------------------

inline std::string Join(const std::string& folder, const std::string& name) { return folder + "\\" + name; }
// The parts of a path split at its last backslash, never at a trail byte.
std::string ParentOf(const std::string& path);
std::string FileNameOf(const std::string& path);
std::wstring Widen(const std::string& text);
inline bool SameText(const std::string& a, const std::string& b) { return !lstrcmpiA(a.c_str(), b.c_str()); }
// A path on a drive letter that is not mapped.
std::string OnMissingDrive(const std::string& rest);
// A free drive letter that Wine's mount manager serves from `folder` as a drive
// of the given GetDriveType type (removable, remote), gone with the object.
struct TypedDrive {
    TypedDrive(const std::string& folder, UINT driveType);
    ~TypedDrive();
    std::string Path(const std::string& rest) const { return std::string(1, letter_) + ":\\" + rest; }
    char letter_;
};

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline bool FileExists(const std::string& path)
{
    return Exists(path) && !(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}
inline bool FolderExists(const std::string& path)
{
    return Exists(path) && (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}
bool MakeFolders(const std::string& path); // every missing level
bool WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path); // "<missing>" when it cannot be opened
inline bool CopyInto(const std::string& file, const std::string& folder, const std::string& name)
{
    return CopyFileA(file.c_str(), Join(folder, name).c_str(), FALSE) != FALSE;
}
// Names in a folder ("." and ".." left out) in the platform's order.
std::vector<std::string> EntriesOf(const std::string& folder, bool withFolders = true);
inline std::vector<std::string> FilesIn(const std::string& folder) { return EntriesOf(folder, false); }
// Deletes a tree, read-only files included. Folder links are never followed.
void DeleteTree(const std::string& folder);

// A fresh folder under the temporary folder, deleted with all it holds.
class TempFolder {
public:
    explicit TempFolder(const char* tag = "t");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& relative) const { return Join(path_, relative); }

private:
    std::string path_;
};

// ---- shortcuts -------------------------------------------------------------

// Written through the shell link object, folders made first; false on failure.
bool MakeShortcut(const std::string& linkPath, const std::string& target, const std::string& description = "",
                  WorkingFolderMode mode = WithWorkingFolder);
// Saved through the wide interface, for targets the code page cannot name.
bool MakeWideShortcut(const std::wstring& linkPath, const std::wstring& target);
// The target as the walk reads it, or "" when nothing can be read.
std::string ShortcutTarget(const std::string& linkPath);
// The bytes of a shortcut in a layout Windows writes and the shell link object
// here does not: each part given is written, each empty one left out. The
// item ID list names `Items` as the computer, its drive and entries, each with
// a short name that names nothing and the long name where extension block
// version `Version` keeps it (3: XP, 7: Vista, 8: 7, 9: 8 and later).
struct LinkParts {
    std::wstring Items;
    int Version = 9;
    std::wstring LinkInfo;    // the local base path
    std::wstring Relative;
    std::wstring Environment; // the environment-variable block
    bool Unicode = true;      // the counted texts' strings
};
std::string ShortcutBytes(const LinkParts& parts);
// A stored text as the shell link object gives it, or `unread`.
enum LinkText { LinkDescription, LinkArguments, LinkWorkingFolder };
std::string LinkTextOf(const std::string& linkPath, LinkText which, const char* unread);
inline std::string DescriptionOf(const std::string& linkPath)
{
    return LinkTextOf(linkPath, LinkDescription, "<unread>");
}

// ---- names the code page cannot hold ----------------------------------------

// Such a file is made, started and removed through the wide functions only,
// since its ANSI name is a different path. This one has é, which code page
// 932 lacks (its best fit would be "Cafe").
const wchar_t UnheldName[] = L"Caf\u00e9.exe";

// A copy of a file under a wide name, deleted when the object goes.
class WideCopy {
public:
    WideCopy(const std::string& source, const std::wstring& path) : path_(path)
    {
        made_ = CopyFileW(Widen(source).c_str(), path.c_str(), FALSE) != FALSE;
    }
    ~WideCopy()
    {
        // A program still running from it lets go within moments.
        WaitUntil([&] { return DeleteFileW(path_.c_str()) || GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES; },
                  10000);
    }
    bool Made() const { return made_; }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    bool made_ = false;
};

// The text that says a name cannot be used.
const char NameNotHeldText[] =
    "ファイル名またはフォルダ名に、このプログラムでは扱えない文字（シフトJIS にない文字）が含まれています。\n\n"
    "この名前は使用できません。";

// ---- registry and places -------------------------------------------------

// Registry values set for a while: each comes back (or goes) when the object
// goes, last set first. A key owned here did not exist and goes whole.
class RegistryOverride {
public:
    RegistryOverride() = default;
    ~RegistryOverride() { Restore(); }
    RegistryOverride(const RegistryOverride&) = delete;
    RegistryOverride& operator=(const RegistryOverride&) = delete;
    // `name` null is the key's default value.
    void Set(HKEY hive, const std::string& key, const char* name, DWORD type, const void* data, DWORD size);
    void SetText(HKEY hive, const std::string& key, const char* name, const std::string& text, DWORD type = REG_SZ);
    void Own(HKEY hive, const std::string& key);
    void Restore();

private:
    struct Saved {
        HKEY Hive;
        REGSAM View; // of HKLM: the 64-bit or the 32-bit one
        std::string Key;
        bool Named;
        std::string Name;
        bool Existed;
        DWORD Type;
        std::string Data;
        bool OwnedKey;
    };
    std::vector<Saved> saved_;
};

extern const char ShellFoldersKey[];
extern const char UserShellFoldersKey[];

inline std::vector<std::string> Sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A value of HKCU's "Shell Folders", or "".
std::string ReadShellFolderValue(const char* valueName);

// The ten places as folders of one tree, nested as on Windows (Programs in
// Start Menu, Startup in Programs), with "Shell Folders" and "User Shell
// Folders" of HKCU and HKLM pointed at them (the shell's lookup reads the
// latter and rewrites the former).
class RedirectedPlaces {
public:
    RedirectedPlaces();                                 // in a temporary folder of its own
    explicit RedirectedPlaces(const std::string& root); // in `root`
    // Points one value name at a folder, creating the folder.
    void Point(const std::string& valueName, const std::string& folder);
    const std::string& Root() const { return root_; }
    std::string Folder(const std::string& valueName) const; // "Desktop", "Common Programs", ...
    std::string QuickLaunch() const;

private:
    void PointAll();
    std::unique_ptr<TempFolder> own_;
    std::string root_;
    RegistryOverride registry_;
    std::vector<std::pair<std::string, std::string>> folders_;
};

// ---- programs --------------------------------------------------------------

// Programs built beside the tests, as Windows paths.
std::string QuilletProgram();
std::string StowfoldProgram();
std::string RecorderProgram();   // the recording stand-in (recorder.cpp)
std::string PickTargetProgram(); // the picker tests' helper
// Whether Wine answers the programs under test as a Windows before Vista
// (PATHWICK_WINDOWS_ANSWER, set by scripts/test.sh): no limited token there.
bool AnswerBeforeVista();

// Lines written by the recording stand-in, in their order, each
// "<program> <arguments> (show N)" with `caseFolder` (unless empty) shown as
// %CASE% and the stand-in itself as "recorder".
std::vector<std::string> ReadRecords(const std::string& recordFile, const std::string& caseFolder = "");

// Starts a Unix program (Wine runs it given its Unix path) with `arguments`.
// Wine gives back no process for it (its handle fields are left stale, so
// they are never used): callers wait for its effect.
bool StartUnixProgram(const std::string& unixProgram, const std::string& arguments);
// Runs a CreateProcess call, once more if Wine lost the new process before
// any Windows code of it ran (see programs.cpp).
bool CreateProcessPastLostStart(const std::function<BOOL()>& create);
std::string UnixPathOf(const std::string& windowsPath);
// Runs a shell command and waits for the file it touches at its end.
bool RunShell(const std::string& command, const std::string& doneFile);

// A folder that refuses new files even to root while the object lives (the
// Linux immutable attribute; Wine answers access denied). The file that tells
// the end of a chattr lies outside the places, since they nest.
struct ImmutableFolder {
    explicit ImmutableFolder(const std::string& folder)
        : Unix(UnixPathOf(folder)), Done(Format("Z:\\tmp\\pathwick-chattr-%lu", GetCurrentProcessId())),
          Set(RunShell("chattr +i '" + Unix + "'", Done) && !WriteBytes(Join(folder, "probe"), "")) {}
    ~ImmutableFolder() { RunShell("chattr -i '" + Unix + "'", Done) && DeleteFileA(Done.c_str()); }
    std::string Unix, Done;
    bool Set;
};

bool ScanThreadAliveIn(DWORD processId);

// One run of a program, killed at the end if it is still there.
class Quillet {
public:
    Quillet() = default;
    ~Quillet() { Kill(); }
    Quillet(const Quillet&) = delete;
    Quillet& operator=(const Quillet&) = delete;
    // Unless `alone` is false, waits first for an earlier instance to be gone
    // (its mutex released), which it would otherwise take for itself running.
    bool Start(const std::string& program, const std::string& argumentText, bool alone = true);
    // For names the code page cannot hold; the current folder unless given.
    // `limited`: with the linked limited token, as Windows starts an
    // administrator's programs under User Account Control.
    bool StartWide(const std::wstring& commandLine, const std::wstring& folder = L"",
                   SECURITY_ATTRIBUTES* processSecurity = nullptr, bool limited = false);
    // Takes over a run this object did not start.
    bool Attach(DWORD processId);
    bool WaitForExit(DWORD limitMs, DWORD* exitCode);
    bool EndsWithExitZero(DWORD limitMs = StartLimitMs);
    bool Running() const;
    void Kill();
    DWORD ProcessId() const { return processId_; }

    // The link dialog, once it shows its caption; null after the limit.
    HWND WaitForLinkDialog(DWORD limitMs = StartLimitMs) const { return WaitForDialog(" Pathwick Ver 1.50", limitMs); }
    // A dialog of this process with the exact caption; null after the limit.
    HWND WaitForDialog(const std::string& caption, DWORD limitMs = StartLimitMs) const;
    std::vector<HWND> VisibleWindows() const; // top-level ones
    // Whether the scan thread is alive: the one thread of the program that
    // runs one step above normal priority.
    bool ScanThreadAlive() const { return ScanThreadAliveIn(processId_); }

private:
    PROCESS_INFORMATION process_ = {};
    DWORD processId_ = 0;
};

// Whether another Quillet.exe holds the single-instance mutex.
bool InstanceRunning();

std::vector<HWND> TopLevelWindowsOf(DWORD processId);
// A visible top-level window of the process that `match` accepts; null
// after the limit.
HWND WaitForWindow(DWORD processId, const std::function<bool(HWND)>& match, DWORD limitMs = StartLimitMs);
// The scan is over: its thread is gone and the status line shows `expected`
// (the text last seen goes to `seen`).
bool WaitForScanEnd(const Quillet& program, HWND dialog, const std::string& expected, std::string* seen,
                    DWORD limitMs = ScanLimitMs);

// ---- reading and pressing controls --------------------------------------

std::string ClassOf(HWND window);
inline bool IsDialogWindow(HWND window) { return ClassOf(window) == "#32770"; }
// WM_GETTEXT, which crosses processes; "<no answer>" from a hung or missing window.
std::string TextOf(HWND window);
inline std::string ItemText(HWND dialog, int id)
{
    return GetDlgItem(dialog, id) ? TextOf(GetDlgItem(dialog, id)) : "<no control>";
}
bool SetItemText(HWND dialog, int id, const std::string& text);
bool IsTicked(HWND dialog, int id);
// A click handled to its end (sent, so it has run when this returns); for
// commands that do not open a modal window.
bool Click(HWND dialog, int id);
// A click posted, for commands that open a modal window.
inline void PostClick(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}
// Returns once the window's thread has handled every message sent before.
bool Sync(HWND window);
inline bool WaitGone(HWND window, DWORD limitMs = StartLimitMs)
{
    return WaitUntil([&] { return !IsWindow(window); }, limitMs);
}
inline RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}
POINT CentreOf(HWND window); // of the client area, on the screen
bool CoversScreen(HWND window);

// ---- the screen ----------------------------------------------------------

// A PNG of the 800x600 virtual desktop in the build's artefacts folder.
bool Screenshot(const char* fileName);
// The pixels (0x00RRGGBB, top row first) of a 32-bit picture after `paint`
// has drawn on it, and of a rectangle of the screen.
std::vector<DWORD> Pixels(int width, int height, const std::function<void(HDC, DWORD*)>& paint);
std::vector<DWORD> ScreenPixels(const RECT& rect);
// Whether any pixel of the control's screen rectangle has exactly the colour.
bool ControlShowsColour(HWND control, COLORREF colour);

// The link colour of the status line and the About box's link labels.
const COLORREF LinkColour = RGB(0x40, 0x70, 0xE0);
// Progress mark colours, and the colour at the centre of the square beside a
// checkbox, where the mark is painted.
const COLORREF MarkWaitingColour = RGB(0, 0xC0, 0);
const COLORREF MarkSearchingColour = RGB(0, 0xFF, 0xFF);
const COLORREF MarkDoneColour = RGB(0, 0xA0, 0xFF);
COLORREF MarkColour(HWND dialog, int box);
typedef std::vector<std::pair<int, COLORREF>> MarkList; // box, colour
// Waits until every listed box shows its colour (or the limit passes) and
// returns the colours last seen, in the list's order.
std::vector<COLORREF> WaitForMarks(HWND dialog, const MarkList& marks, DWORD limitMs = 10000);
// Waits for the marks and expects each, naming its box on failure.
void ExpectMarks(HWND dialog, const MarkList& marks);
MarkList TenDoneMarks(); // boxes 401..410

// ---- real input ----------------------------------------------------------

// The pointer and the modifier keys go through the X server (x_input.pl), so
// that Wine, which makes its own state agree with the X server's whenever the
// pointer passes into another window, keeps them; the buttons are injected
// through Windows (SendInput), which the X server does not need to know.
enum class MouseButton { Left, Right };
bool MoveTo(POINT point); // and waits until Wine reports the pointer there
void PressButton(MouseButton button);
void ReleaseButton(MouseButton button);
bool ClickAt(POINT point, MouseButton button);

struct Key {
    const char* Keysym; // for the X server, in hex
    BYTE VirtualKey;    // as Windows names it
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

// A key held down for every program of the session through SendInput.
void SetKeyDown(WORD virtualKey, bool down);

// ---- in-process pieces for the core tests ---------------------------------

// A real top-level window of this module (so WARN_DIALOG is found through it)
// with edit controls; each control keeps every text it was given.
class StatusWindow {
public:
    explicit StatusWindow(std::initializer_list<int> ids);
    ~StatusWindow();
    HWND Handle() const { return window_; }
    std::string Text(int id) const;
    std::vector<std::string> History(int id) const;

private:
    static LRESULT CALLBACK RecordingProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    WNDPROC original_ = nullptr;
    std::vector<std::pair<int, std::string>> history_;
};

// Answers WARN_DIALOG from a second thread as a user would: finds the dialog
// of this process, records the shortcut path it shows, checks its texts and
// presses the next scripted button. A dialog beyond the script is cancelled
// and reported as a problem, so no test can hang on one.
enum class Press { Command, Click, Escape };
struct Answer {
    int Id;
    Press How;
};

class WarnDialogResponder {
public:
    explicit WarnDialogResponder(std::vector<Answer> answers = {});
    ~WarnDialogResponder();
    std::vector<std::string> Paths;    // edit 1000 of every dialog seen
    std::vector<std::string> Problems; // texts that were wrong, dialogs not scripted

private:
    static DWORD WINAPI Run(void* self);
    DWORD Respond();
    void CheckTexts(HWND dialog);
    std::vector<Answer> answers_;
    volatile LONG stop_ = 0;
    HANDLE thread_;
};

void ResetSweepState();

// The base of the core tests: the places in a tree of their own, and the
// sweep's shared state reset before and after each test.
class CoreTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSweepState(); }
    void TearDown() override { ResetSweepState(); }
    RedirectedPlaces places;
};

// ---- the end-to-end fixtures ---------------------------------------------

// The tree one test works in: Quillet.exe and its help page copied into its
// bin folder (no installer beside them), and the ten places in its places folder.
struct PlaceTree {
    explicit PlaceTree(const char* tag);
    std::string Folder(const std::string& valueName) const { return Redirect.Folder(valueName); }
    std::string QuickLaunch() const { return Redirect.QuickLaunch(); }
    std::string Program() const { return Bin + "\\Quillet.exe"; }
    std::string Settings() const { return Bin + "\\Quillet.ini"; }

    TempFolder Root;
    std::string Bin;
    RedirectedPlaces Redirect;
};

// Fills a folder with `groups` sub-folders of `filesEach` plain files, so a
// walk through it takes seconds.
void FillWithGroups(const std::string& folder, int groups, int filesEach);

// The status text that asks to tick places, for `name`.
inline std::string TickPlacesText(const std::string& name)
{
    return name + " へのショートカットを作成したい項目にチェックしてください";
}

// A short folder-name tag made of the running test's name.
const char* CurrentTestTag();

// The base of most end-to-end tests: a tree of places, a target program (a
// copy of Notepad named 表計算.exe, whose 表 ends in the byte 0x5C) and one
// run of Quillet.exe on it.
class QuilletTest : public ::testing::Test {
protected:
    QuilletTest();
    void TearDown() override { Program.Kill(); }

    // Starts the program with the argument text and waits for its dialog.
    HWND Open(const std::string& argumentText);
    HWND OpenOnTarget() { return Open("\"" + Target + "\""); }
    // Opens on the target and waits for the first scan to end.
    bool OpenIdle();
    // Expects the program's message box with `text`, answers it and waits
    // until the link dialog (if open) has handled what followed.
    void AnswerMessage(const std::string& text, int answer = IDOK);
    // A dialog of the program other than the link dialog; null after the limit.
    HWND WaitForOtherDialog() const;
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

// ---- the picker tests ------------------------------------------------------

// A run of the picker tests' helper program, with its top-level window and
// the dialog it owns (button 1001, edit box 1002). A locked run is created
// with a security descriptor that lets no one open the process.
class TargetProgram {
public:
    ~TargetProgram() { Stop(); }
    bool Start(const std::string& program, bool locked = false);
    void Stop();
    DWORD ProcessId() const { return run_.ProcessId(); }

    HWND Main = nullptr;
    HWND Dialog = nullptr;
    HWND Button() const { return GetDlgItem(Dialog, 1001); }
    HWND Edit() const { return GetDlgItem(Dialog, 1002); }

private:
    Quillet run_;
};

// Copies the helper program to `path`.
bool CopyTargetProgram(const std::string& path);

// The base of the picker tests that call the searches directly: a copy of
// the helper program named 予定表.exe, started when a test wants it.
class HelperProgramTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CopyTargetProgram(Target)) << Target; }
    TempFolder Folder{"helper"};
    std::string Target = Folder / "予定表.exe";
    TargetProgram Helper;
};

// The picker window of a run, once it covers the screen and has finished
// entering picking mode; null after the limit.
HWND WaitForPickingMode(const Quillet& program, DWORD limitMs = StartLimitMs);

// The shell's "open" and "explore" verbs of folders pointed at the recording
// stand-in for as long as the object lives; each start of it adds a record
// (see ReadRecords): recorder <verb> "<folder>" (show <show command>).
class FolderVerbRecorder {
public:
    explicit FolderVerbRecorder(const std::string& recordFile);
    ~FolderVerbRecorder();
    std::vector<std::string> Records() const { return ReadRecords(recordFile_); }
    // Waits until at least `count` records are there.
    std::vector<std::string> WaitForRecords(size_t count, DWORD limitMs = StartLimitMs) const;

private:
    std::string recordFile_;
    RegistryOverride registry_;
};

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
    // Whether the helper's windows are the ones found at their centres: no
    // window left over by an earlier run covers them.
    bool HelperInView() const;
    // The program's visible windows and a screenshot, for failure messages.
    std::string Scene(const char* shot) const;
    // Waits for the program to end; true when it ended with exit code 0.
    // Whether a dialog of it showed meanwhile goes to `dialogSeen`.
    bool EndsWithExitZero(bool* dialogSeen = nullptr);
    std::string DesktopLink() const { return Tree.Folder("Desktop") + "\\" + Name + ".lnk"; }

    PlaceTree Tree;
    FolderVerbRecorder Recorder;
    std::string Apps;
    std::string Target;
    const std::string Name = "予定表";
    TargetProgram Helper;
    Quillet Program;
    HWND Picker = nullptr;
};

// ---- the installer tests -------------------------------------------------

// A message box as the user saw it.
struct MessageBoxSeen {
    std::string Text;    // the static text, code page 932 bytes
    std::string Buttons; // "OK", "Yes No", ...
    std::string Icon;    // "question", "information", "warning", "error", "none" or "other"
    bool HasOwner = false;
    bool operator==(const MessageBoxSeen& other) const
    {
        return Text == other.Text && Buttons == other.Buttons && Icon == other.Icon && HasOwner == other.HasOwner;
    }
};
void PrintTo(const MessageBoxSeen& box, std::ostream* out);

struct InstallerRun {
    bool Started = false;
    DWORD ExitCode = 0xDEADBEEF;
    bool ProcessesEnded = false;           // the installer and all it started
    std::vector<std::string> LeftOver;     // programs still running at the limit
    std::vector<MessageBoxSeen> Boxes;     // in order of appearance
    std::vector<std::string> OtherWindows; // visible windows that are not its boxes
};

// Starts `program` in `currentFolder`, presses `answers` (IDYES, IDNO, IDOK)
// on its message boxes in turn, and waits until it and every process it
// started have ended. Processes left over are ended.
InstallerRun RunInstaller(const std::string& program, const std::string& currentFolder,
                          const std::vector<int>& answers);

// "<name> -> <target> wd=<working folder> args=<arguments> desc=<description>"
// for every entry of a folder (sorted), with `caseFolder` shown as %CASE%; a
// sub-folder is listed as "<name>\".
std::vector<std::string> DescribeFolder(const std::string& folder, const std::string& caseFolder);
std::string DescribeLink(const std::string& name, const std::string& target, const std::string& description);

// ---- benchmarks ------------------------------------------------------------

double Seconds();
// `groups` folders of `linksPerGroup` shortcuts to programs that are not
// there, each with a desktop.ini and a text file; returns every file made.
std::vector<std::string> BuildMenu(const std::string& folder, int groups, int linksPerGroup, int firstGroup = 0);
// Seconds taken to open, read and close every file once.
double PlainRead(const std::vector<std::string>& files);
// Every figure is taken this many times; min and median are printed.
const int Rounds = 5;
double Min(std::vector<double> values);
double Median(std::vector<double> values);

} // namespace testsupport
