// The lead-byte-aware searches and path cuts. 表 is 0x95 0x5C: its trail byte
// equals the backslash, so a byte-wise search would cut inside it.
#include <gtest/gtest.h>
#include "path_helpers.h"
#include "test_support.h"

using namespace testsupport;

TEST(CharSearch, NeverMatchesATrailByte)
{
    struct Case { const char* text; char ch; int first, last; } cases[] = {
        {"C:\\表\\x.exe", '\\', 2, 5},   // C : \ 95 5C \ x...
        {"表", '\\', -1, -1},
        {"\\表表", '\\', 0, 0},
        {"ｱ\\b", '\\', 1, 1},           // half-width kana is one byte, not a lead byte
        {"a.b\\表.c", '.', 1, 6},
        {"abc", '\\', -1, -1},
        {"", '\\', -1, -1},
    };
    for (const Case& c : cases) {
        const char* first = FindFirstChar(c.text, c.ch);
        const char* last = FindLastChar(c.text, c.ch);
        EXPECT_EQ(c.first, first ? first - c.text : -1) << c.text;
        EXPECT_EQ(c.last, last ? last - c.text : -1) << c.text;
        EXPECT_EQ(c.last >= 0 ? c.last : lstrlenA(c.text), LastCharIndex(c.text, c.ch)) << c.text;
    }
}

TEST(CharSearch, LeadByteBeforeTerminatorEndsTheWalk)
{
    // Bytes after the terminator must not be read as part of the text.
    const char text[] = {'a', '\\', (char)0x95, '\0', '\\', 'z', '\0'};
    EXPECT_EQ(text + 1, FindLastChar(text, '\\'));
    EXPECT_EQ(1, LastCharIndex(text, '\\'));
    EXPECT_EQ(nullptr, FindFirstChar(text, (char)0x95));
    EXPECT_EQ(nullptr, FindFirstChar(text, 'z'));
}

TEST(Existence, FilesFoldersAndEmptyPaths)
{
    TempFolder temp;
    WriteBytes(temp / "file.txt", "x");
    EXPECT_TRUE(IsExistingFolder(temp.Path().c_str()));
    EXPECT_FALSE(IsExistingFile(temp.Path().c_str()));
    EXPECT_TRUE(IsExistingFile((temp / "file.txt").c_str()));
    EXPECT_FALSE(IsExistingFolder((temp / "file.txt").c_str()));
    for (const char* none : {(const char*)nullptr, "", "C:\\pathwick-nowhere\\x"}) {
        EXPECT_FALSE(IsExistingFolder(none));
        EXPECT_FALSE(IsExistingFile(none));
    }
}

TEST(StripEnclosingQuotes, RemovesOnePairOnly)
{
    struct Case { const char* in; const char* out; BOOL stripped; } cases[] = {
        {"\"C:\\Program Files\\x.exe\"", "C:\\Program Files\\x.exe", TRUE},
        {"\"a\"b\"", "a\"b", TRUE},
        {"\"\"", "", TRUE},
        {"\"", "", TRUE},
        {"\"open", "\"open", FALSE},
        {"close\"", "close\"", FALSE},
        {"", "", FALSE},
    };
    for (const Case& c : cases) {
        char buffer[64];
        memset(buffer, 'Z', sizeof buffer);
        lstrcpyA(buffer, c.in);
        int length = lstrlenA(c.in);
        EXPECT_EQ(c.stripped, StripEnclosingQuotes(buffer)) << c.in;
        EXPECT_STREQ(c.out, buffer) << c.in;
        EXPECT_EQ('Z', buffer[length + 1]) << "wrote past the text: " << c.in;
    }
    EXPECT_FALSE(StripEnclosingQuotes(nullptr));
}

TEST(IsFullFolderPath, OnlyFromADriveRootOrAShare)
{
    for (const char* full : {"C:\\", "c:\\Mine", "\\\\srv\\share", "\\\\表\\共有\\x"}) EXPECT_TRUE(IsFullFolderPath(full)) << full;
    for (const char* partial : {"", "Mine", "C:", "C:Mine", "\\Mine", "\\\\srv", "\\\\srv\\", "\\\\\\share", ".\\x", "\\\\表"})
        EXPECT_FALSE(IsFullFolderPath(partial)) << partial;
    // Only a path from a drive's root can lie on a mapped letter, which an
    // elevated run does not see: only such a path is asked for its share.
    for (const char* drive : {"C:\\x", "z:\\"}) EXPECT_TRUE(StartsAtDriveRoot(drive)) << drive;
    for (const char* other : {"\\\\srv\\share\\x", "C:x", "\\x", "1:\\x", ""}) EXPECT_FALSE(StartsAtDriveRoot(other)) << other;
}

TEST(HasPrefix, ExactAndCaseSensitive)
{
    EXPECT_TRUE(HasPrefix(" USER_FOLDER=C:\\x", " USER_FOLDER="));
    EXPECT_TRUE(HasPrefix("anything", ""));
    EXPECT_TRUE(HasPrefix("", ""));
    EXPECT_FALSE(HasPrefix("USER", "USER_"));
    EXPECT_FALSE(HasPrefix("user_folder=", "USER_FOLDER="));
}

TEST(MakeLinkName, FromTheTargetsLastComponent)
{
    struct Case { const char* target; const char* name; BOOL made; } cases[] = {
        {"C:\\Tools\\SETUP.EXE", "SETUP", TRUE},
        {"C:\\Docs\\read.me.txt", "read.me_txt", TRUE},
        {"C:\\Docs\\Letters", "Letters", TRUE},
        {"my.app.exe", "my.app", TRUE},
        {"C:\\表\\表.exe", "表", TRUE},
        {"C:\\表.d\\ソフト", "ソフト", TRUE},  // ソ is 0x83 0x5C
        {"D:\\", "", FALSE},
    };
    for (const Case& c : cases) {
        char name[MAX_PATH];
        EXPECT_EQ(c.made, MakeLinkName(name, c.target)) << c.target;
        EXPECT_STREQ(c.name, name) << c.target;
    }
}

TEST(SplitFolderAndName, KeepsRootSeparatorsOnly)
{
    struct Case { const char* path; const char* folder; const char* name; } cases[] = {
        {"C:\\x.exe", "C:\\", "x.exe"},
        {"C:\\Tools\\x.exe", "C:\\Tools", "x.exe"},
        {"C:\\表\\x.exe", "C:\\表", "x.exe"},
        {"C:\\Tools\\表", "C:\\Tools", "表"},
        {"\\\\server\\share\\x.exe", "\\\\server\\share", "x.exe"},
        {"\\x.exe", "\\", "x.exe"},
        {"ab\\x", "ab\\", "x"},
        {"D:dir\\x", "D:dir", "x"},
        {"x.exe", "x.exe", "<untouched>"},
    };
    for (const Case& c : cases) {
        char folder[MAX_PATH], name[MAX_PATH] = "<untouched>", onlyName[MAX_PATH] = "<untouched>";
        SplitFolderAndName(c.path, folder, name);
        EXPECT_STREQ(c.folder, folder) << c.path;
        EXPECT_STREQ(c.name, name) << c.path;
        SplitFolderAndName(c.path, nullptr, onlyName);
        EXPECT_STREQ(c.name, onlyName) << c.path;
    }
    SplitFolderAndName(nullptr, nullptr, nullptr);
}

TEST(ParentFolderOf, CutsAtTheLastRealSeparator)
{
    TempFolder temp;
    std::string japanese = temp / "表";
    ASSERT_TRUE(CreateDirectoryA(japanese.c_str(), nullptr));
    char folder[MAX_PATH];
    EXPECT_TRUE(ParentFolderOf(folder, (japanese + "\\x.exe").c_str()));
    EXPECT_EQ(japanese, folder);
    EXPECT_FALSE(ParentFolderOf(folder, (temp / "missing\\x.exe").c_str()));
    EXPECT_FALSE(ParentFolderOf(folder, "pathwick-no-such.exe"));
    EXPECT_STREQ("pathwick-no-such.exe", folder);
}

TEST(ComposePath, RefusesWhatDoesNotFitAndNeverWritesPastTheBuffer)
{
    char buffer[MAX_PATH + 40];
    std::string a(200, 'a'), b(58, 'b');
    struct Case { const char* second; BOOL fits; } cases[] = {{"c", TRUE}, {"cc", FALSE}, {"", TRUE}};
    for (const Case& c : cases) {
        memset(buffer, 'Z', sizeof buffer);
        BOOL fits = ComposePath(buffer, MAX_PATH, a.c_str(), b.c_str(), c.second);
        EXPECT_EQ(c.fits, fits) << c.second;
        EXPECT_EQ(c.fits ? a + b + c.second : std::string(), std::string(buffer)) << c.second;
        EXPECT_EQ(std::string(40, 'Z'), std::string(buffer + MAX_PATH, 40)) << c.second;
    }
    lstrcpyA(buffer, "C:\\root");
    EXPECT_TRUE(ComposePath(buffer, MAX_PATH, buffer, "\\group", "\\", "x.lnk")); // output may be an input
    EXPECT_STREQ("C:\\root\\group\\x.lnk", buffer);
}
