#include "registrar/registration_file.h"

#include <algorithm>
#include <string_view>

#include "common/cp932.h"

namespace registrar {
namespace {

// The head ends at the first TAB; the tail keeps option and name with their TABs.
Entry EntryFromLine(std::string_view line) {
    const auto tab = line.find('\t');
    Entry entry = EntryFromPath(std::string(line.substr(0, tab)));
    if (tab != std::string_view::npos) entry.nameField += line.substr(tab);
    return entry;
}

// The non-empty pieces of `text` between CR, LF and NUL bytes.
void AddPieces(std::string_view text, std::vector<std::string>& pieces) {
    constexpr std::string_view kBreaks("\r\n\0", 3);
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = std::min(text.find_first_of(kBreaks, start), text.size());
        if (end > start) pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

}  // namespace

Entry EntryFromPath(const std::string& path) {
    const auto backslash = cp932::FindLastBackslash(path);
    if (backslash == std::string::npos) return {path, std::string()};
    return {path.substr(backslash + 1), path.substr(0, backslash + 1)};
}

std::size_t AddDroppedPaths(std::vector<Entry>& entries, const std::vector<std::string>& paths) {
    std::size_t added = 0;
    for (const std::string& path : paths) {
        if (entries.size() >= static_cast<std::size_t>(kMaxEntries)) break;
        if (path.empty()) continue;
        entries.push_back(EntryFromPath(path));
        ++added;
    }
    return added;
}

std::vector<Entry> ParseRegistrationFile(const std::string& fileBytes) {
    const std::string text = UpToFirstNul(fileBytes);
    std::vector<Entry> entries;
    std::size_t start = 0;
    while (static_cast<int>(entries.size()) < kMaxEntries) {
        const auto end = text.find("\r\n", start);
        if (end == std::string::npos) break;
        const std::string line = text.substr(start, end - start);
        start = end + 2;
        if (line.empty()) continue;
        entries.push_back(EntryFromLine(line));
    }
    return entries;
}

RegistrationList ReadRegistrationList(const std::string& fileBytes) {
    RegistrationList list;
    const std::string_view bytes(fileBytes);
    const std::string_view text = bytes.substr(0, bytes.find('\0'));
    std::size_t start = 0;
    for (auto end = text.find("\r\n"); end != std::string_view::npos; end = text.find("\r\n", start)) {
        const std::string_view line = text.substr(start, end - start);
        start = end + 2;
        if (line.empty()) continue;
        if (line.find_first_of("\r\n") != std::string_view::npos ||
            list.entries.size() >= static_cast<std::size_t>(kMaxEntries)) {
            AddPieces(line, list.unreadable);
        } else {
            list.entries.push_back(EntryFromLine(line));
        }
    }
    AddPieces(text.substr(start), list.unreadable);
    if (text.size() < bytes.size()) AddPieces(bytes.substr(text.size() + 1), list.unreadable);
    return list;
}

std::string BuildRegistrationText(const std::vector<Entry>& entries) {
    std::size_t size = 0;
    for (const Entry& entry : entries) size += entry.folderText.size() + entry.nameField.size() + 2;
    std::string text;
    text.reserve(size);
    for (const Entry& entry : entries) {
        text += entry.folderText;
        text += entry.nameField;
        text += "\r\n";
    }
    return text;
}

WriteResult WriteRegistrationFile(FileStore& store, const std::string& path, const std::vector<Entry>& entries) {
    return store.Replace(path, BuildRegistrationText(entries), /*readOnly=*/true);
}

}  // namespace registrar
