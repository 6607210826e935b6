// Starting the program: the single instance, the leftover installer beside
// it, the target taken from the argument, the About box, and searching
// again for a target typed into the dialog.
#include "test_support.h"

using namespace testsupport;

namespace {

class AppStartup : public QuilletTest {};

TEST_F(AppStartup, SecondInstanceEndsAtOnceAndLeavesTheFirstAlone)
{
    ASSERT_TRUE(MakeShortcut(LinkIn("Desktop"), Target));
    ASSERT_TRUE(OpenIdle());

    Quillet second;
    ASSERT_TRUE(second.Start(Tree.Program(), "\"" + Target + "\"", false));
    ASSERT_TRUE(second.EndsWithExitZero()) << "the second instance did not end";

    ASSERT_TRUE(IsWindow(Dialog));
    EXPECT_EQ(ItemText(Dialog, 200), TickPlacesText(Name));
    EXPECT_TRUE(IsTicked(Dialog, 401));
    EXPECT_FALSE(Program.ScanThreadAlive()) << "the first instance was made to scan again";
    CloseAndExpectExitZero();
}

TEST_F(AppStartup, LeftoverInstallerIsDeletedAndNothingElseHappens)
{
    std::string installer = Tree.Bin + "\\Stowfold.exe";
    ASSERT_TRUE(WriteBytes(installer, "MZ left behind by the installer"));
    ASSERT_TRUE(Program.Start(Tree.Program(), "\"" + Target + "\""));
    bool windowSeen = false;
    DWORD exitCode = 99;
    bool ended = WaitUntil(
        [&] {
            if (!Program.VisibleWindows().empty()) windowSeen = true;
            return !Program.Running();
        },
        StartLimitMs);
    ASSERT_TRUE(ended) << "the program did not end";
    ASSERT_TRUE(Program.WaitForExit(0, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(windowSeen);
    EXPECT_FALSE(FileExists(installer));
    EXPECT_FALSE(FileExists(Tree.Settings())) << "a clean-up run neither reads nor writes the settings";
}

TEST_F(AppStartup, InstallerThatCannotBeDeletedIsLeftAndStartGoesOn)
{
    std::string installer = Tree.Bin + "\\Stowfold.exe";
    ASSERT_TRUE(WriteBytes(installer, "MZ still running"));
    // Held open without delete sharing, as a running program's file is.
    HANDLE held = CreateFileA(installer.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DWORD start = GetTickCount();
    bool opened = Open("\"" + Target + "\"") != nullptr;
    DWORD elapsed = GetTickCount() - start;
    CloseHandle(held);
    ASSERT_TRUE(opened);
    EXPECT_GE(elapsed, 1400u) << "fifteen attempts 100 ms apart come first";
    EXPECT_TRUE(FileExists(installer));
    ExpectScanEnd(TickPlacesText(Name));
    CloseAndExpectExitZero();
}

TEST_F(AppStartup, ShortcutGivenAsArgumentStandsForItsTarget)
{
    std::string link = Tree.Root / "given.lnk";
    ASSERT_TRUE(MakeShortcut(link, Target));
    ASSERT_TRUE(MakeShortcut(LinkIn("Startup"), Target));
    ASSERT_TRUE(Open("\"" + link + "\""));
    ExpectScanEnd(TickPlacesText(Name));
    EXPECT_EQ(ItemText(Dialog, 1000), Target);
    EXPECT_EQ(ItemText(Dialog, 1003), Name);
    EXPECT_TRUE(IsTicked(Dialog, 402));
    CloseAndExpectExitZero();
}

TEST_F(AppStartup, UnreadableShortcutArgumentLeavesNoTarget)
{
    std::string link = Tree.Root / "broken.lnk";
    ASSERT_TRUE(WriteBytes(link, "this is no shortcut"));
    ASSERT_TRUE(Open(link));
    ExpectScanEnd("上の欄にファイル名またはフォルダ名を指定してください");
    EXPECT_EQ(ItemText(Dialog, 1000), "");
    EXPECT_EQ(ItemText(Dialog, 1003), "");
    for (int box = 401; box <= 411; ++box) EXPECT_FALSE(IsTicked(Dialog, box)) << "box " << box;
    CloseAndExpectExitZero();
}

TEST_F(AppStartup, AboutBoxShowsVersionAndCloses)
{
    ASSERT_TRUE(OpenIdle());
    PostClick(Dialog, 1013);
    HWND about = Program.WaitForDialog("  Pathwick");
    ASSERT_NE(about, nullptr) << "no About box";
    EXPECT_EQ(ItemText(about, 200), "Version 1.50");
    for (int label : {1014, 1015})
        EXPECT_TRUE(WaitUntil([&] { return ControlShowsColour(GetDlgItem(about, label), LinkColour); }, StartLimitMs))
            << "link label " << label;
    EXPECT_FALSE(ControlShowsColour(GetDlgItem(about, 200), LinkColour));
    EXPECT_TRUE(Screenshot("about-box.png"));
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitGone(about));
    ASSERT_TRUE(Sync(Dialog));
    CloseAndExpectExitZero();
}

TEST_F(AppStartup, SearchAgainLooksForTheTypedTarget)
{
    std::string other = Tree.Root / "apps\\メモ帳.exe";
    ASSERT_TRUE(WriteBytes(other, "MZ"));
    ASSERT_TRUE(MakeShortcut(LinkIn("Desktop"), Target));
    ASSERT_TRUE(MakeShortcut(LinkIn("SendTo", "", "メモ帳"), other));
    ASSERT_TRUE(MakeShortcut(LinkIn("Programs", "Util", "メモ帳"), other));
    ASSERT_TRUE(OpenIdle());
    ASSERT_TRUE(IsTicked(Dialog, 401));

    // An empty target box is refused with a message.
    ASSERT_TRUE(SetItemText(Dialog, 1000, ""));
    PostClick(Dialog, 1007);
    ASSERT_NO_FATAL_FAILURE(AnswerMessage("ファイル名またはフォルダ名を指定してください"));
    EXPECT_TRUE(IsTicked(Dialog, 401)) << "nothing else changes";

    ASSERT_TRUE(SetItemText(Dialog, 1000, other));
    ASSERT_TRUE(Click(Dialog, 1007));
    ExpectScanEnd(TickPlacesText("メモ帳"));
    EXPECT_EQ(ItemText(Dialog, 1003), "メモ帳");
    for (int box = 401; box <= 411; ++box) EXPECT_EQ(IsTicked(Dialog, box), box == 404 || box == 406) << "box " << box;
    EXPECT_EQ(ItemText(Dialog, 1002), "Util");
    EXPECT_EQ(ItemText(Dialog, 1001), "");

    // A click now works on the new target.
    ASSERT_TRUE(Click(Dialog, 401));
    EXPECT_EQ(ShortcutTarget(LinkIn("Desktop", "", "メモ帳")), other);
    CloseAndExpectExitZero();
}

} // namespace
