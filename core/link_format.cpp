// The check of a shell link file's structure. It follows the published layout
// of the format, and covers every size, offset and text end the platform's
// shell link loader and its item ID list code take on trust: a size that
// points past the file, an item chain without its end, an item whose name has
// no end, a link info whose parts lie outside it. A file the shell wrote
// itself always passes; nothing here says what a field means.
#include "link_format.h"

namespace {

const BYTE ShellLinkClassId[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

enum : DWORD {
    HasIdListFlag = 0x1,
    HasLinkInfoFlag = 0x2,
    HasNameFlag = 0x4,
    HasRelativePathFlag = 0x8,
    HasWorkingFolderFlag = 0x10,
    HasArgumentsFlag = 0x20,
    HasIconLocationFlag = 0x40,
    UnicodeFlag = 0x80,
    HasEnvironmentFlag = 0x200,
    HasInstallerIdFlag = 0x1000,
    PreferEnvironmentFlag = 0x2000000,
};

const DWORD EnvironmentBlock = 0xA0000001, InstallerIdBlock = 0xA0000006;
const DWORD AnsiBlockText = 8; // after a text block's size and signature

// What the extra data blocks hold that a reader needs.
struct ExtraFacts {
    DWORD EnvironmentOffset; // of the ANSI text, in the file
    bool InstallerId;
};

// A part of the file; every read is tested against its bounds first.
struct Span {
    const BYTE* Data;
    DWORD Size;
    bool Holds(DWORD offset, DWORD length) const { return offset <= Size && length <= Size - offset; }
    DWORD Word(DWORD offset) const { return Data[offset] | Data[offset + 1] << 8; }
    DWORD Dword(DWORD offset) const { return Word(offset) | Word(offset + 2) << 16; }
    Span Part(DWORD offset, DWORD length) const { return {Data + offset, length}; }
};

// A NUL-terminated text that starts at `from` and ends inside the span.
bool HasTextEnd(Span span, DWORD from)
{
    for (DWORD at = from; at < span.Size; ++at)
        if (!span.Data[at]) return true;
    return false;
}

bool HasWideTextEnd(Span span, DWORD from)
{
    for (DWORD at = from; span.Holds(at, 2); at += 2)
        if (!span.Word(at)) return true;
    return false;
}

// Two texts one after the other, as in a file item (long, then short name).
bool HasTwoTextEnds(Span span, DWORD from)
{
    for (DWORD at = from; at < span.Size; ++at)
        if (!span.Data[at]) return HasTextEnd(span, at + 1);
    return false;
}

// The wide name of a file item lies at the offset kept in the item's last
// word. The platform takes it when a few tests pass, and those tests let an
// offset beyond a short item through; where it is taken, it must lie inside.
bool IsSoundWideFileName(Span item)
{
    const DWORD WideHead = 20;   // the wide part up to its name
    const DWORD WidePart = 22;   // the wide part with a one-character name
    const DWORD FirstOffset = 15; // the size, the type and the ANSI part
    DWORD offset = item.Word(item.Size - 2);
    bool taken = !(offset & 1) && offset >= FirstOffset && (item.Size < 2 + WidePart || offset <= item.Size - 2 - WidePart);
    if (!taken) return true;
    if (!item.Holds(offset, 2)) return false;
    if (item.Size != offset + item.Word(offset)) return true; // not taken after all
    return offset + WidePart + 2 <= item.Size && HasWideTextEnd(item.Part(0, item.Size - 2), offset + WideHead);
}

// One item of an ID list, its size field included: the parts the platform
// reads by its type byte.
bool IsSoundItem(Span item)
{
    const DWORD FileNames = 14; // after the size, the type and the fixed fields
    const DWORD NetworkNames = 5;
    switch (item.Data[2]) {
    case 0x1F: // a class id
    case 0x70:
        return item.Size >= 20;
    case 0x23: // drives
    case 0x25:
    case 0x29:
    case 0x2F:
        return HasTextEnd(item, 3);
    case 0x30: // a folder with its long name only
        return HasTextEnd(item, FileNames) && IsSoundWideFileName(item);
    case 0x31: // folders and files with long and short name
    case 0x32:
        return HasTwoTextEnds(item, FileNames) && IsSoundWideFileName(item);
    case 0x61:
    case 0xB1:
        return HasTwoTextEnds(item, FileNames);
    case 0x34: // a file with a wide name
        return HasWideTextEnd(item, FileNames);
    case 0x41: // network places
        return HasTwoTextEnds(item, NetworkNames);
    case 0x42:
    case 0x46:
    case 0x47:
    case 0xC3:
        return HasTextEnd(item, NetworkNames);
    }
    return true; // not taken apart by the platform
}

// Items, each at least its size and type, chained to a zero-sized item that
// ends inside the list.
bool IsSoundItemList(Span list)
{
    for (DWORD at = 0;;) {
        if (!list.Holds(at, 2)) return false;
        DWORD size = list.Word(at);
        if (!size) return true;
        if (size < 3 || !list.Holds(at, size + 2)) return false;
        if (!IsSoundItem(list.Part(at, size))) return false;
        at += size;
    }
}

// Whether `offset` is where an item of a sound list starts (or its end).
bool IsItemStart(Span list, DWORD offset)
{
    for (DWORD at = 0;; at += list.Word(at)) {
        if (at == offset) return true;
        if (at > offset || !list.Word(at)) return false;
    }
}

// An offset into the ID list kept in a data block; the published layout does
// not say whether it counts the list's own size field, so either is taken.
bool IsItemOffset(Span list, DWORD offset)
{
    if (!list.Size) return true; // no list to point into
    return IsItemStart(list, offset) || (offset >= 2 && IsItemStart(list, offset - 2));
}

bool IsSoundVolumeId(Span info, DWORD at)
{
    if (!info.Holds(at, 16)) return false;
    DWORD size = info.Dword(at);
    if (size < 16 || !info.Holds(at, size)) return false;
    Span volume = info.Part(at, size);
    DWORD label = volume.Dword(12);
    if (label == 0x14) return volume.Holds(16, 4) && HasWideTextEnd(volume, volume.Dword(16));
    return !label || HasTextEnd(volume, label);
}

bool IsSoundNetworkLink(Span info, DWORD at)
{
    const DWORD ValidDevice = 0x1;
    const DWORD AnsiPart = 0x14;
    if (!info.Holds(at, AnsiPart)) return false;
    DWORD size = info.Dword(at);
    if (size < AnsiPart || !info.Holds(at, size)) return false;
    Span link = info.Part(at, size);
    DWORD flags = link.Dword(4);
    DWORD name = link.Dword(8);
    if (!HasTextEnd(link, name)) return false;
    if ((flags & ValidDevice) && !HasTextEnd(link, link.Dword(12))) return false;
    if (name <= AnsiPart) return true;
    if (!link.Holds(AnsiPart, 8)) return false;
    DWORD wideName = link.Dword(AnsiPart), wideDevice = link.Dword(AnsiPart + 4);
    if (wideName && !HasWideTextEnd(link, wideName)) return false;
    return !(flags & ValidDevice) || !wideDevice || HasWideTextEnd(link, wideDevice);
}

// The link info from its first byte to the end of the file; `size` gets its
// total, `layout` the serial number of the target's volume where it is kept.
bool IsSoundLinkInfo(Span rest, DWORD* size, LinkLayout* layout)
{
    const DWORD ShortHeader = 0x1C, LongHeader = 0x24;
    const DWORD VolumeAndLocalPath = 0x1, NetworkLink = 0x2;
    if (!rest.Holds(0, 4)) return false;
    DWORD total = rest.Dword(0);
    if (total < ShortHeader || !rest.Holds(0, total)) return false;
    Span info = rest.Part(0, total);
    DWORD header = info.Dword(4), flags = info.Dword(8), volume = info.Dword(12), local = info.Dword(16),
          network = info.Dword(20), suffix = info.Dword(24);
    if (header > total || (header != ShortHeader && header < LongHeader)) return false;
    if (((flags & VolumeAndLocalPath) && (!volume || !local)) || ((flags & NetworkLink) && !network)) return false;
    if (volume && !IsSoundVolumeId(info, volume)) return false;
    if (local && !HasTextEnd(info, local)) return false;
    if (network && !IsSoundNetworkLink(info, network)) return false;
    if (suffix && !HasTextEnd(info, suffix)) return false;
    if (header >= LongHeader) {
        DWORD wideLocal = info.Dword(ShortHeader), wideSuffix = info.Dword(ShortHeader + 4);
        if ((wideLocal && !HasWideTextEnd(info, wideLocal)) || (wideSuffix && !HasWideTextEnd(info, wideSuffix)))
            return false;
    }
    *size = total;
    layout->HasVolumeSerial = (flags & VolumeAndLocalPath) != 0;
    layout->VolumeSerial = layout->HasVolumeSerial ? info.Dword(volume + 8) : 0;
    return true;
}

// A block whose size and signature the shell reads the rest by.
bool IsSoundDataBlock(Span block, Span idList)
{
    const DWORD TextBlock = 0x314, WideText = AnsiBlockText + MAX_PATH;
    DWORD signature = block.Dword(4);
    // The platform reads the wide text of any block of this size and family
    // as an installer's id.
    if (block.Size == TextBlock && (signature & 0xFFFF0000) == 0xA0000000 &&
        !HasWideTextEnd(block.Part(WideText, 2 * MAX_PATH), 0))
        return false;
    switch (signature) {
    case EnvironmentBlock: // environment variables in the target
    case InstallerIdBlock:
    case 0xA0000007: // environment variables in the icon
        return block.Size == TextBlock && HasTextEnd(block.Part(AnsiBlockText, MAX_PATH), 0);
    case 0xA0000005: // a special folder: where its part of the ID list ends
        return block.Size == 0x10 && IsItemOffset(idList, block.Dword(12));
    case 0xA000000B: // a known folder, the same
        return block.Size == 0x1C && IsItemOffset(idList, block.Dword(24));
    case 0xA000000C: // an ID list of its own
        return IsSoundItemList(block.Part(8, block.Size - 8));
    }
    return true;
}

// Blocks of at least a size and a signature up to one whose size is under
// four (the end); a file that stops before the end is taken, as the shell takes it.
bool IsSoundExtraData(Span file, DWORD at, Span idList, ExtraFacts* facts)
{
    while (file.Holds(at, 4)) {
        DWORD size = file.Dword(at);
        if (size < 4) return true;
        if (size < 8 || !file.Holds(at, size)) return false;
        if (!IsSoundDataBlock(file.Part(at, size), idList)) return false;
        DWORD signature = file.Dword(at + 4);
        if (signature == EnvironmentBlock && !facts->EnvironmentOffset) facts->EnvironmentOffset = at + AnsiBlockText;
        if (signature == InstallerIdBlock) facts->InstallerId = true;
        at += size;
    }
    return true;
}

} // namespace

bool HasLinkHeader(const BYTE* data, DWORD size)
{
    if (size < LinkHeaderSize) return false;
    Span header = {data, size};
    if (header.Dword(0) != LinkHeaderSize) return false;
    for (int i = 0; i < 16; ++i)
        if (data[4 + i] != ShellLinkClassId[i]) return false;
    return true;
}

bool IsSoundShellLink(const BYTE* data, DWORD size, LinkLayout* layout)
{
    if (size > MaxLinkFileSize || !HasLinkHeader(data, size)) return false;
    Span file = {data, size};
    DWORD flags = file.Dword(0x14);
    DWORD at = LinkHeaderSize;
    Span idList = {data, 0};
    if (flags & HasIdListFlag) {
        if (!file.Holds(at, 2) || !file.Holds(at + 2, file.Word(at))) return false;
        idList = file.Part(at + 2, file.Word(at));
        if (!IsSoundItemList(idList)) return false;
        at += 2 + idList.Size;
    }
    LinkLayout found = {};
    if (flags & HasLinkInfoFlag) {
        DWORD infoSize = 0;
        if (!IsSoundLinkInfo(file.Part(at, size - at), &infoSize, &found)) return false;
        found.LinkInfoOffset = at;
        found.LinkInfoSize = infoSize;
        at += infoSize;
    }
    bool unicode = (flags & UnicodeFlag) != 0;
    DWORD relativeAt = 0, relativeChars = 0;
    const DWORD texts[] = {HasNameFlag, HasRelativePathFlag, HasWorkingFolderFlag, HasArgumentsFlag,
                           HasIconLocationFlag};
    for (DWORD text : texts) {
        if (!(flags & text)) continue;
        if (!file.Holds(at, 2)) return false;
        DWORD chars = file.Word(at);
        if (!file.Holds(at + 2, unicode ? 2 * chars : chars)) return false;
        if (text == HasRelativePathFlag) relativeAt = at + 2, relativeChars = chars;
        at += 2 + (unicode ? 2 * chars : chars);
    }
    ExtraFacts extra = {};
    if (!IsSoundExtraData(file, at, idList, &extra)) return false;
    if (!layout) return true;
    bool elsewhere = (flags & (HasIdListFlag | HasLinkInfoFlag)) != 0;
    DWORD text = extra.EnvironmentOffset;
    bool environment = (flags & HasEnvironmentFlag) && text && (file.Data[text] || file.Word(text + MAX_PATH)) &&
                       ((flags & PreferEnvironmentFlag) || !elsewhere);
    found.IdListOffset = idList.Size ? LinkHeaderSize + 2 : 0;
    found.IdListSize = idList.Size;
    found.RelativeOffset = relativeAt;
    found.RelativeChars = relativeChars;
    found.Unicode = unicode;
    found.HasInstallerId = extra.InstallerId || (flags & HasInstallerIdFlag);
    found.EnvironmentOffset = environment ? text : 0;
    *layout = found;
    return true;
}
