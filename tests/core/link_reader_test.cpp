// The walk's shortcut reader gives the answers of a single read: targets of
// every kind, with files that are no shortcuts in between (nothing of one
// file may carry into the next), outside an apartment and from a thread of
// its own.
#include <gtest/gtest.h>
#include "shortcut_files.h"
#include "test_support.h"

using namespace testing_support;

namespace {

struct Expected {
    std::string Name;
    std::string Target;
};

// Shortcuts and other files in turns, so each kind follows the other.
std::vector<Expected> MakeMixedFolder(const TempFolder& temp)
{
    std::vector<Expected> files = {
        {"plain.lnk", "C:\\Tools\\x.exe"},     {"text.txt", ""},
        {"unc.lnk", "\\\\server\\share\\x.exe"}, {"empty.lnk", ""},
        {"表示.lnk", "C:\\表\\ソフト.exe"},      {"header.lnk", ""},
        {"root.lnk", "D:\\"},                  {"half.lnk", ""},
        {"gone.lnk", OnMissingDrive("gone\\gone.exe")},
    };
    for (const Expected& file : files)
        if (!file.Target.empty()) MakeLink(temp / file.Name, file.Target);
    std::string real = ReadBytes(temp / "plain.lnk");
    WriteBytes(temp / "text.txt", "this is not a shortcut\r\n");
    WriteBytes(temp / "empty.lnk", "");
    WriteBytes(temp / "header.lnk", real.substr(0, 76));
    WriteBytes(temp / "half.lnk", real.substr(0, real.size() / 2));
    return files;
}

struct ThreadRead {
    LinkTargetReader* Reader;
    std::string Path;
    char Target[MAX_PATH];
    static DWORD WINAPI Run(void* self)
    {
        auto* read = (ThreadRead*)self;
        read->Reader->Read(nullptr, read->Path.c_str(), read->Target);
        return 0;
    }
};

} // namespace

TEST(LinkTargetReader, GivesWhatASingleReadGives)
{
    TempFolder temp;
    std::vector<Expected> files = MakeMixedFolder(temp);
    HRESULT com = CoInitialize(nullptr);
    {
        LinkTargetReader reader;
        for (int pass = 0; pass < 2; ++pass)
            for (const Expected& file : files) {
                char target[MAX_PATH] = "sentinel";
                reader.Read(nullptr, (temp / file.Name).c_str(), target);
                EXPECT_EQ(file.Target, target) << file.Name;
                EXPECT_EQ(TargetOf(temp / file.Name), target) << file.Name << ": as a single read";
            }
        char target[MAX_PATH] = "sentinel";
        EXPECT_EQ(0, reader.Read(nullptr, "", target));
        EXPECT_STREQ("sentinel", target);
        reader.Read(nullptr, (temp / "missing.lnk").c_str(), target);
        EXPECT_STREQ("", target);
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

TEST(LinkTargetReader, ReadsWithoutAnApartmentAndFromAnotherThread)
{
    TempFolder temp;
    ASSERT_TRUE(MakeLink(temp / "a.lnk", "C:\\Tools\\x.exe"));
    {
        LinkTargetReader outside; // this thread has no apartment here
        char target[MAX_PATH] = "sentinel";
        outside.Read(nullptr, (temp / "a.lnk").c_str(), target);
        EXPECT_STREQ("C:\\Tools\\x.exe", target);
    }
    HRESULT com = CoInitialize(nullptr);
    {
        LinkTargetReader reader;
        ThreadRead read = {&reader, temp / "a.lnk", "sentinel"};
        HANDLE thread = CreateThread(nullptr, 0, ThreadRead::Run, &read, 0, nullptr);
        ASSERT_NE(nullptr, thread);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 30000));
        CloseHandle(thread);
        EXPECT_STREQ("C:\\Tools\\x.exe", read.Target);
    }
    if (SUCCEEDED(com)) CoUninitialize();
}
