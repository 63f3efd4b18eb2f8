#include "registrar/registration_names.h"

#include <algorithm>
#include <utility>

#include "common/cp932.h"

namespace registrar {

NameFieldParts SplitNameField(const std::string& nameField) {
    NameFieldParts parts;
    // TAB (0x09) is never a trail byte, so a plain byte scan finds the real ones.
    for (char c : nameField) {
        if (c == '\t') ++parts.tabCount;
    }
    const auto firstTab = nameField.find('\t');
    parts.fileName = nameField.substr(0, firstTab);
    if (firstTab == std::string::npos) return parts;
    const auto secondTab = nameField.find('\t', firstTab + 1);
    if (secondTab == std::string::npos) {
        parts.option = nameField.substr(firstTab + 1);
        return parts;
    }
    parts.option = nameField.substr(firstTab + 1, secondTab - firstTab - 1);
    parts.registrationName = nameField.substr(secondTab + 1);
    return parts;
}

FileNameParts SplitFileName(const std::string& fileName) {
    // '.' is never a trail byte either.
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos) return {fileName, std::string()};
    return {fileName.substr(0, dot), fileName.substr(dot)};
}

std::string FileNameOf(const std::string& nameField) {
    return nameField.substr(0, nameField.find('\t'));
}

std::string MakeRegistrationKey(const std::string& nameField) {
    const NameFieldParts parts = SplitNameField(nameField);
    if (parts.tabCount > 2) return std::string();
    if (parts.tabCount == 2) return cp932::ToUpperSingleByte(parts.registrationName);
    const auto dot = parts.fileName.rfind('.');
    const bool cut = dot != std::string::npos && dot > 0;
    return cp932::ToUpperSingleByte(cut ? parts.fileName.substr(0, dot) : parts.fileName);
}

bool IsValidRegistrationKey(const std::string& key) {
    if (key.empty()) return false;
    for (char c : key) {
        const bool letter = c >= 'A' && c <= 'Z';
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit) return false;
    }
    return true;
}

bool HasValidRegistrationKey(const std::string& nameField) {
    return IsValidRegistrationKey(MakeRegistrationKey(nameField));
}

std::vector<std::size_t> CheckRegistrationNames(const std::vector<Entry>& entries) {
    std::vector<std::size_t> invalid;
    for (std::size_t position = 0; position < entries.size(); ++position) {
        // A line without a folder is left out by the commit whatever its name.
        if (entries[position].folderText.empty()) continue;
        if (!HasValidRegistrationKey(entries[position].nameField)) invalid.push_back(position);
    }
    return invalid;
}

std::vector<std::string> RefuseInvalidNames(std::vector<Entry>& entries) {
    std::vector<std::string> refused;
    std::vector<Entry> kept;
    kept.reserve(entries.size());
    for (Entry& entry : entries) {
        if (HasValidRegistrationKey(entry.nameField)) {
            kept.push_back(std::move(entry));
        } else {
            refused.push_back(entry.folderText + entry.nameField);
        }
    }
    // The report lists them from the end of the list backwards.
    std::reverse(refused.begin(), refused.end());
    entries = std::move(kept);
    return refused;
}

}  // namespace registrar
