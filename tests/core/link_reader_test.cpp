// The walk's shortcut reader gives the answers of a single read, with files
// that are no shortcuts in between (nothing of one file may carry into the
// next), inside the walk's apartment.
#include <gtest/gtest.h>
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
            char target[MAX_PATH] = "sentinel";
            reader.Read(nullptr, (temp / name).c_str(), target);
            EXPECT_EQ(ShortcutTarget(temp / name), target) << name;
        }
        char target[MAX_PATH] = "sentinel";
        EXPECT_EQ(0, reader.Read(nullptr, "", target));
        EXPECT_STREQ("sentinel", target);
    }
    if (SUCCEEDED(com)) CoUninitialize();
}
