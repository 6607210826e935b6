// Times the search over a large program menu: 2,000 shortcuts in 100 groups,
// plus files that are no shortcuts, under a Shell Folders place redirected
// into a temporary folder. The search runs with a status control, as the
// scan does for the group places, for a target that is not there, so every
// file is read. A plain open-and-read of the same files, in the same run,
// gives the floor to compare with.
#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "link_search.h"
#include "test_support.h"

using namespace testing_support;

static double Seconds()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / frequency.QuadPart;
}

static void PlainRead(const std::vector<std::string>& files)
{
    char buffer[4096];
    for (const std::string& file : files) {
        HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD got;
        ReadFile(handle, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(handle);
    }
}

int main()
{
    const int groups = 100, linksPerGroup = 20, rounds = 3;
    RedirectedPlaces places;
    std::string programs = places.Folder("Programs");
    std::vector<std::string> files;
    double started = Seconds();
    for (int g = 0; g < groups; ++g) {
        char group[MAX_PATH];
        wsprintfA(group, "%s\\グループ%03d", programs.c_str(), g);
        CreateDirectoryA(group, nullptr);
        for (int l = 0; l < linksPerGroup; ++l) {
            char link[MAX_PATH], target[MAX_PATH];
            wsprintfA(link, "%s\\ツール%02d.lnk", group, l);
            wsprintfA(target, "C:\\Program Files\\Tool%03d\\tool%02d.exe", g, l);
            MakeLink(link, target);
            files.push_back(link);
        }
        files.push_back(std::string(group) + "\\desktop.ini");
        WriteBytes(files.back(), "[.ShellClassInfo]\r\nLocalizedResourceName=@shell32.dll,-21787\r\n");
        files.push_back(std::string(group) + "\\readme.txt");
        WriteBytes(files.back(), "not a shortcut");
    }
    printf("tree: %d groups, %d shortcuts, %d other files, built in %.1f s\n", groups, groups * linksPerGroup,
           (int)files.size() - groups * linksPerGroup, Seconds() - started);

    StatusWindow window{1002};
    double bestSearch = 1e9, bestRead = 1e9;
    for (int round = 1; round <= rounds; ++round) {
        char found[MAX_PATH];
        double t0 = Seconds();
        int result = FindLinkInLocation(window.Handle(), found, "C:\\Program Files\\Absent\\absent.exe", "Programs",
                                        nullptr, 1002);
        double search = Seconds() - t0;
        t0 = Seconds();
        PlainRead(files);
        double read = Seconds() - t0;
        printf("round %d: search %.3f s (result %d), plain read %.3f s\n", round, search, result, read);
        if (search < bestSearch) bestSearch = search;
        if (read < bestRead) bestRead = read;
    }
    double perSearch = bestSearch / files.size() * 1e3, perRead = bestRead / files.size() * 1e3;
    printf("per file (best of %d, %d files): search %.3f ms, plain read %.3f ms, ratio %.1f\n", rounds,
           (int)files.size(), perSearch, perRead, perSearch / perRead);
    return 0;
}
