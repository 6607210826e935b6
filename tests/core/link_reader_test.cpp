// One reading of a shortcut's target: the walk's reader gives the answers of
// the single read, with files that are no shortcuts in between (nothing of one
// file may carry into the next), and for every layout Windows writes, the
// search, the sweep and the single read take the same target.
#include <gtest/gtest.h>
#include "link_search.h"
#include "shortcut_files.h"
#include "test_support.h"

using namespace testsupport;

TEST(LinkTargetReader, AnswersAsASingleRead)
{
    TempFolder temp;
    const char* links[][2] = {{"a.lnk", "C:\\Tools\\x.exe"}, {"unc.lnk", "\\\\server\\share\\x.exe"},
                              {"表示.lnk", "C:\\表\\ソフト.exe"}, {"root.lnk", "C:\\"}};
    for (auto& link : links) ASSERT_TRUE(MakeShortcut(temp / link[0], link[1]));
    std::string real = ReadBytes(temp / "a.lnk");
    WriteBytes(temp / "text.txt", "not a shortcut");
    WriteBytes(temp / "empty.lnk", "");
    WriteBytes(temp / "half.lnk", real.substr(0, real.size() / 2));
    const char* order[] = {"a.lnk", "text.txt", "unc.lnk", "empty.lnk", "表示.lnk", "half.lnk", "root.lnk", "gone.lnk"};

    HRESULT com = CoInitialize(nullptr);
    {
        LinkTargetReader reader;
        for (const char* name : order) {
            char target[MAX_PATH] = "sentinel", single[MAX_PATH] = "sentinel";
            reader.Read((temp / name).c_str(), target);
            ReadShortcutGivenAsTarget(nullptr, (temp / name).c_str(), single);
            EXPECT_STREQ(single, target) << name;
        }
        char target[MAX_PATH] = "sentinel";
        EXPECT_EQ(0, reader.Read("", target));
        EXPECT_STREQ("sentinel", target);
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

// The short names in the item ID lists name nothing, and where Wine's shell
// reads a Vista or later entry's long name it finds other bytes.
TEST_F(CoreTest, EveryLayoutReadsAlikeInTheSearchTheSweepAndTheSingleRead)
{
    std::string desktop = places.Folder("Desktop"), apps = places.Root() + "\\VК_DJ";
    std::wstring wideApps = Widen(apps);
    ASSERT_TRUE(MakeFolders(apps));
    for (const char* name : {"VК_DJ.exe", "tool.exe", "ソフト.exe"}) ASSERT_TRUE(WriteBytes(apps + "\\" + name, "MZ"));
    ASSERT_TRUE(WriteBytes(desktop + "\\other.exe", "MZ"));
    struct Row {
        const char* Label;
        LinkParts Parts;
        std::string Target;
    } rows[] = {
        {"ID list only, Vista", {wideApps + L"\\VК_DJ.exe", 7, L"", L"", L"", true}, apps + "\\VК_DJ.exe"},
        {"ID list only, XP, a drive root", {L"C:\\", 3, L"", L"", L"", true}, "C:\\"},
        {"ID list and link info, 7", {wideApps + L"\\tool.exe", 8, wideApps + L"\\tool.exe", L"", L"", true}, apps + "\\tool.exe"},
        {"ID list and a relative path naming another program",
         {wideApps + L"\\ソフト.exe", 9, L"", L".\\other.exe", L"", true}, apps + "\\ソフト.exe"},
        {"link info only, ANSI", {L"", 9, wideApps + L"\\ソフト.exe", L"", L"", false}, apps + "\\ソフト.exe"},
        {"relative only, ANSI", {L"", 9, L"", L".\\other.exe", L"", false}, desktop + "\\other.exe"},
        {"relative only, Unicode", {L"", 9, L"", L"..\\..\\VК_DJ\\VК_DJ.exe", L"", true}, apps + "\\VК_DJ.exe"},
        {"environment only", {L"", 9, L"", L"", L"%SystemRoot%\\notepad.exe", true}, "C:\\windows\\notepad.exe"},
    };
    StatusWindow window{1001};
    std::string link = desktop + "\\row.lnk";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Label);
        ASSERT_TRUE(WriteBytes(link, ShortcutBytes(row.Parts)));
        char single[MAX_PATH] = "", found[MAX_PATH] = "";
        EXPECT_EQ(LinkTargetRead, ReadShortcutGivenAsTarget(nullptr, link.c_str(), single));
        EXPECT_TRUE(SameText(row.Target, single)) << Utf8(single);
        SweepState.DeadLinkMode = 1; // the search and the sweep in one walk
        EXPECT_EQ(1, FindLinkInLocation(window.Handle(), found, row.Target.c_str(), "Desktop", nullptr, 0));
        EXPECT_EQ(link, found);
        EXPECT_EQ(0, SweepState.BrokenCount + SweepState.SkippedCount) << "its target is there";
        ResetSweepState();
    }
}
