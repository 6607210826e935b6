// Test pieces for names the code page cannot hold: such a file is made,
// started and removed through the wide functions only, since its ANSI name
// is a different path.
#pragma once
#include "test_support.h"
#include <string>

namespace testsupport {

// A name with é, which code page 932 lacks (its best fit would be "Cafe").
const wchar_t UnheldName[] = L"Caf\u00e9.exe";

inline std::wstring Widen(const std::string& text)
{
    wchar_t wide[2048] = L"";
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, 2048);
    return wide;
}

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

// A process started from a wide command line, killed at the end if it is
// still there.
class WideProcess {
public:
    ~WideProcess()
    {
        if (!process_.hProcess) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 10000);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    bool Start(const std::wstring& commandLine, const std::wstring& folder = L"")
    {
        std::wstring line = commandLine;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        return CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                              folder.empty() ? nullptr : folder.c_str(), &startup, &process_) != FALSE;
    }
    DWORD Id() const { return process_.dwProcessId; }
    // Waits for the end; true when it ended with exit code 0.
    bool EndsWithExitZero(DWORD limitMs)
    {
        DWORD code = 1;
        return WaitForSingleObject(process_.hProcess, limitMs) == WAIT_OBJECT_0 &&
               GetExitCodeProcess(process_.hProcess, &code) && code == 0;
    }
    // The first visible top-level window of the process whose class (and,
    // when given, caption) matches; null after the limit.
    HWND WaitForWindow(const char* className, const char* caption = nullptr, DWORD limitMs = StartLimitMs) const
    {
        Search search = {process_.dwProcessId, className, caption, nullptr};
        WaitUntil(
            [&] {
                EnumWindows(Match, (LPARAM)&search);
                return search.Found != nullptr;
            },
            limitMs);
        return search.Found;
    }

private:
    struct Search {
        DWORD ProcessId;
        const char* ClassName;
        const char* Caption;
        HWND Found;
    };
    static BOOL CALLBACK Match(HWND window, LPARAM parameter)
    {
        Search* search = (Search*)parameter;
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        char className[64] = "";
        GetClassNameA(window, className, sizeof className);
        if (processId != search->ProcessId || !IsWindowVisible(window) || lstrcmpA(className, search->ClassName) != 0)
            return TRUE;
        if (search->Caption && TextOf(window) != search->Caption) return TRUE;
        search->Found = window;
        return FALSE;
    }
    PROCESS_INFORMATION process_ = {};
};

// The text that says a name cannot be used.
const char NameNotHeldText[] =
    "ファイル名またはフォルダ名に、このプログラムでは扱えない文字（シフトJIS にない文字）が含まれています。\n\n"
    "この名前は使用できません。";

// The text of a message box (its static control).
inline std::string MessageBoxText(HWND box)
{
    return ItemText(box, 0xFFFF);
}

} // namespace testsupport
