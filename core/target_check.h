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

// Broken only when the target lies on a fixed local drive that is ready, no
// existing folder on its way is a link, and the file system answers "not
// found". Network, removable, CD, RAM-disk and unknown drives, relative and
// network paths, paths with wildcards and targets behind a link cannot be
// checked; a drive's type is asked before any file on it is touched. The check
// sees the 64-bit file system from a 32-bit build and never brings up the
// system's "insert a disk" box; it changes the error mode of the calling
// thread only, where the system can.
TargetState CheckTargetPath(const char* target);

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
