// Inputs that once cost the user something: a group text that names no
// group, a refused click followed by a cancelled chooser, a read-only
// shortcut of the same name, and a settings file whose key cannot be read.
#include "test_support.h"

using namespace testsupport;

namespace {

class AppFaults : public QuilletTest {};

// A shortcut directly in Programs is found by the scan (box 1002 empty).
// Neither a tick in Start Menu nor the untick in Programs may act on the
// place's own folder or above it; Startup inside Programs stays too.
TEST_F(AppFaults, GroupTextNamingNoGroupIsRefusedBeforeAnythingHappens)
{
    std::string programs = Tree.Folder("Programs"), startup = Tree.Folder("Startup");
    ASSERT_TRUE(MakeShortcut(LinkIn("Programs"), Target));
    ASSERT_TRUE(OpenIdle());
    ASSERT_TRUE(IsTicked(Dialog, 404));
    for (const char* group : {".", "..", "\\", "\\\\", "Tools\\..", "..\\..", "a\\\\b", "Tools\\", "./.", " . "}) {
        SCOPED_TRACE(group);
        ASSERT_TRUE(SetItemText(Dialog, 1001, group));
        ASSERT_TRUE(SetItemText(Dialog, 1002, group));
        ASSERT_TRUE(Click(Dialog, 403));
        EXPECT_FALSE(IsTicked(Dialog, 403));
        EXPECT_EQ(ItemText(Dialog, 200), Format("スタートメニュー のグループ名 %s はフォルダ名として使えません", group));
        ASSERT_TRUE(Click(Dialog, 404));
        EXPECT_TRUE(IsTicked(Dialog, 404));
        EXPECT_EQ(ItemText(Dialog, 200), Format("プログラム のグループ名 %s はフォルダ名として使えません", group));
        EXPECT_EQ(Program.WaitForDialog("Pathwick", 0), nullptr) << "no question for a refused group";
        EXPECT_EQ(ShortcutTarget(LinkIn("Programs")), Target);
        EXPECT_TRUE(FolderExists(startup));
        EXPECT_FALSE(FileExists(LinkIn("Start Menu")));
        EXPECT_FALSE(FileExists(Tree.Root / "places\\user\\表計算.lnk"));
    }
    // A real group still works.
    ASSERT_TRUE(SetItemText(Dialog, 1001, "Tools\\Old"));
    ASSERT_TRUE(Click(Dialog, 403));
    EXPECT_EQ(ShortcutTarget(LinkIn("Start Menu", "Tools\\Old")), Target);
    CloseAndExpectExitZero();
}

// Refused for an over-long target, the click must leave the target and name
// the program had: a cancelled chooser shows them again.
TEST_F(AppFaults, RefusedClickKeepsTargetAndNameForACancelledChooser)
{
    ASSERT_TRUE(OpenIdle());
    ASSERT_TRUE(SetItemText(Dialog, 1000, Tree.Folder("Desktop") + "\\" + std::string(300, 'x')));
    PostClick(Dialog, 401);
    ASSERT_NO_FATAL_FAILURE(AnswerMessage("フルパスファイル名を指定してください"));
    PostClick(Dialog, 1008);
    HWND chooser = WaitForOtherDialog();
    ASSERT_NE(chooser, nullptr) << "no file chooser";
    PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitGone(chooser));
    ASSERT_TRUE(Sync(Dialog));
    EXPECT_EQ(ItemText(Dialog, 1000), Target);
    EXPECT_EQ(ItemText(Dialog, 1003), Name);
    CloseAndExpectExitZero();
}

TEST_F(AppFaults, ReadOnlyShortcutOfTheSameNameIsLeftAlone)
{
    std::string link = LinkIn("Desktop");
    ASSERT_TRUE(MakeShortcut(link, "C:\\windows\\regedit.exe"));
    ASSERT_TRUE(SetFileAttributesA(link.c_str(), FILE_ATTRIBUTE_READONLY));
    std::string before = ReadBytes(link);
    ASSERT_TRUE(OpenIdle());
    ASSERT_TRUE(Click(Dialog, 401));
    EXPECT_FALSE(IsTicked(Dialog, 401));
    EXPECT_EQ(ItemText(Dialog, 200), Format("デスクトップ 内に %s へのショートカットを作成できませんでした", Name.c_str()));
    EXPECT_EQ(ReadBytes(link), before);
    EXPECT_NE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    CloseAndExpectExitZero();
}

// A key line hidden by a Ctrl+Z or a NUL, holding no folder path, or in a
// file that cannot be opened: the file is left as it was, until the user
// chooses a folder.
TEST_F(AppFaults, UnreadableSettingsAreKeptUntilAFolderIsChosen)
{
    std::string saved = " USER_FOLDER=" + (Tree.Root / "saved") + "\r\n";
    ASSERT_TRUE(MakeFolders(Tree.Root / "saved"));
    const std::string files[] = {
        "[Pathwick Information]\r\n\x1A" + saved,
        "[Pathwick Information]\r\n" + std::string(1, '\0') + saved,
        "[Pathwick Information]\r\n USER_FOLDER=C:\\a\x01\x02\r\n",
        saved + " USER_FOLDER=\x81\r\n",
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(Hex(file));
        ASSERT_TRUE(WriteBytes(Tree.Settings(), file));
        ASSERT_TRUE(OpenIdle());
        CloseAndExpectExitZero();
        EXPECT_EQ(Hex(ReadBytes(Tree.Settings())), Hex(file));
    }
    // Held elsewhere while the program starts, the file is not read, and
    // so not written over either.
    ASSERT_TRUE(WriteBytes(Tree.Settings(), saved));
    HANDLE holder = CreateFileA(Tree.Settings().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    bool opened = OpenIdle();
    CloseHandle(holder);
    ASSERT_TRUE(opened);
    CloseAndExpectExitZero();
    EXPECT_EQ(ReadBytes(Tree.Settings()), saved);

    std::string chosen = Tree.Root / "chosen";
    ASSERT_TRUE(OpenIdle());
    ASSERT_TRUE(SetItemText(Dialog, 1015, chosen));
    ASSERT_TRUE(Click(Dialog, 411));
    EXPECT_TRUE(IsTicked(Dialog, 411));
    CloseAndExpectExitZero();
    EXPECT_EQ(ReadBytes(Tree.Settings()), "[Pathwick Information]\r\n USER_FOLDER=" + chosen + "\r\n");
}

} // namespace
