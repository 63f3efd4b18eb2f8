#include "launcher/options_file.h"

#include <climits>

namespace launcher {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr std::size_t kLineEndAndEmptyLine = 4;  // the value's CR LF and the empty line's

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The C library's atoi without its undefined overflow: white space, an
// optional sign, decimal digits; anything else ends the number.
int ToInt(const std::string& text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsCSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long magnitude = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > limit) magnitude = limit;  // stays clamped for any number of digits
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

// Reads one value: skips the header line, takes the value line and moves
// `rest` past the value's characters. Without the header's line end the value
// is missing: 0, and so are the values after it.
int ReadValue(std::string& rest) {
    const auto headerEnd = rest.find(kLineEnd);
    if (headerEnd == std::string::npos) {
        rest.clear();
        return 0;
    }
    rest.erase(0, headerEnd + 2);
    // A last value without its line end still counts: it runs to the end.
    const auto valueEnd = rest.find(kLineEnd);
    const std::string valueText = rest.substr(0, valueEnd);
    rest.erase(0, valueText.size());
    return ToInt(valueText);
}

}  // namespace

Options ParseOptions(const std::string& fileBytes) {
    std::string rest = UpToFirstNul(fileBytes);
    Options options;
    options.keyIndex = ReadValue(rest);
    rest.erase(0, kLineEndAndEmptyLine);
    options.countIndex = ReadValue(rest);
    rest.erase(0, kLineEndAndEmptyLine);
    options.speed = ReadValue(rest);  // the rest of the text is ignored
    return options;
}

std::string BuildOptionsText(const Options& options) {
    std::string text;
    text += "[ K_Index ] =\r\n" + std::to_string(options.keyIndex) + "\r\n\r\n";
    text += "[ T_Index ] =\r\n" + std::to_string(options.countIndex) + "\r\n\r\n";
    text += "[ S_Index ] =\r\n" + std::to_string(options.speed) + "\r\n";
    return text;
}

Options ReadOptions(FileStore& store, const std::string& path) {
    const ReadResult read = store.ReadOrCreate(path);
    if (!read.ok()) return Options{};  // unreadable: never overwrite what could not be read
    if (read.bytes.empty()) {
        const Options defaults;
        WriteOptions(store, path, defaults);  // a failure leaves the defaults in memory
        return defaults;
    }
    return ParseOptions(read.bytes);
}

WriteResult WriteOptions(FileStore& store, const std::string& path, const Options& options) {
    return store.Replace(path, BuildOptionsText(options), /*readOnly=*/true);
}

std::optional<unsigned> HookKeyCode(int keyIndex) {
    switch (keyIndex) {
        case 0: return 18u;
        case 1: return 17u;
        case 2: return 16u;
        default: return std::nullopt;
    }
}

std::optional<unsigned> ApplyOptionsChoice(Options& options, const std::optional<Options>& chosen, FileStore& store,
                                           const std::string& path) {
    if (!chosen) return std::nullopt;
    options = *chosen;
    // The launcher goes on with the values in memory when opt.x cannot be written.
    (void)WriteOptions(store, path, options);
    return HookKeyCode(options.keyIndex);
}

}  // namespace launcher
