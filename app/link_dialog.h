// The link dialog: the target, its shortcut name and description, and the
// eleven places as checkboxes.
#pragma once
#include <windows.h>
#include "shortcut_files.h"

INT_PTR ShowLinkDialog(HWND owner);
INT_PTR CALLBACK LinkDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK TargetEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);
void ToggleLocation(HWND dialog, int boxId, const char* valueName, const char* thirdArgument, const char* target,
                    const char* linkName, const char* description);
void ClearGroupEdits(HWND dialog);
// The file-open dialog for an existing file; `path` (260 bytes) holds the
// initial name on entry and the chosen path on success.
BOOL AskForExistingFile(HWND owner, char* path, const char* filter, const char* title);
// A shortcut given as the target (its name ends in ".lnk", between quotes or
// not) is replaced in `path` (260 bytes) by its target, as
// ReadShortcutGivenAsTarget reads it: empty unless LinkTargetRead. When the
// target's name is one the code page lacks, the user is told. LinkNotShortcut,
// with `path` as it was, for any other name.
LinkReadResult TakeShortcutTarget(HWND owner, char* path);
BOOL ChooseTargetFile(HWND owner, char* path);
BOOL ChooseFolder(HWND owner, char* path);
HICON GetFileIcon(const char* path);
// LinkName from TargetPath: the derived name, or the whole target when none.
void SetLinkNameFromTarget();
