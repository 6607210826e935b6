// Where both programs let the system look for a DLL loaded by name.
#pragma once

// The system folder only, not the program's own folder (a downloads folder,
// where anyone's DLL may lie beside it) nor the current one. Where the
// system cannot do that (before the update of Windows 7 that brought it),
// at least the current folder is left out.
void LoadDllsFromSystemFolderOnly();
