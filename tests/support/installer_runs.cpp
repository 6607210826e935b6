// The installer run end to end: it and every process it starts in one job,
// its message boxes read and answered, what the recording stand-in wrote,
// and the shortcuts it left described.
#include "test_support.h"
#include <shlobj.h>
#include <algorithm>
#include <ostream>
#include <set>

namespace testsupport {

// Shown in UTF-8 so that a failure can be read; compared as code page 932 bytes.
void PrintTo(const MessageBoxSeen& box, std::ostream* out)
{
    *out << "[" << box.Buttons << ", " << box.Icon << (box.HasOwner ? ", owned" : "") << "] \"" << Utf8(box.Text) << "\"";
}

static std::string ButtonsOf(HWND box)
{
    static const struct {
        int Id;
        const char* Name;
    } buttons[] = {{IDOK, "OK"},         {IDCANCEL, "Cancel"}, {IDABORT, "Abort"}, {IDRETRY, "Retry"},
                   {IDIGNORE, "Ignore"}, {IDYES, "Yes"},       {IDNO, "No"}};
    std::string names;
    for (const auto& button : buttons) {
        HWND control = GetDlgItem(box, button.Id);
        if (control && IsWindowVisible(control)) names += (names.empty() ? "" : " ") + std::string(button.Name);
    }
    return names;
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
    RECT rect = WindowRect(control);
    static const struct {
        LPCSTR Id;
        const char* Name;
    } icons[] = {{IDI_QUESTION, "question"}, {IDI_ASTERISK, "information"}, {IDI_EXCLAMATION, "warning"},
                 {IDI_HAND, "error"}};
    std::string name = "other";
    WaitUntil(
        [&] {
            std::vector<DWORD> shown = ScreenPixels(rect);
            for (const auto& icon : icons)
                if (!shown.empty() &&
                    shown == DrawnIcon(icon.Id, rect.right - rect.left, rect.bottom - rect.top, shown[0]))
                    name = icon.Name;
            return name != "other";
        },
        2000);
    return name;
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

// Answers the boxes that showed since the last look and notes other windows.
static void LookAtWindows(InstallerRun& run, HANDLE job, DWORD installerId, std::set<HWND>& known,
                          const std::vector<int>& answers)
{
    std::set<DWORD> processes = ProcessesOf(job);
    processes.insert(installerId);
    for (DWORD processId : processes)
        for (HWND window : TopLevelWindowsOf(processId)) {
            if (!IsWindowVisible(window) || !known.insert(window).second) continue;
            if (processId != installerId || !IsDialogWindow(window) || TextOf(window) != "Pathwick") {
                run.OtherWindows.push_back(ClassOf(window) + " \"" + TextOf(window) + "\"");
                continue;
            }
            MessageBoxSeen seen;
            seen.Text = ItemText(window, 0xFFFF);
            seen.Buttons = ButtonsOf(window);
            seen.Icon = IconOf(window);
            seen.HasOwner = GetWindow(window, GW_OWNER) != nullptr;
            size_t answered = run.Boxes.size();
            run.Boxes.push_back(seen);
            PostClick(window, answered < answers.size() ? answers[answered] : FallbackAnswer(window));
        }
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
    run.Started = CreateProcessPastLostStart([&] {
        return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                              currentFolder.c_str(), &startup, &process);
    });
    CloseHandle(nowhere);
    if (!run.Started) {
        CloseHandle(job);
        return run;
    }
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);

    std::set<HWND> known;
    bool installerEnded = false;
    run.ProcessesEnded = WaitUntil(
        [&] {
            LookAtWindows(run, job, process.dwProcessId, known, answers);
            if (!installerEnded && WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
                installerEnded = true;
                GetExitCodeProcess(process.hProcess, &run.ExitCode);
            }
            return installerEnded && ActiveProcessesOf(job) == 0;
        },
        ScanLimitMs);
    if (!run.ProcessesEnded)
        for (DWORD id : ProcessesOf(job)) run.LeftOver.push_back(ImageOf(id));
    if (!installerEnded) {
        TerminateProcess(process.hProcess, 0xDEAD);
        WaitForSingleObject(process.hProcess, StartLimitMs);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(job); // ends whatever is left
    return run;
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
    std::string text = FileExists(recordFile) ? ReadBytes(recordFile) : "";
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
        std::string label = SameText(program, recorder) ? "recorder" : program;
        std::string record = label + (arguments.empty() ? "" : " " + arguments) + " (show " + show + ")";
        records.push_back(ReplaceAll(record, caseFolder, "%CASE%"));
    }
    return records;
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
    std::vector<std::string> names = EntriesOf(folder);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        std::string path = Join(folder, name);
        if (FolderExists(path)) {
            entries.push_back(name + "\\");
            continue;
        }
        entries.push_back(ReplaceAll(FormatLink(name, ShortcutTarget(path), LinkTextOf(path, LinkWorkingFolder, ""),
                                                LinkTextOf(path, LinkArguments, ""), DescriptionOf(path)),
                                     caseFolder, "%CASE%"));
    }
    return entries;
}

} // namespace testsupport
