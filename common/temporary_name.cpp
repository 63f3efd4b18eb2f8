#include "common/temporary_name.h"

namespace temporary_name {
namespace {

constexpr char kMark[] = ".tmp";

// An unsigned decimal number of 1 to 10 digits that fits 32 bits.
std::optional<unsigned long> ParseNumber(const std::string& text) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    unsigned long long number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<unsigned long>(number);
}

// File names compare without case: ".TMP" is the same mark.
bool StartsWithMark(const std::string& text) {
    const std::string mark = kMark;
    if (text.size() < mark.size()) return false;
    for (std::size_t i = 0; i < mark.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != mark[i]) return false;
    }
    return true;
}

}  // namespace

std::string Suffix(unsigned long processId, unsigned long counter) {
    return kMark + std::to_string(processId) + "-" + std::to_string(counter);
}

std::optional<Writer> ParseSuffix(const std::string& suffix) {
    if (!StartsWithMark(suffix)) return std::nullopt;
    const std::size_t start = sizeof(kMark) - 1;
    const std::size_t dash = suffix.find('-', start);
    if (dash == std::string::npos) return std::nullopt;
    const auto processId = ParseNumber(suffix.substr(start, dash - start));
    const auto counter = ParseNumber(suffix.substr(dash + 1));
    if (!processId || !counter) return std::nullopt;
    return Writer{*processId, *counter};
}

}  // namespace temporary_name
