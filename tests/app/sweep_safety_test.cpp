// The broken-link check never deletes what it cannot check, stays inside the
// places, says what it passed over, and sends what it deletes to the trash.
#include "test_support.h"
#include <shlobj.h>

using namespace testsupport;

namespace {

class AppSweepSafety : public QuilletTest {
protected:
    void SetUp() override
    {
        // Wine moves deleted files to $XDG_DATA_HOME/Trash/files, and deletes
        // them for good when that folder does not exist.
        DataHome = Tree.Root / "data";
        MakeFolders(DataHome);
        GetEnvironmentVariableA("XDG_DATA_HOME", SavedDataHome, sizeof SavedDataHome);
        SetEnvironmentVariableA("XDG_DATA_HOME", UnixPathOf(DataHome).c_str());
        ASSERT_TRUE(MakeShortcut(LinkIn("SendTo"), Target));
        Gone = LinkIn("Desktop", "", "gone");
        ASSERT_TRUE(MakeShortcut(Gone, "C:\\pathwick-gone\\gone.exe"));
    }
    void TearDown() override
    {
        QuilletTest::TearDown();
        SetEnvironmentVariableA("XDG_DATA_HOME", SavedDataHome[0] ? SavedDataHome : nullptr);
        // Links go before the tree is removed, which would follow them.
        for (const std::string& link : UnixLinks)
            EXPECT_TRUE(Shell("rm -f '" + link + "'")) << "left behind: " << link;
    }

    // A Unix symbolic link, removed at the end of the test.
    bool UnixLink(const std::string& target, const std::string& link)
    {
        UnixLinks.push_back(link);
        return Shell("ln -sfn '" + target + "' '" + link + "'");
    }
    bool Shell(const std::string& command) { return RunShell(command, Tree.Root / "shell-done"); }

    // Runs the check to its end, answering the one question it may ask.
    void Check(int answer, const char* summary)
    {
        ASSERT_TRUE(OpenIdle());
        PostClick(Dialog, 1011);
        if (answer) {
            HWND warn = Program.WaitForDialog("リンクの削除の確認");
            ASSERT_NE(warn, nullptr) << "no question for " << Gone;
            EXPECT_EQ(ItemText(warn, 1000), Gone);
            PostMessageA(warn, WM_COMMAND, answer, 0);
        }
        ExpectScanEnd(summary);
        EXPECT_EQ(Program.WaitForDialog("リンクの削除の確認", 200), nullptr) << "asked about something it cannot check";
        CloseAndExpectExitZero();
    }

    bool InTrash(const std::string& name) const { return FileExists(DataHome + "\\Trash\\files\\" + name); }

    std::string DataHome, Gone;
    std::vector<std::string> UnixLinks;
    char SavedDataHome[MAX_PATH] = "";
};

TEST_F(AppSweepSafety, WhatCannotBeCheckedIsNeverBrokenAndTheBrokenGoToTheTrash)
{
    ASSERT_FALSE(GetLogicalDrives() & (1 << ('Q' - 'A'))) << "drive Q: must be absent";
    std::string dosDevices = UnixPathOf("C:\\");
    dosDevices.resize(dosDevices.rfind("c:"));
    ASSERT_TRUE(UnixLink("/pathwick-no-such-folder", dosDevices + "r:"));
    ASSERT_EQ(GetDriveTypeA("R:\\"), (UINT)DRIVE_NO_ROOT_DIR);
    std::wstring apps = Widen(Tree.Root / "apps"), deep = apps;
    for (int level = 0; level < 3; ++level) CreateDirectoryW((deep += L"\\" + std::wstring(45, L'表')).c_str(), nullptr);
    std::wstring targets[2] = {apps + L"\\emoji\U0001F600.exe", deep + L"\\tool.exe"};
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, targets[1].c_str(), -1, nullptr, 0, nullptr, nullptr), MAX_PATH);
    std::vector<std::string> kept = {LinkIn("Desktop", "", "q"),     LinkIn("Desktop", "", "r"),
                                     LinkIn("Desktop", "", "emoji"), LinkIn("Desktop", "", "long"),
                                     LinkIn("Desktop", "", "disk"),  LinkIn("Desktop", "", "installer")};
    ASSERT_TRUE(MakeShortcut(kept[0], "Q:\\tools\\q.exe") && MakeShortcut(kept[1], "R:\\tools\\r.exe"));
    for (int i = 0; i < 2; ++i) {
        CloseHandle(CreateFileW(targets[i].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(MakeWideShortcut(Widen(kept[2 + i]), targets[i]));
    }
    // Made for another disk at C: (its link info's volume serial differs), and
    // an installer's shortcut (an installer-id block before the end block).
    std::string bytes = ReadBytes(Gone), disk = bytes, installer = bytes;
    DWORD flags = *(DWORD*)&bytes[0x14], info = 0x4C + (flags & 1 ? 2 + *(WORD*)&bytes[0x4C] : 0);
    ASSERT_EQ(flags & 2, 2u) << "Wine writes a link info";
    disk[info + *(DWORD*)&bytes[info + 12] + 8] ^= 1;
    installer.insert(installer.size() - 4, std::string("\x14\x03\0\0\x06\0\0\xA0", 8) + std::string(0x30C, '\0'));
    ASSERT_TRUE(WriteBytes(kept[4], disk) && WriteBytes(kept[5], installer));
    ASSERT_EQ(ShortcutTarget(kept[5]), "C:\\pathwick-gone\\gone.exe") << "Wine reads past the block";

    Check(9, "1 個のリンク切れのうち 1 個を削除し 6 個は確認できませんでした");
    for (const std::string& link : kept) EXPECT_TRUE(FileExists(link)) << link;
    EXPECT_FALSE(FileExists(Gone));
    EXPECT_TRUE(InTrash("gone.lnk")) << "the deleted shortcut can be restored";
}

TEST_F(AppSweepSafety, NothingBrokenButAShortcutPassedOver)
{
    // Wine's desktop may hold a shortcut just made on a Desktop for a moment.
    ASSERT_TRUE(WaitUntil([&] { return DeleteFileA(Gone.c_str()) != FALSE; }, StartLimitMs, Gone.c_str()));
    ASSERT_TRUE(MakeShortcut(LinkIn("Desktop", "", "q"), "Q:\\tools\\q.exe"));
    Check(0, "リンク切れはありませんでしたが 1 個は確認できませんでした");
}

// Behind a group that is a link lies a broken shortcut outside the places;
// a group named with a character the code page lacks (é) cannot be listed:
// the listing's best-fit name "Cafe" leads nowhere.
TEST_F(AppSweepSafety, FolderLinksAreNotEnteredAndUnlistableFoldersCounted)
{
    std::string outside = Tree.Root / "outside", out = outside + "\\out.lnk";
    std::string link = Tree.Folder("Start Menu") + "\\Elsewhere";
    ASSERT_TRUE(MakeShortcut(out, "C:\\pathwick-gone\\out.exe"));
    ASSERT_TRUE(UnixLink(UnixPathOf(outside), UnixPathOf(link)));
    ASSERT_TRUE(FileExists(link + "\\out.lnk"));
    ASSERT_TRUE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) << "Wine shows a link to a folder so";
    std::wstring group = Widen(Tree.Folder("Start Menu")) + L"\\Caf\u00e9";
    ASSERT_TRUE(CreateDirectoryW(group.c_str(), nullptr));
    ASSERT_TRUE(MakeWideShortcut(group + L"\\gone.lnk", L"C:\\pathwick-gone\\cafe.exe"));

    Check(IDNO, "1 個のショートカットのリンク切れがあり 2 個は確認できませんでした");
    EXPECT_TRUE(FileExists(Gone) && FileExists(out));
}

} // namespace
