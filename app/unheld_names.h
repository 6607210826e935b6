// Names the ANSI code page cannot hold. Such a name reaches the program
// through every ANSI interface with '?' or a look-alike letter in place of
// the missing characters: a path that does not exist, or a different file.
// Where one enters, the wide form is checked and the user is told.
#pragma once
#include <windows.h>

// Whether the wide text converts to the ANSI code page exactly, with no
// default character and no best-fit look-alike.
bool WideNameFitsCodePage(const WCHAR* name);
// Whether the argument text the program was started with fits the code page
// (it is taken again from the wide command line).
bool ArgumentTextFitsCodePage();
// The message box that says such a name cannot be used.
void TellNameNotHeld(HWND owner);
