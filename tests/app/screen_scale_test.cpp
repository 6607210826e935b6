// The link dialog and the About box at 96 and at 144 DPI: the dialogs grow
// with the scale, each progress mark sits beside its box at the scaled
// distance, the link colours hold, and a screenshot of each is kept.
#include "test_support.h"
#include <stdlib.h>

using namespace testsupport;

namespace {

const char DesktopKey[] = "Control Panel\\Desktop";

bool SetLogPixels(DWORD dpi)
{
    return RegSetKeyValueA(HKEY_CURRENT_USER, DesktopKey, "LogPixels", REG_DWORD, &dpi, sizeof dpi) == ERROR_SUCCESS;
}

// The scale that programs started from now on read (Wine reads it at each
// process start), put back at the end; every Wine process writes the value it
// started with, so a missing one comes back as the default it stood for.
class ScreenScale {
public:
    explicit ScreenScale(DWORD dpi)
    {
        DWORD size = sizeof old_;
        if (RegGetValueA(HKEY_CURRENT_USER, DesktopKey, "LogPixels", RRF_RT_REG_DWORD, nullptr, &old_, &size) !=
            ERROR_SUCCESS)
            old_ = 96;
        set_ = SetLogPixels(dpi);
    }
    ~ScreenScale() { EXPECT_TRUE(SetLogPixels(old_)) << "the scale " << old_ << " was not put back"; }
    bool Set() const { return set_; }

private:
    DWORD old_ = 96;
    bool set_ = false;
};

bool ShowsDone(HDC screen, int x, int y)
{
    return GetPixel(screen, x, y) == MarkDoneColour;
}

// The square of the done colour left of a checkbox, in screen coordinates:
// along the row through the box's middle, then the column through the
// square's middle. Empty when there is none.
RECT FindMark(const RECT& box)
{
    RECT mark = {0, 0, 0, 0};
    HDC screen = GetDC(nullptr);
    int y = (box.top + box.bottom) / 2, x = box.left - 1;
    while (x > box.left - 3 * (box.bottom - box.top) && !ShowsDone(screen, x, y)) --x;
    if (ShowsDone(screen, x, y)) {
        mark.right = x + 1;
        while (ShowsDone(screen, x - 1, y)) --x;
        mark.left = x;
        int column = (mark.left + mark.right) / 2;
        for (mark.top = y; ShowsDone(screen, column, mark.top - 1);) --mark.top;
        for (mark.bottom = y + 1; ShowsDone(screen, column, mark.bottom);) ++mark.bottom;
    }
    ReleaseDC(nullptr, screen);
    return mark;
}

int WidthOf(HWND window)
{
    RECT area = WindowRect(window);
    return area.right - area.left;
}

class AppScreenScale : public QuilletTest {
protected:
    struct Sizes {
        int Dialog = 0, Box = 0, About = 0;
    };

    Sizes ShowAtScale(int dpi)
    {
        Sizes sizes;
        ScreenScale scale(dpi);
        EXPECT_TRUE(scale.Set());
        if (!OpenOnTarget()) return sizes;
        ExpectScanEnd(TickPlacesText(Name));
        WaitForMarks(Dialog, TenDoneMarks());
        ExpectMarksBesideBoxes(dpi);
        RECT box = WindowRect(GetDlgItem(Dialog, 401));
        sizes.Box = box.bottom - box.top;
        sizes.Dialog = WidthOf(Dialog);
        EXPECT_TRUE(Screenshot(Format("link-dialog-after-scan-%d.png", dpi).c_str()));

        PostClick(Dialog, 1013);
        HWND about = Program.WaitForDialog("  Pathwick");
        EXPECT_NE(about, nullptr) << "no About box at " << dpi << " DPI";
        if (about) {
            sizes.About = WidthOf(about);
            for (int label : {1014, 1015})
                EXPECT_TRUE(WaitUntil([&] { return ControlShowsColour(GetDlgItem(about, label), LinkColour); }, 5000))
                    << "label " << label << " at " << dpi << " DPI";
            EXPECT_TRUE(Screenshot(Format("about-box-%d.png", dpi).c_str()));
            PostMessageA(about, WM_COMMAND, IDOK, 0);
            EXPECT_TRUE(WaitGone(about));
        }
        CloseAndExpectExitZero();
        return sizes;
    }

    // Each mark: a square whose side is between half and two thirds of its
    // box's height, centred on that height, its right edge the scaled
    // 4 pixels left of the box.
    void ExpectMarksBesideBoxes(int dpi)
    {
        for (int id = 401; id <= 410; ++id) {
            RECT box = WindowRect(GetDlgItem(Dialog, id));
            int height = box.bottom - box.top;
            RECT mark = FindMark(box);
            int side = mark.right - mark.left;
            std::string where = Format("box %d at %d DPI: mark %ld,%ld-%ld,%ld, box %ld,%ld-%ld,%ld", id, dpi, mark.left,
                                       mark.top, mark.right, mark.bottom, box.left, box.top, box.right, box.bottom);
            ASSERT_GT(side, 0) << where;
            EXPECT_EQ(box.left - mark.right, MulDiv(4, dpi, 96)) << where;
            EXPECT_EQ(mark.bottom - mark.top, side) << where;
            EXPECT_TRUE(side * 2 >= height && side * 3 <= height * 2) << where;
            EXPECT_LE(abs((mark.top + mark.bottom) - (box.top + box.bottom)), 1) << where;
        }
    }
};

bool GrewByHalf(int normal, int large)
{
    return normal > 0 && large * 100 >= normal * 135 && large * 100 <= normal * 165;
}

TEST_F(AppScreenScale, DialogsFollowTheScaleAndEachMarkSitsBesideItsBox)
{
    Sizes normal = ShowAtScale(96);
    Sizes large = ShowAtScale(144);
    EXPECT_TRUE(GrewByHalf(normal.Dialog, large.Dialog)) << normal.Dialog << " -> " << large.Dialog;
    EXPECT_TRUE(GrewByHalf(normal.Box, large.Box)) << normal.Box << " -> " << large.Box;
    EXPECT_TRUE(GrewByHalf(normal.About, large.About)) << normal.About << " -> " << large.About;
}

} // namespace
