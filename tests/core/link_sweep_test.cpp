// The broken-shortcut sweep, answered through the real WARN_DIALOG from a
// second thread while the sweep runs on this one with a real owner window.
#include <gtest/gtest.h>
#include "link_search.h"
#include "target_check.h"
#include "test_support.h"

using namespace testsupport;

const char Gone[] = "C:\\pathwick-gone\\gone.exe";

class SweepTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        SweepState.DeadLinkMode = 1;
    }
    std::string Broken(const char* place, const std::string& name)
    {
        std::string link = places.Folder(place) + "\\" + name;
        CreateDirectoryA(link.substr(0, link.rfind('\\')).c_str(), nullptr);
        EXPECT_TRUE(MakeShortcut(link, Gone));
        return link;
    }
    int Sweep(const char* place, int control = 0)
    {
        char found[MAX_PATH];
        return FindLinkInLocation(window.Handle(), found, "", place, nullptr, control);
    }
    StatusWindow window{1001};
};

TEST_F(SweepTest, EachAnswerActsOnTheShortcut)
{
    struct Case { Answer answer; int deleted; LONG deleteAll, keepAll, stop; } cases[] = {
        {{IDYES, Press::Click}, 1, 0, 0, 0},
        {{IDC_WARN_DELETE_ALL, Press::Command}, 1, 1, 0, 0},
        {{IDNO, Press::Command}, 0, 0, 0, 0},
        {{IDC_WARN_KEEP_ALL, Press::Click}, 0, 0, 1, 0},
        {{IDCANCEL, Press::Command}, 0, 0, 0, 1},
        {{IDCANCEL, Press::Escape}, 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SetUp();
        std::string link = Broken("Desktop", "gone.lnk");
        {
            WarnDialogResponder responder({c.answer});
            EXPECT_EQ(0, Sweep("Desktop"));
            EXPECT_EQ(std::vector<std::string>{link}, responder.Paths);
            EXPECT_EQ(std::vector<std::string>{}, responder.Problems);
        }
        SCOPED_TRACE(testing::Message() << "answer " << c.answer.Id << " by " << (int)c.answer.How);
        EXPECT_EQ(1, SweepState.BrokenCount);
        EXPECT_EQ(c.deleted, SweepState.DeletedCount);
        EXPECT_EQ(c.deleted == 0, Exists(link));
        EXPECT_EQ(c.deleteAll, SweepState.DeleteAll);
        EXPECT_EQ(c.keepAll, SweepState.KeepAll);
        EXPECT_EQ(c.stop, SweepState.StopRequested);
        DeleteFileA(link.c_str());
    }
}

TEST_F(SweepTest, OnlyMissingLocalTargetsAreBroken)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string desktop = places.Folder("Desktop");
    struct Case { const char* name; std::string target; } cases[] = {
        {"network.lnk", "\\\\server\\share\\gone.exe"}, {"drive.lnk", OnMissingDrive("")},
        {"file.lnk", self}, {"folder.lnk", places.Root()}, {"gone.lnk", Gone},
        {"gone.lnk.pathwick-old", Gone}, {"gone.lnk.pathwick-new", Gone}, // left by a create cut short: passed over
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(MakeShortcut(desktop + "\\" + c.name, c.target));
        ASSERT_EQ(c.target, ShortcutTarget(desktop + "\\" + c.name)) << "the shell keeps the target as written";
    }
    WarnDialogResponder responder({{IDNO, Press::Command}});
    EXPECT_EQ(0, Sweep("Desktop"));
    EXPECT_EQ(1, SweepState.BrokenCount);
    EXPECT_EQ(std::vector<std::string>{desktop + "\\gone.lnk"}, responder.Paths);
    EXPECT_EQ(2, SweepState.SkippedCount) << "the network path and the absent drive could not be checked";
}

TEST_F(SweepTest, DeleteAllAndKeepAllHoldForTheRestOfTheSweep)
{
    for (int answer : {IDC_WARN_DELETE_ALL, IDC_WARN_KEEP_ALL}) {
        SetUp();
        std::vector<std::string> links = {Broken("Desktop", "gone.lnk"), Broken("Start Menu", "Tools\\gone1.lnk"),
                                          Broken("Start Menu", "Tools\\gone2.lnk")};
        WarnDialogResponder responder({{answer, Press::Command}});
        Sweep("Desktop");
        Sweep("Start Menu", 1001);
        EXPECT_EQ(1u, responder.Paths.size()) << "asked once, at the first place";
        EXPECT_EQ(3, SweepState.BrokenCount);
        int deleted = answer == IDC_WARN_DELETE_ALL ? 3 : 0;
        EXPECT_EQ(deleted, SweepState.DeletedCount);
        for (const std::string& link : links) {
            EXPECT_EQ(deleted == 0, Exists(link)) << link;
            DeleteFileA(link.c_str());
        }
    }
}

TEST_F(SweepTest, CancelEndsTheWholeScan)
{
    Broken("Desktop", "gone.lnk");
    std::string later = Broken("Start Menu", "gone.lnk");
    ASSERT_TRUE(MakeShortcut(places.Folder("Start Menu") + "\\found.lnk", Gone));
    WarnDialogResponder responder({{IDCANCEL, Press::Command}});
    EXPECT_EQ(0, Sweep("Desktop"));
    char found[MAX_PATH];
    EXPECT_EQ(0, FindLinkInLocation(window.Handle(), found, Gone, "Start Menu", nullptr, 1001));
    EXPECT_EQ(1u, responder.Paths.size());
    EXPECT_EQ(1, SweepState.BrokenCount);
    EXPECT_EQ(1, SweepState.StopRequested);
    EXPECT_TRUE(Exists(later));
}

// Each case is fed to the rules as a path where the code page can name it,
// and swept as a shortcut's target unless a shortcut cannot hold it. What
// Windows answers and Wine never does is laid over the facts Wine gives.
TEST_F(SweepTest, OnlyATargetCertainlyGoneIsBroken)
{
    std::wstring root = Widen(places.Root()), deep = root + L"\\" + std::wstring(90, L'表');
    std::string games = UnixPathOf(places.Root()) + "/Games", done = places.Root() + "\\done";
    ASSERT_TRUE(RunShell("ln -sfn /pathwick-no-volume '" + games + "'", done));
    TypedDrive removable(places.Root(), DRIVE_REMOVABLE), network(places.Root(), DRIVE_REMOTE);
    struct Case {
        const char* label;
        std::wstring target;
        TargetState expected;
        void (*windows)(TargetFacts&) = nullptr;
        bool walkKept = false;
    } cases[] = {
        {"there", root, TargetPresent}, {"gone", Widen(Gone), TargetBroken},
        {"look-alike", root + L"\\Caf\u00e9\\tool.exe", TargetUncheckable},
        {"behind a link into nothing", root + L"\\Games\\tool.exe", TargetUncheckable},
        {"removable", Widen(removable.Path("gone.exe")), TargetUncheckable},
        {"network", Widen(network.Path("gone.exe")), TargetUncheckable}, {"relative", L"gone.exe", TargetUncheckable},
        {"too long", deep + L"\\" + std::wstring(45, L'表') + L".exe", TargetUncheckable},
        {"read back empty", L"", TargetUncheckable},
        {"another disk at the letter", Widen(Gone), TargetUncheckable,
         [](TargetFacts& f) { f.HasStoredSerial = true, f.StoredSerial = f.CurrentSerial + 1; }},
        {"the drive changed between the walk and the verdict", Widen(removable.Path("gone.exe")), TargetUncheckable,
         [](TargetFacts&) {}, true},
        {"online-only folder on the way", Widen(Gone), TargetUncheckable,
         [](TargetFacts& f) { f.OnlineOnlyOnWay = true; }},
        {"32-bit run, 64-bit program there", Widen(Gone), TargetPresent,
         [](TargetFacts& f) { f.Wow64 = Wow64, f.Counterpart = CounterpartThere; }},
        {"32-bit run, 64-bit program gone too", Widen(Gone), TargetBroken,
         [](TargetFacts& f) { f.Wow64 = Wow64, f.Counterpart = CounterpartGone; }},
        {"32-bit run, counterpart unknown", Widen(Gone), TargetUncheckable,
         [](TargetFacts& f) { f.Wow64 = Wow64, f.Counterpart = CounterpartUnknown; }},
        {"run that cannot tell its bits", Widen(Gone), TargetUncheckable,
         [](TargetFacts& f) { f.Wow64 = Wow64Unknown; }},
        {"Resolve finds nothing", Widen(Gone), TargetBroken, [](TargetFacts& f) { f.Resolve = ResolveFoundNothing; }},
        {"the shortcut did not load again for Resolve", Widen(Gone), TargetUncheckable,
         [](TargetFacts& f) { f.Resolve = ResolveNotLoaded; }},
        {"Resolve finds it moved", Widen(Gone), TargetPresent, [](TargetFacts& f) { f.Resolve = ResolveFoundThere; }},
        {"Resolve names a gone path", Widen(Gone), TargetBroken, [](TargetFacts& f) { f.Resolve = ResolveFoundGone; }},
    };
    // What a walk kept of the removable drive: a fixed one, ready.
    DriveAnswers kept = {};
    int letter = (removable.Path("")[0] | 0x20) - 'a';
    kept.Asked[letter] = kept.Ready[letter] = true, kept.Type[letter] = DRIVE_FIXED;
    std::string link = places.Folder("Desktop") + "\\case.lnk";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        char path[MAX_PATH * 2];
        BOOL inexact = FALSE;
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, c.target.c_str(), -1, path, sizeof path, nullptr, &inexact);
        if (c.windows) {
            TargetFacts facts;
            GatherTargetFacts(path, nullptr, nullptr, &facts);
            // The walk's kept answers never stand for the drive's now.
            if (c.walkKept) GatherTargetFacts(path, nullptr, &kept, &facts);
            c.windows(facts);
            EXPECT_EQ(c.expected, JudgeTarget(facts));
            continue;
        }
        EXPECT_TRUE(inexact || !path[0] || CheckTargetPath(path) == c.expected) << path;
        if (c.target == L"gone.exe") continue; // the shell link object makes it a full path
        SetUp();
        SweepState.KeepAll = 1;
        ASSERT_TRUE(path[0] ? MakeWideShortcut(Widen(link), c.target) : WriteBytes(link, "damaged"));
        Sweep("Desktop");
        EXPECT_EQ(c.expected == TargetBroken, SweepState.BrokenCount);
        EXPECT_EQ(c.expected == TargetUncheckable, SweepState.SkippedCount);
    }
    RunShell("rm -f '" + games + "'", done);
}

// A shortcut held open by another program without leave to delete it cannot
// go to the Recycle Bin, under Wine as on Windows; Wine then asks before it
// would delete it for good.
TEST_F(SweepTest, DeletionThatFailsIsNotCounted)
{
    for (bool askFirst : {true, false}) {
        SetUp();
        std::string link = Broken("Desktop", "gone.lnk");
        HANDLE held = CreateFileA(link.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        SweepState.DeleteAll = !askFirst;
        WarnDialogResponder responder({{IDYES, Press::Command}});
        Sweep("Desktop");
        EXPECT_EQ(askFirst ? 1u : 0u, responder.Paths.size());
        EXPECT_EQ(1, SweepState.BrokenCount);
        EXPECT_EQ(0, SweepState.DeletedCount) << "the shortcut is still there";
        EXPECT_TRUE(Exists(link));
        CloseHandle(held);
        DeleteFileA(link.c_str());
    }
}
