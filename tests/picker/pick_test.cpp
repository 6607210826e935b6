// Picking a program with the mouse: the real Quillet.exe in picking mode,
// real clicks and keys injected over the helper program's windows, and what
// each button and key leads to — the link dialog, a Desktop shortcut made at
// once, or the program's folder opened by the shell.
#include "test_support.h"

using namespace testsupport;

namespace {

// The folder shown with SW_SHOWNORMAL by the verb.
void ExpectFolderRecord(const std::string& record, const std::string& verb, const std::string& folder)
{
    std::string expected = "recorder " + verb + " \"" + folder + "\" (show 1)";
    EXPECT_TRUE(SameText(record, expected)) << record << "\nexpected " << expected;
}

class PickerLeftButton : public PickerTest {};

TEST_F(PickerLeftButton, ClickOnAWindowOpensTheLinkDialogForItsProgram)
{
    ASSERT_TRUE(MakeShortcut(DesktopLink(), Target));
    ASSERT_TRUE(StartPicking());
    ASSERT_TRUE(ClickAt(CentreOf(Helper.Main), MouseButton::Left));

    HWND dialog = Program.WaitForLinkDialog();
    ASSERT_NE(dialog, nullptr) << "no link dialog after the click; " << Scene("picker-no-dialog.png");
    EXPECT_TRUE(SameText(ItemText(dialog, 1000), Target)) << ItemText(dialog, 1000) << "\nexpected " << Target;
    EXPECT_EQ(ItemText(dialog, 1003), Name);
    std::string seen;
    EXPECT_TRUE(WaitForScanEnd(Program, dialog, TickPlacesText(Name), &seen)) << Hex(seen);
    EXPECT_TRUE(IsTicked(dialog, 401)) << "the scan ran and found the Desktop shortcut";
    RECT rect = WindowRect(Picker);
    EXPECT_TRUE(rect.right == rect.left && rect.bottom == rect.top) << "the picker window is 0 by 0 again";
    EXPECT_TRUE(Screenshot("picker-link-dialog.png"));

    PostClick(dialog, IDOK);
    EXPECT_TRUE(EndsWithExitZero());
    EXPECT_TRUE(Recorder.Records().empty());
}

TEST_F(PickerLeftButton, ClickOnAControlOfAnOwnedDialogFindsTheSameProgram)
{
    ASSERT_TRUE(StartPicking());
    ASSERT_TRUE(ClickAt(CentreOf(Helper.Button()), MouseButton::Left));

    HWND dialog = Program.WaitForLinkDialog();
    ASSERT_NE(dialog, nullptr) << "no link dialog after the click; " << Scene("picker-no-dialog.png");
    EXPECT_TRUE(SameText(ItemText(dialog, 1000), Target)) << ItemText(dialog, 1000) << "\nexpected " << Target;
    // Once the picker has stepped aside, the click goes on to the button.
    EXPECT_TRUE(WaitUntil([&] { return TextOf(Helper.Edit()) == "presses=1"; }, StartLimitMs)) << TextOf(Helper.Edit());
    PostClick(dialog, IDOK);
    EXPECT_TRUE(EndsWithExitZero());
}

TEST_F(PickerLeftButton, ShiftAtThePressOpensTheDialogWithoutAScan)
{
    ASSERT_TRUE(MakeShortcut(DesktopLink(), Target));
    ASSERT_TRUE(StartPicking());
    HWND dialog = nullptr;
    {
        // Held until the dialog shows: the press is read when it is handled.
        HeldKey shift(Shift);
        ASSERT_TRUE(ClickAt(CentreOf(Helper.Main), MouseButton::Left));
        dialog = Program.WaitForLinkDialog();
    }
    ASSERT_NE(dialog, nullptr) << "no link dialog after the click; " << Scene("picker-no-dialog.png");
    ASSERT_TRUE(Sync(dialog));
    EXPECT_TRUE(SameText(ItemText(dialog, 1000), Target)) << ItemText(dialog, 1000);
    EXPECT_EQ(ItemText(dialog, 200), TickPlacesText(Name)) << Hex(ItemText(dialog, 200));
    EXPECT_FALSE(WaitUntil([&] { return Program.ScanThreadAlive() || IsTicked(dialog, 401); }, 1500))
        << "the places were searched";
    PostClick(dialog, IDOK);
    EXPECT_TRUE(EndsWithExitZero());
}

class PickerDesktopShortcut : public PickerTest {};

TEST_F(PickerDesktopShortcut, CtrlAtThePressMakesItOnceWithoutADialog)
{
    ASSERT_TRUE(StartPicking());
    bool dialogSeen = true;
    {
        HeldKey ctrl(Ctrl);
        ASSERT_TRUE(ClickAt(CentreOf(Helper.Main), MouseButton::Left));
        EXPECT_TRUE(EndsWithExitZero(&dialogSeen));
    }
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(FilesIn(Tree.Folder("Desktop")), std::vector<std::string>{Name + ".lnk"});
    EXPECT_TRUE(SameText(ShortcutTarget(DesktopLink()), Target)) << ShortcutTarget(DesktopLink());
    EXPECT_EQ(DescriptionOf(DesktopLink()), "");
    std::string made = ReadBytes(DesktopLink());

    // Again, with the shortcut there: a message, and nothing made.
    ASSERT_TRUE(StartPicking());
    HWND message = nullptr;
    {
        HeldKey ctrl(Ctrl);
        ASSERT_TRUE(ClickAt(CentreOf(Helper.Main), MouseButton::Left));
        message = Program.WaitForDialog("Pathwick");
    }
    ASSERT_NE(message, nullptr) << "no message; " << Scene("picker-no-message.png");
    EXPECT_EQ(ItemText(message, 0xFFFF), "すでにデスクトップには 予定表 へのショートカットがあります。")
        << Hex(ItemText(message, 0xFFFF));
    EXPECT_EQ(Program.WaitForLinkDialog(0), nullptr);
    PostMessageA(message, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(EndsWithExitZero());
    EXPECT_EQ(FilesIn(Tree.Folder("Desktop")), std::vector<std::string>{Name + ".lnk"});
    EXPECT_EQ(ReadBytes(DesktopLink()), made);
}

TEST_F(PickerDesktopShortcut, CtrlAtStartMakesItWithEitherButton)
{
    for (MouseButton button : {MouseButton::Right, MouseButton::Left}) {
        SCOPED_TRACE(button == MouseButton::Left ? "left button" : "right button");
        // Whoever looked at the last round's shortcut may hold it a moment.
        ASSERT_TRUE(WaitUntil([&] { return DeleteFileA(DesktopLink().c_str()) || !Exists(DesktopLink()); },
                              StartLimitMs, "the last round's shortcut deleted"));
        {
            HeldKey ctrl(Ctrl);
            ASSERT_TRUE(StartPicking());
        }
        bool dialogSeen = true;
        ASSERT_TRUE(ClickAt(CentreOf(Helper.Main), button));
        EXPECT_TRUE(EndsWithExitZero(&dialogSeen));
        EXPECT_FALSE(dialogSeen);
        EXPECT_TRUE(SameText(ShortcutTarget(DesktopLink()), Target)) << ShortcutTarget(DesktopLink());
        EXPECT_EQ(DescriptionOf(DesktopLink()), "");
    }
    EXPECT_TRUE(Recorder.Records().empty()) << "a folder was opened";
}

class PickerRightButton : public PickerTest {};

TEST_F(PickerRightButton, OpensTheProgramFolderAndExploresItWithCtrlAtTheRelease)
{
    ASSERT_TRUE(StartPicking());
    bool dialogSeen = true;
    ASSERT_TRUE(ClickAt(CentreOf(Helper.Main), MouseButton::Right));
    EXPECT_TRUE(EndsWithExitZero(&dialogSeen));
    EXPECT_FALSE(dialogSeen);
    std::vector<std::string> records = Recorder.WaitForRecords(1);
    ASSERT_EQ(records.size(), 1u) << "the shell was not asked to open the folder";
    ExpectFolderRecord(records[0], "open", Apps);

    ASSERT_TRUE(StartPicking());
    ASSERT_TRUE(MoveTo(CentreOf(Helper.Main)));
    PressButton(MouseButton::Right);
    {
        // The verb is chosen when the pick runs, after the release.
        HeldKey ctrl(Ctrl);
        ReleaseButton(MouseButton::Right);
        EXPECT_TRUE(EndsWithExitZero());
    }
    records = Recorder.WaitForRecords(2);
    ASSERT_EQ(records.size(), 2u) << "the shell was not asked to explore the folder";
    ExpectFolderRecord(records[1], "explore", Apps);
    EXPECT_EQ(FilesIn(Tree.Folder("Desktop")).size(), 0u);
}

class PickerStates : public PickerTest {};

TEST_F(PickerStates, ButtonsThatCompleteNoPressLeaveThePickerWaiting)
{
    ASSERT_TRUE(StartPicking());
    auto stillWaiting = [&] {
        // Nothing may happen: neither a dialog nor the window stepping aside.
        bool changed = WaitUntil(
            [&] { return !CoversScreen(Picker) || Program.WaitForLinkDialog(0) || !Program.Running(); }, 700);
        return !changed;
    };
    ASSERT_TRUE(MoveTo(CentreOf(Helper.Main)));
    ReleaseButton(MouseButton::Left);
    ReleaseButton(MouseButton::Right);
    EXPECT_TRUE(stillWaiting()) << "a release without a press was taken";

    // A second press while the first is held does not pick either; the
    // first release does, with its own button.
    PressButton(MouseButton::Left);
    PressButton(MouseButton::Right);
    EXPECT_TRUE(stillWaiting()) << "a press was taken as the pick";
    ReleaseButton(MouseButton::Left);
    HWND dialog = Program.WaitForLinkDialog();
    ReleaseButton(MouseButton::Right);
    ASSERT_NE(dialog, nullptr) << "the left release after both presses did not pick";
    EXPECT_TRUE(SameText(ItemText(dialog, 1000), Target)) << ItemText(dialog, 1000);

    // After the pick, button messages to the picker window change nothing.
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_NCLBUTTONUP}) {
        DWORD_PTR result = 0;
        EXPECT_TRUE(SendMessageTimeoutA(Picker, message, 0, 0, SMTO_ABORTIFHUNG, 10000, &result)) << message;
    }
    ASSERT_TRUE(Sync(dialog));
    EXPECT_TRUE(IsWindow(Picker) && IsWindow(dialog) && Program.Running());
    PostClick(dialog, IDOK);
    EXPECT_TRUE(EndsWithExitZero());
    EXPECT_TRUE(Recorder.Records().empty()) << "the right release after the pick opened a folder";
}

TEST_F(PickerStates, AButtonBeforePickingModeClosesTheWindow)
{
    // With a target given the picker never enters picking mode: it stays
    // idle under the link dialog, and any button message closes it. (In a
    // run without a target the idle time cannot be reached from outside: the
    // window posts itself the message that starts picking mode while it is
    // being created, before another process can know it, and whatever is
    // posted later queues behind that message.)
    for (UINT message : {WM_LBUTTONDOWN, WM_RBUTTONUP}) {
        SCOPED_TRACE(message == WM_LBUTTONDOWN ? "left button down" : "right button up");
        DeleteFileA(Tree.Settings().c_str());
        ASSERT_TRUE(Program.Start(Tree.Program(), "\"" + Target + "\""));
        HWND dialog = Program.WaitForLinkDialog();
        ASSERT_NE(dialog, nullptr);
        std::string seen;
        EXPECT_TRUE(WaitForScanEnd(Program, dialog, TickPlacesText(Name), &seen)) << Hex(seen);
        HWND picker = GetWindow(dialog, GW_OWNER);
        char className[64] = "";
        GetClassNameA(picker, className, sizeof className);
        ASSERT_STREQ(className, "Quillet");
        ASSERT_FALSE(CoversScreen(picker));

        DWORD_PTR result = 0;
        EXPECT_TRUE(SendMessageTimeoutA(picker, message, 0, 0, SMTO_ABORTIFHUNG, 10000, &result));
        EXPECT_TRUE(WaitGone(picker)) << "the picker window did not close";
        EXPECT_TRUE(EndsWithExitZero());
        EXPECT_TRUE(FileExists(Tree.Settings())) << "the settings are written as the window goes";
    }
}

} // namespace
