// Lead-byte-aware text and path operations shared by both programs.
// Every text is a NUL-terminated multibyte string in the ANSI code page; on
// code page 932 the trail byte of a two-byte character can equal '\\', so no
// search here ever compares a trail byte.
#pragma once
#include <windows.h>

const int PathBufferSize = MAX_PATH; // 260 bytes, terminator included

bool IsLeadByte(unsigned char byte);

const char* FindLastChar(const char* text, char ch);
char* FindLastChar(char* text, char ch);
const char* FindFirstChar(const char* text, char ch);
char* FindFirstChar(char* text, char ch);
int LastCharIndex(const char* text, char ch);

BOOL IsExistingFolder(const char* path);
BOOL IsExistingFile(const char* path);
BOOL StripEnclosingQuotes(char* text);
BOOL HasPrefix(const char* text, const char* prefix);
BOOL ParentFolderOf(char* folder, const char* path);
// Derives a shortcut's base name from the target: the last component, with
// ".exe" cut off and any other last dot turned into '_'. `output` holds 260 bytes.
BOOL MakeLinkName(char* output, const char* target);
void SplitFolderAndName(const char* path, char* folder, char* name);

// Bounded composition: copies `a` then `b` (and `c`) into `output` of `size`
// bytes. False, with `output` left empty, when the whole text does not fit;
// a path is never cut short into a different path.
BOOL ComposePath(char* output, int size, const char* a, const char* b, const char* c = nullptr,
                 const char* d = nullptr);

// Whether the path begins at a drive's root ("C:\\...").
BOOL StartsAtDriveRoot(const char* path);
// Whether the text holds '*' or '?', which the shell and the listings expand.
BOOL HasWildcard(const char* text);
// Whether `path` names a folder from a drive's root ("C:\\", "C:\\Mine") or
// from a server's share ("\\\\server\\share"): a path that depends on the
// current drive or folder names a different folder from one moment to the next.
// The device and long-path forms ("\\?\", "\\.\") are no full folder paths.
BOOL IsFullFolderPath(const char* path);
// The full form of a folder path (".", ".." and doubled separators resolved,
// no trailing backslash but a drive's own) into 260 bytes; false when it
// cannot be made or does not fit.
BOOL FullFolderPath(char* output, const char* path);
// Whether `path` is the folder `root` or lies inside it, and whether it lies
// strictly inside it; both compare full forms without regard to case.
BOOL IsWithinFolder(const char* path, const char* root);
BOOL IsBelowFolder(const char* path, const char* root);
