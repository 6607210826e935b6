// Reading and writing Quillet.ini. Only the one key is looked at; every
// other line is ignored, and the last non-empty value wins.
#include "settings.h"
#include "app_state.h"
#include "path_helpers.h"
#include <stdio.h>

static const char UserFolderKey[] = " USER_FOLDER=";

void ReadSettings()
{
    FILE* file = fopen(AppState.SettingsFilePath, "rt");
    if (!file) return;
    // The buffer holds the key and a full 259-byte value, so a saved folder
    // comes back whole; a longer line cannot hold a folder path and is
    // ignored whole rather than cut into a different path.
    char line[sizeof UserFolderKey + MAX_PATH + 1];
    bool atLineStart = true;
    while (fgets(line, sizeof line, file)) {
        char* lineFeed = FindFirstChar(line, '\n');
        bool wholeLine = atLineStart && (lineFeed || feof(file));
        atLineStart = lineFeed != nullptr;
        if (lineFeed) *lineFeed = '\0';
        if (!wholeLine || !HasPrefix(line, UserFolderKey)) continue;
        const char* value = FindFirstChar(line, '=') + 1;
        if (*value && lstrlenA(value) < MAX_PATH) SetUserFolder(value);
    }
    fclose(file);
}

void WriteSettings()
{
    FILE* file = fopen(AppState.SettingsFilePath, "wt");
    if (!file) return;
    char folder[MAX_PATH];
    CopyUserFolder(folder);
    fprintf(file, "[Pathwick Information]\n");
    fprintf(file, "%s%s\n", UserFolderKey, folder);
    fclose(file);
}
