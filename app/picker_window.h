// The invisible topmost window that owns every dialog of the program, and
// the picking mode in which it takes the program of a clicked window.
#pragma once
#include <windows.h>

LRESULT CALLBACK PickerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void EnterPickingMode(HWND window);
BOOL ChooseExecutable(HWND owner, char* path);
