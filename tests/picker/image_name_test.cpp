// The search for a window's program by the process image name, called
// directly: the full path, the failures, a process that refuses even limited
// access, and a program whose name the code page cannot hold.
#include "owning_program.h"
#include "test_support.h"

using namespace testsupport;

namespace {

class PickerImageName : public HelperProgramTest {
protected:
    // Both the route itself and the search that takes it first.
    static void Expect(HWND root, OwnerSearchResult expected, const std::string& path)
    {
        for (auto search : {FindOwningProgramByImageName, FindOwningProgram}) {
            char found[MAX_PATH + 8];
            memset(found, 'Z', sizeof found);
            EXPECT_EQ(search(root, found, MAX_PATH), expected);
            EXPECT_TRUE(SameText(found, path)) << "found " << found << "\nexpected " << path;
        }
    }
};

TEST_F(PickerImageName, FindsTheFullPathOrNothing)
{
    ASSERT_TRUE(Helper.Start(Target));
    Expect(Helper.Main, OwnerFound, Target);
    char cut[8];
    EXPECT_EQ(FindOwningProgramByImageName(Helper.Main, cut, sizeof cut), OwnerFound);
    EXPECT_TRUE(SameText(cut, Target.substr(0, 7))) << cut;

    HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    Expect(gone, OwnerNotFound, "");
    // The desktop window is no process's top-level window.
    Expect(GetDesktopWindow(), OwnerNotFound, "");
}

TEST_F(PickerImageName, ProcessThatRefusesEvenLimitedAccessIsNotFound)
{
    ASSERT_TRUE(Helper.Start(Target, true));
    ASSERT_EQ(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, Helper.ProcessId()), nullptr);
    Expect(Helper.Main, OwnerNotFound, "");
}

TEST_F(PickerImageName, ProgramWhoseNameTheCodePageCannotHoldIsReportedSo)
{
    WideCopy copy(Target, Widen(Folder.Path()) + L"\\" + UnheldName);
    ASSERT_TRUE(copy.Made());
    Quillet helper;
    ASSERT_TRUE(helper.StartWide(L"\"" + copy.Path() + L"\""));
    HWND main = WaitForWindow(helper.ProcessId(), [](HWND window) { return ClassOf(window) == "PickTargetMain"; });
    ASSERT_NE(main, nullptr) << "the helper's window did not show";
    // Neither "Caf?.exe" nor the look-alike "Cafe.exe", and no slower search
    // after this answer.
    Expect(main, OwnerNameNotHeld, "");
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(helper.EndsWithExitZero());
}

} // namespace
