// Times the main program over a program menu of 500 shortcuts in 5 groups,
// then of 10,000 in 100 (plus files that are no shortcuts), with the places
// redirected into a temporary folder: a search again (button 1007) from the
// press to its summary, between two plain open-and-reads of the same files; the longest
// time the dialog takes to answer WM_NULL from this process, sent every 10 ms
// during each scan and during a broken-link sweep; and, as a side figure only
// (Wine under a bare X server sometimes waits seconds for window events), the
// time from process start to the end of the first scan.
#include <windows.h>
#include <stdio.h>
#include <functional>
#include <string>
#include <vector>
#include "test_support.h"

using namespace testsupport;

// The dialog's answers to WM_NULL while a scan runs.
struct Answers {
    double Longest = 0;
    int Sent = 0;
    void Probe(HWND dialog)
    {
        DWORD_PTR result;
        double started = Seconds();
        SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
        Longest = std::max(Longest, Seconds() - started);
        ++Sent;
    }
};

// Every 10 ms: probes the dialog, lets `step` act, and reads the status line
// until `done` holds it. False after `limit` seconds, with the text seen.
static bool WatchScan(HWND dialog, Answers& answers, const std::function<bool(const std::string&)>& done,
                      double limit, std::string& seen, const std::function<void()>& step = nullptr)
{
    double started = Seconds();
    while (Seconds() - started < limit) {
        double tick = Seconds();
        answers.Probe(dialog);
        if (step) step();
        seen = ItemText(dialog, 200);
        if (done(seen)) return true;
        double left = 0.010 - (Seconds() - tick);
        if (left > 0) Sleep((DWORD)(left * 1000));
    }
    return false;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        printf("usage: app_bench <path of Quillet.exe>\n");
        return 1;
    }
    const int groups = 100, linksPerGroup = 100, firstGroups = 5;
    RedirectedPlaces places;
    TempFolder programFolder;
    std::string exe = programFolder / "Quillet.exe";
    CopyFileA(argv[1], exe.c_str(), FALSE);

    std::string programs = places.Folder("Programs");
    std::vector<std::string> files = BuildMenu(programs, firstGroups, linksPerGroup);
    const char target[] = "C:\\windows\\notepad.exe";
    MakeShortcut(places.Folder("Desktop") + "\\notepad.lnk", target);

    Quillet program;
    double started = Seconds();
    if (!program.Start(exe, target)) {
        printf("cannot start %s\n", exe.c_str());
        return 1;
    }
    const std::string summary = "notepad へのショートカットを作成したい項目にチェックしてください";
    auto isSummary = [&](const std::string& text) { return text == summary; };
    HWND dialog = program.WaitForLinkDialog(60000);
    int failures = 0;
    Answers opening, searches, sweep;
    std::string seen;
    if (!dialog) {
        printf("no link dialog within a minute\n");
        failures++;
    } else if (!WatchScan(dialog, opening, isSummary, 120, seen)) {
        printf("the first scan did not end within two minutes; status: %s\n", Utf8(seen).c_str());
        failures++;
    } else {
        printf("process start to end of first scan (side figure): %.2f s\n", Seconds() - started);
        for (int size : {firstGroups, groups}) {
            if (size == groups) {
                std::vector<std::string> more = BuildMenu(programs, groups - firstGroups, linksPerGroup, firstGroups);
                files.insert(files.end(), more.begin(), more.end());
            }
            std::vector<double> ratios, scanTimes;
            double readBefore = PlainRead(files);
            for (int round = 0; round < Rounds && !failures; ++round) {
                // The status line is emptied first, so the summary that follows is this scan's.
                SetItemText(dialog, 200, "");
                double scanStarted = Seconds();
                PostClick(dialog, 1007);
                if (!WatchScan(dialog, searches, isSummary, 120, seen)) {
                    printf("search again did not end within two minutes; status: %s\n", Utf8(seen).c_str());
                    failures++;
                    break;
                }
                double scan = Seconds() - scanStarted;
                double readAfter = PlainRead(files);
                ratios.push_back(scan / ((readBefore + readAfter) / 2));
                scanTimes.push_back(scan);
                readBefore = readAfter;
            }
            if (!failures)
                printf("search again / plain read, %d shortcuts in %d groups (%d files): min %.2f median %.2f "
                       "(scan median %.3f s, %.1f us a file)\n",
                       size * linksPerGroup, size, (int)files.size(), Min(ratios), Median(ratios),
                       Median(scanTimes), Median(scanTimes) / files.size() * 1e6);
        }

        // The sweep: every shortcut of the menu is broken; the first question
        // is answered with keep all, so the rest runs without one.
        const std::string checking = "下に示す１１ヶ所にリンク切れがあるかどうか確認中です";
        auto sweepEnded = [&](const std::string& text) { return !text.empty() && text != checking; };
        bool answered = false;
        auto answerKeepAll = [&] {
            HWND warn = answered ? nullptr : program.WaitForDialog("リンクの削除の確認", 0);
            if (warn) answered = PostMessageA(warn, WM_COMMAND, MAKEWPARAM(8, BN_CLICKED), 0) != FALSE;
        };
        if (!failures) {
            SetItemText(dialog, 200, "");
            double sweepStarted = Seconds();
            PostClick(dialog, 1011);
            if (WatchScan(dialog, sweep, sweepEnded, 180, seen, answerKeepAll)) {
                printf("sweep: %.2f s to \"%s\"\n", Seconds() - sweepStarted, Utf8(seen).c_str());
            } else {
                printf("the sweep did not end within three minutes; status: %s\n", Utf8(seen).c_str());
                failures++;
            }
        }
        printf("longest answer to WM_NULL every 10 ms: first scan %.1f ms (%d sent), searches again %.1f ms (%d), "
               "sweep %.1f ms (%d)\n",
               opening.Longest * 1e3, opening.Sent, searches.Longest * 1e3, searches.Sent, sweep.Longest * 1e3,
               sweep.Sent);
    }
    if (dialog) PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    DWORD exitCode = 0;
    if (!program.WaitForExit(30000, &exitCode)) program.Kill();
    return failures ? 1 : 0;
}
