// Whether a shortcut's target is there, certainly gone, or cannot be checked,
// and which folders are links. No window and no shortcut file: a path in, a
// verdict out.
#pragma once
#include <windows.h>

enum TargetState {
    TargetPresent,     // the file or folder is there
    TargetBroken,      // certainly gone: see CheckTargetPath
    TargetUncheckable, // nothing certain can be said, so it is never offered for deletion
};

// Where the target a shortcut reads as was taken from.
enum TargetSource {
    TargetFromPath,         // the item ID list or the link info
    TargetFromEnvironment,  // the environment-variable block, expanded
    TargetFromRelativePath, // the path relative to the shortcut's own folder
};

// What a shortcut file itself says about its target besides the path.
struct StoredTarget {
    TargetSource Source;
    bool HasVolumeSerial; // the serial of the target's volume, from the link info
    DWORD VolumeSerial;
    bool HasInstallerId;     // started through Windows Installer, whatever its path
    char Environment[MAX_PATH]; // the unexpanded text of TargetFromEnvironment
};

// What the file system answered about the target itself.
enum PathAnswer {
    PathThere,
    PathGone,    // "not found", and the first missing entry on its way lies behind no link and is missing itself
    PathUnknown, // any other answer, or an entry on the way is a link
};

// A 32-bit run on 64-bit Windows: its shell shows a 64-bit program's folders
// under their 32-bit names.
enum Wow64Run { NotWow64, Wow64, Wow64Unknown };

// The 64-bit counterpart of a target, in a 32-bit run on 64-bit Windows.
enum CounterpartAnswer { NoCounterpart, CounterpartThere, CounterpartGone, CounterpartUnknown };

// What IShellLink::Resolve made of a shortcut whose target looks gone.
enum ResolveAnswer {
    ResolveNotAsked,
    ResolveFoundNothing, // an error: Windows found nothing in the time given
    ResolveNotLoaded,  // the shortcut did not load again to be asked
    ResolveSamePath,   // success with the stored path (as under Wine, even for a gone target)
    ResolveFoundGone,  // another path, which is not there either
    ResolveFoundThere, // another path, which is there: the target moved
};

// Every fact the verdict rests on.
struct TargetFacts {
    bool FullLocalPath; // from a drive's root, no wildcard, shorter than a path buffer
    UINT DriveType;
    bool DriveReady;
    bool HasStoredSerial;
    DWORD StoredSerial;
    DWORD CurrentSerial; // of a ready fixed drive
    bool HasInstallerId;
    Wow64Run Wow64;
    CounterpartAnswer Counterpart;
    PathAnswer Path;
    bool OnlineOnlyOnWay; // a folder on the way is kept by a cloud client and may not be fetched yet
    ResolveAnswer Resolve;
};

// The verdict, from the facts alone. Broken only for a full local path on a
// fixed drive that is ready, answered "not found" with no link and no
// online-only folder on its way, on the volume the shortcut was made for (where
// it keeps that volume's serial), no installer's shortcut, with no 64-bit
// counterpart there (a 32-bit run that cannot tell checks nothing) and not
// found elsewhere by Resolve (a shortcut that did not load again to be asked
// cannot be checked).
TargetState JudgeTarget(const TargetFacts& facts);

// What a walk learns of each drive letter: its type, and of a fixed drive
// whether it is ready and its volume's serial, each asked once per letter.
struct DriveAnswers {
    bool Asked[26];
    UINT Type[26];
    bool Ready[26];
    DWORD Serial[26];
};
// The one answer to "is this a ready fixed drive", for a path from a drive's
// root. `drives` keeps the answers of a walk, or is null.
bool IsReadyFixedDrive(const char* path, DriveAnswers* drives);

// Gathers the facts about `target` (Resolve not asked). `stored` may be null.
// A drive's type is asked before any file on it is touched; where the target
// answers "not found", the drive's type, readiness and serial are asked again
// (into `drives` too), so a target is never judged gone on answers a walk kept
// from before (a disk unplugged, another one put in at the letter); files are looked
// at in the 64-bit file system from a 32-bit build, and the system's "insert a
// disk" box never comes up (the error mode changes for this thread only,
// where the system can).
void GatherTargetFacts(const char* target, const StoredTarget* stored, DriveAnswers* drives, TargetFacts* facts);
// The verdict on a path alone.
TargetState CheckTargetPath(const char* target);
// Whether a file or folder is at `path`, asked as the checks above ask.
bool IsPathThere(const char* path);

// A file that a cloud storage client keeps online only: opening it makes
// Windows download it.
bool IsOnlineOnly(DWORD attributes);

// A reparse point that leads elsewhere: a link, junction or mount point (a tag
// that is a name surrogate), or one whose tag the system does not give (as
// under Wine). Cloud-file and deduplicated folders are reparse points too but
// hold their own files: they are no links.
bool IsLinkEntry(const WIN32_FIND_DATAA& entry);
// FindFirstFileA and FindNextFileA for listings whose links matter: Wine never
// writes the tag, so it is cleared before each call and then reads as none.
HANDLE FindFirstEntry(const char* pattern, WIN32_FIND_DATAA* entry);
BOOL FindNextEntry(HANDLE find, WIN32_FIND_DATAA* entry);
// Whether an existing folder or file on the way of `path`, among those whose
// path is longer than `from` bytes, is a link (the path itself included), or
// cannot be looked at.
bool HasLinkOnWay(const char* path, int from);
