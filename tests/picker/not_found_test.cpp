// A pick whose program cannot be found: on the bare desktop, whose window no
// process lists among its own, and on a window of a process that no one may
// open. The program asks whether to choose the file; No ends it, Yes shows
// the file dialog, and a chosen file carries on as if it had been found.
#include "test_support.h"

using namespace testsupport;

namespace {

const char FileDialogTitle[] = " アプリケーションの選択  （ファイル選択後“開く”をクリック）";
// The file name and file type boxes of the platform's file dialog (with no
// hook or template the Explorer style shows, under Wine as on Windows).
const int FileNameBox = 1148;
const int FileTypeList = 1136;

std::string NotFoundText(HWND root)
{
    return Format("Window Handle %08Xh の Window を作成する\nアプリケーションを検出できませんでした。\n\n"
                  "アプリケーションファイルを選択しますか？",
                  (unsigned)(UINT_PTR)root);
}

class PickerNotFound : public PickerTest {
protected:
    // Picks the window at `point` with the left button and returns the
    // question, once its text has been checked against `root`.
    HWND PickAndExpectQuestion(POINT point, HWND root)
    {
        if (!StartPicking()) return nullptr;
        if (!ClickAt(point, MouseButton::Left)) return nullptr;
        HWND question = Program.WaitForDialog("Pathwick");
        EXPECT_NE(question, nullptr) << "no question; " << Scene("picker-no-question.png");
        if (!question) return nullptr;
        EXPECT_EQ(ItemText(question, 0xFFFF), NotFoundText(root)) << Hex(ItemText(question, 0xFFFF));
        return question;
    }

    // Restarts the helper locked, picks its window and answers Yes: the
    // file dialog goes to `files`.
    void PickLockedHelperAndAnswerYes(HWND* files)
    {
        Helper.Stop();
        ASSERT_TRUE(Helper.Start(Target, true)) << "the locked helper's windows did not show";
        ASSERT_TRUE(HelperInView());
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, Helper.ProcessId());
        ASSERT_EQ(process, nullptr) << "the helper's process can still be opened";
        HWND question = PickAndExpectQuestion(CentreOf(Helper.Main), Helper.Main);
        ASSERT_NE(question, nullptr);
        PostMessageA(question, WM_COMMAND, IDYES, 0);
        *files = Program.WaitForDialog(FileDialogTitle);
        ASSERT_NE(*files, nullptr) << "no file dialog";
    }
};

TEST_F(PickerNotFound, PickOnTheBareDesktopAsksAndNoEndsTheRun)
{
    POINT bare = {600, 480};
    ASSERT_EQ(WindowFromPoint(bare), GetDesktopWindow()) << "a window lies at the point";
    HWND question = PickAndExpectQuestion(bare, GetDesktopWindow());
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(Screenshot("picker-not-found.png"));
    PostMessageA(question, WM_COMMAND, IDNO, 0);
    EXPECT_TRUE(WaitGone(question));
    EXPECT_TRUE(EndsWithExitZero());
    EXPECT_EQ(FilesIn(Tree.Folder("Desktop")).size(), 0u);
    EXPECT_TRUE(Recorder.Records().empty());
}

TEST_F(PickerNotFound, ProcessThatCannotBeOpenedAsksAndACancelledFileDialogEndsTheRun)
{
    HWND files = nullptr;
    ASSERT_NO_FATAL_FAILURE(PickLockedHelperAndAnswerYes(&files));
    EXPECT_EQ(ItemText(files, FileTypeList), "EXE Files (*.exe)");
    EXPECT_EQ(ItemText(files, FileNameBox), "");
    RECT picker = WindowRect(Picker);
    EXPECT_EQ(picker.left, 100);
    EXPECT_EQ(picker.top, 100);
    EXPECT_EQ(picker.right - picker.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(picker.bottom - picker.top, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(Screenshot("picker-file-dialog.png"));

    PostMessageA(files, WM_COMMAND, IDCANCEL, 0);
    bool dialogSeen = true;
    EXPECT_TRUE(WaitGone(files));
    EXPECT_TRUE(EndsWithExitZero(&dialogSeen));
    EXPECT_FALSE(dialogSeen) << "a dialog showed after the cancel";
}

TEST_F(PickerNotFound, ChosenFileCarriesOnAsIfTheProgramHadBeenFound)
{
    std::string chosen = Apps + "\\選んだ表.exe";
    ASSERT_TRUE(CopyTargetProgram(chosen));
    HWND files = nullptr;
    ASSERT_NO_FATAL_FAILURE(PickLockedHelperAndAnswerYes(&files));
    ASSERT_TRUE(SetItemText(files, FileNameBox, chosen));
    ASSERT_EQ(ItemText(files, FileNameBox), chosen);
    PostMessageA(files, WM_COMMAND, IDOK, 0);

    HWND dialog = Program.WaitForLinkDialog();
    ASSERT_NE(dialog, nullptr) << "no link dialog after the file was chosen";
    EXPECT_TRUE(SameText(ItemText(dialog, 1000), chosen)) << ItemText(dialog, 1000);
    EXPECT_EQ(ItemText(dialog, 1003), "選んだ表");
    RECT picker = WindowRect(Picker);
    EXPECT_TRUE(picker.left == 0 && picker.top == 0 && picker.right == 0 && picker.bottom == 0)
        << "the picker window is back at (0, 0), 0 by 0";
    PostClick(dialog, IDOK);
    EXPECT_TRUE(EndsWithExitZero());
}

} // namespace
