// The scan's wind-down as the dialog sees it: once the scan shows itself
// ended, the broken-link mode is already back at 0, so a check the dialog
// starts at that very moment keeps its own mode. A watcher on another
// thread looks at the two words the moment the handle clears.
#include "test_support.h"
#include "app_state.h"
#include "link_search.h"
#include "scan_thread.h"

using namespace testsupport;

namespace {

struct Watch {
    volatile LONG Armed;    // set while a scan runs, cleared by the watcher at its end
    volatile LONG Stop;
    volatile LONG ModeSeenAtEnd;
};

DWORD WINAPI WatchWindDown(LPVOID parameter)
{
    Watch* watch = (Watch*)parameter;
    while (!watch->Stop) {
        if (!watch->Armed || AppState.ScanThreadHandle) continue;
        if (SweepState.DeadLinkMode) watch->ModeSeenAtEnd = 1;
        watch->Armed = 0;
    }
    return 0;
}

TEST(ScanWindDown, ModeIsBackAtZeroWhenTheScanShowsItselfEnded)
{
    PlaceTree tree("winddown"); // empty places: the sweep finds nothing to ask about
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    AppState.TargetPath[0] = AppState.LinkName[0] = '\0';
    Watch watch = {0, 0, 0};
    HANDLE watcher = CreateThread(nullptr, 0, WatchWindDown, &watch, 0, nullptr);
    for (int run = 0; run < 20 && !watch.ModeSeenAtEnd; ++run) {
        SweepState.DeadLinkMode = 1;
        ASSERT_EQ(StartScan(window), 1);
        watch.Armed = 1;
        ASSERT_TRUE(WaitUntil([&] { return !watch.Armed; }, ScanLimitMs)) << "the scan did not end";
    }
    watch.Stop = 1;
    WaitForSingleObject(watcher, StartLimitMs);
    CloseHandle(watcher);
    DestroyWindow(window);
    EXPECT_FALSE(watch.ModeSeenAtEnd) << "the scan showed itself ended while still in broken-link mode";
}

} // namespace
