// Reading and writing shortcut files through the shell link object, and
// putting a fresh shortcut into a place.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include "target_check.h"

// The main program's shortcuts carry the target's folder as working folder;
// the installer's carry none.
enum WorkingFolderMode { WithWorkingFolder, WithoutWorkingFolder };

HRESULT WriteLink(const char* target, const char* linkPath, const char* description,
                  WorkingFolderMode mode = WithWorkingFolder);
// True when the shortcut was written. A shortcut of the same name that stood
// there before is replaced only once the new one has been saved; a read-only
// one is never replaced.
BOOL CreateLinkIn(const char* target, const char* valueName, const char* subPathOrFolder, const char* linkName,
                  const char* description, WorkingFolderMode mode = WithWorkingFolder);
// Puts a shortcut saved beside its final name in that name's place, waiting
// briefly for a file held for a moment. `byMoves` (Windows 95, 98 and Me)
// replaces without MoveFileExA, setting the old shortcut aside under its name
// and SetAsideSuffix; a failure leaves the old shortcut in place, or set aside
// where even its move back failed, and the next CreateLinkIn of that name
// puts it back or removes it.
BOOL MoveSavedIntoPlace(const char* saved, const char* linkPath, BOOL byMoves);
const char SetAsideSuffix[] = ".pathwick-old";
// A new shortcut is saved under its name and SavingSuffix, then moved into
// place; one a create cut short left there is removed by the next create.
const char SavingSuffix[] = ".pathwick-new";
// Whether a file name is one a create works under beside the shortcut (being
// saved or set aside): never a shortcut of the place.
BOOL IsSetAsideName(const char* name);
// Whether a failed save or replace, with this error, is worth a short retry:
// only when another process holds the file or its deletion is still pending.
BOOL IsPassingConflict(DWORD error);
// DeleteFileA, with the same short retries while the file is held for a moment.
BOOL DeleteFileWaitingOutConflicts(const char* path);
// What reading one file as a shortcut gave.
enum LinkReadResult {
    LinkNotShortcut,   // no shortcut at all (a desktop.ini, a text file): nothing to say about it
    LinkUnreadable,    // a shortcut by its name or header that is damaged or cannot be loaded, or
                       // whose target reads back empty or longer than a path
    LinkTargetNotHeld, // an exact read only: the target has a character the code page lacks
    LinkTargetRead,    // `target` holds the target
};

// Whether the file is named as a shortcut (".lnk"); one that does not read is
// worth a word.
BOOL HasShortcutName(const char* path);

// A shortcut the user gives as the target (command line, drop, chooser)
// stands for its exact target: the shortcut's target turned into the ANSI
// code page with no stand-in for any character, LinkTargetNotHeld when the
// target has a character the code page cannot hold or does not fit in the
// 260-byte `target` (such a target cannot be looked up by this program, and a
// 260-byte ANSI read of it names another file). `target` is empty unless the
// result is LinkTargetRead. The target is the one every read of a shortcut
// takes, as Windows' shell takes it: the item ID list first (the stored path
// may hold a look-alike), the link info's path, the environment block, the
// relative path only where nothing else names a target. On Windows 95, 98 and
// Me, whose names all lie in the code page, it is the cheap read. Where the
// rules of the broken-link sweep (JudgeTarget) call that target broken,
// IShellLink::Resolve is asked as the sweep asks it (no window, no update of
// the file, about a second): an existing target it finds is taken, and its
// failure leaves the stored one.
LinkReadResult ReadShortcutGivenAsTarget(HWND owner, const char* linkPath, char* target);

// Any target that fits the 260-byte ANSI buffer has fewer wide characters than
// this, so a wide text that fills it was cut and is never taken.
const int WideTargetChars = 1024;

// A shortcut loaded from its checked bytes: the shell link object (made from
// the bytes only where the target or Resolve needs it), the file's path, what
// the file says of its target besides the path, and the target where it is
// read from the bytes rather than from the shell link object (which under
// Wine misreads some of them): the item ID list's path, the link
// info's, a path relative to the shortcut's own folder completed as the
// shell's own file load completes it, an environment-variable block expanded.
struct LoadedLink {
    IShellLinkA* Link = nullptr;
    HGLOBAL Bytes = nullptr; // the checked file, until the object is made from it
    char Path[MAX_PATH] = "";
    StoredTarget Stored = {};
    WCHAR OwnTarget[WideTargetChars] = {};
    void Release();
};

// Reads the targets of the many files of one walk. The shell link class
// object is fetched once (CoGetClassObject) and each file that needs a shell
// link object gets a fresh one from it, so nothing of one file carries into
// the next. Made, used and destroyed on one thread, inside a COM apartment
// that outlives it. No read asks Resolve: a target that no longer exists is read as it is stored.
class LinkTargetReader {
public:
    LinkTargetReader();
    ~LinkTargetReader();
    LinkTargetReader(const LinkTargetReader&) = delete;
    LinkTargetReader& operator=(const LinkTargetReader&) = delete;
    // The cheap read: the exact read's target in the code page, in which a
    // character the code page lacks may stand as a look-alike. `target` holds
    // 260 bytes and is empty unless the result is LinkTargetRead.
    LinkReadResult Read(const char* linkPath, char* target);
    // The exact read of the same file, as ReadShortcutGivenAsTarget reads it
    // (Resolve not asked); only for the
    // few reads that decide something (a match, a target that looks missing).
    // Right after a Read of the same path it reuses the object that Read
    // loaded, which is kept until the next Read or the reader's end.
    LinkReadResult ReadExact(const char* linkPath, char* target);
    // What the file last read says of its target besides the path; null for
    // any other file.
    const StoredTarget* Stored(const char* linkPath) const;
    // What IShellLink::Resolve (no window, no update of the file, about a
    // second) makes of the file last read, for one about to be offered as
    // broken; the object is not kept after it.
    ResolveAnswer Resolve(HWND owner, const char* linkPath);

private:
    bool IsLast(const char* linkPath) const;
    IClassFactory* factory_;
    LoadedLink last_;
};
