// Files, folders, shortcuts, the registry and the places redirected into a
// test's tree; also the waiting and the formatting every other part uses.
#include "test_support.h"
#include <algorithm>
#include <shlobj.h>
#include <winioctl.h>
#include <stdarg.h>
#include <stdio.h>

namespace testsupport {

bool WaitUntil(const std::function<bool()>& condition, DWORD limitMs, const char* what,
               const std::function<std::string()>& lastSeen)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > limitMs) break;
        Sleep(20); // the poll interval, not a wait for anything
    }
    if (what)
        ADD_FAILURE() << "gave up after " << limitMs << " ms waiting for " << what
                      << (lastSeen ? "; last seen: " + lastSeen() : std::string());
    return false;
}

std::string Format(const char* format, ...)
{
    char text[2048];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    for (unsigned char byte : bytes) out += Format("%02X ", byte);
    return out;
}

std::string Utf8(const std::string& text)
{
    char utf8[6144] = "";
    WideCharToMultiByte(CP_UTF8, 0, Widen(text).c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); !from.empty() && at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The position of the last backslash, stepping over two-byte characters.
static size_t LastSeparator(const std::string& path)
{
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte((unsigned char)path[i]) && i + 1 < path.size())
            ++i;
        else if (path[i] == '\\')
            last = i;
    }
    return last;
}

std::string ParentOf(const std::string& path)
{
    size_t last = LastSeparator(path);
    return last == std::string::npos ? "" : path.substr(0, last);
}

std::string FileNameOf(const std::string& path)
{
    size_t last = LastSeparator(path);
    return last == std::string::npos ? path : path.substr(last + 1);
}

std::wstring Widen(const std::string& text)
{
    wchar_t wide[2048] = L"";
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, 2048);
    return wide;
}

std::string OnMissingDrive(const std::string& rest)
{
    char letter = 'Q';
    while (letter < 'Y' && (GetLogicalDrives() & (1u << (letter - 'A')))) ++letter;
    return std::string(1, letter) + ":\\" + rest;
}

// Wine's own request to its mount manager (winecfg's): defines a drive letter
// at once, type and all, with no restart of the server.
struct WineUnixDrive { ULONG size, type, fsType, serial; ULONGLONG unixDevice; WCHAR letter; USHORT mountPoint, more[2]; };

static bool DefineDrive(char letter, ULONG type, const std::string& unixFolder)
{
    struct { WineUnixDrive drive; char folder[MAX_PATH]; } request = {};
    request.drive = {(ULONG)(sizeof(WineUnixDrive) + unixFolder.size() + 1), type, 0, 0, 0, (WCHAR)(letter | 0x20),
                     (USHORT)(unixFolder.empty() ? 0 : sizeof(WineUnixDrive)), {0, 0}};
    lstrcpynA(request.folder, unixFolder.c_str(), MAX_PATH);
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD returned = 0, code = CTL_CODE(0x6d, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
    bool done = DeviceIoControl(manager, code, &request, request.drive.size, nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return done;
}

// Wine's device types are GetDriveType's numbers for these. A letter once
// defined stays among the logical drives of the session, so these come from
// the end of the alphabet, away from OnMissingDrive's.
TypedDrive::TypedDrive(const std::string& folder, UINT type) : letter_('X')
{
    while (letter_ > 'D' && (GetLogicalDrives() & (1u << (letter_ - 'A')))) --letter_;
    EXPECT_TRUE(DefineDrive(letter_, type, UnixPathOf(folder)) && GetDriveTypeA(Path("").c_str()) == type) << letter_;
}

TypedDrive::~TypedDrive() { DefineDrive(letter_, 0, ""); }

bool MakeFolders(const std::string& path)
{
    // Every level from the drive down, never cutting at a trail byte.
    for (size_t i = 0; i < path.size();) {
        unsigned char byte = (unsigned char)path[i];
        if (IsDBCSLeadByte(byte) && i + 1 < path.size()) {
            i += 2;
            continue;
        }
        if (byte == '\\' && i > 2) CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
        ++i;
    }
    CreateDirectoryA(path.c_str(), nullptr);
    return FolderExists(path);
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

std::vector<std::string> EntriesOf(const std::string& folder, bool withFolders)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(Join(folder, "*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (lstrcmpA(entry.cFileName, ".") && lstrcmpA(entry.cFileName, "..") && (withFolders || !isFolder))
            names.push_back(entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

void DeleteTree(const std::string& folder)
{
    for (const std::string& name : EntriesOf(folder)) {
        std::string path = Join(folder, name);
        DWORD attributes = GetFileAttributesA(path.c_str());
        // A folder link (and the folder holding it) stays, so a link back to
        // an ancestor cannot make this delete too much.
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteTree(path);
        } else {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    }
    RemoveDirectoryA(folder.c_str());
}

TempFolder::TempFolder(const char* tag)
{
    static LONG serial;
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    do
        path_ = Format("%spathwick-%lu-%ld-%s", temp, GetCurrentProcessId(), InterlockedIncrement(&serial), tag);
    while (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
}

TempFolder::~TempFolder()
{
    DeleteTree(path_);
}

bool MakeShortcut(const std::string& linkPath, const std::string& target, const std::string& description,
                  WorkingFolderMode mode)
{
    MakeFolders(ParentOf(linkPath));
    return SUCCEEDED(WriteLink(target.c_str(), linkPath.c_str(), description.c_str(), mode)) && FileExists(linkPath);
}

bool MakeWideShortcut(const std::wstring& linkPath, const std::wstring& target)
{
    HRESULT comStatus = CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    bool saved = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link)) &&
                 SUCCEEDED(link->SetPath(target.c_str())) && SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)) &&
                 SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
    if (file) file->Release();
    if (link) link->Release();
    if (SUCCEEDED(comStatus)) CoUninitialize();
    return saved;
}

std::string ShortcutTarget(const std::string& linkPath)
{
    char target[MAX_PATH] = "";
    HRESULT comStatus = CoInitialize(nullptr);
    {
        LinkTargetReader reader;
        reader.Read(linkPath.c_str(), target);
    }
    if (SUCCEEDED(comStatus)) CoUninitialize();
    return target;
}

static std::string Le(DWORD value, int size)
{
    std::string bytes;
    for (int i = 0; i < size; ++i) bytes += (char)(value >> 8 * i);
    return bytes;
}

// A text and its end, in the code page or wide, padded with zeros to `size`.
static std::string Text(const std::wstring& text, bool unicode, size_t size = 0)
{
    char ansi[2 * MAX_PATH] = "";
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    std::string bytes = unicode ? std::string((const char*)text.c_str(), 2 * text.size() + 2) : ansi + std::string(1, 0);
    return bytes + std::string(size > bytes.size() ? size - bytes.size() : 0, '\0');
}

static std::string Sized(const std::string& body, int size = 2)
{
    return Le((DWORD)body.size() + size, size) + body;
}

std::string ShortcutBytes(const LinkParts& p)
{
    std::string rest, items = Sized(std::string("\x1F\x50\xE0\x4F\xD0\x20\xEA\x3A\x69\x10\xA2\xD8\x08\0\x2B\x30\x30\x9D", 18)) +
                                  Sized("\x2F" + Text(p.Items.substr(0, 3), false));
    DWORD nameAt = p.Version >= 9 ? 46 : p.Version == 8 ? 42 : p.Version == 7 ? 38 : 20;
    for (size_t from = 3, end, index = 0; from < p.Items.size(); from = end + 1, ++index) {
        end = std::min(p.Items.find(L'\\', from), p.Items.size());
        std::string body = std::string("\x32\0\0\0\0\0\0\0\0\0\0\0", 12) + Format("X~%d", (int)index) + '\0';
        body += std::string(body.size() % 2, '\0'); // what Wine's shell misreads lies before the long name
        std::string block = Le(p.Version, 2) + Le(0xBEEF0004, 4) + std::string(nameAt - 10, 'A') + Le(0, 2);
        items += Sized(body + Sized(block + Text(p.Items.substr(from, end - from), true) + Le(body.size() + 2, 2)));
    }
    if (!p.Items.empty()) rest += Le((DWORD)items.size() + 2, 2) + items + Le(0, 2);
    std::string local = Text(p.LinkInfo, false), volume = std::string("\x11\0\0\0\x03\0\0\0\0\0\0\0\x10\0\0\0\0", 17);
    if (!p.LinkInfo.empty())
        rest += Sized(Le(0x1C, 4) + Le(1, 4) + Le(0x1C, 4) + Le(0x2D, 4) + Le(0, 4) + Le(0x2D + local.size(), 4) +
                          volume + local + '\0', 4);
    std::string relative = Text(p.Relative, p.Unicode);
    relative.resize(relative.size() - (p.Unicode ? 2 : 1));
    if (!p.Relative.empty()) rest += Le((DWORD)(p.Unicode ? relative.size() / 2 : relative.size()), 2) + relative;
    if (!p.Environment.empty())
        rest += Sized(Le(0xA0000001, 4) + Text(p.Environment, false, MAX_PATH) + Text(p.Environment, true, 2 * MAX_PATH), 4);
    DWORD flags = (p.Unicode ? 0x80 : 0) | (p.Items.empty() ? 0 : 0x1) | (p.LinkInfo.empty() ? 0 : 0x2) |
                  (p.Relative.empty() ? 0 : 0x8) | (p.Environment.empty() ? 0 : 0x200);
    return std::string("\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 20) + Le(flags, 4) + Le(0x20, 4) +
           std::string(32, '\0') + Le(SW_SHOWNORMAL, 4) + std::string(12, '\0') + rest + Le(0, 4);
}

std::string LinkTextOf(const std::string& linkPath, LinkText which, const char* unread)
{
    char text[INFOTIPSIZE];
    lstrcpynA(text, unread, sizeof text);
    HRESULT comStatus = CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file)) &&
        SUCCEEDED(file->Load(Widen(linkPath).c_str(), STGM_READ)))
        which == LinkDescription ? link->GetDescription(text, sizeof text)
        : which == LinkArguments ? link->GetArguments(text, sizeof text)
                                 : link->GetWorkingDirectory(text, sizeof text);
    if (file) file->Release();
    if (link) link->Release();
    if (SUCCEEDED(comStatus)) CoUninitialize();
    return text;
}

// ---- registry --------------------------------------------------------------

// A 32-bit program reads HKLM\Software through a view of its own: machine
// values go into both views, so that programs of either build see them.
static std::vector<REGSAM> ViewsOf(HKEY hive)
{
    if (hive == HKEY_LOCAL_MACHINE) return {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    return {0};
}

void RegistryOverride::Set(HKEY hive, const std::string& key, const char* name, DWORD type, const void* data,
                           DWORD size)
{
    for (REGSAM view : ViewsOf(hive)) {
        Saved saved = {hive, view, key, name != nullptr, name ? name : "", false, REG_NONE, "", false};
        HKEY handle;
        if (RegOpenKeyExA(hive, key.c_str(), 0, KEY_READ | view, &handle) == ERROR_SUCCESS) {
            DWORD length = 0;
            if (RegQueryValueExA(handle, name, nullptr, &saved.Type, nullptr, &length) == ERROR_SUCCESS) {
                saved.Data.resize(length);
                saved.Existed = RegQueryValueExA(handle, name, nullptr, &saved.Type, (BYTE*)&saved.Data[0],
                                                 &length) == ERROR_SUCCESS;
                saved.Data.resize(length);
            }
            RegCloseKey(handle);
        }
        if (RegCreateKeyExA(hive, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &handle, nullptr) !=
            ERROR_SUCCESS)
            continue;
        saved_.push_back(saved);
        RegSetValueExA(handle, name, 0, type, (const BYTE*)data, size);
        RegCloseKey(handle);
    }
}

void RegistryOverride::SetText(HKEY hive, const std::string& key, const char* name, const std::string& text,
                               DWORD type)
{
    Set(hive, key, name, type, text.c_str(), (DWORD)text.size() + 1);
}

void RegistryOverride::Own(HKEY hive, const std::string& key)
{
    for (REGSAM view : ViewsOf(hive)) {
        HKEY probe;
        if (RegOpenKeyExA(hive, key.c_str(), 0, KEY_READ | view, &probe) == ERROR_SUCCESS) {
            RegCloseKey(probe);
            continue;
        }
        saved_.push_back({hive, view, key, false, "", false, REG_NONE, "", true});
    }
}

void RegistryOverride::Restore()
{
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        if (it->OwnedKey) {
            RegDeleteKeyExA(it->Hive, it->Key.c_str(), it->View, 0); // a key of values only
            continue;
        }
        HKEY handle;
        if (RegOpenKeyExA(it->Hive, it->Key.c_str(), 0, KEY_WRITE | it->View, &handle) != ERROR_SUCCESS) continue;
        const char* name = it->Named ? it->Name.c_str() : nullptr;
        if (it->Existed)
            RegSetValueExA(handle, name, 0, it->Type, (const BYTE*)it->Data.data(), (DWORD)it->Data.size());
        else
            RegDeleteValueA(handle, name);
        RegCloseKey(handle);
    }
    saved_.clear();
}

const char ShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char UserShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

// The ten places by value name, in checkbox order 401..410.
static const char* const PlaceValueNames[10] = {
    "Desktop", "Startup",        "Start Menu",     "Programs",          "AppData",
    "SendTo",  "Common Desktop", "Common Startup", "Common Start Menu", "Common Programs"};

// Where each place lies in the tree, as the real folders nest.
static const char* const PlaceFolders[10] = {"user\\Desktop",      "user\\Start Menu\\Programs\\Startup",
                                             "user\\Start Menu",   "user\\Start Menu\\Programs",
                                             "user\\AppData",      "user\\SendTo",
                                             "common\\Desktop",    "common\\Start Menu\\Programs\\Startup",
                                             "common\\Start Menu", "common\\Start Menu\\Programs"};

std::string ReadShellFolderValue(const char* valueName)
{
    char value[1024] = "";
    DWORD size = sizeof value - 1;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, ShellFoldersKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, (BYTE*)value, &size) != ERROR_SUCCESS) value[0] = '\0';
    RegCloseKey(key);
    return value;
}

RedirectedPlaces::RedirectedPlaces() : own_(new TempFolder("places")), root_(own_->Path())
{
    PointAll();
}

RedirectedPlaces::RedirectedPlaces(const std::string& root) : root_(root)
{
    PointAll();
}

void RedirectedPlaces::PointAll()
{
    for (int i = 0; i < 10; ++i) Point(PlaceValueNames[i], Join(root_, PlaceFolders[i]));
}

void RedirectedPlaces::Point(const std::string& valueName, const std::string& folder)
{
    MakeFolders(folder);
    HKEY hive = valueName.compare(0, 6, "Common") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    registry_.SetText(hive, ShellFoldersKey, valueName.c_str(), folder);
    registry_.SetText(hive, UserShellFoldersKey, valueName.c_str(), folder, REG_EXPAND_SZ);
    folders_.emplace_back(valueName, folder);
}

std::string RedirectedPlaces::Folder(const std::string& valueName) const
{
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it)
        if (it->first == valueName) return it->second;
    return "";
}

std::string RedirectedPlaces::QuickLaunch() const
{
    return Folder("AppData") + "\\Microsoft\\Internet Explorer\\Quick Launch";
}

// ---- benchmarks ------------------------------------------------------------

double Seconds()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / frequency.QuadPart;
}

std::vector<std::string> BuildMenu(const std::string& folder, int groups, int linksPerGroup, int firstGroup)
{
    std::vector<std::string> files;
    for (int g = firstGroup; g < firstGroup + groups; ++g) {
        std::string group = folder + Format("\\グループ%03d", g);
        CreateDirectoryA(group.c_str(), nullptr);
        for (int l = 0; l < linksPerGroup; ++l) {
            files.push_back(group + Format("\\ツール%02d.lnk", l));
            MakeShortcut(files.back(), Format("C:\\Program Files\\Tool%03d\\tool%02d.exe", g, l), "test");
        }
        files.push_back(group + "\\desktop.ini");
        WriteBytes(files.back(), "[.ShellClassInfo]\r\nLocalizedResourceName=@shell32.dll,-21787\r\n");
        files.push_back(group + "\\readme.txt");
        WriteBytes(files.back(), "not a shortcut");
    }
    return files;
}

double PlainRead(const std::vector<std::string>& files)
{
    char buffer[4096];
    double started = Seconds();
    for (const std::string& file : files) {
        HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD got;
        ReadFile(handle, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(handle);
    }
    return Seconds() - started;
}

double Min(std::vector<double> values)
{
    return *std::min_element(values.begin(), values.end());
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace testsupport
