#include "registrar/registration_file.h"

#include "common/cp932.h"

namespace registrar {

Entry EntryFromPath(const std::string& path) {
    const auto backslash = cp932::FindLastBackslash(path);
    if (backslash == std::string::npos) return {path, std::string()};
    return {path.substr(backslash + 1), path.substr(0, backslash + 1)};
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
        // The head ends at the first TAB; the tail keeps option and name with their TABs.
        const auto tab = line.find('\t');
        const std::string head = line.substr(0, tab);
        const std::string tail = tab == std::string::npos ? std::string() : line.substr(tab);
        Entry entry = EntryFromPath(head);
        entry.nameField += tail;
        entries.push_back(std::move(entry));
    }
    return entries;
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
