#include "common/cp932.h"

#include <gtest/gtest.h>

#include <vector>

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
    // Byte ranges and counts, a lone lead byte at the end being one character.
    struct Row {
        std::string text;
        std::size_t n, pos, length, count;
    };
    for (const Row& row : std::vector<Row>{{"A表B", 1, 1, 2, 3},
                                          {"A表B", 2, 3, 1, 3},
                                          {"表\xB1", 1, 2, 1, 2},  // half-width katakana: one byte
                                          {"A\x81", 1, 1, 1, 2},
                                          {"A", 1, 1, 0, 1},
                                          {"", 0, 0, 0, 0}}) {
        const cp932::CharRange range = cp932::NthCharRange(row.text, row.n);
        EXPECT_EQ(range.pos, row.pos) << row.text << " " << row.n;
        EXPECT_EQ(range.length, row.length) << row.text << " " << row.n;
        EXPECT_EQ(cp932::CharCount(row.text), row.count) << row.text;
    }
}

}  // namespace
