// The broken-link check (button 1011): one confirmation per broken shortcut,
// the user's answers, the files left on disk and the summary.
#include "test_support.h"

using namespace testsupport;

namespace {

const int DeleteAll = 9;
const int KeepAll = 8;

// Answers given to the confirmations in the order they come, and what the
// check must end with.
struct Sweep {
    const char* Label;
    std::vector<int> Answers;
    const char* Summary;
    std::vector<bool> Deleted; // per broken shortcut, in the order they are asked about
    bool Screenshot;
};

// ctest shows the case by its label.
void PrintTo(const Sweep& sweep, std::ostream* out)
{
    *out << sweep.Label;
}

const Sweep Sweeps[] = {
    {"DeleteAllAtTheFirst",
     {DeleteAll},
     "3 個のショートカットのリンク切れがあり 3 個のリンクファイルを削除しました",
     {true, true, true},
     true},
    {"YesThenNo",
     {IDYES, IDNO, IDNO},
     "3 個のショートカットのリンク切れがあり 1 個のリンクファイルを削除しました",
     {true, false, false},
     false},
    {"NoToEach", {IDNO, IDNO, IDNO}, "3 個のショートカットのリンク切れがありました", {false, false, false}, false},
    {"KeepAllAtTheFirst", {KeepAll}, "3 個のショートカットのリンク切れがありました", {false, false, false}, false},
    {"NoThenCancel", {IDNO, IDCANCEL}, "リンク切れチェックを中断しました", {false, false, false}, false},
};

class AppDeadLinks : public QuilletTest {
protected:
    void SetUp() override
    {
        // In the order the check meets them: the Desktop is searched first,
        // then the Start Menu with its groups, then the all-users Desktop.
        Broken = {LinkIn("Desktop", "", "gone1"), LinkIn("Start Menu", "Old", "gone2"),
                  LinkIn("Common Desktop", "", "gone3")};
        const char* missing[3] = {"C:\\gone\\a.exe", "C:\\gone\\b.exe", "C:\\gone\\c.exe"};
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(MakeShortcut(Broken[i], missing[i]));
        Healthy = LinkIn("SendTo");
        ASSERT_TRUE(MakeShortcut(Healthy, Target));
        ASSERT_TRUE(WriteBytes(Tree.Folder("Desktop") + "\\desktop.ini", "[.ShellClassInfo]\r\n"));
    }

    // Opens on the target, lets the first scan end and starts the check.
    void StartCheck()
    {
        ASSERT_TRUE(OpenIdle());
        ASSERT_TRUE(IsTicked(Dialog, 406));
        PostClick(Dialog, 1011);
    }

    std::vector<std::string> Broken;
    std::string Healthy;
};

class AppDeadLinkAnswers : public AppDeadLinks, public ::testing::WithParamInterface<Sweep> {};

TEST_P(AppDeadLinkAnswers, ActAndSummarise)
{
    const Sweep& sweep = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartCheck());
    for (size_t i = 0; i < sweep.Answers.size(); ++i) {
        SCOPED_TRACE(i);
        HWND warn = Program.WaitForDialog("リンクの削除の確認");
        ASSERT_NE(warn, nullptr) << "no confirmation for " << Broken[i];
        EXPECT_EQ(ItemText(warn, 1000), Broken[i]);
        if (i == 0 && sweep.Screenshot) {
            EXPECT_TRUE(Screenshot("warn-dialog.png"));
        }
        PostMessageA(warn, WM_COMMAND, sweep.Answers[i], 0);
        ASSERT_TRUE(WaitGone(warn));
    }
    ExpectScanEnd(sweep.Summary);
    EXPECT_EQ(Program.WaitForDialog("リンクの削除の確認", 200), nullptr) << "asked once too often";

    for (size_t i = 0; i < Broken.size(); ++i) EXPECT_EQ(FileExists(Broken[i]), !sweep.Deleted[i]) << Broken[i];
    EXPECT_TRUE(FileExists(Healthy));
    EXPECT_TRUE(FileExists(Tree.Folder("Desktop") + "\\desktop.ini"));
    // The check runs without a target and ticks nothing.
    EXPECT_EQ(ItemText(Dialog, 1000), "");
    EXPECT_EQ(ItemText(Dialog, 1003), "");
    for (int box = 401; box <= 411; ++box) EXPECT_FALSE(IsTicked(Dialog, box)) << "box " << box;
    CloseAndExpectExitZero();
}

INSTANTIATE_TEST_SUITE_P(App, AppDeadLinkAnswers, ::testing::ValuesIn(Sweeps), CaseLabel());

TEST_F(AppDeadLinks, CloseWhileAskingWaitsForTheAnswerThenEnds)
{
    ASSERT_NO_FATAL_FAILURE(StartCheck());
    HWND warn = Program.WaitForDialog("リンクの削除の確認");
    ASSERT_NE(warn, nullptr);
    // The scan thread waits for the answer, so the close must wait too.
    PostClick(Dialog, IDOK);
    ASSERT_TRUE(Sync(Dialog));
    EXPECT_FALSE(WaitGone(Dialog, 1000)) << "the dialog closed while the check still asked";
    EXPECT_TRUE(IsWindow(warn));

    PostMessageA(warn, WM_COMMAND, IDNO, 0);
    EXPECT_TRUE(WaitGone(Dialog, ScanLimitMs)) << "the dialog did not close after the check";
    ASSERT_TRUE(Program.EndsWithExitZero());
    // The close stopped the check: nothing more was asked or deleted.
    for (const std::string& link : Broken) EXPECT_TRUE(FileExists(link)) << link;
}

TEST_F(AppDeadLinks, NothingBrokenAsksNothing)
{
    // Wine's desktop may hold a shortcut just made on a Desktop for a moment.
    for (const std::string& link : Broken)
        ASSERT_TRUE(WaitUntil([&] { return DeleteFileA(link.c_str()) != FALSE; }, StartLimitMs, link.c_str()));
    ASSERT_NO_FATAL_FAILURE(StartCheck());
    ExpectScanEnd("下に示す１１ヶ所のリンク情報は正常でした");
    EXPECT_EQ(Program.WaitForDialog("リンクの削除の確認", 200), nullptr);
    EXPECT_TRUE(FileExists(Healthy));
    CloseAndExpectExitZero();
}

} // namespace
