// Searching the redirected places for a shortcut: precedence, groups and the
// status control of a real window, the folders never entered, stopping, and
// walks that must end (over-long paths, a folder link back to an ancestor).
#include <gtest/gtest.h>
#include <algorithm>
#include "link_search.h"
#include "path_helpers.h"
#include "shell_folders.h"
#include "test_support.h"

using namespace testsupport;

class SearchTest : public CoreTest {
protected:
    std::string Folder(const char* place, const std::string& group = "")
    {
        std::string folder = places.Folder(place) + group;
        CreateFolderChain(folder.c_str());
        return folder;
    }
    int Find(const char* target, const char* place, int control = 0, const char* suffix = nullptr)
    {
        lstrcpyA(found, "<untouched>");
        return FindLinkInLocation(window.Handle(), found, target, place, suffix, control);
    }
    StatusWindow window{1001};
    char found[MAX_PATH];
};

const char Target[] = "C:\\Tools\\x.exe";

TEST_F(SearchTest, FindsInTheOwnFolderIgnoringCase)
{
    std::string link = Folder("Desktop") + "\\a.lnk";
    ASSERT_TRUE(MakeShortcut(link, Target));
    // What a create cut short left beside a shortcut is no shortcut of the place.
    ASSERT_TRUE(MakeShortcut(Folder("Desktop") + "\\b.lnk.pathwick-old", "C:\\Tools\\y.exe"));
    ASSERT_TRUE(MakeShortcut(Folder("Desktop") + "\\c.lnk.pathwick-new", "C:\\Tools\\y.exe"));
    EXPECT_EQ(1, Find("c:\\tools\\X.EXE", "Desktop"));
    EXPECT_EQ(link, found);
    EXPECT_EQ(0, Find("C:\\Tools\\y.exe", "Desktop"));
    EXPECT_STREQ("", found);
    EXPECT_EQ(0, Find(Target, "Pathwick No Such Value"));
    EXPECT_STREQ("<untouched>", found);

    ASSERT_TRUE(MakeShortcut(Folder("Start Menu") + "\\a.lnk", Target));
    SetDlgItemTextA(window.Handle(), 1001, "stale");
    EXPECT_EQ(1, Find(Target, "Start Menu", 1001));
    EXPECT_EQ("", window.Text(1001)) << "a match in the place's own folder names no group";
}

TEST_F(SearchTest, GroupsAreSearchedOnlyWithAStatusControl)
{
    std::string link = Folder("Start Menu", "\\Tools\\Net") + "\\a.lnk";
    ASSERT_TRUE(MakeShortcut(link, Target));
    EXPECT_EQ(0, Find(Target, "Start Menu"));
    EXPECT_EQ(0, Find(Target, "Start Menu", 0, "\\Tools"));
    EXPECT_EQ(1, Find(Target, "Start Menu", 1001));
    EXPECT_EQ(link, found);
    EXPECT_EQ("Tools\\Net", window.Text(1001));
    std::vector<std::string> shown = window.History(1001);
    auto tools = std::find(shown.begin(), shown.end(), "Tools グループを検索中");
    EXPECT_NE(shown.end(), std::find(tools, shown.end(), "Net グループを検索中")) << "Tools, then Net";

    EXPECT_EQ(1, Find(Target, "Start Menu", 1001, "\\Tools"));
    EXPECT_EQ("Net", window.Text(1001));
}

TEST_F(SearchTest, OwnFolderComesFirstAndTheFirstMatchWins)
{
    std::string root = Folder("Programs");
    for (const char* group : {"\\A", "\\B"}) ASSERT_TRUE(MakeShortcut(Folder("Programs", group) + "\\a.lnk", Target));
    ASSERT_TRUE(MakeShortcut(root + "\\z.lnk", Target));
    ASSERT_TRUE(MakeShortcut(root + "\\y.lnk", Target));
    std::vector<std::string> entries = EntriesOf(root);  // the platform's order
    auto first = [&](std::initializer_list<const char*> names) {
        return *std::find_first_of(entries.begin(), entries.end(), names.begin(), names.end());
    };
    EXPECT_EQ(1, Find(Target, "Programs", 1001));
    EXPECT_EQ(root + "\\" + first({"y.lnk", "z.lnk"}), found);
    EXPECT_EQ("", window.Text(1001));

    DeleteFileA((root + "\\y.lnk").c_str());
    DeleteFileA((root + "\\z.lnk").c_str());
    EXPECT_EQ(1, Find(Target, "Programs", 1001));
    EXPECT_EQ(root + "\\" + first({"A", "B"}) + "\\a.lnk", found);
}

TEST_F(SearchTest, SpecialFoldersAndDotFoldersAreNeverEntered)
{
    struct Case { const char* place; const char* holder; const char* group; int expected; } cases[] = {
        {"Start Menu", "Programs", "", 0},
        {"Programs", "Startup", "", 0},
        {"Common Start Menu", "Common Programs", "", 0},
        {"Common Programs", "Common Startup", "", 0},
        {"Start Menu", "Start Menu", "\\.hidden", 0},
        {"Start Menu", "Start Menu", "\\Other", 1},  // the same depth, not special: found
    };
    for (const Case& c : cases) {
        std::string link = Folder(c.holder, c.group) + "\\a.lnk";
        ASSERT_TRUE(MakeShortcut(link, Target));
        EXPECT_EQ(c.expected, Find(Target, c.place, 1001)) << c.place << " holding " << link;
        DeleteFileA(link.c_str());
    }
}

TEST_F(SearchTest, JapaneseGroupWithTrailByteBackslash)
{
    ASSERT_TRUE(CreateLinkIn(Target, "Start Menu", "\\表示", "表", ""));
    std::string link = places.Folder("Start Menu") + "\\表示\\表.lnk";
    EXPECT_EQ(1, Find(Target, "Start Menu", 1001));
    EXPECT_EQ(link, found);
    EXPECT_EQ("表示", window.Text(1001));
    EXPECT_EQ(1, Find(Target, "Start Menu", 0, "\\表示"));
}

TEST_F(SearchTest, NoShortcutsAreNeitherMatchedNorBroken)
{
    std::string group = Folder("Start Menu", "\\Tools");
    for (const std::string& folder : {places.Folder("Start Menu"), group}) {
        WriteBytes(folder + "\\desktop.ini", "[.ShellClassInfo]\r\n");
        WriteBytes(folder + "\\notes.txt", "C:\\pathwick-gone\\gone.exe");
        WriteBytes(folder + "\\empty.lnk", "");
        WriteBytes(folder + "\\corrupt.lnk", std::string("L\0\0\0", 4) + std::string(200, '\x7f'));
    }
    WarnDialogResponder responder;  // no dialog may appear
    SweepState.DeadLinkMode = 1;
    EXPECT_EQ(0, Find("C:\\pathwick-gone\\gone.exe", "Start Menu", 1001));
    EXPECT_EQ(0, SweepState.BrokenCount);
    EXPECT_TRUE(responder.Paths.empty());
}

TEST_F(SearchTest, StopRequestedBeforeTheStartReadsNothing)
{
    ASSERT_TRUE(MakeShortcut(Folder("Start Menu") + "\\a.lnk", Target));
    ASSERT_TRUE(MakeShortcut(Folder("Start Menu", "\\Tools") + "\\gone.lnk", "C:\\pathwick-gone\\gone.exe"));
    WarnDialogResponder responder;
    SweepState.StopRequested = 1;
    EXPECT_EQ(0, Find(Target, "Start Menu", 1001));
    SweepState.DeadLinkMode = 1;
    EXPECT_EQ(0, Find(Target, "Start Menu", 1001));
    EXPECT_EQ(1, SweepState.StopRequested);
    EXPECT_EQ(0, SweepState.BrokenCount);
    EXPECT_TRUE(window.History(1001).empty());
    EXPECT_TRUE(responder.Paths.empty());
}

TEST_F(SearchTest, ShiftHeldStopsTheSearch)
{
    ASSERT_TRUE(MakeShortcut(Folder("Desktop") + "\\a.lnk", Target));
    keybd_event(VK_SHIFT, 0, 0, 0);
    struct Release { ~Release() { keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0); } } release;
    if (!WaitUntil([] { return (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0; }, StartLimitMs))
        GTEST_SKIP() << "injected Shift does not show in GetAsyncKeyState";
    EXPECT_EQ(0, Find(Target, "Desktop"));
    EXPECT_EQ(1, SweepState.StopRequested);
}

static std::wstring LongPath(const std::string& path)
{
    return L"\\\\?\\" + Widen(path);
}

// Every broken shortcut the walk reads is counted (KeepAll asks nothing), so
// the count tells which files were read, and how often.
TEST_F(SearchTest, OverlongPathsAreSkippedNotCut)
{
    std::string place = Folder("Desktop");
    std::string root = place + "\\" + std::string(200 - place.size(), 'r');
    std::string longLink = root + "\\" + std::string(70, 'a') + ".lnk", longGroup = root + "\\" + std::string(70, 'g');
    CreateDirectoryA(root.c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(LongPath(longGroup).c_str(), nullptr));
    for (const std::string& destination : {longLink, longGroup + "\\a.lnk"}) {
        ASSERT_TRUE(MakeShortcut(root + "\\new.lnk", "C:\\pathwick-gone\\long.exe"));
        ASSERT_TRUE(MoveFileW(LongPath(root + "\\new.lnk").c_str(), LongPath(destination).c_str()));
    }
    // A file at the cut-off path, which a truncating walk would read instead.
    ASSERT_TRUE(MakeShortcut(longLink.substr(0, MAX_PATH - 1), "C:\\pathwick-gone\\cut.exe"));

    WarnDialogResponder responder;
    EXPECT_EQ(0, Find("C:\\pathwick-gone\\cut.exe", nullptr, 1001, (longLink + "-").c_str()));
    EXPECT_STREQ("<untouched>", found) << "a folder longer than a path is refused";
    EXPECT_EQ(0, Find("C:\\pathwick-gone\\long.exe", nullptr, 1001, root.c_str()));
    EXPECT_STREQ("", found);
    SweepState.DeadLinkMode = 1;
    SweepState.KeepAll = 1;
    EXPECT_EQ(1, Find("C:\\pathwick-gone\\cut.exe", nullptr, 1001, root.c_str()));
    EXPECT_EQ(1, SweepState.BrokenCount) << "only the shortcut at the cut-off path, and that once";
    EXPECT_EQ(2, SweepState.SkippedCount) << "the long shortcut and the long group are passed over, and said so";
    EXPECT_EQ(longLink.substr(0, MAX_PATH - 1), found);
    DeleteFileW(LongPath(longLink).c_str());
    DeleteFileW(LongPath(longGroup + "\\a.lnk").c_str());
    RemoveDirectoryW(LongPath(longGroup).c_str());
}

TEST_F(SearchTest, FolderLinkBackToAnAncestorEndsTheWalk)
{
    std::string root = Folder("Start Menu"), loop = Folder("Start Menu", "\\Loop") + "\\back";
    ASSERT_TRUE(MakeShortcut(root + "\\gone.lnk", "C:\\pathwick-gone\\gone.exe"));
    // Wine 8 answers CreateSymbolicLinkA with success and makes nothing: ln does it.
    std::string done = places.Root() + "\\shell-done";
    if (!RunShell("ln -s '" + UnixPathOf(root) + "' '" + UnixPathOf(loop) + "'", done) || !Exists(loop))
        GTEST_SKIP() << "could not make a folder link";
    ASSERT_TRUE(IsExistingFolder((loop + "\\Loop").c_str())) << "the link leads back to the place";

    WarnDialogResponder responder;
    EXPECT_EQ(0, Find("C:\\Tools\\missing.exe", "Start Menu", 1001));
    SweepState.DeadLinkMode = 1;
    SweepState.KeepAll = 1;
    EXPECT_EQ(0, Find("C:\\Tools\\missing.exe", "Start Menu", 1001));
    EXPECT_EQ(1, SweepState.BrokenCount) << "the place was walked more than once";
    EXPECT_TRUE(RunShell("rm '" + UnixPathOf(loop) + "'", done) && !Exists(loop));
}
