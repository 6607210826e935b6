// A target whose name code page 932 cannot hold (Café.exe): given on the
// command line or chosen in the file chooser, it is refused with a message
// and nothing is made for it.
#include "test_support.h"
#include "wide_names.h"

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
                                  "Common Desktop", "Common Startup", "Common Start Menu", "Common Programs"}) {
            WIN32_FIND_DATAA entry;
            HANDLE search = FindFirstFileA((Tree.Folder(place) + "\\*").c_str(), &entry);
            int entries = 0;
            if (search != INVALID_HANDLE_VALUE) {
                do
                    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++entries;
                while (FindNextFileA(search, &entry));
                FindClose(search);
            }
            EXPECT_EQ(entries, 0) << place;
        }
    }

    WideCopy Cafe;
};

TEST_F(AppUnheldNames, TargetOnTheCommandLineIsRefusedAndTheRunEnds)
{
    ASSERT_TRUE(Cafe.Made());
    WideProcess program;
    ASSERT_TRUE(program.Start(L"\"" + Widen(Tree.Program()) + L"\" \"" + Cafe.Path() + L"\"", Widen(Tree.Bin)));
    HWND box = program.WaitForWindow("#32770", "Pathwick");
    ASSERT_NE(box, nullptr) << "no message";
    EXPECT_EQ(MessageBoxText(box), NameNotHeldText) << Hex(MessageBoxText(box));
    EXPECT_EQ(program.WaitForWindow("#32770", " Pathwick Ver 1.50", 0), nullptr) << "the link dialog opened";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(program.EndsWithExitZero(StartLimitMs));
    ExpectNothingMade();
    EXPECT_FALSE(FileExists(Tree.Settings())) << "the run ended before its window existed";
}

TEST_F(AppUnheldNames, FileChosenInTheChooserIsRefusedAndTheTargetStays)
{
    ASSERT_TRUE(Cafe.Made());
    ASSERT_TRUE(OpenOnTarget());
    ExpectScanEnd(TickPlacesText(Name));
    PostClick(Dialog, 1008);
    HWND files = Program.WaitForDialog(" ファイルの選択  （ファイル選択後“開く”をクリック）");
    ASSERT_NE(files, nullptr) << "no file dialog";
    // The name goes in through the wide message: the ANSI one could not carry é.
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(GetDlgItem(files, 1148), WM_SETTEXT, 0, (LPARAM)Cafe.Path().c_str(),
                                    SMTO_ABORTIFHUNG, 10000, &result));
    PostMessageA(files, WM_COMMAND, IDOK, 0);
    HWND box = Program.WaitForDialog("Pathwick");
    ASSERT_NE(box, nullptr) << "no message";
    EXPECT_EQ(MessageBoxText(box), NameNotHeldText) << Hex(MessageBoxText(box));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitGone(box));
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
