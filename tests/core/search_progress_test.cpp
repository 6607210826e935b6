// The group texts a search with a status control shows while it walks many
// small groups: never faster than the eye can read them, always ending on
// the last group searched, and naming the group of a broken shortcut when
// the sweep asks about it.
#include <gtest/gtest.h>
#include <algorithm>
#include "link_search.h"
#include "test_support.h"

using namespace testsupport;

namespace {

const char Searching[] = " グループを検索中";

class SearchProgress : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        programs = places.Folder("Programs");
        for (int g = 0; g < 150; ++g) {
            std::string group = programs + "\\" + std::to_string(1000 + g);
            CreateDirectoryA(group.c_str(), nullptr);
            WriteBytes(group + "\\readme.txt", "not a shortcut");
        }
        // The groups in the platform's order (Startup is a place of its own).
        for (const std::string& name : EntriesOf(programs))
            if (name != "Startup") groups.push_back(name);
    }
    std::vector<std::string> GroupTextsShown() const
    {
        std::vector<std::string> texts;
        for (const std::string& text : window.History(1002))
            if (text.size() > sizeof Searching && EndsWith(text, Searching)) texts.push_back(text);
        return texts;
    }
    StatusWindow window{1002};
    std::string programs;
    std::vector<std::string> groups;
};

} // namespace

TEST_F(SearchProgress, GroupTextsComeNoFasterThanTheyCanBeReadAndEndOnTheLastGroup)
{
    ASSERT_EQ(150u, groups.size());
    char found[MAX_PATH];
    DWORD started = GetTickCount();
    EXPECT_EQ(0, FindLinkInLocation(window.Handle(), found, "C:\\Tools\\x.exe", "Programs", nullptr, 1002));
    DWORD elapsed = GetTickCount() - started;

    std::vector<std::string> shown = GroupTextsShown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(groups.front() + Searching, shown.front()) << "the first group at once";
    EXPECT_EQ(groups.back() + Searching, window.Text(1002)) << "the control ends on the last group";
    // One text at the start, at most one per 100 ms, and the last one.
    EXPECT_LE(shown.size(), elapsed / 100 + 2) << "texts shown in " << elapsed << " ms";
}

TEST_F(SearchProgress, TheSweepsQuestionComesWithItsGroupShown)
{
    // Soon after the first group, whose text stands for a while: without
    // the question its text would be held and then replaced by the next.
    std::string group = programs + "\\" + groups[1];
    DeleteFileA((group + "\\readme.txt").c_str());
    ASSERT_TRUE(MakeShortcut(group + "\\gone.lnk", places.Root() + "\\gone\\gone.exe"));
    SweepState.DeadLinkMode = 1;
    char found[MAX_PATH];
    WarnDialogResponder responder({{IDNO, Press::Command}});
    FindLinkInLocation(window.Handle(), found, "", "Programs", nullptr, 1002);
    EXPECT_EQ(1u, responder.Paths.size());
    std::vector<std::string> shown = GroupTextsShown();
    EXPECT_NE(shown.end(), std::find(shown.begin(), shown.end(), groups[1] + Searching));
}
