// The installer end to end: which question it asks for the shortcuts already
// present, what Yes and No do, the missing main program, the help page, the
// explored folder, the start of the main program, and the whole hand-over
// to the real main program, which removes the installer's file.
#include <gtest/gtest.h>
#include "test_support.h"
#include <shlobj.h>
#include <algorithm>
#include <memory>

using namespace testsupport;

namespace {

const char QuestionDesktopOnly[] =
    "現在 Pathwick へのショートカットは デスクトップ にあります。\n\n Quick Launch にもショートカットを作成しますか？";
const char QuestionQuickLaunchOnly[] =
    "現在 Pathwick へのショートカットは Quick Launch にあります。\n\nデスクトップにもショートカットを作成しますか？";
const char QuestionNeither[] = "Pathwick が簡単に使えるように Pathwick へのショートカットを\n"
                               "          デスクトップと Quick Launch に作成します。\n\n"
                               "                       よろしいですか？";
const char MainProgramMissing[] = "Pathwick が見つかりません。\n\n   もう一度ＤＬしてください。";
const char Description[] = "ショートカット作成ツール";

const char TestPageClass[] = "Pathwick.InstallerTest.Page";

// What a place holds before the installer runs.
enum class Before {
    Nothing,
    MainLink,             // a shortcut to the main program, not named Pathwick
    MainLinkOtherCase,    // the same, its stored target differing in letter case only
    MainLinkInSubFolder,  // the same, one folder down
    PathwickLinkElsewhere // a Pathwick.lnk to some other program
};

const char ExistingLinkName[] = "Quillet 起動.lnk"; // not Pathwick.lnk: any name counts
const char ExistingDescription[] = "前からある";
const char SubFolderName[] = "ツール";

class InstallerTest : public testing::Test {
protected:
    std::string CaseFolder, InstallFolder, Desktop, AppData, QuickLaunch, RecordFile, OtherProgram;

    void SetUp() override
    {
        // Wine starts its desktop window's process (which shows the Desktop
        // folder and watches it) with the first window of a session: start it
        // now, while the Desktop is still the real one, so that it never holds
        // the case's folder and is not started from inside the installer.
        GetDesktopWindow();

        CaseFolder = Case.Path();
        ASSERT_TRUE(FolderExists(CaseFolder)) << CaseFolder;
        // 表 ends in the byte of a backslash, and the blank must survive the shell.
        InstallFolder = Join(CaseFolder, "配布 表");
        Desktop = Join(CaseFolder, "デスクトップ");
        AppData = Join(CaseFolder, "AppData");
        QuickLaunch = AppData + "\\Microsoft\\Internet Explorer\\Quick Launch";
        RecordFile = Join(CaseFolder, "records.txt");
        OtherProgram = Join(CaseFolder, "別のプログラム.exe");
        for (const std::string& folder : {InstallFolder, Desktop, AppData})
            ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
        WriteBytes(OtherProgram, "");
        ASSERT_TRUE(CopyInto(StowfoldProgram(), InstallFolder, "Stowfold.exe")) << StowfoldProgram();

        // The shell rewrites "Shell Folders" from "User Shell Folders" whenever it
        // looks a special folder up (saving a shortcut does), so both move.
        Override(HKEY_CURRENT_USER, ShellFoldersKey, "Desktop", Desktop);
        Override(HKEY_CURRENT_USER, ShellFoldersKey, "AppData", AppData);
        Override(HKEY_CURRENT_USER, UserShellFoldersKey, "Desktop", Desktop, "", REG_EXPAND_SZ);
        Override(HKEY_CURRENT_USER, UserShellFoldersKey, "AppData", AppData, "", REG_EXPAND_SZ);
        // The shell's handlers, pointed at the recording program (Wine reads
        // the classes of the machine only).
        std::string recorder = "\"" + RecorderProgram() + "\"";
        Override(HKEY_LOCAL_MACHINE, "Software\\Classes\\.html", nullptr, TestPageClass, "Software\\Classes\\.html");
        Override(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + TestPageClass + "\\shell\\open\\command",
                 nullptr, recorder + " open \"%1\"", std::string("Software\\Classes\\") + TestPageClass);
        Override(HKEY_LOCAL_MACHINE, "Software\\Classes\\Folder\\shell\\explore\\command", nullptr,
                 recorder + " explore \"%1\"", "Software\\Classes\\Folder\\shell\\explore");
        SetEnvironmentVariableA("PATHWICK_TEST_RECORD", RecordFile.c_str());
    }

    void TearDown() override
    {
        SetKeyDown(VK_SHIFT, false);
        SetEnvironmentVariableA("PATHWICK_TEST_RECORD", nullptr);
        Registry.Restore();
        DeleteTree(CaseFolder);
        EXPECT_FALSE(Exists(CaseFolder)) << "left behind: " << CaseFolder;
    }

    void Override(HKEY root, const std::string& key, const char* value, const std::string& data,
                  const std::string& ownedKey = "", DWORD type = REG_SZ)
    {
        if (!ownedKey.empty()) Registry.Own(root, ownedKey);
        Registry.SetText(root, key, value, data, type);
    }

    std::string MainProgram() const { return Join(InstallFolder, "Quillet.exe"); }
    std::string MainProgramShown() const { return "%CASE%\\配布 表\\Quillet.exe"; }
    std::string InstallerLink() const { return DescribeLink("Pathwick.lnk", MainProgramShown(), Description); }

    void PutFakeMainProgram() { ASSERT_TRUE(CopyInto(RecorderProgram(), InstallFolder, "Quillet.exe")); }
    void PutHelpPage() { WriteBytes(Join(InstallFolder, "Dovemere.html"), "<html><body>help</body></html>"); }

    // Prepares a place and returns what it then holds.
    std::vector<std::string> Prepare(const std::string& folder, Before before)
    {
        if (before == Before::Nothing) return {};
        SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
        std::string link = Join(folder, ExistingLinkName);
        std::string target = MainProgram();
        switch (before) {
        case Before::MainLinkOtherCase:
            CharUpperA(&target[target.size() - lstrlenA("Quillet.exe")]);
            break;
        case Before::MainLinkInSubFolder:
            CreateDirectoryA(Join(folder, SubFolderName).c_str(), nullptr);
            link = Join(Join(folder, SubFolderName), ExistingLinkName);
            break;
        case Before::PathwickLinkElsewhere:
            link = Join(folder, "Pathwick.lnk");
            target = OtherProgram;
            break;
        default:
            break;
        }
        EXPECT_TRUE(MakeShortcut(link, target, ExistingDescription, WithoutWorkingFolder)) << link;
        if (before == Before::MainLinkOtherCase) {
            // Only worth anything if the stored target really differs.
            std::string stored = ShortcutTarget(link);
            EXPECT_NE(MainProgram(), stored);
            EXPECT_EQ(0, lstrcmpiA(MainProgram().c_str(), stored.c_str())) << stored;
        }
        return DescribeFolder(folder, CaseFolder);
    }

    // What a place must hold afterwards: as before, with the installer's
    // Pathwick.lnk added or put in place of one of that name.
    std::vector<std::string> After(std::vector<std::string> held, bool created) const
    {
        if (!created) return held;
        for (auto it = held.begin(); it != held.end();)
            it = it->compare(0, 13, "Pathwick.lnk ") == 0 ? held.erase(it) : it + 1;
        held.push_back(InstallerLink());
        std::sort(held.begin(), held.end());
        return held;
    }

    InstallerRun Run(const std::vector<int>& answers)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        InstallerRun run = RunInstaller(Join(InstallFolder, "Stowfold.exe"), temp, answers);
        EXPECT_TRUE(run.Started);
        EXPECT_EQ(0u, run.ExitCode);
        EXPECT_TRUE(run.ProcessesEnded) << "the installer or a program it started did not end";
        EXPECT_EQ(std::vector<std::string>(), run.LeftOver);
        EXPECT_EQ(std::vector<std::string>(), run.OtherWindows);
        // The places must not have moved under the run.
        EXPECT_EQ(Desktop, ReadShellFolderValue("Desktop"));
        EXPECT_EQ(AppData, ReadShellFolderValue("AppData"));
        return run;
    }

    std::vector<std::string> Records() const { return Sorted(ReadRecords(RecordFile, CaseFolder)); }

private:
    TempFolder Case{"installer"};
    RegistryOverride Registry;
};

const char HelpOpened[] = "recorder open \"%CASE%\\配布 表\\Dovemere.html\" (show 1)";
const char FolderExplored[] = "recorder explore \"%CASE%\\配布 表\" (show 1)";
const char MainStarted[] = "%CASE%\\配布 表\\Quillet.exe (show 1)";


// ---- the question table and the answers ------------------------------------

struct QuestionCase {
    const char* Name;
    Before Desktop, QuickLaunch;
    bool HelpPage;
    const char* Question; // null: nothing is asked
    int Answer;
    bool CreatesOnDesktop, CreatesInQuickLaunch;
    bool ShiftHeld = false; // from before the start to the end
};

const QuestionCase QuestionCases[] = {
    {"BothPresentNothingAsked", Before::MainLink, Before::MainLink, true, nullptr, 0, false, false},
    {"DesktopOnlyYes", Before::MainLink, Before::Nothing, true, QuestionDesktopOnly, IDYES, false, true},
    {"DesktopOnlyNo", Before::MainLink, Before::Nothing, false, QuestionDesktopOnly, IDNO, false, false},
    {"QuickLaunchOnlyYes", Before::Nothing, Before::MainLink, true, QuestionQuickLaunchOnly, IDYES, true, false},
    {"QuickLaunchOnlyNo", Before::Nothing, Before::MainLink, true, QuestionQuickLaunchOnly, IDNO, false, false},
    {"NeitherYes", Before::Nothing, Before::Nothing, true, QuestionNeither, IDYES, true, true},
    {"NeitherNo", Before::Nothing, Before::Nothing, true, QuestionNeither, IDNO, false, false},
    {"PathwickLinkElsewhereIsReplaced", Before::PathwickLinkElsewhere, Before::MainLink, true,
     QuestionQuickLaunchOnly, IDYES, true, false},
    {"LinkInDesktopSubFolderDoesNotCount", Before::MainLinkInSubFolder, Before::MainLink, true,
     QuestionQuickLaunchOnly, IDYES, true, false},
    {"TargetInOtherLetterCaseCounts", Before::MainLinkOtherCase, Before::MainLinkOtherCase, false, nullptr, 0,
     false, false},
    // Shift stops every search before its first entry: nothing counts as there.
    {"ShiftHeldFindsNothing", Before::MainLink, Before::MainLink, true, QuestionNeither, IDNO, false, false, true},
};

void PrintTo(const QuestionCase& c, std::ostream* out) { *out << c.Name; }

class InstallerQuestion : public InstallerTest, public testing::WithParamInterface<QuestionCase> {};

TEST_P(InstallerQuestion, AsksForTheMissingShortcutsAndStartsTheMainProgram)
{
    const QuestionCase& c = GetParam();
    PutFakeMainProgram();
    if (c.HelpPage) PutHelpPage();
    std::vector<std::string> desktopBefore = Prepare(Desktop, c.Desktop);
    std::vector<std::string> quickLaunchBefore = Prepare(QuickLaunch, c.QuickLaunch);
    ASSERT_FALSE(HasFailure());

    if (c.ShiftHeld) SetKeyDown(VK_SHIFT, true);
    InstallerRun run = Run(c.Question ? std::vector<int>{c.Answer} : std::vector<int>{});
    SetKeyDown(VK_SHIFT, false);

    std::vector<MessageBoxSeen> expectedBoxes;
    if (c.Question) expectedBoxes.push_back({c.Question, "Yes No", "question", false});
    EXPECT_EQ(expectedBoxes, run.Boxes);

    std::vector<std::string> expectedRecords = {MainStarted};
    if (c.HelpPage) expectedRecords.push_back(HelpOpened);
    if (c.Question && c.Answer == IDNO) expectedRecords.push_back(FolderExplored);
    EXPECT_EQ(Sorted(expectedRecords), Records());

    EXPECT_EQ(After(desktopBefore, c.CreatesOnDesktop), DescribeFolder(Desktop, CaseFolder));
    EXPECT_EQ(After(quickLaunchBefore, c.CreatesInQuickLaunch), DescribeFolder(QuickLaunch, CaseFolder));
    EXPECT_TRUE(Exists(Join(InstallFolder, "Stowfold.exe"))) << "only the real main program removes it";
}

INSTANTIATE_TEST_SUITE_P(Installer, InstallerQuestion, testing::ValuesIn(QuestionCases),
                         [](const testing::TestParamInfo<QuestionCase>& info) { return info.param.Name; });

// ---- the main program missing ----------------------------------------------

class InstallerWithoutMainProgram : public InstallerTest, public testing::WithParamInterface<bool> {};

TEST_P(InstallerWithoutMainProgram, SaysSoAndDoesNothingElse)
{
    bool helpPage = GetParam();
    if (helpPage) PutHelpPage();

    InstallerRun run = Run({IDOK});

    EXPECT_EQ(std::vector<MessageBoxSeen>({{MainProgramMissing, "OK", "information", false}}), run.Boxes);
    EXPECT_EQ(helpPage ? std::vector<std::string>{HelpOpened} : std::vector<std::string>{}, Records());
    EXPECT_EQ(std::vector<std::string>(), DescribeFolder(Desktop, CaseFolder));
    EXPECT_FALSE(Exists(QuickLaunch));
}

INSTANTIATE_TEST_SUITE_P(Installer, InstallerWithoutMainProgram, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "HelpPagePresent" : "HelpPageMissingToo";
                         });

// ---- the hand-over to the real main program --------------------------------

TEST_F(InstallerTest, HandsOverToTheRealMainProgramWhichRemovesTheInstaller)
{
    ASSERT_TRUE(Exists(QuilletProgram())) << "the main program is not built: " << QuilletProgram();
    ASSERT_TRUE(CopyInto(QuilletProgram(), InstallFolder, "Quillet.exe"));
    PutHelpPage();

    InstallerRun run = Run({IDYES});

    EXPECT_EQ(std::vector<MessageBoxSeen>({{QuestionNeither, "Yes No", "question", false}}), run.Boxes);
    EXPECT_EQ(std::vector<std::string>({InstallerLink()}), DescribeFolder(Desktop, CaseFolder));
    EXPECT_EQ(std::vector<std::string>({InstallerLink()}), DescribeFolder(QuickLaunch, CaseFolder));
    EXPECT_EQ(std::vector<std::string>{HelpOpened}, Records());
    // The installer's file is gone, and the main program left nothing behind.
    EXPECT_EQ(std::vector<std::string>({"Dovemere.html", "Quillet.exe"}), Sorted(EntriesOf(InstallFolder)));
}

// ---- a shortcut that cannot be made -----------------------------------------

// The Desktop folder is gone: the user is told, and the rest goes on.
TEST_F(InstallerTest, SaysWhichShortcutCouldNotBeMadeAndGoesOn)
{
    PutFakeMainProgram();
    ASSERT_TRUE(RemoveDirectoryA(Desktop.c_str()));

    InstallerRun run = Run({IDYES, IDOK});

    EXPECT_EQ(std::vector<MessageBoxSeen>(
                  {{QuestionNeither, "Yes No", "question", false},
                   {"デスクトップ に Pathwick へのショートカットを作成できませんでした。", "OK", "information", false}}),
              run.Boxes);
    EXPECT_EQ(std::vector<std::string>({InstallerLink()}), DescribeFolder(QuickLaunch, CaseFolder));
    EXPECT_EQ(std::vector<std::string>{MainStarted}, Records());
}

} // namespace
