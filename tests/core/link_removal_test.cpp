// Removing a shortcut from a place and pruning the group folder it emptied;
// the place's own folder and the user folder are never removed.
#include <gtest/gtest.h>
#include "link_removal.h"
#include "path_helpers.h"
#include "shell_folders.h"
#include "test_support.h"

using namespace testsupport;

class RemovalTest : public CoreTest {};

const char Target[] = "C:\\Tools\\x.exe";

TEST_F(RemovalTest, DeletesTheShortcutAndOnlyTheGroupItEmptied)
{
    std::string user = places.Root() + "\\User";
    struct Case { const char* place; std::string sub; bool neighbour; std::string gone, kept; } cases[] = {
        {"Start Menu", "\\MyTools", false, "\\MyTools", ""},
        {"Start Menu", "\\MyTools", true, "", "\\MyTools"},
        {"Common Programs", "\\MyTools\\Old", false, "\\MyTools\\Old", "\\MyTools"},
        {"Programs", "\\表示", false, "\\表示", ""},
        {"AppData", QuickLaunchSubPath, false, "", QuickLaunchSubPath},
        {"Desktop", "", false, "", ""},
        {nullptr, user, false, "", ""},
    };
    for (const Case& c : cases) {
        std::string root = c.place ? places.Folder(c.place) : user, folder = c.place ? root + c.sub : user;
        ASSERT_TRUE(CreateLinkIn(Target, c.place, c.sub.c_str(), "x", "")) << folder;
        if (c.neighbour) {
            ASSERT_TRUE(MakeShortcut(folder + "\\other.lnk", "C:\\Tools\\other.exe"));
        }
        EXPECT_TRUE(DeleteLinkFrom(nullptr, Target, c.place, c.sub.c_str())) << folder;
        EXPECT_FALSE(Exists(folder + "\\x.lnk"));
        EXPECT_TRUE(IsExistingFolder((root + c.kept).c_str())) << root + c.kept;
        if (!c.gone.empty()) {
            EXPECT_FALSE(Exists(root + c.gone)) << root + c.gone;
        } else {
            EXPECT_TRUE(IsExistingFolder(folder.c_str())) << folder;
        }
        DeleteFileA((folder + "\\other.lnk").c_str());
    }
}

TEST_F(RemovalTest, LooksOnlyInThePlacesOwnFolder)
{
    ASSERT_TRUE(CreateLinkIn(Target, "Start Menu", "\\MyTools", "x", ""));
    EXPECT_FALSE(DeleteLinkFrom(nullptr, Target, "Start Menu", ""));
    EXPECT_FALSE(DeleteLinkFrom(nullptr, "C:\\Tools\\other.exe", "Start Menu", "\\MyTools"));
    EXPECT_TRUE(Exists(places.Folder("Start Menu") + "\\MyTools\\x.lnk"));
}

TEST(RemoveEmptyFolderTree, AnyFileKeepsAFolderAndOnlyTheFirstSubFolderIsTried)
{
    struct Case { const char* name; std::vector<const char*> folders, files; bool removed; size_t left; } cases[] = {
        {"empty", {}, {}, true, 0},
        {"one empty sub-folder", {"a"}, {}, true, 0},
        {"nested empty sub-folders", {"a", "a\\b", "a\\b\\c"}, {}, true, 0},
        {"two empty sub-folders", {"a", "b"}, {}, false, 1},
        {"hidden file", {}, {"hidden.txt"}, false, 1},
        {"file in a sub-folder", {"a"}, {"a\\f"}, false, 1},
        {"dot folder", {".git"}, {}, false, 1},
    };
    for (const Case& c : cases) {
        TempFolder temp;
        std::string folder = temp / "group";
        CreateDirectoryA(folder.c_str(), nullptr);
        for (const char* sub : c.folders) CreateDirectoryA(Join(folder, sub).c_str(), nullptr);
        for (const char* file : c.files) {
            WriteBytes(Join(folder, file), "x");
            SetFileAttributesA(Join(folder, file).c_str(), FILE_ATTRIBUTE_HIDDEN);
        }
        std::vector<std::string> before = EntriesOf(folder);
        EXPECT_EQ(c.removed, RemoveEmptyFolderTree(folder.c_str()) != FALSE) << c.name;
        EXPECT_EQ(!c.removed, IsExistingFolder(folder.c_str())) << c.name;
        std::vector<std::string> after = EntriesOf(folder);
        EXPECT_EQ(c.left, after.size()) << c.name;
        if (c.folders.size() == 2) {
            EXPECT_EQ(before.back(), after.front()) << "the first in enumeration order goes";
        }
    }
}
