// The eleven shortcut places: the Shell Folders registry values, special
// folders by CSIDL, folder creation and the composition of a shortcut's path.
// Nothing is cached but the four places that lie inside other places; every
// other call asks the registry or the shell afresh.
#pragma once
#include <windows.h>

struct LocationRow {
    const char* ValueName;   // value under ...\Explorer\Shell Folders
    const char* DisplayName; // name shown in status messages
};

// Ten rows in checkbox order 401..410, then a terminating row of nulls.
extern const LocationRow LocationTable[11];
extern const char QuickLaunchSubPath[];

BOOL ReadShellFolder(char* output, DWORD size, const char* valueName);
BOOL GetSpecialFolderPath(HWND owner, char* output, int csidl);
// The four places that lie inside other places (the user's and all users'
// program menus and startup folders), as the shell gives them; empty where it
// gives none. The look-up costs several milliseconds, more than a search of a
// small place, so it is kept: asked again only when the registry's folders for
// them change, or after ForgetNestedPlaces (at each new scan).
void GetNestedPlaces(HWND owner, char places[4][MAX_PATH]);
void ForgetNestedPlaces();
BOOL LocationDisplayName(char* output, int maxLength, const char* valueName);
BOOL CreateFolderChain(const char* path);
// With a value name the third argument is the sub-path below the place's
// folder (a group with its own leading backslash, or none); without one it is
// the folder itself. False when the path would not fit in 260 bytes.
BOOL BuildLinkPath(char* output, const char* valueName, const char* subPathOrFolder, const char* linkName);
