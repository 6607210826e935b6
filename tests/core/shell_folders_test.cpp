// Reading the Shell Folders values from the real registry, the shell's own
// special-folder lookup, folder creation and the composition of shortcut paths.
#include <gtest/gtest.h>
#include <shlobj.h>
#include "path_helpers.h"
#include "shell_folders.h"
#include "test_support.h"

using namespace testsupport;

TEST(ReadShellFolder, HiveFollowsTheCommonPrefix)
{
    struct Case { const char* name; const char* expected; } cases[] = {
        {"Common Programs", "machine"}, {"common startup", "machine"}, {"Programs", "user"}, {"Commo", "user"},
    };
    RegistryOverride registry;
    for (const Case& c : cases) {
        registry.Set(HKEY_LOCAL_MACHINE, ShellFoldersKey, c.name, REG_SZ, "machine", 8);
        registry.Set(HKEY_CURRENT_USER, ShellFoldersKey, c.name, REG_SZ, "user", 5);
    }
    for (const Case& c : cases) {
        char folder[MAX_PATH] = "";
        EXPECT_TRUE(ReadShellFolder(folder, sizeof folder, c.name)) << c.name;
        EXPECT_STREQ(c.expected, folder) << c.name;
    }
    char folder[MAX_PATH];
    EXPECT_FALSE(ReadShellFolder(folder, sizeof folder, "Pathwick No Such Value"));
}

TEST(ReadShellFolder, ValueFillingTheBufferIsTerminatedOrRefused)
{
    // RegQueryValueExA adds no terminator when the data fills the buffer.
    struct Case { DWORD type; int length; bool terminated; BOOL read; } cases[] = {
        {REG_BINARY, 260, false, FALSE}, {REG_BINARY, 259, false, TRUE}, {REG_BINARY, 260, true, TRUE},
        {REG_BINARY, 261, false, FALSE}, {REG_SZ, 260, false, FALSE},    {REG_SZ, 259, false, TRUE},
    };
    for (const Case& c : cases) {
        std::string data(c.length, 'p');
        if (c.terminated) data.back() = '\0';
        RegistryOverride registry;
        registry.Set(HKEY_CURRENT_USER, ShellFoldersKey, "PathwickFill", c.type, data.data(), c.length);
        char buffer[MAX_PATH + 40];
        memset(buffer, 'Z', sizeof buffer);
        BOOL read = ReadShellFolder(buffer, MAX_PATH, "PathwickFill");
        SCOPED_TRACE(testing::Message() << "type " << c.type << ", " << c.length << " bytes");
        EXPECT_EQ(c.read, read);
        EXPECT_EQ(std::string(40, 'Z'), std::string(buffer + MAX_PATH, 40));
        EXPECT_TRUE(memchr(buffer, '\0', MAX_PATH)) << "no terminator inside the buffer";
        if (read) {
            EXPECT_EQ(c.terminated ? c.length - 1 : c.length, lstrlenA(buffer));
        }
    }
}

TEST(LocationDisplayName, ExactNamesAndByteBound)
{
    struct Case { const char* name; int max; const char* expected; BOOL known; } cases[] = {
        {"AppData", 100, "QUICK Launch", TRUE}, {"SendTo", 100, "SendTo", TRUE}, {"Programs", 100, "プログラム", TRUE},
        {"Common Programs", 100, "プログラム (All User)", TRUE},
        {"Programs", 5, "プロ", TRUE},  // 4 bytes and the terminator
        {"desktop", 100, "<untouched>", FALSE}, {"", 100, "<untouched>", FALSE},
    };
    for (const Case& c : cases) {
        char output[100 + 8];
        memset(output, 'Z', sizeof output);
        lstrcpyA(output, "<untouched>");
        EXPECT_EQ(c.known, LocationDisplayName(output, c.max, c.name)) << c.name;
        EXPECT_STREQ(c.expected, output) << c.name;
        EXPECT_EQ('Z', output[100]) << c.name;
    }
    EXPECT_FALSE(LocationDisplayName(nullptr, 100, nullptr));
}

TEST(CreateFolderChain, CreatesEveryMissingLevel)
{
    TempFolder temp;
    WriteBytes(temp / "file", "x");
    struct Case { std::string path; BOOL created; } cases[] = {
        {temp / "a\\b\\c", TRUE},
        {temp / "d\\e\\", TRUE},
        {temp / "a", TRUE},
        {temp / "表\\表示\\表", TRUE},
        {temp / "file\\below", FALSE},
        {temp / (std::string(250, 'l') + "\\x"), FALSE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.created, CreateFolderChain(c.path.c_str())) << c.path;
        EXPECT_EQ(c.created, IsExistingFolder(c.path.c_str())) << c.path;
    }
    EXPECT_TRUE(IsExistingFolder((temp / "表\\表示").c_str()));
    EXPECT_FALSE(Exists(temp / std::string(250, 'l')));

    EXPECT_FALSE(CreateFolderChain(OnMissingDrive("pathwick\\x").c_str()));
}

class PlacesTest : public testing::Test {
protected:
    RedirectedPlaces places;
};

TEST_F(PlacesTest, SpecialFolderLookupSeesTheRedirectedPlaces)
{
    struct Case { int csidl; const char* name; } cases[] = {
        {CSIDL_PROGRAMS, "Programs"}, {CSIDL_STARTUP, "Startup"},
        {CSIDL_COMMON_PROGRAMS, "Common Programs"}, {CSIDL_COMMON_STARTUP, "Common Startup"},
    };
    for (const Case& c : cases) {
        char path[MAX_PATH] = "";
        EXPECT_TRUE(GetSpecialFolderPath(nullptr, path, c.csidl)) << c.name;
        EXPECT_EQ(0, lstrcmpiA(places.Folder(c.name).c_str(), path)) << c.name << ": " << path;
    }
}

TEST_F(PlacesTest, BuildLinkPathComposesAndCreatesTheFolder)
{
    std::string user = places.Root() + "\\User\\Deep\\Folder";
    struct Case { const char* value; std::string sub; std::string folder; } cases[] = {
        {"Start Menu", "\\MyTools", places.Folder("Start Menu") + "\\MyTools"},
        {"Start Menu", "\\MyTools\\Old", places.Folder("Start Menu") + "\\MyTools\\Old"},
        {"Common Programs", "\\表", places.Folder("Common Programs") + "\\表"},
        {"AppData", QuickLaunchSubPath, places.Folder("AppData") + QuickLaunchSubPath},
        {"Desktop", "", places.Folder("Desktop")},
        {nullptr, user, user},
    };
    for (const Case& c : cases) {
        char path[MAX_PATH] = "";
        EXPECT_TRUE(BuildLinkPath(path, c.value, c.sub.c_str(), "表計算")) << c.sub;
        EXPECT_EQ(c.folder + "\\表計算.lnk", path);
        EXPECT_TRUE(IsExistingFolder(c.folder.c_str())) << c.folder;
    }
}

TEST_F(PlacesTest, BuildLinkPathRefusesWithoutCreatingAnything)
{
    std::string root = places.Folder("Start Menu");
    int room = (MAX_PATH - 1) - (int)root.size() - 1 - 6;  // a backslash, the group, "\\x.lnk": 259 bytes
    std::string fits = "\\" + std::string(room, 'g'), tooLong = "\\" + std::string(room + 1, 'h');
    char path[MAX_PATH] = "<untouched>";
    EXPECT_FALSE(BuildLinkPath(path, "Start Menu", tooLong.c_str(), "x"));
    EXPECT_FALSE(Exists(root + tooLong));
    EXPECT_FALSE(BuildLinkPath(path, "Start Menu", "\\Group", std::string(MAX_PATH - root.size(), 'n').c_str()));
    EXPECT_FALSE(Exists(root + "\\Group"));
    EXPECT_FALSE(BuildLinkPath(path, nullptr, (places.Root() + "\\" + std::string(MAX_PATH, 'u')).c_str(), "x"));
    EXPECT_FALSE(BuildLinkPath(path, "Pathwick No Such Value", "\\Group", "x"));
    EXPECT_FALSE(BuildLinkPath(path, nullptr, OnMissingDrive("pathwick").c_str(), "x"));
    EXPECT_STREQ("<untouched>", path);

    EXPECT_TRUE(BuildLinkPath(path, "Start Menu", fits.c_str(), "x"));
    EXPECT_EQ(MAX_PATH - 1, lstrlenA(path));
    EXPECT_TRUE(IsExistingFolder((root + fits).c_str()));
}
