// Finding the executable of the process that owns a top-level window, with
// functions loaded at run time: tool help on Windows 95/98/ME, PSAPI on NT.
#pragma once
#include <windows.h>

const int MaxCollectedWindows = 200;

struct ProcessWindowList {
    DWORD ProcessId;
    int Count;
    HWND Windows[MaxCollectedWindows];
};

BOOL FindOwningProgram(HWND root, char* output, int capacity);
BOOL FindOwningProgramByToolhelp(HWND root, char* output, int capacity);
BOOL FindOwningProgramByPsapi(HWND root, char* output, int capacity);
BOOL CALLBACK CollectProcessWindows(HWND window, LPARAM list);
