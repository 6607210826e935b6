// Finding the executable of the process that owns a top-level window, with
// functions loaded at run time: tool help on Windows 95/98/ME; on the NT
// family the process image name (Vista and later), else PSAPI.
#pragma once
#include <windows.h>

const int MaxCollectedWindows = 200;

struct ProcessWindowList {
    DWORD ProcessId;
    int Count;
    HWND Windows[MaxCollectedWindows];
};

// What a search for the program of a window found. The output is empty
// unless the result is OwnerFound.
enum OwnerSearchResult {
    OwnerNotFound = 0,
    OwnerFound = 1,
    OwnerNameNotHeld = 2, // found, but its path has characters the ANSI code page lacks
};

OwnerSearchResult FindOwningProgram(HWND root, char* output, int capacity);
// Vista and later: the image name of the root's own process, opened with
// limited rights (enough for programs running as administrator and for a
// 64-bit program seen from the 32-bit build). OwnerNotFound also when the
// system lacks the function.
OwnerSearchResult FindOwningProgramByImageName(HWND root, char* output, int capacity);
BOOL FindOwningProgramByToolhelp(HWND root, char* output, int capacity);
BOOL FindOwningProgramByPsapi(HWND root, char* output, int capacity);
BOOL CALLBACK CollectProcessWindows(HWND window, LPARAM list);
