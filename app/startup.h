// Start-up of the main program: instance guard, companion file paths, the
// leftover installer, and the invisible picker window.
#pragma once
#include <windows.h>

HANDLE AcquireInstanceMutex(const char* name);
void DeriveFilePaths(const char* modulePath);
BOOL DeleteLeftoverInstaller(const char* filePath);
ATOM RegisterPickerClass(HINSTANCE instance);
BOOL LoadLayeredSupport();
BOOL UnloadLayeredSupport();
BOOL CreatePickerWindow(HINSTANCE instance, int showCommand);
