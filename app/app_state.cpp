// The main program's shared record, and the lock that makes UserFolder safe
// to read from the scan thread while the dialog may rewrite it.
#include "app_state.h"
#include "path_helpers.h"

AppStateRecord AppState = {"", "", "", "", "", "", "", 0, 0, 1, PickIdle, nullptr, 0, nullptr, {nullptr, nullptr, nullptr}};

static CRITICAL_SECTION UserFolderLock;
static bool UserFolderLockReady = [] {
    InitializeCriticalSection(&UserFolderLock);
    return true;
}();

void CopyUserFolder(char* output)
{
    EnterCriticalSection(&UserFolderLock);
    lstrcpynA(output, AppState.UserFolder, MAX_PATH);
    LeaveCriticalSection(&UserFolderLock);
}

void SetUserFolder(const char* folder)
{
    EnterCriticalSection(&UserFolderLock);
    lstrcpynA(AppState.UserFolder, folder, MAX_PATH);
    LeaveCriticalSection(&UserFolderLock);
}

bool UserFolderExists()
{
    char folder[MAX_PATH];
    CopyUserFolder(folder); // test a private copy: the file system is not asked under the lock
    // Only a full path names one folder whatever the current folder is.
    return IsFullFolderPath(folder) && IsExistingFolder(folder);
}
