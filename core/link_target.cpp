// The layouts read here are those of the shell's own items: the computer's
// class item, a drive item holding "X:\", and file system entries holding
// their short name, then an extension block (signature 0xBEEF0004) with the
// long name at an offset its version gives: 20 up to Windows XP and 2003
// (version 3), 38 for Vista (7), 42 for Windows 7 (8), 46 from Windows 8 on
// (9). The item's last word gives where the block starts.
#include "link_target.h"

namespace {

const BYTE ComputerClassId[16] = {0xE0, 0x4F, 0xD0, 0x20, 0xEA, 0x3A, 0x69, 0x10,
                                  0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D};
const DWORD EntryExtension = 0xBEEF0004;
const DWORD ShortNameAt = 14; // after the size, type, file size, time and attributes

DWORD Word(const BYTE* at)
{
    return at[0] | at[1] << 8;
}

DWORD Dword(const BYTE* at)
{
    return Word(at) | Word(at + 2) << 16;
}

// A path being composed, never past `Chars` characters with its end.
struct PathText {
    WCHAR* Text;
    int Chars;
    int Length;
    bool Add(WCHAR ch)
    {
        if (Length + 1 >= Chars) return false;
        Text[Length++] = ch;
        Text[Length] = 0;
        return true;
    }
    // A wide text from `from`, which must end before `end`.
    bool AddWide(const BYTE* from, const BYTE* end)
    {
        for (; from + 2 <= end; from += 2)
            if (!Word(from)) return true;
            else if (!Add((WCHAR)Word(from))) return false;
        return false;
    }
    // A text in the code page from `from`, which must end before `end`.
    bool AddAnsi(const BYTE* from, const BYTE* end)
    {
        const BYTE* stop = from;
        while (stop < end && *stop) ++stop;
        if (stop == end) return false;
        if (stop == from) return true;
        int room = Chars - 1 - Length;
        int added = room > 0 ? MultiByteToWideChar(CP_ACP, 0, (const char*)from, (int)(stop - from), Text + Length, room)
                             : 0;
        if (!added) return false;
        Length += added;
        Text[Length] = 0;
        return true;
    }
};

bool IsEntry(const BYTE* item)
{
    return (item[2] & 0x70) == 0x30;
}

// Where the long name of an entry's extension block lies, or 0 where it
// keeps none; `end` gets the end of the block's texts. Wine writes the block
// without version and signature, with the long name where XP keeps it, and
// reads any block that ends with the item so.
DWORD LongNameAt(const BYTE* item, DWORD size, DWORD* version, DWORD* end)
{
    if (size < ShortNameAt + 2) return 0;
    DWORD block = Word(item + size - 2);
    if ((block & 1) || block < ShortNameAt || block + 8 > size - 2) return 0;
    DWORD blockSize = Word(item + block);
    if (blockSize < 8 || blockSize > size - block) return 0;
    bool wineWritten = Dword(item + block + 4) != EntryExtension;
    if (wineWritten && blockSize != size - block) return 0;
    *version = wineWritten ? 3 : Word(item + block + 2);
    DWORD at = *version >= 9 ? 46 : *version == 8 ? 42 : *version == 7 ? 38 : *version >= 3 ? 20 : 0;
    if (!at || at + 2 > blockSize - 2) return 0;
    *end = block + blockSize - 2;
    return block + at;
}

bool AddEntryName(const BYTE* item, DWORD size, PathText& path)
{
    DWORD version = 0, end = 0, longName = LongNameAt(item, size, &version, &end);
    if (longName && Word(item + longName)) return path.AddWide(item + longName, item + end);
    const bool wideName = (item[2] & 0x04) != 0;
    if (size <= ShortNameAt) return false;
    return wideName ? path.AddWide(item + ShortNameAt, item + size) : path.AddAnsi(item + ShortNameAt, item + size);
}

bool IsComputer(const BYTE* item, DWORD size)
{
    if (size < 20 || item[2] != 0x1F) return false;
    for (int i = 0; i < 16; ++i)
        if (item[4 + i] != ComputerClassId[i]) return false;
    return true;
}

// A drive item: "X:\" and its end.
bool AddDrive(const BYTE* item, DWORD size, PathText& path)
{
    if (size < 7 || (item[2] & 0x70) != 0x20) return false;
    BYTE letter = item[3] | 0x20;
    if (letter < 'a' || letter > 'z' || item[4] != ':' || item[5] != '\\' || item[6]) return false;
    return path.Add((WCHAR)item[3]) && path.Add(L':') && path.Add(L'\\');
}

} // namespace

bool PathFromItems(const BYTE* list, DWORD size, WCHAR* path, int chars)
{
    PathText text = {path, chars, 0};
    path[0] = 0;
    int index = 0;
    for (DWORD at = 0;; at += Word(list + at), ++index) {
        if (at + 2 > size) return false;
        const BYTE* item = list + at;
        DWORD itemSize = Word(item);
        if (!itemSize) return index >= 2;
        if (itemSize < 3 || itemSize > size - at) return false;
        bool read;
        if (index == 0)
            read = IsComputer(item, itemSize);
        else if (index == 1)
            read = AddDrive(item, itemSize, text);
        else
            read = IsEntry(item) && (index == 2 || text.Add(L'\\')) && AddEntryName(item, itemSize, text);
        if (!read) {
            path[0] = 0;
            return false;
        }
    }
}

bool HasItemsWineMisreads(const BYTE* list, DWORD size)
{
    for (DWORD at = 0; at + 2 <= size;) {
        DWORD itemSize = Word(list + at);
        if (itemSize < 3 || itemSize > size - at) return false;
        DWORD version = 0, end = 0;
        if (IsEntry(list + at) && LongNameAt(list + at, itemSize, &version, &end) && version >= 7) return true;
        at += itemSize;
    }
    return false;
}

bool PathFromLinkInfo(const BYTE* info, DWORD size, WCHAR* path, int chars)
{
    const DWORD LocalPathFlag = 0x1, LongHeader = 0x24;
    PathText text = {path, chars, 0};
    path[0] = 0;
    if (size < 0x1C) return false;
    DWORD header = Dword(info + 4), flags = Dword(info + 8), local = Dword(info + 16), suffix = Dword(info + 24);
    bool longHeader = header >= LongHeader && size >= LongHeader;
    DWORD wideLocal = longHeader ? Dword(info + 0x1C) : 0;
    DWORD wideSuffix = longHeader ? Dword(info + 0x20) : 0;
    if (!(flags & LocalPathFlag) || !local) return false;
    const BYTE* end = info + size;
    if (local >= size || suffix >= size || wideLocal >= size || wideSuffix >= size) return false;
    bool read = wideLocal ? text.AddWide(info + wideLocal, end) : text.AddAnsi(info + local, end);
    if (read && wideSuffix)
        read = text.AddWide(info + wideSuffix, end);
    else if (read && suffix)
        read = text.AddAnsi(info + suffix, end);
    if (!read || !path[0]) {
        path[0] = 0;
        return false;
    }
    return true;
}
