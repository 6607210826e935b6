// The search for a window's owning program, called directly: both searches
// on the helper program's windows and on this program's own, their failures,
// the bound on their output, the 200-window limit of the window collection,
// and the walk from a control or an owned window up to its root.
#include "owning_program.h"
#include "foreground.h"
#include "test_support.h"
#include <algorithm>
#include <string.h>

using namespace testsupport;

namespace {

typedef BOOL (*SearchFunction)(HWND, char*, int);
struct Search {
    const char* Name;
    SearchFunction Find;
};
// Both give the executable's full path; tool help takes it from the first
// module where the process entry names the file alone (the NT family, Wine).
const Search Searches[] = {{"tool help", FindOwningProgramByToolhelp}, {"PSAPI", FindOwningProgramByPsapi}};

const char Sentinel = 'Z';

std::string OwnProgram()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

// A hidden pop-up window of this program, owned by `owner` when given.
HWND MakeWindow(HWND owner = nullptr, DWORD style = WS_POPUP, const char* className = "STATIC")
{
    return CreateWindowExA(0, className, "picker test", style, 0, 0, 50, 20, owner, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
}

class PickerOwningProgram : public HelperProgramTest {
protected:
    // Runs the search into a buffer filled with the sentinel; the result
    // goes to `found`.
    static BOOL Run(const Search& search, HWND root, std::string* found, int capacity = MAX_PATH)
    {
        char output[MAX_PATH + 64];
        memset(output, Sentinel, sizeof output);
        BOOL result = search.Find(root, output, capacity);
        *found = std::string(output, strnlen(output, sizeof output));
        for (size_t i = capacity; i < sizeof output; ++i)
            if (output[i] != Sentinel) {
                ADD_FAILURE() << search.Name << ": byte " << i << " past the capacity " << capacity << " was written";
                break;
            }
        return result;
    }

    static void ExpectFound(const Search& search, HWND root, const std::string& program)
    {
        std::string found;
        EXPECT_TRUE(Run(search, root, &found)) << search.Name;
        EXPECT_TRUE(SameText(found, program)) << search.Name << " found " << found << "\nexpected " << program;
    }

    static void ExpectNotFound(const Search& search, HWND root)
    {
        std::string found = "<not run>";
        EXPECT_FALSE(Run(search, root, &found)) << search.Name;
        EXPECT_EQ(found, "") << search.Name << ": the output is emptied";
    }
};

TEST_F(PickerOwningProgram, BothSearchesFindTheProgramOfAWindow)
{
    ASSERT_TRUE(Helper.Start(Target));
    HWND own = MakeWindow();
    ASSERT_NE(own, nullptr);
    for (const Search& search : Searches) {
        ExpectFound(search, Helper.Main, Target);
        ExpectFound(search, own, OwnProgram());
    }
    // The NT family, which Wine is, searches with PSAPI: the full path.
    EXPECT_FALSE(IsWin9xFamily());
    char found[MAX_PATH] = "";
    EXPECT_TRUE(FindOwningProgram(Helper.Main, found, sizeof found));
    EXPECT_TRUE(SameText(found, Target)) << found;
    DestroyWindow(own);
}

TEST_F(PickerOwningProgram, FailedSearchLeavesTheOutputEmpty)
{
    HWND gone = MakeWindow();
    ASSERT_NE(gone, nullptr);
    DestroyWindow(gone);
    ASSERT_FALSE(IsWindow(gone));
    for (const Search& search : Searches) {
        ExpectNotFound(search, gone);
        // No process lists the desktop window among its top-level windows.
        ExpectNotFound(search, GetDesktopWindow());
    }
}

TEST_F(PickerOwningProgram, OutputIsCutToTheCapacity)
{
    ASSERT_TRUE(Helper.Start(Target));
    for (const Search& search : Searches)
        for (int capacity : {1, 8}) {
            std::string found;
            EXPECT_TRUE(Run(search, Helper.Main, &found, capacity)) << search.Name << " capacity " << capacity;
            EXPECT_EQ(found.size(), (size_t)capacity - 1) << search.Name << " found " << found;
            EXPECT_TRUE(SameText(found, Target.substr(0, capacity - 1))) << search.Name << " found " << found;
        }
}

TEST_F(PickerOwningProgram, ProcessThatCannotBeOpenedIsNotFound)
{
    ASSERT_TRUE(Helper.Start(Target, true));
    ASSERT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, Helper.ProcessId()), nullptr);
    ExpectNotFound(Searches[1], Helper.Main);
    // The tool-help entry of the NT family names the file alone, and the
    // module list that has the full path opens the process: no bare name.
    ExpectNotFound(Searches[0], Helper.Main);
}

TEST_F(PickerOwningProgram, OnlyTheFirstTwoHundredWindowsOfAProcessAreCompared)
{
    std::vector<HWND> made;
    for (int i = 0; i < 210; ++i) made.push_back(MakeWindow());
    for (HWND window : made) ASSERT_NE(window, nullptr);
    std::vector<HWND> all = TopLevelWindowsOf(GetCurrentProcessId()); // in the platform's order
    ASSERT_GE(all.size(), 210u);

    ProcessWindowList list;
    list.ProcessId = GetCurrentProcessId();
    list.Count = 0;
    EXPECT_FALSE(EnumWindows(CollectProcessWindows, (LPARAM)&list)) << "the enumeration is stopped";
    ASSERT_EQ(list.Count, 200);
    for (int i = 0; i < list.Count; ++i) ASSERT_EQ(list.Windows[i], all[i]) << "entry " << i;

    // A window of ours among the first 200 is found, one after them is not.
    auto ours = [&](HWND window) { return std::find(made.begin(), made.end(), window) != made.end(); };
    auto within = std::find_if(all.begin(), all.begin() + 200, ours);
    auto beyond = std::find_if(all.begin() + 200, all.end(), ours);
    ASSERT_TRUE(within != all.begin() + 200 && beyond != all.end());
    for (const Search& search : Searches) {
        ExpectFound(search, *within, OwnProgram());
        ExpectNotFound(search, *beyond);
    }
    for (HWND window : made) DestroyWindow(window);
}

TEST_F(PickerOwningProgram, WindowsOfAnotherProcessAreCollectedForItOnly)
{
    ASSERT_TRUE(Helper.Start(Target));
    HWND own = MakeWindow();
    ProcessWindowList list;
    list.ProcessId = Helper.ProcessId();
    list.Count = 0;
    EXPECT_TRUE(EnumWindows(CollectProcessWindows, (LPARAM)&list)) << "the enumeration ran to its end";
    std::vector<HWND> collected(list.Windows, list.Windows + list.Count);
    EXPECT_NE(std::find(collected.begin(), collected.end(), Helper.Main), collected.end());
    EXPECT_NE(std::find(collected.begin(), collected.end(), Helper.Dialog), collected.end());
    EXPECT_EQ(std::find(collected.begin(), collected.end(), own), collected.end());
    for (HWND window : collected) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        EXPECT_EQ(processId, Helper.ProcessId());
    }
    DestroyWindow(own);
}

TEST_F(PickerOwningProgram, RootWindowOfFollowsParentsAndOwners)
{
    HWND top = MakeWindow();
    HWND child = MakeWindow(top, WS_CHILD, "BUTTON");
    HWND grandchild = MakeWindow(child, WS_CHILD);
    HWND owned = MakeWindow(top);
    HWND ownedChild = MakeWindow(owned, WS_CHILD, "EDIT");
    HWND ownedByOwned = MakeWindow(owned);
    for (HWND window : {top, child, grandchild, owned, ownedChild, ownedByOwned}) {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(RootWindowOf(window), top) << window;
    }
    // Across processes: the helper's controls lead to its main window,
    // through the dialog that window owns.
    ASSERT_TRUE(Helper.Start(Target));
    EXPECT_EQ(RootWindowOf(Helper.Button()), Helper.Main);
    EXPECT_EQ(RootWindowOf(Helper.Edit()), Helper.Main);
    EXPECT_EQ(RootWindowOf(Helper.Dialog), Helper.Main);
    EXPECT_EQ(RootWindowOf(Helper.Main), Helper.Main);
    DestroyWindow(top);
}

} // namespace
