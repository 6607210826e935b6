// The test platform itself: a broken set-up (wrong code page, literals not
// compiled to code page 932) must not pass silently.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>

static std::string Bytes(const char* text)
{
    std::string hex;
    char byte[4];
    for (const unsigned char* p = (const unsigned char*)text; *p; ++p) {
        wsprintfA(byte, "%02X ", *p);
        hex += byte;
    }
    if (!hex.empty()) hex.pop_back();
    return hex;
}

TEST(Platform, AnsiCodePageIs932)
{
    EXPECT_EQ(932u, GetACP());
    EXPECT_TRUE(IsDBCSLeadByte(0x95));
    EXPECT_FALSE(IsDBCSLeadByte('\\'));
}

TEST(Platform, LiteralsAreCodePage932)
{
    EXPECT_EQ("BD C0 B0 C4 20 D2 C6 AD B0", Bytes("ｽﾀｰﾄ ﾒﾆｭｰ"));
    EXPECT_EQ("81 69 82 60 82 8C 82 8C 82 74 82 93 82 85 82 92 81 6A", Bytes("（ＡｌｌＵｓｅｒ）"));
    EXPECT_EQ("81 48", Bytes("？"));
    EXPECT_EQ("81 40", Bytes("\u3000"));
    EXPECT_EQ("95 5C", Bytes("表"));
}
