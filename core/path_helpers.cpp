// Lead-byte-aware searches, existence tests and the small path cuts on which
// the rest of the system rests. No state; safe on any thread.
#include "path_helpers.h"
#include <string.h>

bool IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

// Walks `text`, stepping over two-byte characters whole, and reports the first
// or last position of `ch`. A lead byte just before the terminator ends the walk.
static const char* ScanForChar(const char* text, char ch, bool wantLast)
{
    const char* found = nullptr;
    for (const char* p = text; *p;) {
        if (IsLeadByte((unsigned char)*p)) {
            if (!p[1]) break;
            p += 2;
            continue;
        }
        if (*p == ch) {
            found = p;
            if (!wantLast) return found;
        }
        ++p;
    }
    return found;
}

const char* FindLastChar(const char* text, char ch) { return text ? ScanForChar(text, ch, true) : nullptr; }
char* FindLastChar(char* text, char ch) { return const_cast<char*>(FindLastChar((const char*)text, ch)); }
const char* FindFirstChar(const char* text, char ch) { return text ? ScanForChar(text, ch, false) : nullptr; }
char* FindFirstChar(char* text, char ch) { return const_cast<char*>(FindFirstChar((const char*)text, ch)); }

int LastCharIndex(const char* text, char ch)
{
    const char* last = FindLastChar(text, ch);
    return last ? (int)(last - text) : lstrlenA(text);
}

static DWORD AttributesOf(const char* path)
{
    if (!path || !*path) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesA(path);
}

BOOL IsExistingFolder(const char* path)
{
    DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL IsExistingFile(const char* path)
{
    DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL StripEnclosingQuotes(char* text)
{
    if (!text) return FALSE;
    int length = lstrlenA(text);
    if (length == 0 || text[0] != '"' || text[length - 1] != '"') return FALSE;
    memmove(text, text + 1, length); // the terminator moves too
    if (length >= 2) text[length - 2] = '\0';
    return TRUE;
}

BOOL HasPrefix(const char* text, const char* prefix)
{
    for (; *prefix; ++prefix, ++text)
        if (*text != *prefix) return FALSE;
    return TRUE;
}

BOOL ParentFolderOf(char* folder, const char* path)
{
    lstrcpynA(folder, path, PathBufferSize);
    char* backslash = FindLastChar(folder, '\\');
    if (backslash) *backslash = '\0';
    return IsExistingFolder(folder);
}

BOOL MakeLinkName(char* output, const char* target)
{
    const char* backslash = FindLastChar(target, '\\');
    lstrcpynA(output, backslash ? backslash + 1 : target, PathBufferSize);
    if (!*output) return FALSE;
    char* dot = FindLastChar(output, '.');
    if (dot) {
        if (lstrcmpiA(dot, ".exe") == 0)
            *dot = '\0';
        else
            *dot = '_';
    }
    return TRUE;
}

void SplitFolderAndName(const char* path, char* folder, char* name)
{
    if (!path) return;
    char privateFolder[PathBufferSize];
    char* work = folder ? folder : privateFolder;
    lstrcpynA(work, path, PathBufferSize);
    char* backslash = FindLastChar(work, '\\');
    if (!backslash) return;
    if (name) lstrcpynA(name, backslash + 1, PathBufferSize);
    int index = (int)(backslash - work);
    const char* colon = FindFirstChar(work, ':');
    bool keepSeparator = colon ? backslash == colon + 1 : index <= 2;
    if (keepSeparator)
        backslash[1] = '\0';
    else
        *backslash = '\0';
}

BOOL ComposePath(char* output, int size, const char* a, const char* b, const char* c, const char* d)
{
    const char* parts[4] = {a, b, c, d};
    int total = 0;
    for (const char* part : parts)
        if (part) total += lstrlenA(part);
    if (total >= size) {
        if (size > 0) output[0] = '\0';
        return FALSE;
    }
    char composed[1024];
    char* target = (total < (int)sizeof composed) ? composed : output;
    int at = 0;
    for (const char* part : parts) {
        if (!part) continue;
        int length = lstrlenA(part);
        memcpy(target + at, part, length);
        at += length;
    }
    target[at] = '\0';
    if (target != output) memcpy(output, composed, at + 1);
    return TRUE;
}

BOOL FullFolderPath(char* output, const char* path)
{
    output[0] = '\0';
    if (!path || !*path) return FALSE;
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) return FALSE;
    for (char* last = FindLastChar(full, '\\'); last && !last[1] && last - full > 2; last = FindLastChar(full, '\\'))
        *last = '\0';
    lstrcpynA(output, full, MAX_PATH);
    return TRUE;
}

// Compares full forms, so that "x\.", "x\\" or "x\sub\.." count as x itself.
static bool ComparePlaces(const char* path, const char* root, bool* same, bool* inside)
{
    char fullPath[MAX_PATH], fullRoot[MAX_PATH];
    if (!FullFolderPath(fullPath, path) || !FullFolderPath(fullRoot, root)) return false;
    int rootLength = lstrlenA(fullRoot);
    *same = lstrcmpiA(fullPath, fullRoot) == 0;
    *inside = false;
    if (lstrlenA(fullPath) > rootLength) {
        char head[MAX_PATH];
        lstrcpynA(head, fullPath, rootLength + 1);
        bool rootEndsInSeparator = FindLastChar(fullRoot, '\\') == fullRoot + rootLength - 1;
        *inside = lstrcmpiA(head, fullRoot) == 0 && (rootEndsInSeparator || fullPath[rootLength] == '\\');
    }
    return true;
}

BOOL StartsAtDriveRoot(const char* path)
{
    char letter = path[0] | 0x20;
    return letter >= 'a' && letter <= 'z' && path[1] == ':' && path[2] == '\\';
}

BOOL HasWildcard(const char* text)
{
    // '*' and '?' are never trail bytes of code page 932.
    for (; *text; ++text)
        if (*text == '*' || *text == '?') return TRUE;
    return FALSE;
}

BOOL IsFullFolderPath(const char* path)
{
    if (!path) return FALSE;
    if (StartsAtDriveRoot(path)) return TRUE;
    if (path[0] != '\\' || path[1] != '\\') return FALSE;
    // "\\?\" and "\\.\" name no server: the shell's delete refuses them.
    if ((path[2] == '?' || path[2] == '.') && path[3] == '\\') return FALSE;
    const char* server = path + 2;
    const char* slash = FindFirstChar(server, '\\');
    // A share's name follows the server's, each at least one character long.
    return slash && slash > server && slash[1] && slash[1] != '\\';
}

BOOL IsWithinFolder(const char* path, const char* root)
{
    bool same, inside;
    return ComparePlaces(path, root, &same, &inside) && (same || inside);
}

BOOL IsBelowFolder(const char* path, const char* root)
{
    bool same, inside;
    return ComparePlaces(path, root, &same, &inside) && inside;
}
