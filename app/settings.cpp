// Reading and writing Quillet.ini. Only the one key is looked at; every
// other line is ignored, and the last non-empty value wins. A file whose key
// could not be read is left as it is, unless the user chose a folder in this
// run: a damaged file never becomes an empty setting.
#include "settings.h"
#include "app_state.h"
#include "path_helpers.h"
#include <stdio.h>

static const char UserFolderKey[] = " USER_FOLDER=";

// Set when the file cannot be opened, or holds a byte that ends or hides a
// text line (Ctrl+Z or NUL), a key line whose value is no folder path, or a
// key line without its leading blank (another program's or a hand edit, which
// is not read); with it, the folder read at start, to tell whether the user
// chose another since.
static bool SettingsDamaged;
static char FolderAsRead[MAX_PATH];

// A value is taken only when it can be a folder path: it fits a path
// buffer, holds no control character and does not end inside a two-byte one.
static bool IsUsableValue(const char* value, int length)
{
    if (length >= MAX_PATH) return false;
    for (int i = 0; i < length; ++i) {
        unsigned char byte = (unsigned char)value[i];
        if (byte < 0x20) return false;
        if (IsLeadByte(byte) && ++i >= length) return false;
    }
    return true;
}

// One line without its line end; `cut` tells that it was longer than the
// buffer, which only a value too long for a path can make it.
static void ApplyLine(char* line, int length, bool cut)
{
    if (length > 0 && line[length - 1] == '\r') --length; // the file's own CR LF
    line[length] = '\0';
    if (HasPrefix(line, UserFolderKey + 1)) SettingsDamaged = true;
    if (!HasPrefix(line, UserFolderKey)) return;
    const char* value = line + lstrlenA(UserFolderKey);
    int valueLength = length - lstrlenA(UserFolderKey);
    if (cut || !IsUsableValue(value, valueLength)) {
        SettingsDamaged = true;
        return;
    }
    if (*value) SetUserFolder(value);
}

void ReadSettings()
{
    SettingsDamaged = false;
    FILE* file = fopen(AppState.SettingsFilePath, "rb");
    if (file) {
        // The key and a full 259-byte value fit, so a saved folder comes back
        // whole; a longer line is ignored whole rather than cut into a
        // different path.
        char line[sizeof UserFolderKey + MAX_PATH + 1];
        int length = 0;
        bool cut = false;
        for (int byte; (byte = fgetc(file)) != EOF;) {
            if (byte == 0x1A) { // the end of a text file for the runtime: what follows is unread
                SettingsDamaged = true;
                break;
            }
            if (byte == '\0') SettingsDamaged = true;
            if (byte == '\n') {
                ApplyLine(line, length, cut);
                length = 0;
                cut = false;
            } else if (length < (int)sizeof line - 1) {
                line[length++] = (char)byte;
            } else {
                cut = true;
            }
        }
        if (length > 0 || cut) ApplyLine(line, length, cut);
        fclose(file);
    } else if (GetFileAttributesA(AppState.SettingsFilePath) != INVALID_FILE_ATTRIBUTES) {
        SettingsDamaged = true; // there, but held or barred: its key was not read
    }
    CopyUserFolder(FolderAsRead);
}

void WriteSettings()
{
    char folder[MAX_PATH];
    CopyUserFolder(folder);
    if (SettingsDamaged && lstrcmpA(folder, FolderAsRead) == 0) return;
    FILE* file = fopen(AppState.SettingsFilePath, "wt");
    if (!file) return;
    fprintf(file, "[Pathwick Information]\n");
    fprintf(file, "%s%s\n", UserFolderKey, folder);
    fclose(file);
}
