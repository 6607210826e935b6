// What a shortcut's create or delete may touch: nothing at or above a place's
// own folder, whatever the group or name text says; never a read-only
// shortcut; and which failures are worth a retry.
#include <gtest/gtest.h>
#include <algorithm>
#include "link_removal.h"
#include "path_helpers.h"
#include "shortcut_files.h"
#include "test_support.h"

using namespace testsupport;

namespace {

const char Target[] = "C:\\Tools\\x.exe";

class LinkGuard : public CoreTest {};

// Programs holds an empty Startup folder and lies inside the Start Menu,
// which holds the target's shortcut: the group texts below name Programs
// itself or a folder above it.
TEST_F(LinkGuard, GroupTextsNamingNoGroupNeverReachAtOrAboveThePlace)
{
    std::string programs = places.Folder("Programs"), startMenu = places.Folder("Start Menu");
    ASSERT_TRUE(CreateDirectoryA((programs + "\\Empty").c_str(), nullptr));
    ASSERT_TRUE(MakeShortcut(startMenu + "\\x.lnk", Target));
    struct Case { const char* sub; bool isPlaceItself; } cases[] = {
        {"\\.", true}, {"\\\\", true}, {"\\.\\", true}, {"\\Empty\\..", true}, {"/.", true},
        {"\\..", false}, {"\\..\\..", false}, {"\\Empty\\..\\..", false}, {"/..", false}, {"\\..\\Programs\\..", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sub);
        EXPECT_EQ(c.isPlaceItself, CreateLinkIn(Target, "Programs", c.sub, "x", "") != FALSE);
        EXPECT_EQ(c.isPlaceItself, Exists(programs + "\\x.lnk"));
        EXPECT_EQ(c.isPlaceItself, DeleteLinkFrom(nullptr, Target, "Programs", c.sub) != FALSE);
        EXPECT_FALSE(Exists(programs + "\\x.lnk"));
        EXPECT_TRUE(IsExistingFolder(programs.c_str())) << "the place's own folder was removed";
        EXPECT_TRUE(IsExistingFolder((programs + "\\Empty").c_str()));
        EXPECT_TRUE(Exists(startMenu + "\\x.lnk")) << "a shortcut above the place was deleted";
        EXPECT_EQ((std::vector<std::string>{"Programs", "x.lnk"}), Sorted(EntriesOf(startMenu))) << "something was made above the place";
    }
}

// Startup lies inside Programs: as a group of Programs it is used, but it
// is another place's folder and stays when emptied.
TEST_F(LinkGuard, GroupThatIsAnotherPlaceStays)
{
    ASSERT_TRUE(CreateLinkIn(Target, "Programs", "\\Startup", "x", ""));
    EXPECT_TRUE(Exists(places.Folder("Startup") + "\\x.lnk"));
    EXPECT_TRUE(DeleteLinkFrom(nullptr, Target, "Programs", "\\Startup"));
    EXPECT_FALSE(Exists(places.Folder("Startup") + "\\x.lnk"));
    EXPECT_TRUE(IsExistingFolder(places.Folder("Startup").c_str()));
}

// A shortcut name that leads out of its folder, or into a stream of a file.
TEST_F(LinkGuard, NamesThatLeaveTheFolderAreRefused)
{
    std::string desktop = places.Folder("Desktop");
    for (const char* name : {"..\\x", "../x", "sub\\..\\..\\x", "a:b"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(CreateLinkIn(Target, "Desktop", nullptr, name, ""));
        EXPECT_FALSE(CreateLinkIn(Target, nullptr, desktop.c_str(), name, ""));
    }
    EXPECT_EQ(std::vector<std::string>{}, EntriesOf(desktop));
    EXPECT_FALSE(Exists(places.Root() + "\\x.lnk"));
    EXPECT_FALSE(Exists(places.Root() + "\\a"));
}

// A drive's root is a folder like any other for the user folder.
TEST(LinkGuardAtRoot, UserFolderMayBeADrivesRoot)
{
    char drive[MAX_PATH];
    GetTempPathA(sizeof drive, drive);
    drive[3] = '\0';
    std::string link = std::string(drive) + "pathwick-root-test.lnk";
    EXPECT_TRUE(CreateLinkIn(Target, nullptr, drive, "pathwick-root-test", "")) << drive;
    EXPECT_TRUE(Exists(link));
    DeleteFileA(link.c_str());
}

TEST_F(LinkGuard, ReadOnlyShortcutIsLeftAlone)
{
    std::string link = places.Folder("Desktop") + "\\x.lnk";
    ASSERT_TRUE(MakeShortcut(link, "C:\\old.exe"));
    ASSERT_TRUE(SetFileAttributesA(link.c_str(), FILE_ATTRIBUTE_READONLY));
    std::string before = ReadBytes(link);
    EXPECT_FALSE(CreateLinkIn(Target, "Desktop", nullptr, "x", ""));
    EXPECT_EQ(before, ReadBytes(link));
    EXPECT_NE(0u, GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(std::vector<std::string>{"x.lnk"}, EntriesOf(places.Folder("Desktop")));
}

// Another process holding the file passes; a refusal does not. The refusal
// is a real one, so the system's own last status belongs to it.
TEST(IsPassingConflict, OnlyAFileHeldElsewhereIsWorthAWait)
{
    EXPECT_TRUE(IsPassingConflict(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(IsPassingConflict(ERROR_LOCK_VIOLATION));
    TempFolder temp;
    HANDLE folderAsFile = CreateFileA(temp.Path().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD error = GetLastError();
    ASSERT_EQ(INVALID_HANDLE_VALUE, folderAsFile);
    ASSERT_EQ((DWORD)ERROR_ACCESS_DENIED, error);
    EXPECT_FALSE(IsPassingConflict(error));
    EXPECT_FALSE(IsPassingConflict(ERROR_PATH_NOT_FOUND));
}

} // namespace
