// Running the real installer end to end under the real platform: a private
// folder per case with a copy of Stowfold.exe, the Desktop and AppData places
// redirected there through the Shell Folders registry values, the shell's
// handlers for .html pages and for exploring a folder pointed at a recording
// program, and the installer's message boxes read and answered from here.
#pragma once
#include <windows.h>
#include <iosfwd>
#include <string>
#include <vector>

namespace installer_harness {

std::string Join(const std::string& folder, const std::string& name);
bool Exists(const std::string& path);
bool CopyInto(const std::string& file, const std::string& folder, const std::string& name);
void WriteText(const std::string& path, const std::string& text);
void DeleteTree(const std::string& folder);
std::vector<std::string> EntriesOf(const std::string& folder); // sorted

// Programs built beside the tests (their paths come from the build).
std::string StowfoldProgram();
std::string RecorderProgram();
std::string RealMainProgram();

// One registry text value replaced for the life of the object. `ownedKey`,
// when given and not there before, is a key (the value's own or one of its
// parents) that is removed whole afterwards.
class RegistryOverride {
public:
    RegistryOverride(HKEY root, const std::string& key, const char* valueName, const std::string& data,
                     const std::string& ownedKey = "", DWORD type = REG_SZ);
    ~RegistryOverride();
    RegistryOverride(const RegistryOverride&) = delete;
    RegistryOverride& operator=(const RegistryOverride&) = delete;

private:
    HKEY Root;
    std::string Key, ValueName, OwnedKey, OldData;
    bool HasValueName, OwnedKeyIsNew, Existed = false;
    DWORD OldType = REG_SZ;
};

std::string ReadShellFolderValue(const char* valueName);

// A key held down for every program of the session, as the user's hand would.
void SetKeyDown(WORD virtualKey, bool down);

// A message box as the user saw it.
struct MessageBoxSeen {
    std::string Text;    // the static text, code page 932 bytes
    std::string Buttons; // "OK", "Yes No", ...
    std::string Icon;    // "question", "information", "none" or "other"
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
    bool ProcessesEnded = false;              // the installer and all it started
    std::vector<std::string> LeftOver;        // programs still running at the time-out
    std::vector<MessageBoxSeen> Boxes;        // in order of appearance
    std::vector<std::string> OtherWindows;    // visible windows that are not its boxes
};

// Starts `program` with `currentFolder`, presses `answers` (IDYES, IDNO, IDOK)
// on the message boxes in turn, and waits until the installer and every
// process it started have ended. Processes left over are ended.
InstallerRun RunInstaller(const std::string& program, const std::string& currentFolder,
                          const std::vector<int>& answers);

// Lines written by the recording program, each "<program> <arguments> (show N)"
// with `caseFolder` shown as %CASE% and the recorder itself as "recorder".
std::vector<std::string> ReadRecords(const std::string& recordFile, const std::string& caseFolder);

// "<name> -> <target> [wd=<working folder>] [args=<arguments>] [desc=<description>]"
// for every entry of a folder, with `caseFolder` shown as %CASE%; a
// sub-folder is listed as "<name>\".
std::vector<std::string> DescribeFolder(const std::string& folder, const std::string& caseFolder);
std::string DescribeLink(const std::string& name, const std::string& target, const std::string& description);
bool MakeLink(const std::string& linkPath, const std::string& target, const std::string& description);
std::string LinkTarget(const std::string& linkPath);

} // namespace installer_harness
