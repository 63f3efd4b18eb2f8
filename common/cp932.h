// Code-page-932 (Shift-JIS) byte-string helpers.
// The lead-byte table is fixed, so the programs read cr.x the same way on every
// machine whatever the system locale.
#pragma once

#include <cstddef>
#include <string>

namespace cp932 {

// 0x81-0x9F and 0xE0-0xFC start a double-byte character.
constexpr bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Length in bytes of the character that starts at `pos` (1 or 2). A lead byte
// at the very end of the text counts as a single byte.
std::size_t CharLength(const std::string& text, std::size_t pos);

// Position of the last real backslash; a trail byte 0x5C (as in "表") is never
// taken for one. npos when there is none.
std::size_t FindLastBackslash(const std::string& text);

// Upper-cases the single-byte letters a-z only; double-byte characters, whose
// trail bytes may look like letters, stay untouched.
std::string ToUpperSingleByte(const std::string& text);

// Where one character lies in a text, in bytes.
struct CharRange {
    std::size_t pos = 0;
    std::size_t length = 0;  // 0 when the text has no such character
};

// The byte range of the n-th character (counted from 0), double-byte
// characters whole; {text.size(), 0} when the text has fewer characters.
CharRange NthCharRange(const std::string& text, std::size_t n);

// Number of characters; a lone lead byte at the end counts as one.
std::size_t CharCount(const std::string& text);

// The n-th character (one or two bytes); empty when the text is shorter.
std::string NthCharacter(const std::string& text, std::size_t n);

}  // namespace cp932
