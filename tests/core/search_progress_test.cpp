// The group texts a search with a status control shows while it walks many
// small groups: never faster than the eye can read them, always ending on
// the last group searched, and naming the group of a broken shortcut while
// the sweep asks about it.
#include <gtest/gtest.h>
#include <algorithm>
#include "link_search.h"
#include "test_support.h"

using namespace testing_support;

namespace {

const char Searching[] = " グループを検索中";

class SearchProgress : public testing::Test {
protected:
    void SetUp() override
    {
        ResetSweepState();
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
    void TearDown() override { ResetSweepState(); }
    std::vector<std::string> GroupTextsShown() const
    {
        std::vector<std::string> texts;
        for (const std::string& text : window.History(1002))
            if (text.size() > sizeof Searching && text.compare(text.size() - (sizeof Searching - 1), std::string::npos,
                                                               Searching) == 0)
                texts.push_back(text);
        return texts;
    }
    RedirectedPlaces places;
    StatusWindow window{1002};
    std::string programs;
    std::vector<std::string> groups;
};

// Answers the sweep's one confirmation with No, noting what the status
// control showed while it was asked.
class StatusAtConfirmation {
public:
    explicit StatusAtConfirmation(HWND control) : control_(control)
    {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~StatusAtConfirmation() { CloseHandle(thread_); }
    // What the control showed; waits for the answer first.
    std::string Seen()
    {
        WaitForSingleObject(thread_, INFINITE);
        return seen_;
    }

private:
    static DWORD WINAPI Run(void* self) { return ((StatusAtConfirmation*)self)->Answer(); }
    DWORD Answer()
    {
        for (DWORD started = GetTickCount(); GetTickCount() - started < 60000; Sleep(10)) {
            HWND dialog = FindWindowExA(nullptr, nullptr, "#32770", "リンクの削除の確認");
            if (!dialog || !IsWindowVisible(dialog)) continue;
            char text[MAX_PATH + 64] = "";
            SendMessageTimeoutA(control_, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL, 10000, nullptr);
            seen_ = text;
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
            return 0;
        }
        return 0;
    }
    HWND control_;
    HANDLE thread_;
    std::string seen_ = "<no confirmation within 60 s>";
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
    const std::string& brokenGroup = groups[groups.size() / 2];
    ASSERT_TRUE(MakeLink(programs + "\\" + brokenGroup + "\\gone.lnk", OnMissingDrive("gone\\gone.exe")));
    SweepState.DeadLinkMode = 1;
    char found[MAX_PATH];
    StatusAtConfirmation answer(GetDlgItem(window.Handle(), 1002));
    FindLinkInLocation(window.Handle(), found, "", "Programs", nullptr, 1002);
    EXPECT_EQ(brokenGroup + Searching, answer.Seen());
    EXPECT_EQ(1, SweepState.BrokenCount);
}
