// Keys held at start and at the broken-link check, with real key input: the
// About box before the dialog for the program itself (Shift and Ctrl), the
// dialog as usual for an argument (Ctrl), and a check refused by Shift,
// which must leave the plain search mode for the next untick.
#include "test_support.h"
#include <memory>

using namespace testsupport;

namespace {

class StartKeys : public QuilletTest {
protected:
    // Starts the program with the keys held until `caption` shows.
    HWND StartHolding(std::initializer_list<Key> keys, const std::string& argumentText, const char* caption)
    {
        std::vector<std::unique_ptr<HeldKey>> held;
        for (Key key : keys) held.emplace_back(new HeldKey(key));
        if (!Program.Start(Tree.Program(), argumentText)) return nullptr;
        return Program.WaitForDialog(caption);
    }
};

TEST_F(StartKeys, ShiftAndCtrlShowAboutThenTheDialogForTheProgramItself)
{
    HWND about = StartHolding({Shift, Ctrl}, "\"" + Target + "\"", "  Pathwick");
    ASSERT_NE(about, nullptr) << "no About box";
    EXPECT_EQ(Program.WaitForLinkDialog(0), nullptr) << "the link dialog came before the About box was closed";
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    Dialog = Program.WaitForLinkDialog();
    ASSERT_NE(Dialog, nullptr);
    EXPECT_EQ(ItemText(Dialog, 1000), Tree.Program()) << "the argument is discarded";
    ExpectScanEnd(TickPlacesText("Quillet"));
    CloseAndExpectExitZero();
}

TEST_F(StartKeys, CtrlWithAnArgumentOpensTheDialogAsUsual)
{
    Dialog = StartHolding({Ctrl}, "\"" + Target + "\"", " Pathwick Ver 1.50");
    ASSERT_NE(Dialog, nullptr);
    EXPECT_EQ(ItemText(Dialog, 1000), Target);
    ExpectScanEnd(TickPlacesText(Name));
    EXPECT_FALSE(FileExists(LinkIn("Desktop"))) << "Ctrl acts only on a pick";
    CloseAndExpectExitZero();
}

// A broken shortcut beside the target's own on the Desktop: an untick that
// searched in sweep mode would ask about it in the middle of a delete.
TEST_F(StartKeys, BrokenLinkCheckRefusedByShiftLeavesThePlainMode)
{
    ASSERT_TRUE(MakeShortcut(LinkIn("Desktop"), Target));
    ASSERT_TRUE(MakeShortcut(Tree.Folder("Desktop") + "\\broken.lnk", Tree.Root / "gone.exe"));
    ASSERT_TRUE(OpenIdle());
    ASSERT_TRUE(IsTicked(Dialog, 401));
    {
        HeldKey shift(Shift);
        ASSERT_TRUE(Click(Dialog, 1011));
        // A marker posted behind the scan request shows when it was handled.
        HWND about = GetDlgItem(Dialog, 1013);
        PostMessageA(about, BM_SETSTATE, TRUE, 0);
        ASSERT_TRUE(WaitUntil([&] { return (SendMessageA(about, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; },
                              StartLimitMs));
        PostMessageA(about, BM_SETSTATE, FALSE, 0);
    }
    EXPECT_FALSE(Program.ScanThreadAlive()) << "Shift did not refuse the check";
    ASSERT_TRUE(SetItemText(Dialog, 1000, Target));
    PostClick(Dialog, 401);
    std::string deleted = Format("デスクトップ 内の %s へのショートカットを削除しました", Name.c_str());
    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            question = Program.WaitForDialog("リンクの削除の確認", 0);
            return question || ItemText(Dialog, 200) == deleted;
        },
        StartLimitMs))
        << "status line: " << Hex(ItemText(Dialog, 200));
    EXPECT_EQ(question, nullptr) << "the untick searched in sweep mode";
    if (question) PostMessageA(question, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(FileExists(LinkIn("Desktop")));
    EXPECT_TRUE(FileExists(Tree.Folder("Desktop") + "\\broken.lnk"));
    CloseAndExpectExitZero();
}

} // namespace
