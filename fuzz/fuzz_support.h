// Small helpers shared by the fuzz targets: a check that stops the run with a
// message (libFuzzer then keeps the input as a crash), and plain readings of
// the file formats written here a second time, independently of the cores, so
// that the targets compare two views of the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                               \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (0)

namespace fuzz {

inline std::string BytesOf(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The text as every reader sees it: up to the first NUL.
inline std::string TextBeforeNul(const std::string& bytes) {
    std::string text;
    for (char c : bytes) {
        if (c == '\0') break;
        text += c;
    }
    return text;
}

// The lines of a cr.x text: each ended by CR LF, text after the last CR LF
// dropped, at most `limit` lines.
inline std::vector<std::string> CrLfLines(const std::string& text, std::size_t limit) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t pos = 0; pos < text.size() && lines.size() < limit; ++pos) {
        if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') {
            lines.push_back(line);
            line.clear();
            ++pos;
        } else {
            line += text[pos];
        }
    }
    return lines;
}

inline bool IsCp932LeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Whether a backslash stands as a character of its own, never as a trail byte.
inline bool HasRealBackslash(const std::string& text) {
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (IsCp932LeadByte(text[pos]) && pos + 1 < text.size()) {
            ++pos;
        } else if (text[pos] == '\\') {
            return true;
        }
    }
    return false;
}

inline std::size_t CountOf(const std::string& text, char wanted) {
    std::size_t count = 0;
    for (char c : text) count += c == wanted;
    return count;
}

inline std::size_t CountOf(const std::string& text, const std::string& wanted) {
    std::size_t count = 0;
    for (std::size_t pos = text.find(wanted); pos != std::string::npos; pos = text.find(wanted, pos + wanted.size())) {
        ++count;
    }
    return count;
}

inline bool HasLowerCaseSingleByteLetter(const std::string& text) {
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (IsCp932LeadByte(text[pos]) && pos + 1 < text.size()) {
            ++pos;
        } else if (text[pos] >= 'a' && text[pos] <= 'z') {
            return true;
        }
    }
    return false;
}

}  // namespace fuzz
