// The one background scan over the eleven places, and its progress marks.
#pragma once
#include <windows.h>

enum MarkStates { MarkWaiting = 0, MarkSearching = 1, MarkDone = 2 };
const int ScanStageAllDone = 12;

int StartScan(HWND dialog);
DWORD WINAPI ScanThread(LPVOID dialog);
void PaintProgressMarks(HWND dialog, int stage);
void PaintProgressMark(HWND dialog, int boxId, int state);
void UncheckAllLocations(HWND dialog);
// For the dialog's close: true (and the stop and close requested) when a scan
// runs; false when none runs and the dialog may end at once.
bool RequestCloseAfterScan();
