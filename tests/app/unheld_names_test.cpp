// A target whose name code page 932 cannot hold (Café.exe): given on the
// command line, as the target of a shortcut given there, or chosen in the
// file chooser, it is refused with a message and nothing is made for it.
#include "test_support.h"

using namespace testsupport;

namespace {

class AppUnheldNames : public QuilletTest {
protected:
    AppUnheldNames() : Cafe(Target, Widen(Tree.Root / "apps") + L"\\" + UnheldName) {}

    // No place folder holds a file (the folders of places that lie inside
    // other places are there from the start).
    void ExpectNothingMade()
    {
        for (const char* place : {"Desktop", "Startup", "Start Menu", "Programs", "AppData", "SendTo",
                                  "Common Desktop", "Common Startup", "Common Start Menu", "Common Programs"})
            EXPECT_EQ(FilesIn(Tree.Folder(place)), std::vector<std::string>{}) << place;
    }

    WideCopy Cafe;
};

TEST_F(AppUnheldNames, TargetOnTheCommandLineIsRefusedAndTheRunEnds)
{
    ASSERT_TRUE(Cafe.Made());
    ASSERT_TRUE(Program.StartWide(L"\"" + Widen(Tree.Program()) + L"\" \"" + Cafe.Path() + L"\"", Widen(Tree.Bin)));
    ASSERT_NO_FATAL_FAILURE(AnswerMessage(NameNotHeldText));
    EXPECT_EQ(Program.WaitForLinkDialog(0), nullptr) << "the link dialog opened";
    EXPECT_TRUE(Program.EndsWithExitZero());
    ExpectNothingMade();
    EXPECT_FALSE(FileExists(Tree.Settings())) << "the run ended before its window existed";
}

TEST_F(AppUnheldNames, ShortcutOnTheCommandLineWhoseTargetIsSuchANameIsRefused)
{
    ASSERT_TRUE(Cafe.Made());
    std::string link = Tree.Root / "drop\\cafe.lnk";
    ASSERT_TRUE(MakeFolders(Tree.Root / "drop"));
    ASSERT_TRUE(MakeWideShortcut(Widen(link), Cafe.Path()));
    ASSERT_TRUE(Program.Start(Tree.Program(), "\"" + link + "\""));
    ASSERT_NO_FATAL_FAILURE(AnswerMessage(NameNotHeldText));
    EXPECT_EQ(Program.WaitForLinkDialog(0), nullptr) << "the link dialog opened on a look-alike";
    EXPECT_TRUE(Program.EndsWithExitZero());
    ExpectNothingMade();
}

TEST_F(AppUnheldNames, FileChosenInTheChooserIsRefusedAndTheTargetStays)
{
    ASSERT_TRUE(Cafe.Made());
    ASSERT_TRUE(OpenIdle());
    PostClick(Dialog, 1008);
    HWND files = Program.WaitForDialog(" ファイルの選択  （ファイル選択後“開く”をクリック）");
    ASSERT_NE(files, nullptr) << "no file dialog";
    // The name goes in through the wide message: the ANSI one could not carry é.
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(GetDlgItem(files, 1148), WM_SETTEXT, 0, (LPARAM)Cafe.Path().c_str(),
                                    SMTO_ABORTIFHUNG, 10000, &result));
    PostMessageA(files, WM_COMMAND, IDOK, 0);
    ASSERT_NO_FATAL_FAILURE(AnswerMessage(NameNotHeldText));
    ASSERT_TRUE(WaitGone(files));
    EXPECT_EQ(ItemText(Dialog, 1000), Target);
    EXPECT_EQ(ItemText(Dialog, 1003), Name);
    // A place ticked now is for the target that stayed.
    ASSERT_TRUE(Click(Dialog, 401));
    EXPECT_EQ(ShortcutTarget(LinkIn("Desktop")), Target);
    ASSERT_TRUE(Click(Dialog, 401));
    ExpectNothingMade();
    CloseAndExpectExitZero();
}

} // namespace
