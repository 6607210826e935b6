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
// Whether a file name is that of a shortcut set aside by a replace.
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

// The stored target as the cheap read gives it (see LinkTargetReader::Read),
// with arguments and working folder. Every output given is 260 bytes and is
// emptied first; a file that cannot be loaded as a shortcut, or fails the
// check of its structure, leaves them empty, and so does a text too long for
// 260 bytes. LinkNotShortcut, with nothing emptied, for a missing or empty path.
LinkReadResult ReadLinkTarget(HWND owner, const char* linkPath, char* target, char* arguments,
                              char* workingFolder);

// The shortcut's exact target, turned into the ANSI code page with no
// stand-in for any character: LinkTargetNotHeld when the target has a
// character the code page cannot hold or does not fit in the 260-byte
// `target` (such a target cannot be looked up by this program, and a 260-byte
// ANSI read of it names another file). `target` is empty unless the result is
// LinkTargetRead. The target is taken from the item ID list (the stored path
// may hold a look-alike), from the path where there is no list; on Windows
// 95, 98 and Me, whose names all lie in the code page, from the ANSI read.
LinkReadResult ReadExactLinkTarget(HWND owner, const char* linkPath, char* target);
// A shortcut the user gives as the target (command line, drop, chooser)
// stands for its exact target, as ReadExactLinkTarget. Where that target is
// gone from a ready fixed drive, IShellLink::Resolve is asked (no window, no
// update of the file, about a second): an existing target it finds is taken,
// and its failure leaves the stored one.
LinkReadResult ReadShortcutGivenAsTarget(HWND owner, const char* linkPath, char* target);

// Any target that fits the 260-byte ANSI buffer has fewer wide characters than
// this, so a wide text that fills it was cut and is never taken.
const int WideTargetChars = 1024;

// A shortcut loaded from its checked bytes: the shell link object, the file's
// path, what the file says of its target besides the path, and the target
// where Windows reads it from the bytes rather than as the shell link object
// gives it under Wine: a target given only as a path relative to the
// shortcut's own folder, completed as the shell's own file load completes it,
// or given by an environment-variable block, expanded.
struct LoadedLink {
    IShellLinkA* Link = nullptr;
    char Path[MAX_PATH] = "";
    StoredTarget Stored = {};
    WCHAR OwnTarget[WideTargetChars] = {};
    void Release();
};

// Reads the targets of the many files of one walk. The shell link class
// object is fetched once (CoGetClassObject) and each file gets a fresh object
// from it, so nothing of one file carries into the next. Made, used and
// destroyed on one thread, inside a COM apartment that outlives it. No read
// asks Resolve: a target that no longer exists is read as it is stored.
class LinkTargetReader {
public:
    LinkTargetReader();
    ~LinkTargetReader();
    LinkTargetReader(const LinkTargetReader&) = delete;
    LinkTargetReader& operator=(const LinkTargetReader&) = delete;
    // The cheap read: the target as the ANSI shell link gives it, in which a
    // character the code page lacks may stand as a look-alike. `target` holds
    // 260 bytes and is empty unless the result is LinkTargetRead.
    LinkReadResult Read(HWND owner, const char* linkPath, char* target);
    // The exact read of the same file, as ReadExactLinkTarget; only for the
    // few reads that decide something (a match, a target that looks missing).
    // Right after a Read of the same path it reuses the object that Read
    // loaded, which is kept until the next Read or the reader's end.
    LinkReadResult ReadExact(HWND owner, const char* linkPath, char* target);
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
