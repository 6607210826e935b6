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

using namespace testsupport;

int main()
{
    const int groups = 100, linksPerGroup = 20, rounds = 3;
    RedirectedPlaces places;
    std::string programs = places.Folder("Programs");
    double started = Seconds();
    std::vector<std::string> files = BuildMenu(programs, groups, linksPerGroup);
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
        double read = PlainRead(files);
        printf("round %d: search %.3f s (result %d), plain read %.3f s\n", round, search, result, read);
        if (search < bestSearch) bestSearch = search;
        if (read < bestRead) bestRead = read;
    }
    double perSearch = bestSearch / files.size() * 1e3, perRead = bestRead / files.size() * 1e3;
    printf("per file (best of %d, %d files): search %.3f ms, plain read %.3f ms, ratio %.1f\n", rounds,
           (int)files.size(), perSearch, perRead, perSearch / perRead);
    return 0;
}
