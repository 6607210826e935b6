// Shared by the core tests and the benchmark: private temporary folders, the
// eleven places redirected into one of them through the real registry (and
// put back afterwards), shortcut and file helpers, and a real owner window
// whose edit controls record every text the search puts into them.
#pragma once
#include <windows.h>
#include <string.h>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>
#include "link_search.h"
#include "shortcut_files.h"

namespace testing_support {

inline std::string Join(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

// A path on a drive letter that is not mapped.
inline std::string OnMissingDrive(const std::string& rest)
{
    char letter = 'Q';
    while (letter < 'Y' && (GetLogicalDrives() & (1u << (letter - 'A')))) ++letter;
    return std::string(1, letter) + ":\\" + rest;
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
}

inline std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

// Target of a shortcut as the search sees it; "" when nothing can be read.
inline std::string TargetOf(const std::string& linkPath)
{
    char target[MAX_PATH] = "";
    ReadLinkTarget(nullptr, linkPath.c_str(), target, nullptr, nullptr);
    return target;
}

inline bool MakeLink(const std::string& linkPath, const std::string& target)
{
    return SUCCEEDED(WriteLink(target.c_str(), linkPath.c_str(), "test"));
}

// Names in a folder in the platform's enumeration order ("." and ".." left out).
inline std::vector<std::string> EntriesOf(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do
        if (lstrcmpA(entry.cFileName, ".") && lstrcmpA(entry.cFileName, "..")) names.push_back(entry.cFileName);
    while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

// Deletes a tree, read-only files included. Folder links are never followed
// (they and the folders holding them stay), so a link back to an ancestor
// cannot make it delete too much.
inline void DeleteTree(const std::string& folder)
{
    for (const std::string& name : EntriesOf(folder)) {
        std::string path = Join(folder, name);
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteTree(path);
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    }
    RemoveDirectoryA(folder.c_str());
}

class TempFolder {
public:
    TempFolder()
    {
        static LONG counter;
        char temp[MAX_PATH], name[64];
        GetTempPathA(MAX_PATH, temp);
        do {
            wsprintfA(name, "pwt%lu-%lu-%ld", GetCurrentProcessId(), GetTickCount(), InterlockedIncrement(&counter));
            path_ = std::string(temp) + name;
        } while (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ~TempFolder() { DeleteTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return Join(path_, name); }

private:
    std::string path_;
};

// Sets registry values and puts every one back (or deletes it) when destroyed.
class RegistryOverride {
public:
    void Set(HKEY hive, const char* key, const char* name, DWORD type, const void* data, DWORD size)
    {
        HKEY handle;
        if (RegCreateKeyExA(hive, key, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &handle, nullptr)) return;
        Saved saved{hive, key, name, false, 0, {}};
        DWORD length = 0;
        if (RegQueryValueExA(handle, name, nullptr, &saved.Type, nullptr, &length) == ERROR_SUCCESS) {
            saved.Data.resize(length + 1);
            saved.Existed = RegQueryValueExA(handle, name, nullptr, &saved.Type, saved.Data.data(), &length) == 0;
            saved.Data.resize(length);
        }
        saved_.push_back(saved);
        RegSetValueExA(handle, name, 0, type, (const BYTE*)data, size);
        RegCloseKey(handle);
    }
    ~RegistryOverride()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            HKEY handle;
            if (RegOpenKeyExA(it->Hive, it->Key.c_str(), 0, KEY_WRITE, &handle)) continue;
            if (it->Existed)
                RegSetValueExA(handle, it->Name.c_str(), 0, it->Type, it->Data.data(), (DWORD)it->Data.size());
            else
                RegDeleteValueA(handle, it->Name.c_str());
            RegCloseKey(handle);
        }
    }

private:
    struct Saved {
        HKEY Hive;
        std::string Key, Name;
        bool Existed;
        DWORD Type;
        std::vector<BYTE> Data;
    };
    std::vector<Saved> saved_;
};

const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char UserShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The ten shell-folder places inside one temporary folder, laid out as on
// Windows (Programs inside Start Menu, Startup inside Programs). Both the key
// the core reads and the key the shell's CSIDL lookup reads are pointed at
// them, since the shell answers only from "User Shell Folders".
class RedirectedPlaces {
public:
    RedirectedPlaces()
    {
        static const char* const layout[][2] = {
            {"Desktop", "Desktop"},
            {"Start Menu", "StartMenu"},
            {"Programs", "StartMenu\\Programs"},
            {"Startup", "StartMenu\\Programs\\Startup"},
            {"AppData", "AppData"},
            {"SendTo", "SendTo"},
            {"Common Desktop", "All\\Desktop"},
            {"Common Start Menu", "All\\StartMenu"},
            {"Common Programs", "All\\StartMenu\\Programs"},
            {"Common Startup", "All\\StartMenu\\Programs\\Startup"},
        };
        CreateDirectoryA((root_ / "All").c_str(), nullptr);
        for (const auto& row : layout) Point(row[0], root_ / row[1]);
    }
    // Points one value name at a folder, creating the folder.
    void Point(const char* valueName, const std::string& folder)
    {
        CreateDirectoryA(folder.c_str(), nullptr);
        HKEY hive = _strnicmp(valueName, "Common", 6) == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        DWORD size = (DWORD)folder.size() + 1;
        registry_.Set(hive, ShellFoldersKey, valueName, REG_SZ, folder.c_str(), size);
        registry_.Set(hive, UserShellFoldersKey, valueName, REG_EXPAND_SZ, folder.c_str(), size);
        folders_.emplace_back(valueName, folder);
    }
    const std::string& Root() const { return root_.Path(); }
    std::string Folder(const std::string& valueName) const
    {
        for (auto it = folders_.rbegin(); it != folders_.rend(); ++it)
            if (it->first == valueName) return it->second;
        return "";
    }

private:
    TempFolder root_;
    RegistryOverride registry_;
    std::vector<std::pair<std::string, std::string>> folders_;
};

// A real top-level window of this module (so WARN_DIALOG is found through it)
// with edit controls; each control keeps every text it was given.
class StatusWindow {
public:
    explicit StatusWindow(std::initializer_list<int> ids)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "PathwickTestOwner";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, "PathwickTestOwner", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        for (int id : ids) {
            HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 280, 20, window_,
                                        (HMENU)(INT_PTR)id, GetModuleHandleA(nullptr), nullptr);
            SetWindowLongPtrA(edit, GWLP_USERDATA, (LONG_PTR)this);
            original_ = (WNDPROC)SetWindowLongPtrA(edit, GWLP_WNDPROC, (LONG_PTR)RecordingProc);
        }
    }
    ~StatusWindow() { DestroyWindow(window_); }
    HWND Handle() const { return window_; }
    std::string Text(int id) const
    {
        char text[MAX_PATH + 64] = "";
        GetDlgItemTextA(window_, id, text, sizeof text);
        return text;
    }
    std::vector<std::string> History(int id) const
    {
        std::vector<std::string> texts;
        for (const auto& entry : history_)
            if (entry.first == id) texts.push_back(entry.second);
        return texts;
    }

private:
    static LRESULT CALLBACK RecordingProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = (StatusWindow*)GetWindowLongPtrA(edit, GWLP_USERDATA);
        if (message == WM_SETTEXT && lParam)
            self->history_.emplace_back(GetDlgCtrlID(edit), std::string((const char*)lParam));
        return CallWindowProcA(self->original_, edit, message, wParam, lParam);
    }
    HWND window_;
    WNDPROC original_ = nullptr;
    std::vector<std::pair<int, std::string>> history_;
};

// Answers WARN_DIALOG from a second thread as a user would: finds the dialog
// of this process by class and caption, records the shortcut path it shows,
// checks its texts and presses the next scripted button. A dialog beyond the
// script is cancelled and reported as a problem, so no test can hang on one.
enum class Press { Command, Click, Escape };
struct Answer {
    int Id;
    Press How;
};

class WarnDialogResponder {
public:
    explicit WarnDialogResponder(std::vector<Answer> answers = {}) : answers_(std::move(answers))
    {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~WarnDialogResponder()
    {
        stop_ = 1;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    std::vector<std::string> Paths;    // edit 1000 of every dialog seen
    std::vector<std::string> Problems; // texts that were wrong, dialogs not scripted

private:
    static HWND FindDialog()
    {
        for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", "リンクの削除の確認"));) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(window)) return window;
        }
        return nullptr;
    }
    static std::string TextOf(HWND window)
    {
        char text[MAX_PATH + 64] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
    void CheckTexts(HWND dialog)
    {
        static const std::pair<int, const char*> buttons[] = {
            {IDYES, "はい(&Y)"}, {9, "すべて削除(&D)"}, {IDNO, "いいえ(&N)"}, {8, "すべて保存(&S)"}, {IDCANCEL, "キャンセル(&C)"}};
        for (const auto& button : buttons)
            if (TextOf(GetDlgItem(dialog, button.first)) != button.second)
                Problems.push_back("button " + std::to_string(button.first) + ": " + TextOf(GetDlgItem(dialog, button.first)));
        std::string statics;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            char className[32] = "";
            GetClassNameA(child, className, sizeof className);
            if (!lstrcmpiA(className, "Static")) statics += TextOf(child) + "|";
        }
        if (statics != "は、リンクが途切れています。|このリンクファイルを削除しますか？|")
            Problems.push_back("static texts: " + statics);
    }
    static DWORD WINAPI Run(void* self) { return ((WarnDialogResponder*)self)->Respond(); }
    DWORD Respond()
    {
        while (!stop_) {
            HWND dialog = FindDialog();
            if (!dialog) {
                Sleep(10);
                continue;
            }
            Paths.push_back(TextOf(GetDlgItem(dialog, 1000)));
            CheckTexts(dialog);
            Answer answer = {IDCANCEL, Press::Command};
            if (Paths.size() <= answers_.size())
                answer = answers_[Paths.size() - 1];
            else
                Problems.push_back("unexpected dialog for " + Paths.back());
            HWND button = GetDlgItem(dialog, answer.Id);
            if (answer.How == Press::Command)
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(answer.Id, BN_CLICKED), (LPARAM)button);
            else if (answer.How == Press::Click)
                PostMessageA(button, BM_CLICK, 0, 0);
            else
                PostMessageA(GetDlgItem(dialog, IDYES), WM_KEYDOWN, VK_ESCAPE, 0);
            for (int i = 0; i < 500 && IsWindow(dialog); ++i) Sleep(10);
        }
        return 0;
    }
    std::vector<Answer> answers_;
    volatile LONG stop_ = 0;
    HANDLE thread_;
};

inline void ResetSweepState()
{
    SweepState.DeadLinkMode = SweepState.BrokenCount = SweepState.DeletedCount = SweepState.SkippedCount = 0;
    SweepState.DeleteAll = SweepState.KeepAll = SweepState.StopRequested = 0;
    SweepState.Depth = 0;
    SweepState.SearchRoot[0] = SweepState.FirstGroupFolder[0] = '\0';
}

// Runs a Unix program from this Windows process (Wine starts ELF programs
// without waiting for them) and waits until `done` holds. The paths given are
// Windows paths; %1 and %2 in `format` become their Unix forms.
inline bool RunUnixCommand(const char* program, const char* format, const std::string& a, const std::string& b,
                           bool (*done)(const std::string&, const std::string&))
{
    typedef char*(CDECL * UnixNameFn)(const WCHAR*);
    auto unixName = (UnixNameFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    if (!unixName) return false;
    auto toUnix = [&](const std::string& path) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
        char* name = unixName(wide);
        std::string result = name ? name : "";
        if (name) HeapFree(GetProcessHeap(), 0, name);
        return result;
    };
    std::string line = format;
    for (auto& [mark, value] : {std::make_pair(std::string("%1"), toUnix(a)), std::make_pair(std::string("%2"), toUnix(b))})
        for (size_t at; (at = line.find(mark)) != std::string::npos;) line.replace(at, 2, "\"" + value + "\"");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(program, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 250 && !done(a, b); ++i) Sleep(20);
    return done(a, b);
}

} // namespace testing_support
