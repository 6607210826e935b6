// Ticking and unticking places in the link dialog: the shortcut files and
// group folders on disk, the questions asked, and the status line.
#include "test_support.h"

using namespace testsupport;

namespace {

std::string Created(const char* place, const std::string& name)
{
    return Format("%s 内に %s へのショートカットを作成しました", place, name.c_str());
}

std::string Deleted(const char* place, const std::string& name)
{
    return Format("%s 内の %s へのショートカットを削除しました", place, name.c_str());
}

class AppPlaces : public QuilletTest {};

TEST_F(AppPlaces, PlacesWithoutGroupsCreateAndDelete)
{
    struct Row {
        int Box;
        const char* ValueName;
        const char* Display;
    };
    // Quick Launch is the AppData folder plus its fixed sub-path, which is
    // never shown as a group.
    const Row rows[] = {{401, "Desktop", "デスクトップ"},
                        {402, "Startup", "スタートアップ"},
                        {405, "AppData", "QUICK Launch"},
                        {406, "SendTo", "SendTo"},
                        {407, "Common Desktop", "デスクトップ (All User)"},
                        {408, "Common Startup", "スタートアップ (All User)"}};
    ASSERT_TRUE(OpenIdle());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Box);
        std::string link = LinkIn(row.ValueName);
        ASSERT_TRUE(Click(Dialog, row.Box));
        EXPECT_TRUE(IsTicked(Dialog, row.Box));
        EXPECT_EQ(ShortcutTarget(link), Target) << link;
        EXPECT_EQ(ItemText(Dialog, 200), Created(row.Display, Name));

        ASSERT_TRUE(Click(Dialog, row.Box));
        EXPECT_FALSE(IsTicked(Dialog, row.Box));
        EXPECT_FALSE(FileExists(link)) << link;
        EXPECT_EQ(ItemText(Dialog, 200), Deleted(row.Display, Name));
    }
    EXPECT_TRUE(FolderExists(Tree.QuickLaunch())) << "the Quick Launch folder itself must stay";
    CloseAndExpectExitZero();
}

TEST_F(AppPlaces, GroupPlaceWithoutGroupAsksFirst)
{
    struct Row {
        int Box;
        const char* ValueName;
        const char* Display;
        const char* Question;
    };
    const Row rows[] = {
        {403, "Start Menu", "スタートメニュー", "%s をグループ名なしでスタートメニューに登録してよろしいですか？"},
        {404, "Programs", "プログラム", "%s をグループ名なしでプログラムに登録してよろしいですか？"},
        {409, "Common Start Menu", "スタートメニュー (All User)",
         "%s をグループ名なしでスタートメニュー（ＡｌｌＵｓｅｒ）に登録してよろしいですか？"},
        {410, "Common Programs", "プログラム (All User)",
         "%s をグループ名なしでプログラム（ＡｌｌＵｓｅｒ）に登録してよろしいですか？"},
    };
    ASSERT_TRUE(OpenIdle());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Box);
        std::string link = LinkIn(row.ValueName);
        for (int answer : {IDNO, IDYES}) {
            std::string before = ItemText(Dialog, 200);
            PostClick(Dialog, row.Box);
            ASSERT_NO_FATAL_FAILURE(AnswerMessage(Format(row.Question, Name.c_str()), answer));
            if (answer == IDNO) {
                EXPECT_FALSE(IsTicked(Dialog, row.Box));
                EXPECT_FALSE(FileExists(link));
                EXPECT_EQ(ItemText(Dialog, 200), before);
            } else {
                EXPECT_TRUE(IsTicked(Dialog, row.Box));
                EXPECT_EQ(ShortcutTarget(link), Target) << link;
                EXPECT_EQ(ItemText(Dialog, 200), Created(row.Display, Name));
            }
        }
        // Unticking asks nothing and deletes from the place's own folder.
        ASSERT_TRUE(Click(Dialog, row.Box));
        EXPECT_EQ(Program.WaitForDialog("Pathwick", 300), nullptr);
        EXPECT_FALSE(FileExists(link));
        EXPECT_EQ(ItemText(Dialog, 200), Deleted(row.Display, Name));
    }
    CloseAndExpectExitZero();
}

TEST_F(AppPlaces, GroupTextMakesAndUntickRemovesTheGroupFolder)
{
    ASSERT_TRUE(OpenIdle());
    std::string group = Tree.Folder("Start Menu") + "\\Tools";
    ASSERT_TRUE(SetItemText(Dialog, 1001, "Tools"));
    ASSERT_TRUE(Click(Dialog, 403));
    EXPECT_EQ(Program.WaitForDialog("Pathwick", 300), nullptr) << "a group was given: nothing to ask";
    EXPECT_TRUE(IsTicked(Dialog, 403));
    EXPECT_EQ(ShortcutTarget(group + "\\表計算.lnk"), Target);
    EXPECT_EQ(ItemText(Dialog, 200),
              Format("スタートメニュー Tools グループに %s へのショートカットを作成しました", Name.c_str()));

    ASSERT_TRUE(Click(Dialog, 403));
    EXPECT_FALSE(IsTicked(Dialog, 403));
    EXPECT_FALSE(FolderExists(group)) << "the emptied group folder must go";
    EXPECT_TRUE(FolderExists(Tree.Folder("Start Menu")));
    EXPECT_EQ(ItemText(Dialog, 200),
              Format("スタートメニュー Tools グループの %s へのショートカットを削除しました", Name.c_str()));
    CloseAndExpectExitZero();
}

// The user's shortcut to ...\Café\表計算.exe reads back through the ANSI
// interface as its look-alike, the target ...\Cafe\表計算.exe: another program.
// Windows NT only (scripts/test.sh leaves it out of the Windows 98 run).
TEST_F(AppPlaces, LookAlikeShortcutIsNeverTheTargets)
{
    ASSERT_TRUE(MakeFolders(Tree.Root / "Cafe") && CopyInto(Target, Tree.Root / "Cafe", Name + ".exe"));
    Target = Tree.Root / "Cafe\\" + Name + ".exe";
    std::string users = LinkIn("Desktop", "", "cafe"), ours = LinkIn("Desktop");
    ASSERT_TRUE(MakeWideShortcut(Widen(users), Widen(Tree.Root.Path()) + L"\\Caf\u00e9\\" + Widen(Name) + L".exe"));
    ASSERT_TRUE(OpenIdle());
    EXPECT_FALSE(IsTicked(Dialog, 401)) << "ticked for the user's shortcut to another program";
    ASSERT_TRUE(Click(Dialog, 401) && ShortcutTarget(ours) == Target);
    ASSERT_TRUE(Click(Dialog, 401) && !FileExists(ours));
    EXPECT_TRUE(FileExists(users)) << "the untick took the user's shortcut";
    CloseAndExpectExitZero();
}

TEST_F(AppPlaces, NestedGroupKeepsOuterFolderAndSharedGroupStays)
{
    std::string outer = Tree.Folder("Programs") + "\\Suite";
    std::string shared = Tree.Folder("Common Programs") + "\\表示";
    ASSERT_TRUE(MakeShortcut(shared + "\\other.lnk", "C:\\windows\\regedit.exe"));
    ASSERT_TRUE(OpenIdle());

    ASSERT_TRUE(SetItemText(Dialog, 1002, "Suite\\Old"));
    ASSERT_TRUE(SetItemText(Dialog, 1005, "表示"));
    ASSERT_TRUE(Click(Dialog, 404));
    ASSERT_TRUE(Click(Dialog, 410));
    EXPECT_EQ(ShortcutTarget(outer + "\\Old\\表計算.lnk"), Target);
    EXPECT_EQ(ShortcutTarget(shared + "\\表計算.lnk"), Target);
    EXPECT_EQ(ItemText(Dialog, 200),
              Format("プログラム (All User) 表示 グループに %s へのショートカットを作成しました", Name.c_str()));

    ASSERT_TRUE(Click(Dialog, 404));
    ASSERT_TRUE(Click(Dialog, 410));
    EXPECT_FALSE(FolderExists(outer + "\\Old"));
    EXPECT_TRUE(FolderExists(outer)) << "only the innermost emptied group goes";
    EXPECT_FALSE(FileExists(shared + "\\表計算.lnk"));
    EXPECT_TRUE(FileExists(shared + "\\other.lnk")) << "a group that still holds a shortcut stays";
    EXPECT_EQ(ItemText(Dialog, 200),
              Format("プログラム (All User) 表示 グループの %s へのショートカットを削除しました", Name.c_str()));
    CloseAndExpectExitZero();
}

TEST_F(AppPlaces, UserFolderIsMadeAndKept)
{
    // Its last character, 表, ends in the byte 0x5C.
    std::string folder = Tree.Root / "links\\私の表";
    ASSERT_TRUE(OpenIdle());
    ASSERT_TRUE(SetItemText(Dialog, 1015, folder));
    ASSERT_TRUE(Click(Dialog, 411));
    EXPECT_TRUE(IsTicked(Dialog, 411));
    EXPECT_EQ(ShortcutTarget(folder + "\\表計算.lnk"), Target);
    EXPECT_EQ(ItemText(Dialog, 200), Created(folder.c_str(), Name));

    ASSERT_TRUE(Click(Dialog, 411));
    EXPECT_FALSE(IsTicked(Dialog, 411));
    EXPECT_FALSE(FileExists(folder + "\\表計算.lnk"));
    EXPECT_TRUE(FolderExists(folder)) << "no folder is ever removed from the user folder";
    EXPECT_EQ(ItemText(Dialog, 200), Deleted(folder.c_str(), Name));
    CloseAndExpectExitZero();
    EXPECT_EQ(ReadBytes(Tree.Settings()), "[Pathwick Information]\r\n USER_FOLDER=" + folder + "\r\n");
}

TEST_F(AppPlaces, EditedNameNamesTheFileNotTheMessage)
{
    ASSERT_TRUE(OpenIdle());
    ASSERT_TRUE(SetItemText(Dialog, 1003, "メモ"));
    ASSERT_TRUE(Click(Dialog, 401));
    EXPECT_EQ(ShortcutTarget(LinkIn("Desktop", "", "メモ")), Target);
    EXPECT_FALSE(FileExists(LinkIn("Desktop")));
    EXPECT_EQ(ItemText(Dialog, 200), Created("デスクトップ", Name));
    CloseAndExpectExitZero();
}

TEST_F(AppPlaces, FailuresPutTheTickBackAndSaySo)
{
    // The Desktop place points below a file, where no shortcut can be saved.
    std::string blocker = Tree.Root / "blocker.txt";
    ASSERT_TRUE(WriteBytes(blocker, "a file, not a folder"));
    Tree.Redirect.Point("Desktop", blocker + "\\Desktop");
    ASSERT_TRUE(MakeShortcut(LinkIn("SendTo"), Target));
    ASSERT_TRUE(OpenIdle());

    ASSERT_TRUE(Click(Dialog, 401));
    EXPECT_FALSE(IsTicked(Dialog, 401));
    EXPECT_EQ(ItemText(Dialog, 200),
              Format("デスクトップ 内に %s へのショートカットを作成できませんでした", Name.c_str()));

    // A shortcut removed behind the program's back cannot be deleted.
    ASSERT_TRUE(IsTicked(Dialog, 406));
    ASSERT_TRUE(DeleteFileA(LinkIn("SendTo").c_str()));
    ASSERT_TRUE(Click(Dialog, 406));
    EXPECT_TRUE(IsTicked(Dialog, 406));
    EXPECT_EQ(ItemText(Dialog, 200), Format("SendTo 内の %s へのショートカットを削除できませんでした", Name.c_str()));
    CloseAndExpectExitZero();
}

// An administrator's limited run refused by an all-users place says why and
// offers to open again as administrator. Yes starts a new run with what the
// user had typed and ends this one; the single-instance guard stays taken
// all the while. Before Vista no run has a limited token: the refusal is
// all there is.
TEST_F(AppPlaces, RefusedAllUsersPlaceOffersToOpenAgainAsAdministrator)
{
    ImmutableFolder locked(Tree.Folder("Common Programs"));
    ASSERT_TRUE(locked.Set);
    bool limited = !AnswerBeforeVista();
    ASSERT_TRUE(Program.StartWide(Widen("\"" + Tree.Program() + "\" \"" + Target + "\""), Widen(Tree.Bin), nullptr, limited));
    ASSERT_NE(Dialog = Program.WaitForLinkDialog(), nullptr);
    ExpectScanEnd(TickPlacesText(Name));
    // ポ ends in the byte of '|', 表 in that of '\'.
    const std::vector<std::pair<int, std::string>> typed = {
        {1003, "表ポ 100%"}, {1006, "説明 \"a|b\" 50%"}, {1005, "ツールポ"}};
    for (auto& box : typed) ASSERT_TRUE(SetItemText(Dialog, box.first, box.second));
    if (!limited) {
        ASSERT_TRUE(Click(Dialog, 410));
        EXPECT_EQ(Program.WaitForDialog("Pathwick", 300), nullptr) << "an offer before Vista";
        EXPECT_EQ(ItemText(Dialog, 200), "プログラム (All User) 内への作成は拒否されました（管理者の権限が必要です）");
        return CloseAndExpectExitZero();
    }
    PostClick(Dialog, 410);
    PostClick(Dialog, 410); // handled while the question is open: no second question
    ASSERT_NE(WaitForOtherDialog(), nullptr);
    EXPECT_EQ(ItemText(Dialog, 200), "プログラム (All User) 内への作成は拒否されました（管理者の権限が必要です）");
    ASSERT_NO_FATAL_FAILURE(AnswerMessage("プログラム (All User) のショートカットを作成・削除するには管理者の権限が"
                                          "必要です。\n\nPathwick を管理者として開き直しますか？", IDYES));
    Quillet second;
    bool guardLost = false;
    WaitUntil([&] {
        guardLost = guardLost || !InstanceRunning();
        DWORD id = 0;
        GetWindowThreadProcessId(FindWindowA("#32770", " Pathwick Ver 1.50"), &id);
        return id && id != Program.ProcessId() && second.Attach(id);
    }, StartLimitMs, "a new run's link dialog");
    EXPECT_FALSE(guardLost) << "a third start could have run beside them";
    EXPECT_TRUE(Program.EndsWithExitZero());
    HWND dialog = second.WaitForLinkDialog();
    std::string seen;
    EXPECT_TRUE(WaitForScanEnd(second, dialog, TickPlacesText(typed[0].second), &seen)) << Hex(seen);
    EXPECT_EQ(ItemText(dialog, 1000), Target);
    for (auto& box : typed) EXPECT_EQ(ItemText(dialog, box.first), box.second) << box.first;
}

// The marker with no run handing over is an ordinary second start.
TEST_F(AppPlaces, HandOverMarkerWithoutAHandOverIsASecondStart)
{
    ASSERT_TRUE(OpenIdle());
    Quillet second;
    ASSERT_TRUE(second.Start(Tree.Program(), "|HandOver|" + Target + "|", false));
    EXPECT_TRUE(second.EndsWithExitZero()) << "the marked run stayed beside the open one";
    EXPECT_TRUE(IsWindow(Dialog));
    CloseAndExpectExitZero();
}

// An elevated run (under Wine every run's own token is) is offered nothing:
// the tick goes back and the status line says why.
TEST_F(AppPlaces, RefusedPlacesSayWhyWithoutAnOffer)
{
    ImmutableFolder desktop(Tree.Folder("Common Desktop")), programs(Tree.Folder("Common Programs"));
    ASSERT_TRUE(desktop.Set && programs.Set);
    ASSERT_TRUE(OpenIdle());
    ASSERT_TRUE(SetItemText(Dialog, 1005, "Tools")); // a group folder the place refuses too
    for (auto row : {std::make_pair(407, "デスクトップ (All User) 内への作成は拒否されました（管理者の権限が必要です）"),
                     std::make_pair(410, "プログラム (All User) 内への作成は拒否されました（管理者の権限が必要です）")}) {
        ASSERT_TRUE(Click(Dialog, row.first));
        EXPECT_EQ(Program.WaitForDialog("Pathwick", 300), nullptr) << "nothing to offer for " << row.first;
        EXPECT_FALSE(IsTicked(Dialog, row.first));
        EXPECT_EQ(ItemText(Dialog, 200), row.second);
    }
}

TEST_F(AppPlaces, StopPressedWhileIdleDoesNotBlockAnUntick)
{
    ASSERT_TRUE(MakeShortcut(LinkIn("Desktop"), Target));
    ASSERT_TRUE(OpenIdle());
    ASSERT_TRUE(IsTicked(Dialog, 401));
    ASSERT_TRUE(Click(Dialog, 1014));
    ASSERT_TRUE(Click(Dialog, 401));
    EXPECT_FALSE(IsTicked(Dialog, 401));
    EXPECT_FALSE(FileExists(LinkIn("Desktop")));
    EXPECT_EQ(ItemText(Dialog, 200), Deleted("デスクトップ", Name));
    CloseAndExpectExitZero();
}

// A text too long to be a path is refused whole, never cut into another path.
TEST_F(AppPlaces, OverlongTextsAreRefusedNotCut)
{
    ASSERT_TRUE(OpenIdle());
    std::string original = ItemText(Dialog, 1000);
    struct Row {
        int Box;     // the box given the long text
        int Clicked; // the place then clicked
    };
    for (const Row& row : {Row{1000, 401}, Row{1001, 403}, Row{1015, 411}}) {
        SCOPED_TRACE(row.Box);
        // Cut at 259 bytes this would still name a file in the Desktop folder.
        std::string longText = Tree.Folder("Desktop") + "\\" + std::string(300, 'x');
        ASSERT_TRUE(SetItemText(Dialog, row.Box, longText));
        std::string before = ItemText(Dialog, 200);
        PostClick(Dialog, row.Clicked);
        ASSERT_NO_FATAL_FAILURE(AnswerMessage("フルパスファイル名を指定してください"));
        EXPECT_FALSE(IsTicked(Dialog, row.Clicked));
        EXPECT_EQ(ItemText(Dialog, 200), before);
        ASSERT_TRUE(SetItemText(Dialog, row.Box, row.Box == 1000 ? original : ""));
    }
    EXPECT_EQ(EntriesOf(Tree.Folder("Desktop")), std::vector<std::string>{}) << "something was made on the Desktop";
    CloseAndExpectExitZero();
}

} // namespace
