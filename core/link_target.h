// A shortcut's target read from the file's own bytes, as Windows' shell reads
// the parts that name it. The bytes have passed IsSoundShellLink: every part
// read here lies inside the file. Wine's shell reads some of these parts
// otherwise (the long names of the items that Windows Vista and later write,
// the common path suffix of the link info), so they are not left to it.
#pragma once
#include <windows.h>

// The path an item ID list names when it is the computer, a drive and file
// system entries, each entry by its long name (its short name where it keeps
// no long one). False for any other list (a network place, a known folder, an
// item of a kind not read here) or a path of `chars` or more characters.
bool PathFromItems(const BYTE* list, DWORD size, WCHAR* path, int chars);
// Whether the list holds an entry in the layout of Windows Vista and later,
// whose long name Wine's shell takes from the wrong place.
bool HasItemsWineMisreads(const BYTE* list, DWORD size);
// The local path of a link info: its base path with the common path suffix
// appended, in the wide texts where it keeps them. False where it keeps no
// local path (a network target), or a path of `chars` or more characters.
bool PathFromLinkInfo(const BYTE* info, DWORD size, WCHAR* path, int chars);
