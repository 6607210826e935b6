// What the program draws by hand follows the screen's scale: the dialogs
// grow with their font, and the marks, the icon and the cursors with them.
#pragma once
#include <windows.h>

// The screen's pixels per logical inch (96 at 100 %, 144 at 150 %).
int ScreenDpi();
// A size given for 96 DPI, in the screen's pixels.
int ScaleToScreen(int pixels);
// A 32 by 32 cursor of the program's resources, at the screen's scale; the
// caller destroys it (DestroyCursor) once it is no longer shown.
HCURSOR LoadScaledCursor(HINSTANCE instance, int id);
