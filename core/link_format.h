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
    // Where the item ID list's items lie (without its own size field), and
    // where the link info does (its size field included); sizes 0 for none.
    DWORD IdListOffset;
    DWORD IdListSize;
    DWORD LinkInfoOffset;
    DWORD LinkInfoSize;
    // Where the counted text of the path relative to the shortcut's own
    // folder lies; 0 for none.
    DWORD RelativeOffset;
    DWORD RelativeChars;
    bool Unicode;
    // The serial number of the target's volume, where the link info keeps it.
    bool HasVolumeSerial;
    DWORD VolumeSerial;
    // An installer's shortcut: Windows starts it through the installer,
    // whatever path it shows.
    bool HasInstallerId;
    // Where the ANSI text of a target given with environment variables lies
    // (its wide text follows MAX_PATH bytes later), when that target is the
    // one Windows takes: the flag prefers it, or nothing else holds a target.
    // 0 when there is none.
    DWORD EnvironmentOffset;
};

// Whether the bytes begin with the shell link header (its size and class id).
bool HasLinkHeader(const BYTE* data, DWORD size);
// Whether the whole file is a sound shell link as far as the shell reads it:
// the header, the item ID list and each item, the link info, the counted
// texts the flags announce and the chain of extra data blocks all lie inside
// the file and inside the parts that hold them. `layout` may be null.
bool IsSoundShellLink(const BYTE* data, DWORD size, LinkLayout* layout);
