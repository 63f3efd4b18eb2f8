#include "common/cp932.h"

namespace cp932 {

std::size_t CharLength(const std::string& text, std::size_t pos) {
    if (IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()) return 2;
    return 1;
}

std::size_t FindLastBackslash(const std::string& text) {
    std::size_t found = std::string::npos;
    for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
        if (text[pos] == '\\') found = pos;
    }
    return found;
}

std::string ToUpperSingleByte(const std::string& text) {
    std::string upper = text;
    for (std::size_t pos = 0; pos < upper.size();) {
        const std::size_t length = CharLength(upper, pos);
        if (length == 1 && upper[pos] >= 'a' && upper[pos] <= 'z') upper[pos] = static_cast<char>(upper[pos] - 'a' + 'A');
        pos += length;
    }
    return upper;
}

CharRange NthCharRange(const std::string& text, std::size_t n) {
    std::size_t pos = 0;
    for (std::size_t index = 0; pos < text.size(); ++index) {
        const std::size_t length = CharLength(text, pos);
        if (index == n) return {pos, length};
        pos += length;
    }
    return {text.size(), 0};
}

std::size_t CharCount(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) ++count;
    return count;
}

std::string NthCharacter(const std::string& text, std::size_t n) {
    const CharRange range = NthCharRange(text, n);
    return text.substr(range.pos, range.length);
}

}  // namespace cp932
