// Times the search over program menus of 500 to 10,000 shortcuts (plus files
// that are no shortcuts) under a Shell Folders place redirected into a
// temporary folder. The search runs with a status control, as the scan does
// for the group places, for a target that is not there, so every file is
// read. Each search is timed between two plain open-and-reads of the same
// files and compared with their mean, so a machine that changes speed between
// rounds still gives a steady ratio. Run pinned to one CPU (run_bench.sh).
#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "link_search.h"
#include "test_support.h"

using namespace testsupport;

struct MenuSize {
    int Groups;
    int LinksPerGroup;
};

// Seconds one search of the redirected Programs place takes.
static double TimeSearch(const StatusWindow& window)
{
    char found[MAX_PATH];
    double started = Seconds();
    FindLinkInLocation(window.Handle(), found, "C:\\Program Files\\Absent\\absent.exe", "Programs", nullptr, 1002);
    return Seconds() - started;
}

// What every search costs whatever the place holds (the special folders'
// look-up, the apartment, the class object).
static double TimeEmptyPlace()
{
    RedirectedPlaces places;
    StatusWindow window{1002};
    std::vector<double> times;
    for (int round = 0; round <= Rounds; ++round) times.push_back(TimeSearch(window));
    times.erase(times.begin()); // the first warms the caches
    printf("a search of an empty place: min %.2f ms, median %.2f ms\n", Min(times) * 1e3, Median(times) * 1e3);
    return Median(times);
}

// Prints the ratio of search to plain read, and the same without the cost of
// an empty place, which shows whether the time per file stays flat.
static void TimeSearches(const MenuSize& size, double emptyPlace)
{
    RedirectedPlaces places;
    std::string programs = places.Folder("Programs");
    double built = Seconds();
    std::vector<std::string> files = BuildMenu(programs, size.Groups, size.LinksPerGroup);
    built = Seconds() - built;
    const int shortcuts = size.Groups * size.LinksPerGroup;

    StatusWindow window{1002};
    auto search = [&] { return TimeSearch(window); };
    search(); // warms the caches; not counted
    std::vector<double> ratios, netRatios, searchTimes, readTimes;
    double readBefore = PlainRead(files);
    for (int round = 0; round < Rounds; ++round) {
        double searchTime = search();
        double readAfter = PlainRead(files);
        double read = (readBefore + readAfter) / 2;
        ratios.push_back(searchTime / read);
        netRatios.push_back((searchTime - emptyPlace) / read);
        searchTimes.push_back(searchTime / files.size());
        readTimes.push_back(read / files.size());
        readBefore = readAfter;
    }
    printf("%6d shortcuts in %3d groups (%5d files, built in %4.1f s): ratio min %.2f median %.2f "
           "(%.2f without an empty place's cost); per file: search %.1f us, plain read %.1f us (medians)\n",
           shortcuts, size.Groups, (int)files.size(), built, Min(ratios), Median(ratios), Median(netRatios),
           Median(searchTimes) * 1e6, Median(readTimes) * 1e6);
    fflush(stdout);
}

int main()
{
    printf("search / plain read of the same files, %d rounds each\n", Rounds);
    double emptyPlace = TimeEmptyPlace();
    const MenuSize sizes[] = {{25, 20}, {100, 20}, {100, 100}, {500, 20}};
    for (const MenuSize& size : sizes) TimeSearches(size, emptyPlace);
    return 0;
}
