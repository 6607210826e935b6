// Files dropped on the target box, driven inside this process through the
// program's own functions: the link dialog made from the program's template,
// and a drop block in global memory sent to the box as the shell sends it,
// with narrow names or with wide ones the code page may not hold.
#include "test_support.h"
#include "app_state.h"
#include "link_dialog.h"
#include <shlobj.h>

using namespace testsupport;

namespace {

// A drop block as the shell hands it over, wide when the names are; the
// receiver frees it.
template <class Char> HDROP MakeDrop(const std::vector<std::basic_string<Char>>& files)
{
    size_t size = sizeof(DROPFILES) + sizeof(Char);
    for (const auto& file : files) size += (file.size() + 1) * sizeof(Char);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    DROPFILES* header = (DROPFILES*)GlobalLock(block);
    header->pFiles = sizeof(DROPFILES);
    header->fWide = sizeof(Char) > 1;
    Char* names = (Char*)(header + 1);
    for (const auto& file : files) {
        memcpy(names, file.c_str(), (file.size() + 1) * sizeof(Char));
        names += file.size() + 1;
    }
    GlobalUnlock(block);
    return (HDROP)block;
}

// Answers the first message box of this process with OK; its text goes to
// `text`, or stays empty when none showed within the limit.
class MessageAnswerer {
public:
    MessageAnswerer() : thread_(CreateThread(nullptr, 0, Answer, this, 0, nullptr)) {}
    ~MessageAnswerer()
    {
        Text();
        CloseHandle(thread_);
    }
    std::string Text()
    {
        WaitForSingleObject(thread_, INFINITE);
        return text_;
    }

private:
    static DWORD WINAPI Answer(LPVOID self)
    {
        std::string& text = ((MessageAnswerer*)self)->text_;
        WaitUntil(
            [&] {
                HWND box = FindWindowA("#32770", "Pathwick");
                DWORD processId = 0;
                GetWindowThreadProcessId(box, &processId);
                if (!box || processId != GetCurrentProcessId()) return false;
                text = ItemText(box, 0xFFFF);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return true;
            },
            StartLimitMs);
        return 0;
    }
    std::string text_;
    HANDLE thread_;
};

class TargetBoxDrop : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string program = QuilletProgram();
        Resources = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(Resources, nullptr) << program;
        Target = Folder / "予定表.exe";
        ASSERT_TRUE(WriteBytes(Target, "MZ"));
        lstrcpynA(AppState.TargetPath, "C:\\old.exe", MAX_PATH);
        AppState.ScanOnOpen = 0; // no scan: the dialog opens idle
        Dialog = CreateDialogParamA(Resources, "LINK_DIALOG", nullptr, LinkDialogProc, 0);
        ASSERT_NE(Dialog, nullptr);
        ASSERT_TRUE(SetItemText(Dialog, 1001, "Tools"));
        SendDlgItemMessageA(Dialog, 401, BM_SETCHECK, BST_CHECKED, 0);
        SetDlgItemTextA(Dialog, 200, "before");
    }
    void TearDown() override
    {
        AppState.ScanThreadHandle = nullptr;
        if (Dialog) DestroyWindow(Dialog);
        if (Resources) FreeLibrary(Resources);
    }

    // Sends a drop of `files` to box 1000, as the shell does.
    template <class Char> void Drop(const std::vector<std::basic_string<Char>>& files)
    {
        SendDlgItemMessageA(Dialog, 1000, WM_DROPFILES, (WPARAM)MakeDrop(files), 0);
    }
    void Drop(std::initializer_list<std::string> files) { Drop(std::vector<std::string>(files)); }

    // The dialog as a drop that was ignored leaves it.
    void ExpectUnchanged()
    {
        EXPECT_EQ(ItemText(Dialog, 1000), "C:\\old.exe");
        EXPECT_EQ(ItemText(Dialog, 1001), "Tools");
        EXPECT_TRUE(IsTicked(Dialog, 401));
        EXPECT_EQ(ItemText(Dialog, 200), "before");
        EXPECT_STREQ(AppState.TargetPath, "C:\\old.exe");
    }
    // The dialog as a drop that was taken leaves it: a new target, nothing
    // ticked, the groups emptied, and the request to tick places.
    void ExpectTaken(const std::string& target, const std::string& name)
    {
        EXPECT_EQ(ItemText(Dialog, 1000), target);
        EXPECT_EQ(ItemText(Dialog, 1003), name);
        EXPECT_EQ(ItemText(Dialog, 1001), "");
        EXPECT_FALSE(IsTicked(Dialog, 401));
        EXPECT_EQ(ItemText(Dialog, 200), Format("%s へのショートカットを作成したい項目にチェックしてください", name.c_str()));
        EXPECT_EQ(AppState.TargetPath, target);
    }

    TempFolder Folder{"drop"};
    HMODULE Resources = nullptr;
    HWND Dialog = nullptr;
    std::string Target;
};

TEST_F(TargetBoxDrop, ShortcutGivesItsTarget)
{
    ASSERT_TRUE(MakeShortcut(Folder / "予定.lnk", Target));
    Drop({Folder / "予定.lnk"});
    ExpectTaken(Target, "予定表");
}

TEST_F(TargetBoxDrop, OfTwoFilesTheFirstIsTaken)
{
    std::string second = Folder / "second.txt";
    ASSERT_TRUE(WriteBytes(second, "text"));
    Drop({second, Target});
    ExpectTaken(second, "second_txt");
}

TEST_F(TargetBoxDrop, IgnoredDuringAScanForATooLongNameAndForAMissingTarget)
{
    ASSERT_TRUE(MakeShortcut(Folder / "gone.lnk", Folder / "gone.exe"));
    // Cut at 259 bytes, this name would be a file that exists.
    std::string exact = Folder.Path() + "\\" + std::string(258 - Folder.Path().size(), 'y');
    ASSERT_EQ(259u, exact.size());
    ASSERT_TRUE(WriteBytes(exact, "y"));
    std::string longName = exact + "zzz";
    AppState.ScanThreadHandle = GetCurrentThread(); // any non-null handle: a scan runs
    Drop({Target});
    ExpectUnchanged();
    AppState.ScanThreadHandle = nullptr;
    for (const std::string& file : {longName, Folder / "gone.lnk", Folder / "nothing.exe"}) {
        SCOPED_TRACE(file);
        Drop({file});
        ExpectUnchanged();
    }
}

class PickerDrop : public TargetBoxDrop {};

TEST_F(PickerDrop, ANameTheCodePageHoldsBecomesTheTarget)
{
    Drop(std::vector<std::wstring>{Widen(Target)});
    EXPECT_EQ(ItemText(Dialog, 1000), Target);
    EXPECT_EQ(ItemText(Dialog, 1003), "予定表");
}

TEST_F(PickerDrop, ANameTheCodePageCannotHoldIsRefusedWithAMessage)
{
    WideCopy copy(Target, Widen(Folder.Path()) + L"\\" + UnheldName);
    ASSERT_TRUE(copy.Made());
    MessageAnswerer answerer;
    Drop(std::vector<std::wstring>{copy.Path()});
    EXPECT_EQ(answerer.Text(), NameNotHeldText);
    ExpectUnchanged();
}

} // namespace
