// The order of the letter menu and of the registrar's sort: A-Z, then 0-9.
#pragma once

#include <string>

namespace keys {

constexpr int kLetterCount = 36;  // A-Z are 0-25, 0-9 are 26-35
constexpr int kDigitShift = 43;   // '0' + 43 == '[', one past 'Z'

// Each digit moved 43 places up, so that digits follow 'Z' in byte order and
// every character of a valid key minus 'A' gives its letter index.
std::string ShiftDigits(const std::string& key);

// Letter index of a plain upper-case character or digit; -1 otherwise.
constexpr int LetterIndex(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= '0' && c <= '9') return 26 + (c - '0');
    return -1;
}

// Whether the letter menu can file a key: at least one character, and each
// one A-Z or 0-9 (so each has a letter index).
bool IsFileableKey(const std::string& key);

// Byte-wise comparison with signed bytes; on a common prefix the shorter text
// is smaller. Returns -1, 0 or 1.
int CompareKeys(const std::string& a, const std::string& b);

}  // namespace keys
