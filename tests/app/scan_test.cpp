// The scan that runs when the link dialog opens: which places it ticks, what
// it leaves in the group boxes, its summary and its progress marks.
#include "test_support.h"
#include <map>
#include <set>

using namespace testsupport;

namespace {

const int PlaceBoxes[11] = {401, 402, 403, 404, 405, 406, 407, 408, 409, 410, 411};
const int GroupBoxes[4] = {1001, 1002, 1004, 1005};

bool IsMarkColour(COLORREF colour)
{
    return colour == MarkWaitingColour || colour == MarkSearchingColour || colour == MarkDoneColour;
}

class AppScan : public QuilletTest {};

TEST_F(AppScan, FindsDesktopAndStartMenuGroup)
{
    ASSERT_TRUE(MakeShortcut(LinkIn("Desktop"), Target));
    ASSERT_TRUE(MakeShortcut(LinkIn("Start Menu", "Tools"), Target));
    // Neighbours that must not count: another program's shortcut, and a
    // file that is no shortcut at all.
    ASSERT_TRUE(MakeShortcut(LinkIn("Startup", "", "other"), "C:\\windows\\regedit.exe"));
    ASSERT_TRUE(WriteBytes(Tree.Folder("SendTo") + "\\desktop.ini", "[.ShellClassInfo]\r\n"));

    ASSERT_TRUE(OpenOnTarget());
    EXPECT_EQ(TextOf(Dialog), " Pathwick Ver 1.50");
    ExpectScanEnd(TickPlacesText(Name));

    EXPECT_EQ(ItemText(Dialog, 1000), Target);
    EXPECT_EQ(ItemText(Dialog, 1003), Name);
    for (int box : PlaceBoxes) EXPECT_EQ(IsTicked(Dialog, box), box == 401 || box == 403) << "box " << box;
    EXPECT_EQ(ItemText(Dialog, 1001), "Tools");
    for (int box : {1002, 1004, 1005}) EXPECT_EQ(ItemText(Dialog, box), "") << "group box " << box;

    // Idle: the ten places carry the done mark; without a user folder the
    // eleventh has none.
    ExpectMarks(Dialog, TenDoneMarks());
    EXPECT_FALSE(IsMarkColour(MarkColour(Dialog, 411)));
    EXPECT_TRUE(WaitUntil([&] { return ControlShowsColour(GetDlgItem(Dialog, 200), LinkColour); }, StartLimitMs))
        << "the status line is in the link colour";
    EXPECT_FALSE(ControlShowsColour(GetDlgItem(Dialog, 401), LinkColour)) << "other texts keep their colour";

    EXPECT_TRUE(Screenshot("link-dialog-after-scan.png"));
    CloseAndExpectExitZero();
}

// Where the target's shortcuts lie, and what the scan must show for that.
struct Layout {
    const char* Label;
    std::vector<std::pair<std::string, std::string>> Links; // place value name ("" = user folder), group
    bool UserFolder;                                        // a user folder exists (with or without a link)
    std::set<int> Ticked;
    std::map<int, std::string> Groups; // group boxes not named here end empty
};

// ctest shows the case by its label.
void PrintTo(const Layout& layout, std::ostream* out)
{
    *out << layout.Label;
}

const Layout Layouts[] = {
    {"StartMenuFolderItself", {{"Start Menu", ""}}, false, {403}, {}},
    // Programs lies inside the Start Menu folder but is a place of its own.
    {"ProgramsIsNotPartOfStartMenu", {{"Programs", ""}}, false, {404}, {}},
    {"GroupNameEndingInTrailByte5C", {{"Start Menu", "ツール表"}}, false, {403}, {{1001, "ツール表"}}},
    {"GroupInsideGroup", {{"Programs", "Tools\\Net"}}, false, {404}, {{1002, "Tools\\Net"}}},
    // Startup lies inside Programs: only its own box is ticked.
    {"PlacesWithoutGroups",
     {{"Startup", ""}, {"AppData", ""}, {"SendTo", ""}, {"Common Desktop", ""}, {"Common Startup", ""}},
     false,
     {402, 405, 406, 407, 408},
     {}},
    {"AllUsersGroups",
     {{"Common Start Menu", "Suite"}, {"Common Programs", "Foo"}},
     false,
     {409, 410},
     {{1004, "Suite"}, {1005, "Foo"}}},
    // The user folder's search reports its progress in box 1005 too.
    {"UserFolderSearchEmptiesBox1005", {{"Common Programs", "Foo"}}, true, {410}, {}},
    {"UserFolderSubFolderShownInBox1005", {{"Common Programs", "Foo"}, {"", "Sub"}}, true, {410, 411}, {{1005, "Sub"}}},
};

class AppScanLayout : public QuilletTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(AppScanLayout, TicksPlacesAndShowsGroups)
{
    const Layout& layout = GetParam();
    std::string userFolder = Tree.Root / "mine";
    if (layout.UserFolder) {
        ASSERT_TRUE(MakeFolders(userFolder));
        ASSERT_TRUE(WriteBytes(Tree.Settings(), "[Pathwick Information]\r\n USER_FOLDER=" + userFolder + "\r\n"));
    }
    for (const auto& link : layout.Links) {
        std::string path = link.first.empty()
                               ? userFolder + (link.second.empty() ? "" : "\\" + link.second) + "\\表計算.lnk"
                               : LinkIn(link.first, link.second);
        ASSERT_TRUE(MakeShortcut(path, Target)) << path;
    }

    ASSERT_TRUE(OpenIdle());
    for (int box : PlaceBoxes) EXPECT_EQ(IsTicked(Dialog, box), layout.Ticked.count(box) == 1) << "box " << box;
    for (int box : GroupBoxes) {
        auto expected = layout.Groups.find(box);
        EXPECT_EQ(ItemText(Dialog, box), expected == layout.Groups.end() ? "" : expected->second)
            << "group box " << box;
    }
    if (layout.UserFolder) {
        EXPECT_EQ(ItemText(Dialog, 1015), userFolder);
        ExpectMarks(Dialog, {{411, MarkDoneColour}});
    }
    CloseAndExpectExitZero();
}

INSTANTIATE_TEST_SUITE_P(App, AppScanLayout, ::testing::ValuesIn(Layouts), CaseLabel());

} // namespace
