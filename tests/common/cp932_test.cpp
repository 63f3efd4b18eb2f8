#include "common/cp932.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp932, LeadByteTableBoundaries) {
    EXPECT_FALSE(cp932::IsLeadByte(0x80));
    EXPECT_TRUE(cp932::IsLeadByte(0x81));
    EXPECT_TRUE(cp932::IsLeadByte(0x9F));
    EXPECT_FALSE(cp932::IsLeadByte(0xA0));  // half-width katakana start
    EXPECT_FALSE(cp932::IsLeadByte(0xDF));
    EXPECT_TRUE(cp932::IsLeadByte(0xE0));
    EXPECT_TRUE(cp932::IsLeadByte(0xFC));
    EXPECT_FALSE(cp932::IsLeadByte(0xFD));
    EXPECT_FALSE(cp932::IsLeadByte('\\'));
}

TEST(Cp932, LastBackslashSkipsTrailBytes) {
    // 表 is 0x95 0x5C and ソ is 0x83 0x5C: their second byte is no backslash.
    EXPECT_EQ(std::string("表"), std::string("\x95\x5C"));
    EXPECT_EQ(cp932::FindLastBackslash("C:\\Tools\\表.exe"), 8u);
    EXPECT_EQ(cp932::FindLastBackslash("C:\\ソ"), 2u);
    EXPECT_EQ(cp932::FindLastBackslash("表"), std::string::npos);
    EXPECT_EQ(cp932::FindLastBackslash(""), std::string::npos);
    EXPECT_EQ(cp932::FindLastBackslash("C:\\a\\"), 4u);
    // A lone lead byte before a real backslash at the end swallows it as a trail byte.
    EXPECT_EQ(cp932::FindLastBackslash("a\\\x95\\"), 1u);
}

TEST(Cp932, UpperCasesSingleByteLettersOnly) {
    EXPECT_EQ(cp932::ToUpperSingleByte("notepad.exe"), "NOTEPAD.EXE");
    EXPECT_EQ(cp932::ToUpperSingleByte("a1-z_"), "A1-Z_");
    // 0x9E 0x61 is one double-byte character whose trail byte looks like 'a'.
    EXPECT_EQ(cp932::ToUpperSingleByte("x\x9E\x61y"), "X\x9E\x61Y");
    EXPECT_EQ(cp932::ToUpperSingleByte("メモ帳abc"), "メモ帳ABC");
    // A lone lead byte at the end is one byte.
    EXPECT_EQ(cp932::ToUpperSingleByte("a\x81"), "A\x81");
}

TEST(Cp932, NthCharacterKeepsDoubleByteCharactersWhole) {
    EXPECT_EQ(cp932::NthCharacter("AB表C", 2), "表");
    EXPECT_EQ(cp932::NthCharacter("AB表C", 3), "C");
    EXPECT_EQ(cp932::NthCharacter("AB", 2), "");
    EXPECT_EQ(cp932::NthCharRange("A表B", 1).length, 2u);
    EXPECT_EQ(cp932::NthCharRange("A表B", 2).pos, 3u);
    EXPECT_EQ(cp932::NthCharRange("A", 1).length, 0u);
    // Half-width katakana is one byte, and so is a lone lead byte at the end.
    EXPECT_EQ(cp932::CharCount("表\xB1" "A\x81"), 4u);
}

}  // namespace
