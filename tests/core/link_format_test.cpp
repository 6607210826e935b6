// The check of a shortcut file's structure, fed a sound shortcut of each kind
// the programs make and copies of them cut short and damaged with a fixed
// seed. Every copy that passes is then read here, in this process, as the
// walk reads it: a read that crashes ends the whole test program.
#include <gtest/gtest.h>
#include <random>
#include "link_format.h"
#include "shortcut_files.h"
#include "test_support.h"

using namespace testsupport;

namespace {

bool PassesCheck(const std::string& bytes)
{
    return IsSoundShellLink((const BYTE*)bytes.data(), (DWORD)bytes.size(), nullptr);
}

// Cut at every offset, 0xFF at every offset, and a few bytes replaced at random.
std::vector<std::string> DamagedCopies(const std::string& sound, std::mt19937& random)
{
    std::vector<std::string> copies;
    for (size_t at = 0; at < sound.size(); ++at) {
        copies.push_back(sound.substr(0, at));
        copies.push_back(sound);
        copies.back()[at] = '\xff';
    }
    for (int i = 0; i < 300; ++i) {
        copies.push_back(sound);
        for (int n = 1 + random() % 4; n > 0; --n) copies.back()[random() % sound.size()] = (char)random();
    }
    return copies;
}

TEST(LinkFormat, SoundShortcutsPassAndNoDamagedCopyHarmsARead)
{
    TempFolder temp;
    ASSERT_TRUE(MakeFolders(temp / "表"));
    struct Kind {
        const char* Name;
        std::string Target;
        WorkingFolderMode Mode;
    } kinds[] = {
        {"tool.lnk", "C:\\Tools\\x.exe", WithWorkingFolder},
        {"installer.lnk", "C:\\Tools\\x.exe", WithoutWorkingFolder},
        {"表示.lnk", "C:\\表\\ソフト.exe", WithWorkingFolder}, // 表's trail byte is a backslash
        {"folder.lnk", temp / "表", WithWorkingFolder},
        {"root.lnk", "C:\\", WithWorkingFolder},
        {"unc.lnk", "\\\\server\\share\\x.exe", WithWorkingFolder},
        {"gone.lnk", "C:\\x\\gone\\g.exe", WithWorkingFolder},
    };
    std::mt19937 random(15);
    std::vector<std::string> passing;
    size_t damaged = 0;
    for (const Kind& kind : kinds) {
        std::string link = temp / kind.Name;
        ASSERT_TRUE(MakeShortcut(link, kind.Target, "説明", kind.Mode)) << kind.Name;
        std::string sound = ReadBytes(link);
        EXPECT_TRUE(PassesCheck(sound)) << kind.Name;
        EXPECT_EQ(ShortcutTarget(link), kind.Target);
        char exact[MAX_PATH] = "sentinel";
        EXPECT_EQ(ReadShortcutGivenAsTarget(nullptr, link.c_str(), exact), LinkTargetRead) << kind.Name;
        EXPECT_EQ(exact, kind.Target);
        for (const std::string& copy : DamagedCopies(sound, random)) {
            ++damaged;
            if (PassesCheck(copy)) passing.push_back(copy);
        }
    }
    // The first crash seen: an item size in the ID list that points past it.
    std::string gone = ReadBytes(temp / "gone.lnk");
    gone[99] = '\xff';
    EXPECT_FALSE(PassesCheck(gone));

    HRESULT com = CoInitialize(nullptr);
    {
        LinkTargetReader reader;
        std::string link = temp / "copy.lnk";
        for (const std::string& copy : passing) {
            ASSERT_TRUE(WriteBytes(link, copy));
            char target[MAX_PATH];
            reader.Read(link.c_str(), target);
            reader.ReadExact(link.c_str(), target);
            reader.Resolve(nullptr, link.c_str()); // the shell link object is made from the bytes only here
        }
    }
    if (SUCCEEDED(com)) CoUninitialize();
    std::cout << damaged << " damaged copies, " << passing.size() << " passed the check and were read\n";
}

} // namespace
