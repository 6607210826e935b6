// The structure of a shell link (.lnk) file, checked in memory before the
// shell link object is given the bytes: the shell trusts the sizes and
// offsets stored in the file and reads past its buffers where they lie.
#pragma once
#include <windows.h>

// No shortcut file is taken larger than this; the ones the shell writes are a
// few kilobytes.
const DWORD MaxLinkFileSize = 1024 * 1024;
// The header's size.
const DWORD LinkHeaderSize = 0x4C;

// What the check learns that a reader of the file needs besides the shell.
struct LinkLayout {
    bool HasIdList;
    // A target given only as a path relative to the shortcut's own folder
    // (no local path in the link info): where its counted text lies.
    bool RelativeOnly;
    DWORD RelativeOffset;
    DWORD RelativeChars;
    bool Unicode;
};

// Whether the bytes begin with the shell link header (its size and class id).
bool HasLinkHeader(const BYTE* data, DWORD size);
// Whether the whole file is a sound shell link as far as the shell reads it:
// the header, the item ID list and each item, the link info, the counted
// texts the flags announce and the chain of extra data blocks all lie inside
// the file and inside the parts that hold them. `layout` may be null.
bool IsSoundShellLink(const BYTE* data, DWORD size, LinkLayout* layout);
