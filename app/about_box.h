// The About box with its two link labels.
#pragma once
#include <windows.h>

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR ShowAboutBox(HWND owner);
