// The caller's side of the settings dialog: a name field taken apart into the
// dialog's values, the dialog's OK rule, and the name field built back from them.
// The main dialog and the name-check dialog fill and read the dialog the same way.
#pragma once

#include <string>

namespace registrar {

struct EntrySettings {
    std::string fileName;  // not edited; leads the rebuilt name field
    bool useOption = false;
    std::string optionText;
    bool useName = false;
    std::string nameText;
};

// No TAB: nothing set. One TAB: the option. Two TABs: the name, and the option
// when there is text between them. Further TABs stay in the name text, which
// the OK rule then cleans.
EntrySettings SettingsFromNameField(const std::string& nameField);

// The dialog's heading line: CR LF, a space, then the full path.
std::string SettingsPathText(const std::string& folderText, const std::string& fileName);

// Drops TAB, CR and LF, which would break the line format of cr.x.
std::string RemoveTabsAndLineBreaks(const std::string& text);

// The OK rule: typed or pasted TABs and line breaks are removed, and a checked
// box whose text is then empty counts as unchecked.
void ConfirmSettings(EntrySettings& settings);

// File name; with a name: TAB, the option when its box is on, TAB, the name;
// with only an option: TAB, the option. A cleared box drops its text.
std::string NameFieldFromSettings(const EntrySettings& settings);

}  // namespace registrar
