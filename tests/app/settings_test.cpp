// The settings file Quillet.ini beside the program: what a run reads from it
// (shown in the user-folder box) and what it writes back when it ends.
#include "test_support.h"

using namespace testsupport;

namespace {

// "{R}" stands for the test's own folder in both texts.
struct SettingsCase {
    const char* Label;
    const char* FileText; // null: no settings file
    const char* Shown;    // in box 1015 (only a folder that exists is shown)
    const char* Written;  // the value written back; null: the file is left as it was
};

// ctest shows the case by its label.
void PrintTo(const SettingsCase& settings, std::ostream* out)
{
    *out << settings.Label;
}

const SettingsCase Cases[] = {
    {"AsWritten", "[Pathwick Information]\r\n USER_FOLDER={R}\\saved\r\n", "{R}\\saved", "{R}\\saved"},
    {"NoFile", nullptr, "", ""},
    {"LineFeedsOnly", "[Pathwick Information]\n USER_FOLDER={R}\\saved\n", "{R}\\saved", "{R}\\saved"},
    {"NoFinalLineEnd", " USER_FOLDER={R}\\saved", "{R}\\saved", "{R}\\saved"},
    {"KeyWithoutLeadingBlank", "[Pathwick Information]\r\nUSER_FOLDER={R}\\saved\r\n", "", nullptr},
    {"KeyInOtherCase", " user_folder={R}\\saved\r\n", "", ""},
    {"LaterLineWins", " USER_FOLDER={R}\\saved\r\n USER_FOLDER={R}\\later\r\n", "{R}\\later", "{R}\\later"},
    {"EmptyLaterLineChangesNothing", " USER_FOLDER={R}\\saved\r\n USER_FOLDER=\r\n", "{R}\\saved", "{R}\\saved"},
    {"EqualsSignsInTheValue", " USER_FOLDER={R}\\a=b=c\r\n", "{R}\\a=b=c", "{R}\\a=b=c"},
    {"MissingFolderIsKeptButNotShown", " USER_FOLDER={R}\\nowhere\r\n", "", "{R}\\nowhere"},
};

std::string SettingsText(const std::string& folder)
{
    return "[Pathwick Information]\r\n USER_FOLDER=" + folder + "\r\n";
}

class AppSettings : public QuilletTest {
protected:
    // One run: the dialog opens, its scan ends, the user closes it.
    void RunOnce()
    {
        ASSERT_TRUE(OpenIdle());
        Shown = ItemText(Dialog, 1015);
        CloseAndExpectExitZero();
    }
    std::string Shown;
};

class AppSettingsFile : public AppSettings, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(AppSettingsFile, ReadThenWrittenBack)
{
    const SettingsCase& settings = GetParam();
    for (const char* folder : {"saved", "later", "a=b=c"}) ASSERT_TRUE(MakeFolders(Tree.Root / folder));
    if (settings.FileText) {
        ASSERT_TRUE(WriteBytes(Tree.Settings(), ReplaceAll(settings.FileText, "{R}", Tree.Root.Path())));
    }
    ASSERT_NO_FATAL_FAILURE(RunOnce());
    EXPECT_EQ(Shown, ReplaceAll(settings.Shown, "{R}", Tree.Root.Path()));
    std::string written = settings.Written ? SettingsText(settings.Written) : settings.FileText;
    EXPECT_EQ(ReadBytes(Tree.Settings()), ReplaceAll(written, "{R}", Tree.Root.Path()));
}

INSTANTIATE_TEST_SUITE_P(App, AppSettingsFile, ::testing::ValuesIn(Cases), CaseLabel());

TEST_F(AppSettings, LongFolderComesBackWhole)
{
    std::string folder = Tree.Root.Path();
    while (folder.size() < 225) folder += "\\長い名前のフォルダ";
    ASSERT_GT(folder.size(), 186u);
    ASSERT_LT(folder.size(), 260u);
    ASSERT_TRUE(MakeFolders(folder));
    ASSERT_TRUE(WriteBytes(Tree.Settings(), SettingsText(folder)));
    ASSERT_NO_FATAL_FAILURE(RunOnce());
    EXPECT_EQ(Shown, folder);
    EXPECT_EQ(ReadBytes(Tree.Settings()), SettingsText(folder));
    // And again: what was written reads back the same.
    ASSERT_NO_FATAL_FAILURE(RunOnce());
    EXPECT_EQ(Shown, folder);
}

TEST_F(AppSettings, LineTooLongForAFolderIsIgnoredWhole)
{
    std::string value = Tree.Root.Path() + "\\" + std::string(300 - Tree.Root.Path().size(), 'x');
    ASSERT_TRUE(WriteBytes(Tree.Settings(), SettingsText(value)));
    ASSERT_NO_FATAL_FAILURE(RunOnce());
    EXPECT_EQ(Shown, "");
    EXPECT_EQ(ReadBytes(Tree.Settings()), SettingsText(value)) << "a key that could not be read is left as it was";
}

TEST_F(AppSettings, CancelledFolderBrowserKeepsTheFolder)
{
    std::string folder = Tree.Root / "saved";
    ASSERT_TRUE(MakeFolders(folder));
    ASSERT_TRUE(WriteBytes(Tree.Settings(), SettingsText(folder)));
    ASSERT_TRUE(OpenIdle());

    PostClick(Dialog, 1017);
    HWND browser = WaitForOtherDialog();
    ASSERT_NE(browser, nullptr) << "no folder browser";
    EXPECT_EQ(ItemText(browser, 14146), "登録するフォルダを指定してください"); // the browser's title line
    PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitGone(browser));
    ASSERT_TRUE(Sync(Dialog));
    EXPECT_EQ(ItemText(Dialog, 1015), folder);
    CloseAndExpectExitZero();
    EXPECT_EQ(ReadBytes(Tree.Settings()), SettingsText(folder));
}

} // namespace
