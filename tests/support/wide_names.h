// Test pieces for names the code page cannot hold: such a file is made,
// started and removed through the wide functions only, since its ANSI name
// is a different path.
#pragma once
#include "test_support.h"
#include <string>

namespace testsupport {

// A name with é, which code page 932 lacks (its best fit would be "Cafe").
const wchar_t UnheldName[] = L"Caf\u00e9.exe";

// A copy of a file under a wide name, deleted when the object goes.
class WideCopy {
public:
    WideCopy(const std::string& source, const std::wstring& path) : path_(path)
    {
        made_ = CopyFileW(Widen(source).c_str(), path.c_str(), FALSE) != FALSE;
    }
    ~WideCopy()
    {
        // A program still running from it lets go within moments.
        WaitUntil([&] { return DeleteFileW(path_.c_str()) || GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES; },
                  10000);
    }
    bool Made() const { return made_; }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    bool made_ = false;
};

// The text that says a name cannot be used.
const char NameNotHeldText[] =
    "ファイル名またはフォルダ名に、このプログラムでは扱えない文字（シフトJIS にない文字）が含まれています。\n\n"
    "この名前は使用できません。";

} // namespace testsupport
