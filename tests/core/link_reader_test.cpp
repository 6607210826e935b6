// The walk's shortcut reader gives the answers of a single read, with files
// that are no shortcuts in between (nothing of one file may carry into the
// next), inside an apartment, outside one, and from another thread.
#include <gtest/gtest.h>
#include "shortcut_files.h"
#include "test_support.h"

using namespace testsupport;

struct ReadOnThread {
    LinkTargetReader* Reader;
    std::string Path;
    char Target[MAX_PATH];
    static DWORD WINAPI Run(void* self)
    {
        auto* read = (ReadOnThread*)self;
        return read->Reader->Read(nullptr, read->Path.c_str(), read->Target);
    }
};

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

    for (bool apartment : {false, true}) {
        HRESULT com = apartment ? CoInitialize(nullptr) : E_FAIL;
        LinkTargetReader reader;
        for (const char* name : order) {
            char target[MAX_PATH] = "sentinel";
            reader.Read(nullptr, (temp / name).c_str(), target);
            EXPECT_EQ(ShortcutTarget(temp / name), target) << name << (apartment ? " in" : " outside") << " an apartment";
        }
        char target[MAX_PATH] = "sentinel";
        EXPECT_EQ(0, reader.Read(nullptr, "", target));
        EXPECT_STREQ("sentinel", target);

        ReadOnThread read = {&reader, temp / "表示.lnk", "sentinel"};
        HANDLE thread = CreateThread(nullptr, 0, ReadOnThread::Run, &read, 0, nullptr);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 30000));
        CloseHandle(thread);
        EXPECT_STREQ("C:\\表\\ソフト.exe", read.Target);
        if (SUCCEEDED(com)) CoUninitialize();
    }
}
