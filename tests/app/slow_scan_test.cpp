// A scan slow enough to act on while it runs: a Start Menu of a few hundred
// groups of plain files. The progress marks, the refused clicks, the stop
// button and closing the dialog mid-scan.
#include "test_support.h"

using namespace testsupport;

namespace {

class AppSlowScan : public QuilletTest {
protected:
    void SetUp() override
    {
        // Found before the Start Menu is searched (stage 1), and after it
        // (stage 7), so a stop in between shows in the ticks.
        ASSERT_TRUE(MakeShortcut(LinkIn("Desktop"), Target));
        ASSERT_TRUE(MakeShortcut(LinkIn("Common Desktop"), Target));
        FillWithGroups(Tree.Folder("Start Menu"), 250, 4);
    }

    // Opens the dialog and waits until the scan walks the Start Menu's groups.
    void OpenAndWaitForGroupWalk()
    {
        ASSERT_TRUE(OpenOnTarget());
        const std::string suffix = " グループを検索中";
        std::string seen;
        bool walking = WaitUntil(
            [&] { return (seen = ItemText(Dialog, 1001)).size() > suffix.size() && EndsWith(seen, suffix); },
            ScanLimitMs);
        ASSERT_TRUE(walking) << "box 1001 showed " << Hex(seen);
        ASSERT_TRUE(Program.ScanThreadAlive());
    }
};

TEST_F(AppSlowScan, MarksShowTheStageAndStopEndsTheRest)
{
    ASSERT_NO_FATAL_FAILURE(OpenAndWaitForGroupWalk());
    EXPECT_EQ(ItemText(Dialog, 200), Format("%s へのショートカット情報を検索中です", Name.c_str()));
    EXPECT_EQ(ItemText(Dialog, 1002), "ﾌﾟﾛｸﾞﾗﾑ の検索待ち");
    EXPECT_EQ(ItemText(Dialog, 1004), "ｽﾀｰﾄ ﾒﾆｭｰ(AllUser) の検索待ち");
    EXPECT_EQ(ItemText(Dialog, 1005), "ﾌﾟﾛｸﾞﾗﾑ(AllUser) の検索待ち");

    // Stage 5, the Start Menu: Desktop, Startup, Quick Launch and SendTo are
    // done, the rest wait.
    const MarkList stage5 = {{401, MarkDoneColour},    {402, MarkDoneColour},    {403, MarkSearchingColour},
                             {404, MarkWaitingColour}, {405, MarkDoneColour},    {406, MarkDoneColour},
                             {407, MarkWaitingColour}, {408, MarkWaitingColour}, {409, MarkWaitingColour},
                             {410, MarkWaitingColour}};
    ExpectMarks(Dialog, stage5);

    // A click on a place while the scan runs changes nothing.
    ASSERT_TRUE(Program.ScanThreadAlive()) << "the scan ended too soon for the rest of this test";
    ASSERT_TRUE(Click(Dialog, 402));
    EXPECT_FALSE(IsTicked(Dialog, 402));
    EXPECT_FALSE(FileExists(LinkIn("Startup")));

    ASSERT_TRUE(Program.ScanThreadAlive());
    ASSERT_TRUE(Click(Dialog, 1014));
    ExpectScanEnd(TickPlacesText(Name) + "　（検索処理は中断しました）");
    EXPECT_TRUE(IsTicked(Dialog, 401)) << "found before the stop";
    for (int box = 402; box <= 411; ++box) EXPECT_FALSE(IsTicked(Dialog, box)) << "box " << box;
    for (int box : {1001, 1002, 1004, 1005}) EXPECT_EQ(ItemText(Dialog, box), "") << "group box " << box;
    EXPECT_TRUE(FileExists(LinkIn("Common Desktop")));
    ExpectMarks(Dialog, TenDoneMarks());
    CloseAndExpectExitZero();
}

TEST_F(AppSlowScan, CloseDuringTheScanEndsAfterIt)
{
    ASSERT_NO_FATAL_FAILURE(OpenAndWaitForGroupWalk());
    // The scan winds down at once after the close; that the dialog waits
    // for it is seen where the scan waits for an answer (the broken-link
    // tests). Here: it does end by itself, and the program with it.
    ASSERT_TRUE(Click(Dialog, IDOK));
    EXPECT_TRUE(WaitGone(Dialog, ScanLimitMs)) << "the dialog did not close after the scan";
    ASSERT_TRUE(Program.EndsWithExitZero());
    EXPECT_EQ(ReadBytes(Tree.Settings()), "[Pathwick Information]\r\n USER_FOLDER=\r\n");
}

} // namespace
