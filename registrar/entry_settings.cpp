#include "registrar/entry_settings.h"

#include "registrar/registration_names.h"

namespace registrar {

EntrySettings SettingsFromNameField(const std::string& nameField) {
    const NameFieldParts parts = SplitNameField(nameField);
    EntrySettings settings;
    settings.fileName = parts.fileName;
    if (parts.tabCount == 1) {
        settings.useOption = true;
        settings.optionText = parts.option;
    } else if (parts.tabCount >= 2) {
        settings.useOption = !parts.option.empty();
        settings.optionText = parts.option;
        settings.useName = true;
        settings.nameText = parts.registrationName;
    }
    return settings;
}

std::string SettingsPathText(const std::string& folderText, const std::string& fileName) {
    return "\r\n " + folderText + fileName;
}

std::string RemoveTabsAndLineBreaks(const std::string& text) {
    // TAB, CR and LF are never trail bytes, so single bytes can be dropped as they stand.
    std::string clean;
    clean.reserve(text.size());
    for (char c : text) {
        if (c != '\t' && c != '\r' && c != '\n') clean += c;
    }
    return clean;
}

void ConfirmSettings(EntrySettings& settings) {
    settings.optionText = RemoveTabsAndLineBreaks(settings.optionText);
    settings.nameText = RemoveTabsAndLineBreaks(settings.nameText);
    if (settings.useOption && settings.optionText.empty()) settings.useOption = false;
    if (settings.useName && settings.nameText.empty()) settings.useName = false;
}

std::string NameFieldFromSettings(const EntrySettings& settings) {
    std::string nameField = settings.fileName;
    if (settings.useName) {
        nameField += '\t';
        if (settings.useOption) nameField += settings.optionText;
        nameField += '\t';
        nameField += settings.nameText;
    } else if (settings.useOption) {
        nameField += '\t';
        nameField += settings.optionText;
    }
    return nameField;
}

}  // namespace registrar
