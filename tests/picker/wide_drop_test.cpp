// A drop on the link dialog's target box, in this process: the dialog runs
// from the program's own template over the program's dialog procedure, and
// the drop carries wide names as the shell sends them.
#include "app_state.h"
#include "link_dialog.h"
#include "test_support.h"
#include "wide_names.h"
#include <shlobj.h>
#include <thread>

using namespace testsupport;

namespace {

// A drop of one wide name, as the shell hands it over; DragFinish frees it.
HDROP MakeDrop(const std::wstring& name)
{
    size_t bytes = sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    DROPFILES* drop = (DROPFILES*)GlobalLock(memory);
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(drop + 1, name.c_str(), name.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return (HDROP)memory;
}

// Answers the first message box of this process with OK; its text goes to
// `text`, or stays empty when none showed within the limit.
class MessageAnswerer {
public:
    MessageAnswerer()
        : thread_([this] {
              WaitUntil(
                  [&] {
                      HWND box = FindWindowA("#32770", "Pathwick");
                      DWORD processId = 0;
                      GetWindowThreadProcessId(box, &processId);
                      if (!box || processId != GetCurrentProcessId()) return false;
                      text_ = ItemText(box, 0xFFFF);
                      PostMessageA(box, WM_COMMAND, IDOK, 0);
                      return true;
                  },
                  StartLimitMs);
          })
    {
    }
    std::string Text()
    {
        if (thread_.joinable()) thread_.join();
        return text_;
    }

private:
    std::string text_;
    std::thread thread_;
};

class PickerDrop : public ::testing::Test {
protected:
    PickerDrop() : Folder("drop")
    {
        Target = Folder / "予定表.exe";
        Quillet = LoadLibraryExA(QuilletProgram().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    void SetUp() override
    {
        ASSERT_TRUE(CopyTargetProgram(Target));
        ASSERT_NE(Quillet, nullptr);
        lstrcpynA(AppState.TargetPath, "C:\\windows\\notepad.exe", MAX_PATH);
        AppState.ScanOnOpen = 0;
        Dialog = CreateDialogParamA(Quillet, "LINK_DIALOG", nullptr, LinkDialogProc, 0);
        ASSERT_NE(Dialog, nullptr);
    }
    void TearDown() override
    {
        if (Dialog) DestroyWindow(Dialog);
        if (Quillet) FreeLibrary(Quillet);
    }
    void Drop(const std::wstring& name)
    {
        SendDlgItemMessageW(Dialog, 1000, WM_DROPFILES, (WPARAM)MakeDrop(name), 0);
    }

    TempFolder Folder;
    std::string Target;
    HMODULE Quillet = nullptr;
    HWND Dialog = nullptr;
};

TEST_F(PickerDrop, ANameTheCodePageHoldsBecomesTheTarget)
{
    Drop(Widen(Target));
    EXPECT_EQ(ItemText(Dialog, 1000), Target);
    EXPECT_EQ(ItemText(Dialog, 1003), "予定表");
}

TEST_F(PickerDrop, ANameTheCodePageCannotHoldIsRefusedWithAMessage)
{
    WideCopy copy(Target, Widen(Folder.Path()) + L"\\" + UnheldName);
    ASSERT_TRUE(copy.Made());
    MessageAnswerer answerer;
    Drop(copy.Path());
    EXPECT_EQ(answerer.Text(), NameNotHeldText);
    EXPECT_EQ(ItemText(Dialog, 1000), "C:\\windows\\notepad.exe");
    EXPECT_STREQ(AppState.TargetPath, "C:\\windows\\notepad.exe");
}

} // namespace
