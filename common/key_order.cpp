#include "common/key_order.h"

#include <algorithm>

namespace keys {

std::string ShiftDigits(const std::string& key) {
    std::string shifted = key;
    for (char& c : shifted) {
        if (c >= '0' && c <= '9') c = static_cast<char>(c + kDigitShift);
    }
    return shifted;
}

bool IsFileableKey(const std::string& key) {
    return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return LetterIndex(c) >= 0; });
}

int CompareKeys(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto left = static_cast<signed char>(a[i]);
        const auto right = static_cast<signed char>(b[i]);
        if (left != right) return left < right ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace keys
