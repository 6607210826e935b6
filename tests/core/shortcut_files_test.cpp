// Shortcut files written and read by the real shell link object, hostile
// files read as shortcuts, and CreateLinkIn's replacement of an old shortcut.
#include <gtest/gtest.h>
#include "path_helpers.h"
#include "shortcut_files.h"
#include "test_support.h"

using namespace testsupport;

TEST(ShortcutFiles, RoundTripCarriesTargetAndWorkingFolder)
{
    TempFolder temp;
    struct Case { const char* target; WorkingFolderMode mode; const char* workingFolder; } cases[] = {
        {"C:\\Tools\\x.exe", WithWorkingFolder, "C:\\Tools"},
        {"D:\\x.exe", WithWorkingFolder, "D:\\"},
        {"C:\\表\\ソフト.exe", WithWorkingFolder, "C:\\表"},
        {"C:\\Tools\\x.exe", WithoutWorkingFolder, ""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(CreateLinkIn(c.target, nullptr, temp.Path().c_str(), "表示", "description", c.mode));
        char target[MAX_PATH] = "x";
        std::string link = temp / "表示.lnk";
        EXPECT_EQ(LinkTargetRead, ReadShortcutGivenAsTarget(nullptr, link.c_str(), target));
        EXPECT_STREQ(c.target, target);
        EXPECT_EQ("", LinkTextOf(link, LinkArguments, "x"));
        EXPECT_EQ(c.workingFolder, LinkTextOf(link, LinkWorkingFolder, "x")) << c.target;
    }
}

TEST(ShortcutFiles, WhatIsNoShortcutReadsAsAnEmptyTarget)
{
    TempFolder temp;
    ASSERT_TRUE(MakeShortcut(temp / "real.lnk", "C:\\Tools\\x.exe"));
    std::string real = ReadBytes(temp / "real.lnk");
    ASSERT_GT(real.size(), 100u);
    std::string garbage = real.substr(0, 76) + std::string(real.size() - 76, '\xff');
    std::string hugeIdList = real.substr(0, 76) + "\xff\xff" + std::string(16, '\x01');
    struct Case { const char* name; std::string bytes; } cases[] = {
        {"text.txt", "this is not a shortcut\r\n"},
        {"empty.lnk", ""},
        {"desktop.ini", "[.ShellClassInfo]\r\nIconResource=x.dll,0\r\n"},
        {"header.lnk", real.substr(0, 76)},
        {"half.lnk", real.substr(0, real.size() / 2)},
        {"garbage.lnk", garbage},
        {"huge-id-list.lnk", hugeIdList},
    };
    for (const Case& c : cases) {
        WriteBytes(temp / c.name, c.bytes);
        char target[MAX_PATH] = "sentinel";
        ReadShortcutGivenAsTarget(nullptr, (temp / c.name).c_str(), target);
        EXPECT_STREQ("", target) << c.name;
        EXPECT_EQ("", ShortcutTarget(temp / c.name)) << c.name;
    }
    char target[MAX_PATH] = "sentinel";
    EXPECT_EQ(LinkNotShortcut, ReadShortcutGivenAsTarget(nullptr, "", target));
    EXPECT_EQ(LinkNotShortcut, ReadShortcutGivenAsTarget(nullptr, nullptr, target));
    EXPECT_EQ("", ShortcutTarget(temp / "missing.lnk"));
}

TEST(CreateLinkIn, ReplacesAnOldShortcutAndLeavesNothingElse)
{
    TempFolder temp;
    ASSERT_TRUE(CreateLinkIn("C:\\old.exe", nullptr, temp.Path().c_str(), "x", ""));
    EXPECT_TRUE(CreateLinkIn("C:\\new.exe", nullptr, temp.Path().c_str(), "x", ""));
    EXPECT_EQ("C:\\new.exe", ShortcutTarget(temp / "x.lnk"));
    EXPECT_EQ(std::vector<std::string>{"x.lnk"}, EntriesOf(temp.Path()));
}

TEST(CreateLinkIn, NeverTouchesAFolderOfTheLinksName)
{
    TempFolder temp;
    CreateDirectoryA((temp / "x.lnk").c_str(), nullptr);
    WriteBytes(temp / "x.lnk\\inside.txt", "keep");
    EXPECT_FALSE(CreateLinkIn("C:\\new.exe", nullptr, temp.Path().c_str(), "x", ""));
    EXPECT_EQ("keep", ReadBytes(temp / "x.lnk\\inside.txt"));
    EXPECT_EQ(std::vector<std::string>{"x.lnk"}, EntriesOf(temp.Path()));
}

// A folder just short enough for "\x.lnk" but too long for a temporary name beside it.
static std::string DeepFolder(const std::string& base)
{
    std::string folder = base + "\\" + std::string(250 - base.size() - 1, 'd');
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// The old shortcut stays open elsewhere (sharing read and delete, not write):
// deleting it first would only mark it, the save cannot open it, and the
// file would vanish once the other handle closes.
TEST(CreateLinkIn, OldShortcutSurvivesAReplaceThatFails)
{
    for (bool deep : {false, true}) {
        TempFolder temp;
        std::string folder = deep ? DeepFolder(temp.Path()) : temp.Path();
        ASSERT_TRUE(CreateLinkIn("C:\\old.exe", nullptr, folder.c_str(), "x", ""));
        std::string before = ReadBytes(Join(folder, "x.lnk"));
        HANDLE holder = CreateFileA(Join(folder, "x.lnk").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        EXPECT_FALSE(CreateLinkIn("C:\\new.exe", nullptr, folder.c_str(), "x", "")) << "deep " << deep;
        CloseHandle(holder);
        EXPECT_EQ(before, ReadBytes(Join(folder, "x.lnk"))) << "deep " << deep;
        EXPECT_EQ(std::vector<std::string>{"x.lnk"}, EntriesOf(folder));
    }
}

// The replace of Windows 95, 98 and Me, by moves: the new shortcut takes the
// old one's place; one that cannot move in (it vanished) puts the old one back.
TEST(CreateLinkIn, ReplaceByMovesKeepsTheOldShortcutWhenTheNewOneCannotMoveIn)
{
    TempFolder temp;
    std::string link = temp / "x.lnk", saved = temp / "saved.tmp";
    ASSERT_TRUE(CreateLinkIn("C:\\old.exe", nullptr, temp.Path().c_str(), "x", ""));
    ASSERT_EQ(S_OK, WriteLink("C:\\new.exe", saved.c_str(), ""));
    EXPECT_TRUE(MoveSavedIntoPlace(saved.c_str(), link.c_str(), TRUE));
    EXPECT_EQ("C:\\new.exe", ShortcutTarget(link));
    std::string before = ReadBytes(link);
    EXPECT_FALSE(MoveSavedIntoPlace(saved.c_str(), link.c_str(), TRUE));
    EXPECT_EQ(before, ReadBytes(link));
    EXPECT_EQ(std::vector<std::string>{"x.lnk"}, EntriesOf(temp.Path()));
    // An old shortcut still set aside (its move back failed) stops the replace.
    std::string aside = link + ".pathwick-old";
    ASSERT_EQ(S_OK, WriteLink("C:\\old.exe", aside.c_str(), ""));
    ASSERT_EQ(S_OK, WriteLink("C:\\other.exe", saved.c_str(), ""));
    EXPECT_FALSE(MoveSavedIntoPlace(saved.c_str(), link.c_str(), TRUE));
    EXPECT_EQ(before, ReadBytes(link));
    EXPECT_EQ("C:\\old.exe", ShortcutTarget(aside));
}

// A create cut short left the new shortcut under its saving name, and a
// replace by moves cut short between its moves left the old one set aside.
// The next create of that name removes the first; it puts the second back
// where no x.lnk stands (a read-only one is then kept, as any read-only
// shortcut) and removes it where the new one had arrived.
TEST(CreateLinkIn, WhatACreateCutShortLeftIsMendedByTheNextCreate)
{
    struct Case { bool aside, linkThere, readOnly, created; const char* target; } cases[] = {
        {true, false, false, true, "C:\\new.exe"}, {true, false, true, false, "C:\\old.exe"},
        {true, true, false, true, "C:\\new.exe"}, {false, true, false, true, "C:\\new.exe"}};
    for (const Case& c : cases) {
        TempFolder temp;
        std::string link = temp / "x.lnk", aside = link + ".pathwick-old", saving = link + ".pathwick-new";
        ASSERT_EQ(S_OK, WriteLink("C:\\half.exe", saving.c_str(), ""));
        if (c.aside) ASSERT_EQ(S_OK, WriteLink("C:\\old.exe", aside.c_str(), ""));
        if (c.readOnly) SetFileAttributesA(aside.c_str(), FILE_ATTRIBUTE_READONLY);
        if (c.linkThere) ASSERT_EQ(S_OK, WriteLink("C:\\other.exe", link.c_str(), ""));
        EXPECT_EQ(c.created, (bool)CreateLinkIn("C:\\new.exe", nullptr, temp.Path().c_str(), "x", ""));
        EXPECT_EQ(c.target, ShortcutTarget(link)) << "link there " << c.linkThere;
        EXPECT_EQ(std::vector<std::string>{"x.lnk"}, EntriesOf(temp.Path())) << "link there " << c.linkThere;
        SetFileAttributesA(link.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// The shell or a scanner glances at a shortcut and lets go a moment later:
// the replace waits for it instead of failing. Here the holder lets go once
// the new shortcut lies saved beside the old one, waiting to replace it.
struct Holder {
    std::string Folder;
    HANDLE File;
};

static bool NewShortcutSavedBeside(const Holder& held)
{
    for (const std::string& name : FilesIn(held.Folder)) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (name != "x.lnk" && GetFileAttributesExA(Join(held.Folder, name).c_str(), GetFileExInfoStandard, &data) &&
            data.nFileSizeLow > 0)
            return true;
    }
    return false;
}

// A thread procedure, so stdcall in the 32-bit build (no lambda converts to it).
static DWORD WINAPI ReleaseOnceSavedBeside(LPVOID parameter)
{
    Holder& held = *(Holder*)parameter;
    WaitUntil([&] { return NewShortcutSavedBeside(held); }, StartLimitMs);
    CloseHandle(held.File);
    return 0;
}

TEST(CreateLinkIn, ReplaceWaitsForAFileHeldOnlyForAMoment)
{
    TempFolder temp;
    ASSERT_TRUE(CreateLinkIn("C:\\old.exe", nullptr, temp.Path().c_str(), "x", ""));
    Holder held = {temp.Path(), CreateFileA((temp / "x.lnk").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr)};
    ASSERT_NE(INVALID_HANDLE_VALUE, held.File);
    HANDLE releaser = CreateThread(nullptr, 0, ReleaseOnceSavedBeside, &held, 0, nullptr);
    EXPECT_TRUE(CreateLinkIn("C:\\new.exe", nullptr, temp.Path().c_str(), "x", ""));
    WaitForSingleObject(releaser, INFINITE);
    CloseHandle(releaser);
    EXPECT_EQ("C:\\new.exe", ShortcutTarget(temp / "x.lnk"));
    EXPECT_EQ(std::vector<std::string>{"x.lnk"}, EntriesOf(temp.Path()));
}

// A small volume (mounted for the tests, see full_volume.sh) filled to the
// last byte: the save itself fails part-way through its write. The new
// shortcut (a long description) needs more room than the old one held, so
// even writing over the old file could not succeed.
TEST(CreateLinkIn, OldShortcutSurvivesASaveThatFailsOnAFullVolume)
{
    char unixPath[MAX_PATH];
    if (!GetEnvironmentVariableA("PATHWICK_FULL_VOLUME", unixPath, sizeof unixPath)) GTEST_SKIP() << "no volume named";
    std::string volume = std::string("Z:") + unixPath;
    for (char& ch : volume)
        if (ch == '/') ch = '\\';
    if (!Exists(volume + "\\.mounted")) GTEST_SKIP() << "no small volume could be mounted at " << unixPath;

    for (bool deep : {false, true}) {
        std::string base = volume + "\\case";
        CreateDirectoryA(base.c_str(), nullptr);
        std::string folder = deep ? DeepFolder(base) : base;
        ASSERT_TRUE(CreateLinkIn("C:\\old.exe", nullptr, folder.c_str(), "x", ""));
        std::string before = ReadBytes(Join(folder, "x.lnk"));

        std::string filler = volume + "\\filler";
        HANDLE file = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        std::string chunk(512, 'f');
        DWORD written;
        while (WriteFile(file, chunk.data(), (DWORD)chunk.size(), &written, nullptr) && written) {}
        CloseHandle(file);

        std::string description(3000, 'd');
        EXPECT_FALSE(CreateLinkIn("C:\\new.exe", nullptr, folder.c_str(), "x", description.c_str())) << "deep " << deep;
        EXPECT_EQ(before, ReadBytes(Join(folder, "x.lnk"))) << "deep " << deep;
        EXPECT_EQ(std::vector<std::string>{"x.lnk"}, EntriesOf(folder)) << "deep " << deep;
        DeleteFileA(filler.c_str());
        DeleteTree(base);
    }
}
