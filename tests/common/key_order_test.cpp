#include "common/key_order.h"

#include <gtest/gtest.h>

namespace {

TEST(KeyOrder, LetterIndexPutsDigitsAfterLetters) {
    EXPECT_EQ(keys::LetterIndex('A'), 0);
    EXPECT_EQ(keys::LetterIndex('Z'), 25);
    EXPECT_EQ(keys::LetterIndex('0'), 26);
    EXPECT_EQ(keys::LetterIndex('9'), 35);
    EXPECT_EQ(keys::LetterIndex('a'), -1);
    EXPECT_EQ(keys::LetterIndex('-'), -1);
    EXPECT_EQ(keys::LetterIndex('\x82'), -1);
}

TEST(KeyOrder, ShiftedCharactersMinusAGiveTheLetterIndex) {
    EXPECT_EQ(keys::ShiftDigits("A09Z-"), "A[dZ-");
    for (char c : std::string("ABCXYZ0123456789")) {
        const std::string shifted = keys::ShiftDigits(std::string(1, c));
        EXPECT_EQ(shifted[0] - 'A', keys::LetterIndex(c)) << c;
    }
}

TEST(KeyOrder, CompareKeysUsesSignedBytesAndShorterFirst) {
    EXPECT_EQ(keys::CompareKeys("A", "AB"), -1);
    EXPECT_EQ(keys::CompareKeys("AB", "A"), 1);
    EXPECT_EQ(keys::CompareKeys("AB", "AB"), 0);
    EXPECT_EQ(keys::CompareKeys("", ""), 0);
    EXPECT_EQ(keys::CompareKeys("", "A"), -1);
    EXPECT_EQ(keys::CompareKeys(keys::ShiftDigits("AZ"), keys::ShiftDigits("A9")), -1);
    // Bytes above 0x7F are negative as signed values, so they sort before ASCII.
    EXPECT_EQ(keys::CompareKeys("\x82", "A"), -1);
    EXPECT_EQ(keys::CompareKeys("B", "A\xFF"), 1);
}

}  // namespace
