// What the benchmarks share: a clock, min and median, a program menu of many
// shortcuts in groups (plus files that are no shortcuts), and a plain read of
// files.
#pragma once
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "test_support.h"

namespace bench {

inline double Seconds()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / frequency.QuadPart;
}

// Every figure is taken this many times; min and median are printed.
const int Rounds = 5;

inline double Min(std::vector<double> values)
{
    return *std::min_element(values.begin(), values.end());
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// `groups` folders of `linksPerGroup` shortcuts to programs that are not
// there, each with a desktop.ini and a text file; returns every file made.
inline std::vector<std::string> BuildMenu(const std::string& folder, int groups, int linksPerGroup)
{
    std::vector<std::string> files;
    for (int g = 0; g < groups; ++g) {
        char group[MAX_PATH];
        wsprintfA(group, "%s\\グループ%03d", folder.c_str(), g);
        CreateDirectoryA(group, nullptr);
        for (int l = 0; l < linksPerGroup; ++l) {
            char link[MAX_PATH], target[MAX_PATH];
            wsprintfA(link, "%s\\ツール%02d.lnk", group, l);
            wsprintfA(target, "C:\\Program Files\\Tool%03d\\tool%02d.exe", g, l);
            testing_support::MakeLink(link, target);
            files.push_back(link);
        }
        files.push_back(std::string(group) + "\\desktop.ini");
        testing_support::WriteBytes(files.back(), "[.ShellClassInfo]\r\nLocalizedResourceName=@shell32.dll,-21787\r\n");
        files.push_back(std::string(group) + "\\readme.txt");
        testing_support::WriteBytes(files.back(), "not a shortcut");
    }
    return files;
}

// Seconds taken to open, read and close every file once.
inline double PlainRead(const std::vector<std::string>& files)
{
    char buffer[4096];
    double started = Seconds();
    for (const std::string& file : files) {
        HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD got;
        ReadFile(handle, buffer, sizeof buffer, &got, nullptr);
        CloseHandle(handle);
    }
    return Seconds() - started;
}

} // namespace bench
